// The volume information dialog: edits the record of the descriptors, hands
// the creation date back to the main window, and on "標準に設定(&F)" writes the
// settings file. Edit boxes are named "edit" + id ("edit1109"), buttons
// "button" + id (1 OK, 4 標準に設定, 2 ｷｬﾝｾﾙ).
#pragma once

#include <QDialog>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "settings/VolumeInfo.h"
#include "settings/VolumeInfoForm.h"
#include "ui/MessageBoxes.h"

class QLineEdit;

namespace pm {

class VolumeInfoDialog : public QDialog {
    Q_OBJECT
public:
    // `creationDate` (year, month, day) and `creationTime` (hour, minute,
    // second) are the main window's; the creation row shows them unless the
    // record's creation date is set. Without `boxes` real message boxes are
    // used.
    VolumeInfoDialog(VolumeInfo& info, const VolumeDate& creationDate, const VolumeDate& creationTime,
                     std::string settingsPath, MessageBoxes* boxes = nullptr, QWidget* parent = nullptr);
    ~VolumeInfoDialog() override;

    // After OK: the creation date and time to hand back to the main window,
    // unless unset (IsDateUnset).
    const VolumeDate& Creation() const { return m_form.Creation(); }

    QLineEdit* Edit(int fieldId) const;
    // Lists, above the fields, the settings file's values that were out of
    // range at load (the fields show the defaults taken instead).
    void ShowSettingsWarnings(const std::vector<std::string>& lines);

private:
    void CreateControls();
    void ExchangeToControls();
    // Reads and checks every box; on failure shows the message and puts the
    // focus, text selected, in the box at fault.
    bool ExchangeFromControls();
    void OnOk();
    void OnSetDefaults();

    VolumeInfo& m_info;
    std::string m_settingsPath;
    DialogBoxes m_boxes;
    VolumeInfoForm m_form;
    std::map<int, QLineEdit*> m_edits;
};

}  // namespace pm
