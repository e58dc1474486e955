#include "ui/BuilderApp.h"

#include "settings/Locations.h"
#include "settings/VolumeInfo.h"
#include "ui/MainDialog.h"

namespace pm {

void BuilderApp::LoadSettings() {
    m_settingsPath = SettingsFilePath(m_platform);
    m_settingsWarnings.clear();
    LoadVolumeInfo(TheVolumeInfo(), m_settingsPath, nullptr, &m_settingsWarnings);
    LoadBootChoices(m_boot, m_settingsPath, &m_settingsWarnings);
    TheVolumeInfo().ExceptList.Load(ExceptListPath(m_platform));
}

int BuilderApp::Run(const std::string& startFolder) {
    LoadSettings();
    MainDialog dialog(m_platform, m_settingsPath);
    dialog.SetBootChoices(m_boot);
    dialog.SetSettingsWarnings(m_settingsWarnings);
    if (!startFolder.empty()) dialog.DropFolder(startFolder);
    dialog.exec();
    return 0;
}

}  // namespace pm
