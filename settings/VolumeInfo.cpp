#include "settings/VolumeInfo.h"

#include <array>
#include <filesystem>
#include <system_error>

#include "messages/Strings.h"
#include "settings/IniFile.h"

namespace pm {

namespace {

const char kSection[] = "VolumeInfo";

// The text keys ahead of the two counts, the text keys after them, and the
// dates, in the order the file lists them.
struct TextKey {
    const char* key;
    std::string VolumeInfo::*field;
};
const std::array<TextKey, 2> kLeadingTexts = {{
    {"ISO_PVD_OS", &VolumeInfo::OS},
    {"ISO_PVD_VolSetID", &VolumeInfo::VolSetID},
}};
const std::array<TextKey, 6> kTrailingTexts = {{
    {"ISO_PVD_Publisher", &VolumeInfo::Publisher},
    {"ISO_PVD_Prepare", &VolumeInfo::Prepare},
    {"ISO_PVD_Application", &VolumeInfo::Application},
    {"ISO_PVD_Copyright", &VolumeInfo::Copyright},
    {"ISO_PVD_Abstract", &VolumeInfo::Abstract},
    {"ISO_PVD_Biblographic", &VolumeInfo::Biblographic},
}};

struct DateKey {
    const char* prefix;
    VolumeDate VolumeInfo::*field;
};
const std::array<DateKey, 4> kDates = {{
    {"ISO_PVD_Creation_", &VolumeInfo::Creation},
    {"ISO_PVD_Modification_", &VolumeInfo::Modification},
    {"ISO_PVD_Expiration_", &VolumeInfo::Expiration},
    {"ISO_PVD_Effective_", &VolumeInfo::Effective},
}};

struct DatePart {
    const char* suffix;
    uint16_t VolumeDate::*member;
};
const std::array<DatePart, 6> kDateParts = {{
    {"Year", &VolumeDate::year},
    {"Month", &VolumeDate::month},
    {"Day", &VolumeDate::day},
    {"Hour", &VolumeDate::hour},
    {"Minute", &VolumeDate::minute},
    {"Second", &VolumeDate::second},
}};

const char kImplIdKey[] = "UDF_PVD_ImplID";
const char kVolSetSizeKey[] = "ISO_PVD_VolSetSize";
const char kVolNumberKey[] = "ISO_PVD_VolNumber";

}  // namespace

bool IsDateUnset(const VolumeDate& d) {
    return d.year == 0 && d.month == 0 && d.day == 0 && d.hour == 0 && d.minute == 0 && d.second == 0;
}

VolumeInfo& TheVolumeInfo() {
    static VolumeInfo info;
    return info;
}

bool IsValidVolumeDate(const VolumeDate& d) {
    if (IsDateUnset(d)) return true;
    static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    // A year alone (month and day 0) names no day but is what the field can
    // hold ("2012000000000000").
    if (d.year < 1 || d.year > 9999 || d.month > 12) return false;
    if (d.month == 0) return d.day == 0 && d.hour <= 23 && d.minute <= 59 && d.second <= 59;
    if (d.day < 1 || d.day > kDays[d.month - 1]) return false;
    const bool leap = (d.year % 4 == 0 && d.year % 100 != 0) || d.year % 400 == 0;
    if (d.month == 2 && d.day == 29 && !leap) return false;
    return d.hour <= 23 && d.minute <= 59 && d.second <= 59;
}

namespace {

// A number of the settings file: blanks around decimal digits, nothing else,
// below 65536. An empty value is the fallback.
bool ReadNumber(const std::string& text, uint16_t fallback, uint16_t& out) {
    const size_t first = text.find_first_not_of(" \t"), last = text.find_last_not_of(" \t");
    if (first == std::string::npos) return out = fallback, true;
    uint32_t v = 0;
    for (size_t i = first; i <= last; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + uint32_t(text[i] - '0');
        if (v > 0xFFFF) return false;
    }
    out = uint16_t(v);
    return true;
}

}  // namespace

SmallFileStatus LoadVolumeInfo(VolumeInfo& info, const std::string& settingsPath, int* cause,
                               std::vector<std::string>* outOfRange) {
    IniFile ini;
    SmallFileStatus status = SmallFileStatus::Missing;
    ini.Load(settingsPath, &status, cause);  // a file not read gives all defaults
    auto refuse = [&](const std::string& key, const std::string& value) {
        if (outOfRange) outOfRange->push_back(FormatString(kMsgSettingOutOfRange, key + "=" + value));
    };
    for (const auto& t : kLeadingTexts) info.*t.field = ini.GetString(kSection, t.key, "");
    const std::string setSize = ini.GetString(kSection, kVolSetSizeKey, ""), number = ini.GetString(kSection, kVolNumberKey, "");
    uint16_t v = 1;
    info.VolSetSize = 1;
    if (ReadNumber(setSize, 1, v) && v >= 1) info.VolSetSize = v;
    else refuse(kVolSetSizeKey, setSize);
    info.VolNumber = 1;
    if (ReadNumber(number, 1, v) && v >= 1 && v <= info.VolSetSize) info.VolNumber = v;
    else refuse(kVolNumberKey, number);
    for (const auto& t : kTrailingTexts) info.*t.field = ini.GetString(kSection, t.key, "");
    for (const auto& d : kDates) {
        VolumeDate date;
        bool numbers = true;
        std::string shown;
        for (const auto& p : kDateParts) {
            const std::string text = ini.GetString(kSection, std::string(d.prefix) + p.suffix, "");
            shown += (shown.empty() ? "" : p.member == &VolumeDate::hour ? " " : p.member == &VolumeDate::month || p.member == &VolumeDate::day ? "-" : ":") +
                     (text.empty() ? std::string("0") : text);
            numbers = ReadNumber(text, 0, date.*p.member) && numbers;
        }
        if (numbers && IsValidVolumeDate(date)) info.*d.field = date;
        else info.*d.field = VolumeDate{}, refuse(std::string(d.prefix) + "*", shown);
    }
    info.ImplID = ini.GetString(kSection, kImplIdKey, "");
    info.HideDotFiles = ini.GetInt("Options", "HideDotFiles", 0) != 0;
    info.Reflink = ini.GetInt("Options", "Reflink", 0) != 0;
    info.PosixAttributes = ini.GetInt("Options", "PosixAttributes", 0) != 0;
    return status;
}

bool SaveVolumeInfo(const VolumeInfo& info, const std::string& settingsPath, int* cause) {
    IniFile ini;
    // Keep whatever else the file holds; a file that is there but cannot be
    // read is left alone rather than replaced by our keys alone.
    std::error_code ec;
    if (!ini.Load(settingsPath, nullptr, cause) && std::filesystem::exists(settingsPath, ec)) return false;
    for (const auto& t : kLeadingTexts) ini.SetString(kSection, t.key, info.*t.field);
    ini.SetString(kSection, kVolSetSizeKey, std::to_string(info.VolSetSize));
    ini.SetString(kSection, kVolNumberKey, std::to_string(info.VolNumber));
    for (const auto& t : kTrailingTexts) ini.SetString(kSection, t.key, info.*t.field);
    for (const auto& d : kDates)
        for (const auto& p : kDateParts)
            ini.SetString(kSection, std::string(d.prefix) + p.suffix, std::to_string((info.*d.field).*p.member));
    ini.SetString(kSection, kImplIdKey, info.ImplID);
    return ini.Save(settingsPath, cause);
}

void LoadBootChoices(BootChoices& boot, const std::string& settingsPath, std::vector<std::string>* outOfRange) {
    IniFile ini;
    ini.Load(settingsPath);
    boot = BootChoices{};
    boot.BiosImage = ini.GetString("Boot", "BiosImage", "");
    const std::string size = ini.GetString("Boot", "BiosLoadSize", "");
    if (!ReadNumber(size, 0, boot.BiosLoadSize) && outOfRange)
        outOfRange->push_back(FormatString(kMsgSettingOutOfRange, "BiosLoadSize=" + size));
    boot.BiosInfoTable = ini.GetInt("Boot", "BiosInfoTable", 0) != 0;
    boot.UefiImage = ini.GetString("Boot", "UefiImage", "");
    boot.Catalog = ini.GetString("Boot", "Catalog", "");
}

bool SaveBootChoices(const BootChoices& boot, const std::string& settingsPath, int* cause) {
    IniFile ini;
    std::error_code ec;
    if (!ini.Load(settingsPath, nullptr, cause) && std::filesystem::exists(settingsPath, ec)) return false;
    ini.SetString("Boot", "BiosImage", boot.BiosImage);
    ini.SetString("Boot", "BiosLoadSize", boot.BiosLoadSize ? std::to_string(boot.BiosLoadSize) : "");
    ini.SetString("Boot", "BiosInfoTable", boot.BiosInfoTable ? "1" : "0");
    ini.SetString("Boot", "UefiImage", boot.UefiImage);
    ini.SetString("Boot", "Catalog", boot.Catalog);
    return ini.Save(settingsPath, cause);
}

void ApplyBuildInputs(VolumeInfo& info, const std::string& label, const VolumeDate& date, const VolumeDate& time) {
    info.Label = label;
    info.UdfLabel.Assign(info.Label);
    info.UdfVolSet.Assign(info.VolSetID.empty() ? info.Label : info.VolSetID);
    if (!IsDateUnset(date)) info.Creation = JoinDateTime(date, time);
}

VolumeDate JoinDateTime(const VolumeDate& date, const VolumeDate& time) {
    VolumeDate d;
    d.year = date.year;
    d.month = date.month;
    d.day = date.day;
    d.hour = time.hour;
    d.minute = time.minute;
    d.second = time.second;
    return d;
}

void SplitDateTime(const VolumeDate& both, VolumeDate& date, VolumeDate& time) {
    date = VolumeDate{};
    time = VolumeDate{};
    date.year = both.year;
    date.month = both.month;
    date.day = both.day;
    time.hour = both.hour;
    time.minute = both.minute;
    time.second = both.second;
}

}  // namespace pm
