// The boot settings window: the BIOS and UEFI boot images of the next builds,
// the BIOS entry's load size and boot information table, and where the trees
// list the catalog. OK checks the values, hands them to the main window and
// writes them to the settings file. Controls are named by id: "edit1201"
// BIOS image, "button1202" its chooser, "edit1203" load size, "check1204"
// info table, "edit1205" UEFI image, "button1206" its chooser, "edit1207"
// catalog; "button1" OK, "button2" Cancel.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "settings/VolumeInfo.h"
#include "ui/MessageBoxes.h"

class QCheckBox;
class QLineEdit;

namespace pm {

class BootDialog : public QDialog {
    Q_OBJECT
public:
    // Without `boxes` real message boxes are used.
    BootDialog(BootChoices& boot, std::string settingsPath, MessageBoxes* boxes = nullptr, QWidget* parent = nullptr);
    ~BootDialog() override;

private:
    void CreateControls();
    void Browse(QLineEdit* target);
    // The boxes' values, checked; on a refusal its box is shown and the
    // focus, text selected, put in the box at fault.
    bool TakeControls(BootChoices& out);
    bool Refuse(QLineEdit* at, const std::string& message);
    void OnOk();

    BootChoices& m_boot;
    std::string m_settingsPath;
    DialogBoxes m_boxes;
    QLineEdit* m_bios = nullptr;
    QLineEdit* m_loadSize = nullptr;
    QCheckBox* m_infoTable = nullptr;
    QLineEdit* m_uefi = nullptr;
    QLineEdit* m_catalog = nullptr;
};

}  // namespace pm
