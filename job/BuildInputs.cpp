#include "job/BuildInputs.h"

#include <cstdio>

#include "platform/Platform.h"
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
    std::string title = SanitizeUtf8(e.name);
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

bool ParseDateTime(const std::string& text, VolumeDate& date, VolumeDate& time) {
    int y, mo, d, h = 0, mi = 0, s = 0;
    char tail;
    int n = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &tail);
    if (n != 3 && n != 6) return false;
    if (y < 1 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 ||
        s < 0 || s > 59)
        return false;
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

}  // namespace pm
