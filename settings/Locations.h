// Where the settings file "parumero.INI" and the exclusion list "except.txt"
// live: in the program's folder, so a copied folder carries its settings,
// unless that folder neither holds the file nor can be written; then in the
// user's configuration folder ($XDG_CONFIG_HOME/parumero, by default
// ~/.config/parumero).
#pragma once

#include <functional>
#include <string>

namespace pm {

class Platform;

// What the placement rule asks of the system besides the platform seam;
// tests replace both.
struct LocationProbe {
    std::function<bool(const std::string& folder)> folderWritable;
    std::function<std::string(const std::string& name)> environment;  // empty when unset
};

LocationProbe SystemLocationProbe();

std::string SettingsFilePath(Platform& platform);
std::string SettingsFilePath(Platform& platform, const LocationProbe& probe);
std::string ExceptListPath(Platform& platform);
std::string ExceptListPath(Platform& platform, const LocationProbe& probe);

}  // namespace pm
