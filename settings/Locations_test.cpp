#include "settings/Locations.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/Platform.h"

namespace pm {
namespace {

// Knows the program's path and which files exist; nothing else is asked.
class PathsOnlyPlatform : public Platform {
public:
    std::string program;
    std::set<std::string> files;

    bool LookupEntry(const std::string& path, DirEntry& out) override {
        if (!files.count(path)) return false;
        out = DirEntry();
        out.name = path.substr(path.rfind('/') + 1);
        return true;
    }
    bool ListFolder(const std::string&, std::vector<DirEntry>&) override { return false; }
    std::unique_ptr<InputFile> OpenRead(const std::string&, FileError&) override { return nullptr; }
    std::unique_ptr<OutputFile> CreateOutput(const std::string&, FileError&) override { return nullptr; }
    bool CreateFolder(const std::string&) override { return false; }
    std::string ProgramPath() override { return program; }
    int StandardTimeZoneOffset() override { return 0; }
};

TEST(Locations, ProgramFolderFirstThenConfigFolder) {
    PathsOnlyPlatform platform;
    platform.program = "/opt/pm/bin/parumero";
    std::set<std::string> writable;
    std::map<std::string, std::string> env{{"HOME", "/home/u"}};
    LocationProbe probe{[&](const std::string& f) { return writable.count(f) > 0; },
                        [&](const std::string& n) { return env.count(n) ? env[n] : std::string(); }};

    // Read-only folder without the files: the user's configuration folder.
    EXPECT_EQ(SettingsFilePath(platform, probe), "/home/u/.config/parumero/parumero.INI");
    EXPECT_EQ(ExceptListPath(platform, probe), "/home/u/.config/parumero/except.txt");
    env["XDG_CONFIG_HOME"] = "relative/ignored";
    EXPECT_EQ(SettingsFilePath(platform, probe), "/home/u/.config/parumero/parumero.INI");
    env["XDG_CONFIG_HOME"] = "/cfg";
    EXPECT_EQ(SettingsFilePath(platform, probe), "/cfg/parumero/parumero.INI");

    // A file present beside the program wins even in a read-only folder.
    platform.files.insert("/opt/pm/bin/except.txt");
    EXPECT_EQ(ExceptListPath(platform, probe), "/opt/pm/bin/except.txt");
    EXPECT_EQ(SettingsFilePath(platform, probe), "/cfg/parumero/parumero.INI");

    // A writable program folder is used (portable) even before the file exists.
    writable.insert("/opt/pm/bin");
    EXPECT_EQ(SettingsFilePath(platform, probe), "/opt/pm/bin/parumero.INI");

    // An unknown program path leaves only the configuration folder.
    platform.program.clear();
    EXPECT_EQ(SettingsFilePath(platform, probe), "/cfg/parumero/parumero.INI");
}

}  // namespace
}  // namespace pm
