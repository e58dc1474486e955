#include "settings/Locations.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "FakePlatform.h"

namespace pm {
namespace {

TEST(Locations, ProgramFolderFirstThenConfigFolder) {
    FakePlatform platform;
    platform.programPath = "/opt/pm/bin/parumero";
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
    platform.AddFile("/opt/pm/bin/except.txt", "");
    EXPECT_EQ(ExceptListPath(platform, probe), "/opt/pm/bin/except.txt");
    EXPECT_EQ(SettingsFilePath(platform, probe), "/cfg/parumero/parumero.INI");

    // A writable program folder is used (portable) even before the file exists.
    writable.insert("/opt/pm/bin");
    EXPECT_EQ(SettingsFilePath(platform, probe), "/opt/pm/bin/parumero.INI");

    // An unknown program path leaves only the configuration folder.
    platform.programPath.clear();
    EXPECT_EQ(SettingsFilePath(platform, probe), "/cfg/parumero/parumero.INI");
}

}  // namespace
}  // namespace pm
