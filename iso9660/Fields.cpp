#include "iso9660/Fields.h"

#include <algorithm>
#include <cstring>

#include "platform/Time.h"
#include "settings/VolumeInfo.h"
#include "tree/WideString.h"

namespace pm {

uint8_t IsoOffsetByte(int offsetMinutes) {
    // C++ division truncates toward zero, as the format wants.
    return uint8_t(int8_t(offsetMinutes / 15));
}

bool DirectoryDateClamped(int64_t time) {
    CalendarTime t;
    return LocalTime(time, t) && t.year > 1900 + 255;
}

void WriteDirectoryDate(uint8_t* d7, int64_t time) {
    CalendarTime t;
    if (!LocalTime(time, t) || t.year < 1900) {
        std::memset(d7, 0, 7);  // no representable date: the zero date, not a failed build
        return;
    }
    if (t.year > 1900 + 255) {
        // Later than the field can hold: its last second, not a zero date that
        // readers show as 1901, as the time of extraction or as garbage.
        // Its offset is the one in effect on that day.
        t.year = 1900 + 255, t.month = 12, t.day = 31, t.hour = 23, t.minute = 59, t.second = 59;
        int64_t last = 0;
        CalendarTime then;
        if (MakeTimeStandard(t, last) && LocalTime(last, then)) t.utcOffsetMinutes = then.utcOffsetMinutes;
    }
    d7[0] = uint8_t(t.year - 1900);  // years since 1900
    d7[1] = uint8_t(t.month);
    d7[2] = uint8_t(t.day);
    d7[3] = uint8_t(t.hour);
    d7[4] = uint8_t(t.minute);
    d7[5] = uint8_t(t.second);
    // The offset in effect at that moment: the clock fields include daylight
    // saving, and a standard-time offset would move summer times by an hour.
    d7[6] = IsoOffsetByte(t.utcOffsetMinutes);
}

namespace {

// Writes `value` as exactly `digits` ASCII digits. A value too large for the
// field is clamped to all nines: the settings file can hold any 16-bit number
// (a year of 65535, a month of 300), and the digits must never spill into the
// next field or the offset byte.
void PutDigits(uint8_t* p, unsigned value, int digits) {
    unsigned limit = 1;
    for (int i = 0; i < digits; ++i) limit *= 10;
    value = std::min(value, limit - 1);
    for (int i = digits - 1; i >= 0; --i) {
        p[i] = uint8_t('0' + value % 10);
        value /= 10;
    }
}

// Same rule as IsDateUnset: the six used members all zero (day of week and
// milliseconds are never read).
bool Unset(const VolumeDate& d) {
    return d.year == 0 && d.month == 0 && d.day == 0 && d.hour == 0 && d.minute == 0 && d.second == 0;
}

}  // namespace

void WriteDescriptorDate(uint8_t* d17, const VolumeDate& date, int zoneMinutes) {
    PutDigits(d17 + 0, date.year, 4);  // 0..9999 (the members are unsigned)
    PutDigits(d17 + 4, date.month, 2);
    PutDigits(d17 + 6, date.day, 2);
    PutDigits(d17 + 8, date.hour, 2);
    PutDigits(d17 + 10, date.minute, 2);
    PutDigits(d17 + 12, date.second, 2);
    d17[14] = '0';  // hundredths
    d17[15] = '0';
    d17[16] = Unset(date) ? 0 : IsoOffsetByte(zoneMinutes);
}

size_t WriteIsoText(uint8_t* dest, size_t width, const std::string& cp932Bytes) {
    std::memset(dest, ' ', width);
    size_t n = std::min(cp932Bytes.size(), width);
    std::memcpy(dest, cp932Bytes.data(), n);
    return n;
}

void WriteJolietText(uint8_t* dest, size_t width, const std::string& utf8) {
    if (width == 0) return;
    WideString text(utf8);
    for (size_t i = 0; i + 1 < width; i += 2) {  // U+0020 pairs
        dest[i] = 0x00;
        dest[i + 1] = 0x20;
    }
    dest[width - 1] = 0;
    size_t n = std::min(size_t(text.ByteLength()), width);
    if (n) std::memcpy(dest, text.Data(), n);
    if (n + 1 < width) {  // U+0000 after a text that leaves room
        dest[n] = 0;
        dest[n + 1] = 0;
    }
}

}  // namespace pm
