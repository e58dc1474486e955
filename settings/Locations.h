// Where the settings file "parumero.INI" and the exclusion list "except.txt"
// live: in the user's configuration folder ($XDG_CONFIG_HOME/parumero, by
// default ~/.config/parumero), where Linux users look for them. A portable
// copy keeps both beside the program: that is where a "parumero.INI" already
// beside the program puts them. An older "except.txt" beside the program is
// still read while the configuration folder has none.
#pragma once

#include <functional>
#include <string>

namespace pm {

class Platform;

// The environment as the placement rule reads it (empty when unset); tests
// replace it.
using EnvironmentReader = std::function<std::string(const std::string& name)>;

EnvironmentReader SystemEnvironment();

std::string SettingsFilePath(Platform& platform);
std::string SettingsFilePath(Platform& platform, const EnvironmentReader& environment);
std::string ExceptListPath(Platform& platform);
std::string ExceptListPath(Platform& platform, const EnvironmentReader& environment);

}  // namespace pm
