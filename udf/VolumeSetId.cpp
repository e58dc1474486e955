#include <cstdio>
#include <string>

#include "platform/Time.h"
#include "settings/VolumeInfo.h"
#include "udf/Primitives.h"
#include "udf/VolumeStructures.h"

namespace pm {

namespace {

// The C library's classic rand(): the same values on every platform, each in
// 0..32767.
class ClassicRandom {
public:
    explicit ClassicRandom(uint32_t seed) : m_state(seed) {}
    int Next() {
        m_state = m_state * 1103515245u + 12345u;
        return int((m_state >> 16) & 0x7FFF);
    }

private:
    uint32_t m_state;
};

// Creation as seconds, the date read as local standard time.
int64_t CreationSeconds(const VolumeDate& d) {
    if (d.year < 1900) return 0;
    CalendarTime c;
    c.year = d.year;
    c.month = d.month;
    c.day = d.day;
    c.hour = d.hour;
    c.minute = d.minute;
    c.second = d.second;
    int64_t t = 0;
    // Dates before 1970 count as not representable, as a 32-bit time would.
    if (!MakeTimeStandard(c, t) || t < 0) return 0xFFFFFFFF;
    return t;
}

void AppendUnits(std::u16string& out, const uint8_t* beUnits, int bytes) {
    for (int i = 0; i + 1 < bytes; i += 2) out.push_back(char16_t((beUnits[i] << 8) | beUnits[i + 1]));
}

}  // namespace

Cs0String MakeVolumeSetIdentifier(const VolumeInfo& info, uint32_t clockSeconds) {
    ClassicRandom random(clockSeconds);
    int r1 = random.Next();
    int r2 = random.Next();
    char prefix[40];
    std::snprintf(prefix, sizeof prefix, "%llX%04X%04X", (unsigned long long)CreationSeconds(info.Creation), r2, r1);

    Cs0String head(prefix);
    std::u16string units;
    AppendUnits(units, head.Data() + 1, head.Length() - 1);
    // The tail is UdfVolSet, as much of it as the 128-byte field still holds.
    int tail = Cs0FittingBytes(info.UdfVolSet, 127 - head.Length() + 1);
    if (tail > 1) AppendUnits(units, info.UdfVolSet.Data() + 1, tail - 1);

    Cs0String id;
    id.AssignUnits(int(units.size()), units.data());
    return id;
}

}  // namespace pm
