// Start-up of the desktop program: the settings, the exclusion list, then the
// main window until it closes. Nothing is saved at exit.
#pragma once

#include <string>
#include <vector>

#include "settings/VolumeInfo.h"

namespace pm {

class Platform;

class BuilderApp {
public:
    explicit BuilderApp(Platform& platform) : m_platform(platform) {}

    // Loads the volume information and the exclusion list into the
    // process-wide record, and the boot choices.
    void LoadSettings();
    // LoadSettings, then the main window, modally; the result is not looked at.
    // A start folder (the command line's) is taken as a dropped one would be.
    int Run(const std::string& startFolder = std::string());

    const std::string& SettingsPath() const { return m_settingsPath; }

private:
    Platform& m_platform;
    std::string m_settingsPath;
    BootChoices m_boot;
    // Values of the settings file that were out of range and not taken.
    std::vector<std::string> m_settingsWarnings;
};

}  // namespace pm
