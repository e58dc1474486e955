#include "job/BuildInputs.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "messages/Strings.h"
#include "platform/Platform.h"
#include "writer/ReadAhead.h"
#include "platform/Time.h"
#include "tree/Text.h"

namespace pm {

std::string CutToUnits(const std::string& text, int units) {
    std::u16string u = Utf8ToUtf16(text);
    if (int(u.size()) <= units) return text;
    size_t n = size_t(units);
    if (n > 0 && u[n - 1] >= 0xD800 && u[n - 1] <= 0xDBFF) --n;  // keep pairs whole
    return Utf16ToUtf8(u.substr(0, n));
}

bool LabelFits(const std::string& label) { return int(Utf8ToUtf16(label).size()) <= kMaxLabelUnits; }

bool FolderDefaults(Platform& platform, const std::string& folder, std::string& label, VolumeDate& date,
                    VolumeDate& time) {
    DirEntry e;
    if (!platform.LookupEntry(folder, e)) return false;
    std::string title;
    DecodeName(e.name, title);
    size_t dot = title.rfind('.');
    if (dot != std::string::npos) title.erase(dot);
    label = CutToUnits(title, kMaxLabelUnits);
    date = VolumeDate{};
    time = VolumeDate{};
    CalendarTime c;
    if (LocalTime(e.mtime, c)) {
        date.year = uint16_t(c.year);
        date.month = uint16_t(c.month);
        date.day = uint16_t(c.day);
        time.hour = uint16_t(c.hour);
        time.minute = uint16_t(c.minute);
        time.second = uint16_t(c.second);
    }
    return true;
}

std::string NormaliseImagePath(const std::string& path) {
    size_t dot = path.rfind('.');
    std::string ext = dot == std::string::npos ? path : path.substr(dot);
    for (char& ch : ext)
        if (ch >= 'A' && ch <= 'Z') ch = char(ch - 'A' + 'a');
    if (ext == ".iso" || ext == ".img" || ext == ".bin") return path;
    return path + ".iso";
}

std::string ImageFolder(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

namespace {

// Reads 1 to maxDigits decimal digits at text[i]; no sign, no overflow.
bool Digits(const std::string& text, size_t& i, size_t maxDigits, int& out) {
    size_t start = i;
    out = 0;
    while (i < text.size() && i - start < maxDigits && text[i] >= '0' && text[i] <= '9') out = out * 10 + (text[i++] - '0');
    return i > start && !(i < text.size() && text[i] >= '0' && text[i] <= '9');
}

bool Expect(const std::string& text, size_t& i, char c) {
    if (i >= text.size() || text[i] != c) return false;
    ++i;
    return true;
}

}  // namespace

bool ParseDateTime(const std::string& text, VolumeDate& date, VolumeDate& time) {
    // Each field has a bounded number of digits, so no number can overflow
    // into a plausible smaller one.
    int y, mo, d, h = 0, mi = 0, s = 0;
    size_t i = 0;
    if (!Digits(text, i, 4, y) || !Expect(text, i, '-') || !Digits(text, i, 2, mo) || !Expect(text, i, '-') ||
        !Digits(text, i, 2, d))
        return false;
    if (i < text.size() && (!Expect(text, i, ' ') || !Digits(text, i, 2, h) || !Expect(text, i, ':') ||
                            !Digits(text, i, 2, mi) || !Expect(text, i, ':') || !Digits(text, i, 2, s)))
        return false;
    if (i != text.size()) return false;
    if (y < 1 || mo < 1 || mo > 12 || d < 1 || h > 23 || mi > 59 || s > 59) return false;
    // A day the month does not have would be written into the image as is.
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    const int monthDays[] = {31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (d > monthDays[mo - 1]) return false;
    date = VolumeDate{};
    time = VolumeDate{};
    date.year = uint16_t(y);
    date.month = uint16_t(mo);
    date.day = uint16_t(d);
    time.hour = uint16_t(h);
    time.minute = uint16_t(mi);
    time.second = uint16_t(s);
    return true;
}

namespace {

// SOURCE_DATE_EPOCH as seconds: digits only, within 32 bits.
bool ParseEpoch(const char* text, uint32_t& seconds) {
    if (!text || !*text) return false;
    uint64_t v = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        v = v * 10 + uint64_t(*p - '0');
        if (v > 0xFFFFFFFFull) return false;
    }
    seconds = uint32_t(v);
    return true;
}

}  // namespace

bool EpochIgnored() {
    uint32_t seconds = 0;
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    return epoch && *epoch && !ParseEpoch(epoch, seconds);  // empty counts as unset
}

void ApplySystemInputs(BuildRequest& request, Platform& platform) {
    request.timeZoneOffset = platform.StandardTimeZoneOffset();
    if (!ParseEpoch(std::getenv("SOURCE_DATE_EPOCH"), request.seedSeconds)) request.seedSeconds = uint32_t(std::time(nullptr));
    request.readers = kDefaultReaders;
    if (const char* text = std::getenv("PARUMERO_READERS")) {
        char* end = nullptr;
        unsigned long v = std::strtoul(text, &end, 10);
        if (end != text && *end == '\0' && v >= 1) request.readers = unsigned(std::min<unsigned long>(v, ReadAhead::kMaxReaders));
    }
}

bool ImagePathNamesFolder(Platform& platform, const std::string& typed) {
    // "out/" would become the hidden file "out/.iso".
    if (!typed.empty() && typed.back() == '/') return true;
    DirEntry e;
    if (platform.LookupEntry(typed, e) && e.directory) return true;
    return platform.LookupEntry(NormaliseImagePath(typed), e) && e.directory;
}

std::string FitsOnText(uint64_t sectors) {
    // Capacities in 2048-byte sectors of the usual recordable media: CD-R 80 min
    // 359,847; DVD±R 2,295,104; DVD±R DL 4,173,824; BD-R 12,219,392; BD-R DL
    // 24,438,784.
    struct Medium {
        uint64_t sectors;
        const char* name;
    };
    static const Medium kMedia[] = {{359'847, "CD 700 MB"},
                                    {2'295'104, "DVD 4.7 GB"},
                                    {4'173'824, "DVD DL 8.5 GB"},
                                    {12'219'392, "BD 25 GB"},
                                    {24'438'784, "BD DL 50 GB"}};
    for (const Medium& m : kMedia)
        if (sectors <= m.sectors) return FormatString(kMsgFitsOn, m.name);
    return LoadString(kMsgFitsNoMedium);
}

}  // namespace pm
