// The values of the volume information dialog while it is open, as the text
// of its edit boxes, with the checks that guard OK and "標準に設定(&F)". No
// window system in here: the dialog only moves texts between its boxes and
// this form.
#pragma once

#include <array>
#include <string>

#include "settings/VolumeInfo.h"

namespace pm {

enum class MessageIcon { None, Exclamation };

// Edit box ids of the dialog; the form's fields are addressed by them.
enum VolumeInfoFieldId : int {
    kFieldOS = 1109,
    kFieldVolSetSize = 1110,
    kFieldVolNumber = 1111,
    kFieldVolSetID = 1112,
    kFieldPublisher = 1113,
    kFieldAbstract = 1114,
    kFieldApplication = 1123,
    kFieldCopyright = 1124,
    kFieldBiblographic = 1125,
    kFieldPrepare = 1126,
    kFieldImplID = 1128,
    kFieldCreationYear = 1129,      // year, month, day, hour, minute, second: 1129-1134
    kFieldModificationYear = 1135,  // 1135-1140
    kFieldExpirationYear = 1141,    // 1141-1146
    kFieldEffectiveYear = 1147,     // 1147-1152
};

// The outcome of a check: on failure the message to show, its icon and the
// box to put the focus in.
struct FormCheck {
    bool ok = true;
    int messageId = 0;  // string table number
    std::string messageText;
    MessageIcon icon = MessageIcon::None;
    int fieldId = 0;
};

class VolumeInfoForm {
public:
    static constexpr int kFieldCount = 35;
    // Every field id in tab order.
    static const std::array<int, kFieldCount>& FieldIds();
    // The input limit of a box in code page 932 bytes; 0 for none.
    static int ByteLimit(int fieldId);

    VolumeInfoForm();

    // The text of a box; an unknown id is a programming error.
    std::string& Field(int fieldId);
    const std::string& Field(int fieldId) const;

    // Takes the record's values. The creation row shows the record's date when
    // it is set, otherwise the main window's date (year, month, day) and time
    // (hour, minute, second).
    void Load(const VolumeInfo& info, const VolumeDate& creationDate, const VolumeDate& creationTime);
    // Checks the boxes in the dialog's order and stops at the first failure.
    FormCheck Validate();
    // Copies the values the last successful Validate (or Load) took into the
    // record.
    void Store(VolumeInfo& info) const;
    // The creation date a successful Validate read (to hand back to the main
    // window unless it is unset).
    const VolumeDate& Creation() const { return m_dates[0]; }

private:
    std::array<std::string, kFieldCount> m_fields;
    // What Store copies: the nine texts, the counts and the dates.
    std::array<std::string, 9> m_texts;
    uint16_t m_volSetSize = 1;
    uint16_t m_volNumber = 1;
    std::array<VolumeDate, 4> m_dates{};
};

// Reads a signed 16-bit decimal number, blanks around it allowed; false for
// any other text, including numbers outside -32768..32767.
bool ParseInt16(const std::string& text, int& value);

}  // namespace pm
