#include "settings/Locations.h"

#include <gtest/gtest.h>

#include <map>

#include "FakePlatform.h"

namespace pm {
namespace {

// Each row adds to what the rows before it set up.
TEST(Locations, ConfigFolderUnlessAPortableCopy) {
    FakePlatform platform;
    platform.programPath = "/opt/pm/bin/parumero";
    std::map<std::string, std::string> env{{"HOME", "/home/u"}};
    EnvironmentReader environment = [&](const std::string& n) { return env.count(n) ? env[n] : std::string(); };
    const struct {
        const char *xdg, *fileAdded;
        const char *settings, *except;
    } rows[] = {
        {nullptr, nullptr, "/home/u/.config/parumero/parumero.INI", "/home/u/.config/parumero/except.txt"},
        {"relative/ignored", nullptr, "/home/u/.config/parumero/parumero.INI", "/home/u/.config/parumero/except.txt"},
        {"/cfg", nullptr, "/cfg/parumero/parumero.INI", "/cfg/parumero/except.txt"},
        // An older exclusion list beside the program is still read ...
        {"/cfg", "/opt/pm/bin/except.txt", "/cfg/parumero/parumero.INI", "/opt/pm/bin/except.txt"},
        // ... until the configuration folder has one.
        {"/cfg", "/cfg/parumero/except.txt", "/cfg/parumero/parumero.INI", "/cfg/parumero/except.txt"},
        // A settings file beside the program makes a portable copy: both there.
        {"/cfg", "/opt/pm/bin/parumero.INI", "/opt/pm/bin/parumero.INI", "/opt/pm/bin/except.txt"},
    };
    for (const auto& row : rows) {
        if (row.xdg) env["XDG_CONFIG_HOME"] = row.xdg;
        if (row.fileAdded) platform.AddFile(row.fileAdded, "");
        EXPECT_EQ(SettingsFilePath(platform, environment), row.settings);
        EXPECT_EQ(ExceptListPath(platform, environment), row.except);
    }
    // An unknown program path leaves only the configuration folder.
    platform.programPath.clear();
    EXPECT_EQ(SettingsFilePath(platform, environment), "/cfg/parumero/parumero.INI");
}

}  // namespace
}  // namespace pm
