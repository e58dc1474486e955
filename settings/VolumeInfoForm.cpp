#include "settings/VolumeInfoForm.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "messages/Strings.h"
#include "tree/Text.h"

namespace pm {

namespace {

constexpr int kMsgInteger = kMsgNotAnInteger;  // "整数を入力してください。"
constexpr int kMsgRange = kMsgIntegerRange;    // "%1 から %2 までの整数を入力してください。"
constexpr int kMsgLength = kMsgTooManyCharacters;   // "%1 文字以内で入力してください。"

constexpr int kImplIdMaxBytes = 22;

// The six used members of a date, in box order, with their accepted range.
// The year has none; 0 is accepted everywhere since it is how an unset date
// is typed, and a leap second's 60 is allowed for minutes as for seconds.
struct DateMember {
    uint16_t VolumeDate::*member;
    int min, max;
    bool checked;
};
constexpr DateMember kDateMembers[6] = {
    {&VolumeDate::year, 0, 0, false}, {&VolumeDate::month, 0, 12, true},
    {&VolumeDate::day, 0, 31, true},  {&VolumeDate::hour, 0, 23, true},
    {&VolumeDate::minute, 0, 60, true}, {&VolumeDate::second, 0, 60, true},
};
constexpr int kDateRowIds[4] = {kFieldCreationYear, kFieldModificationYear, kFieldExpirationYear,
                                kFieldEffectiveYear};
constexpr VolumeDate VolumeInfo::*kDateFields[4] = {&VolumeInfo::Creation, &VolumeInfo::Modification,
                                                    &VolumeInfo::Expiration, &VolumeInfo::Effective};

struct TextField {
    int id;
    std::string VolumeInfo::*field;
};
constexpr std::array<TextField, 9> kTextFields = {{
    {kFieldOS, &VolumeInfo::OS},
    {kFieldVolSetID, &VolumeInfo::VolSetID},
    {kFieldPublisher, &VolumeInfo::Publisher},
    {kFieldPrepare, &VolumeInfo::Prepare},
    {kFieldApplication, &VolumeInfo::Application},
    {kFieldCopyright, &VolumeInfo::Copyright},
    {kFieldAbstract, &VolumeInfo::Abstract},
    {kFieldBiblographic, &VolumeInfo::Biblographic},
    {kFieldImplID, &VolumeInfo::ImplID},
}};

// Character limits, counted in UTF-16 units.
struct CharLimit {
    int id;
    int limit;
};
constexpr CharLimit kCharLimits[4] = {
    {kFieldVolSetID, 56}, {kFieldPublisher, 64}, {kFieldPrepare, 64}, {kFieldApplication, 64}};

std::string Show(uint16_t v) { return std::to_string(int16_t(v)); }

FormCheck Fail(int fieldId, MessageIcon icon, int messageId, const std::string& p1 = std::string(),
               const std::string& p2 = std::string()) {
    FormCheck c;
    c.ok = false;
    c.messageId = messageId;
    c.messageText = FormatNumbered(messageId, p1, p2);
    c.icon = icon;
    c.fieldId = fieldId;
    return c;
}

}  // namespace

bool ParseInt16(const std::string& text, int& value) {
    size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
    size_t i = b;
    bool negative = false;
    if (i < e && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == e) return false;
    long v = 0;
    for (; i < e; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
        if (v > 32768) return false;  // stops before long digit runs can overflow
    }
    if (negative) v = -v;
    if (v < -32768 || v > 32767) return false;
    value = int(v);
    return true;
}

const std::array<int, VolumeInfoForm::kFieldCount>& VolumeInfoForm::FieldIds() {
    static const std::array<int, kFieldCount> ids = [] {
        std::array<int, kFieldCount> a{};
        int n = 0;
        for (int id : {kFieldOS, kFieldVolSetID, kFieldVolSetSize, kFieldVolNumber, kFieldPublisher,
                       kFieldPrepare, kFieldApplication, kFieldCopyright, kFieldAbstract, kFieldBiblographic})
            a[n++] = id;
        for (int id = kFieldCreationYear; id < kFieldEffectiveYear + 6; ++id) a[n++] = id;
        a[n++] = kFieldImplID;
        return a;
    }();
    return ids;
}

int VolumeInfoForm::ByteLimit(int fieldId) {
    if (fieldId == kFieldImplID) return kImplIdMaxBytes;
    // Twice the character limit: room for as many double-byte characters.
    for (const auto& c : kCharLimits)
        if (c.id == fieldId) return 2 * c.limit;
    return 0;
}

VolumeInfoForm::VolumeInfoForm() {
    Field(kFieldVolSetSize) = "1";
    Field(kFieldVolNumber) = "1";
    for (int row : kDateRowIds)
        for (int j = 0; j < 6; ++j) Field(row + j) = "0";
}

std::string& VolumeInfoForm::Field(int fieldId) {
    const auto& ids = FieldIds();
    auto it = std::find(ids.begin(), ids.end(), fieldId);
    if (it == ids.end()) throw std::out_of_range("no volume information field " + std::to_string(fieldId));
    return m_fields[size_t(it - ids.begin())];
}

const std::string& VolumeInfoForm::Field(int fieldId) const {
    return const_cast<VolumeInfoForm*>(this)->Field(fieldId);
}

void VolumeInfoForm::Load(const VolumeInfo& info, const VolumeDate& creationDate, const VolumeDate& creationTime) {
    for (size_t i = 0; i < kTextFields.size(); ++i) {
        m_texts[i] = info.*kTextFields[i].field;
        Field(kTextFields[i].id) = m_texts[i];
    }
    m_volSetSize = info.VolSetSize;
    m_volNumber = info.VolNumber;
    Field(kFieldVolSetSize) = Show(m_volSetSize);
    Field(kFieldVolNumber) = Show(m_volNumber);

    m_dates[0] = IsDateUnset(info.Creation) ? JoinDateTime(creationDate, creationTime) : info.Creation;
    for (int r = 1; r < 4; ++r) m_dates[r] = info.*kDateFields[r];
    for (int r = 0; r < 4; ++r)
        for (int j = 0; j < 6; ++j) Field(kDateRowIds[r] + j) = Show(m_dates[r].*kDateMembers[j].member);
}

FormCheck VolumeInfoForm::Validate() {
    if (Utf8ToCp932(Field(kFieldImplID)).size() > size_t(kImplIdMaxBytes))
        return Fail(kFieldImplID, MessageIcon::Exclamation, kMsgLength, std::to_string(kImplIdMaxBytes));

    int v = 0;
    if (!ParseInt16(Field(kFieldVolNumber), v)) return Fail(kFieldVolNumber, MessageIcon::None, kMsgInteger);
    uint16_t volNumber = uint16_t(v);
    if (!ParseInt16(Field(kFieldVolSetSize), v)) return Fail(kFieldVolSetSize, MessageIcon::None, kMsgInteger);
    uint16_t volSetSize = uint16_t(v);

    std::array<VolumeDate, 4> dates{};
    for (int r = 0; r < 4; ++r) {
        int values[6];
        for (int j = 0; j < 6; ++j)
            if (!ParseInt16(Field(kDateRowIds[r] + j), values[j]))
                return Fail(kDateRowIds[r] + j, MessageIcon::None, kMsgInteger);
        for (int j = 0; j < 6; ++j) {
            const DateMember& m = kDateMembers[j];
            if (m.checked && (values[j] < m.min || values[j] > m.max))
                return Fail(kDateRowIds[r] + j, MessageIcon::Exclamation, kMsgRange, std::to_string(m.min),
                            std::to_string(m.max));
            dates[r].*m.member = uint16_t(values[j]);
        }
    }

    for (const auto& c : kCharLimits)
        if (Utf8ToUtf16(Field(c.id)).size() > size_t(c.limit))
            return Fail(c.id, MessageIcon::Exclamation, kMsgLength, std::to_string(c.limit));

    for (size_t i = 0; i < kTextFields.size(); ++i) m_texts[i] = Field(kTextFields[i].id);
    m_volNumber = volNumber;
    m_volSetSize = volSetSize;
    m_dates = dates;
    return FormCheck();
}

void VolumeInfoForm::Store(VolumeInfo& info) const {
    for (size_t i = 0; i < kTextFields.size(); ++i) info.*kTextFields[i].field = m_texts[i];
    info.VolSetSize = m_volSetSize;
    info.VolNumber = m_volNumber;
    for (int r = 0; r < 4; ++r)
        for (const auto& m : kDateMembers) (info.*kDateFields[r]).*m.member = m_dates[r].*m.member;
}

}  // namespace pm
