#include "settings/Locations.h"

#include <cstdlib>

#include "platform/Platform.h"

namespace pm {

namespace {

const char kSettingsName[] = "parumero.INI";
const char kExceptName[] = "except.txt";

std::string ConfigFolder(const EnvironmentReader& environment) {
    // Only an absolute XDG_CONFIG_HOME counts; a relative one is to be ignored.
    std::string xdg = environment("XDG_CONFIG_HOME");
    if (!xdg.empty() && xdg[0] == '/') return xdg + "/parumero";
    std::string home = environment("HOME");
    if (!home.empty()) return home + "/.config/parumero";
    return std::string();
}

bool IsFile(Platform& platform, const std::string& path) {
    DirEntry entry;
    return !path.empty() && platform.LookupEntry(path, entry) && !entry.directory;
}

std::string Locate(Platform& platform, const EnvironmentReader& environment, const std::string& name) {
    const std::string program = platform.ProgramPath();
    const size_t slash = program.rfind('/');
    const std::string beside = slash == std::string::npos ? std::string() : program.substr(0, slash + 1);
    if (!beside.empty() && IsFile(platform, beside + kSettingsName)) return beside + name;  // portable

    const std::string folder = ConfigFolder(environment);
    const std::string config = folder.empty() ? std::string() : folder + '/' + name;
    if (!beside.empty() && !IsFile(platform, config) && IsFile(platform, beside + name)) return beside + name;
    if (!config.empty()) return config;
    // No home at all: beside the program all the same, or else the current folder.
    return beside + name;
}

}  // namespace

EnvironmentReader SystemEnvironment() {
    return [](const std::string& name) {
        const char* v = std::getenv(name.c_str());
        return std::string(v ? v : "");
    };
}

std::string SettingsFilePath(Platform& platform) { return SettingsFilePath(platform, SystemEnvironment()); }

std::string SettingsFilePath(Platform& platform, const EnvironmentReader& environment) {
    return Locate(platform, environment, kSettingsName);
}

std::string ExceptListPath(Platform& platform) { return ExceptListPath(platform, SystemEnvironment()); }

std::string ExceptListPath(Platform& platform, const EnvironmentReader& environment) {
    return Locate(platform, environment, kExceptName);
}

}  // namespace pm
