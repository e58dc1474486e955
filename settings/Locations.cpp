#include "settings/Locations.h"

#include <unistd.h>

#include <cstdlib>

#include "platform/Platform.h"

namespace pm {

namespace {

const char kSettingsName[] = "parumero.INI";
const char kExceptName[] = "except.txt";

std::string ConfigFolder(const LocationProbe& probe) {
    // Only an absolute XDG_CONFIG_HOME counts; a relative one is to be ignored.
    std::string xdg = probe.environment("XDG_CONFIG_HOME");
    if (!xdg.empty() && xdg[0] == '/') return xdg + "/parumero";
    std::string home = probe.environment("HOME");
    if (!home.empty()) return home + "/.config/parumero";
    return std::string();
}

std::string Locate(Platform& platform, const LocationProbe& probe, const std::string& name) {
    std::string program = platform.ProgramPath();
    size_t slash = program.rfind('/');
    std::string candidate;
    if (slash != std::string::npos) {
        std::string folder = slash == 0 ? "/" : program.substr(0, slash);
        candidate = program.substr(0, slash + 1) + name;
        DirEntry entry;
        if (platform.LookupEntry(candidate, entry) && !entry.directory) return candidate;
        if (probe.folderWritable(folder)) return candidate;
    }
    std::string config = ConfigFolder(probe);
    if (!config.empty()) return config + '/' + name;
    // No home to fall back on: the program's folder all the same, or else the
    // current folder.
    return candidate.empty() ? name : candidate;
}

}  // namespace

LocationProbe SystemLocationProbe() {
    LocationProbe probe;
    probe.folderWritable = [](const std::string& folder) { return ::access(folder.c_str(), W_OK) == 0; };
    probe.environment = [](const std::string& name) {
        const char* v = std::getenv(name.c_str());
        return std::string(v ? v : "");
    };
    return probe;
}

std::string SettingsFilePath(Platform& platform) { return SettingsFilePath(platform, SystemLocationProbe()); }

std::string SettingsFilePath(Platform& platform, const LocationProbe& probe) {
    return Locate(platform, probe, kSettingsName);
}

std::string ExceptListPath(Platform& platform) { return ExceptListPath(platform, SystemLocationProbe()); }

std::string ExceptListPath(Platform& platform, const LocationProbe& probe) {
    return Locate(platform, probe, kExceptName);
}

}  // namespace pm
