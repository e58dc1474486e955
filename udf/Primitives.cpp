#include "udf/Primitives.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/Time.h"
#include "settings/VolumeInfo.h"
#include "tree/Text.h"
#include "tree/WideString.h"
#include "disc/OnDisc.h"

namespace pm {


namespace {

constexpr std::array<uint16_t, 256> MakeCrcTable() {
    std::array<uint16_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        uint16_t crc = uint16_t(i << 8);
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
        table[i] = crc;
    }
    return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

bool IsCp932LeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

void PutTimestampFields(uint8_t* field, uint16_t typeAndZone, int year, int month, int day, int hour,
                        int minute, int second) {
    PutLE16(field + 0, typeAndZone);     // type and time zone
    PutLE16(field + 2, uint16_t(year));  // year
    field[4] = uint8_t(month);
    field[5] = uint8_t(day);
    field[6] = uint8_t(hour);
    field[7] = uint8_t(minute);
    field[8] = uint8_t(second);
    field[9] = 0;   // centiseconds
    field[10] = 0;  // hundreds of microseconds
    field[11] = 0;  // microseconds
}

}  // namespace

uint16_t DescriptorCrc(const uint8_t* bytes, int length) {
    uint16_t crc = 0;
    for (int i = 0; i < length; ++i) crc = uint16_t(kCrcTable[((crc >> 8) ^ bytes[i]) & 0xFF] ^ (crc << 8));
    return crc;
}

uint8_t TagChecksum(const uint8_t* tag) {
    unsigned sum = 0;
    for (int i = 0; i < kTagSize; ++i)
        if (i != 4) sum += tag[i];
    return uint8_t(sum);
}

void FillTag(uint8_t* d, uint16_t identifier, uint32_t location, uint16_t length) {
    // A length below the tag's own size has no body to cover.
    uint16_t crcLength = length > kTagSize ? uint16_t(length - kTagSize) : 0;
    PutLE16(d + 0, identifier);         // tag identifier
    PutLE16(d + 2, 2);                  // descriptor version
    d[5] = 0;                           // reserved
    PutLE16(d + 6, 0);                  // tag serial number
    PutLE16(d + 8, DescriptorCrc(d + kTagSize, crcLength));  // descriptor CRC
    PutLE16(d + 10, crcLength);         // descriptor CRC length
    PutLE32(d + 12, location);          // tag location
    d[4] = TagChecksum(d);              // tag checksum
}

void FillCharspec(uint8_t* field) {
    std::memset(field, 0, 64);
    field[0] = 0;  // CS0
    std::memcpy(field + 1, "OSTA Compressed Unicode", 23);
}

void FillDomainId(uint8_t* field) {
    std::memset(field, 0, 32);
    static const char kDomain[] = "*OSTA UDF Compliant";
    std::memcpy(field + 1, kDomain, sizeof kDomain);
    PutLE16(field + 24, 0x0102);  // UDF revision
    field[26] = 3;                // domain flags: hard and soft write-protect
}

void FillImplementationId(uint8_t* field, const std::string& implIdUtf8) {
    std::memset(field, 0, 32);
    field[1] = '*';
    std::string bytes = Utf8ToCp932(implIdUtf8);
    // A double-byte character that would straddle the limit is left out whole.
    size_t n = 0;
    while (n < bytes.size()) {
        size_t w = IsCp932LeadByte(uint8_t(bytes[n])) ? 2 : 1;
        if (n + w > size_t(kImplIdMaxBytes)) break;
        n += w;
    }
    std::memcpy(field + 2, bytes.data(), n);
}

void FillUdfRevisionId(uint8_t* field, const char* text) {
    std::memset(field, 0, 32);
    std::memcpy(field + 1, text, std::min<size_t>(std::strlen(text), 23));
    PutLE16(field + 24, 0x0102);  // UDF revision; no OS class or identifier
}

void FillPlainRegid(uint8_t* field, const char* text) {
    std::memset(field, 0, 32);
    std::memcpy(field + 1, text, std::min<size_t>(std::strlen(text), 23));
}

int Cs0FittingBytes(const Cs0String& text, int room) {
    const uint8_t* p = text.Data();
    int length = text.Length();
    if (!p || length <= 1 || room <= 1) return 0;
    int count = std::min(length, room);
    count = 1 + (count - 1) / 2 * 2;  // whole 16-bit units
    // Never keep the first half of a surrogate pair without its second half.
    if (count < length && count >= 3 && (p[count - 2] & 0xFC) == 0xD8) count -= 2;
    return count > 1 ? count : 0;
}

void WriteDstring(const Cs0String& text, uint8_t* field, int width) {
    int count = Cs0FittingBytes(text, width - 1);
    if (count == 0) return;  // an empty d-string is all zero
    std::memcpy(field, text.Data(), size_t(count));
    field[width - 1] = uint8_t(count);
}

uint16_t TimestampTypeAndZone(int offsetMinutes) {
    return uint16_t(0x1000 | (unsigned(offsetMinutes) & 0x0FFF));
}

void FillTimestampFromTime(uint8_t* field, int64_t time) {
    CalendarTime c;
    if (!LocalTime(time, c) || c.year < 1 || c.year > 9999) {
        std::memset(field, 0, 12);
        return;
    }
    // The zone is the offset in effect at that moment (daylight saving
    // included), so the local fields and the zone name the same instant.
    PutTimestampFields(field, TimestampTypeAndZone(c.utcOffsetMinutes), c.year, c.month, c.day, c.hour, c.minute, c.second);
}

void FillTimestampFromDate(uint8_t* field, const VolumeDate& d, int zoneMinutes) {
    PutTimestampFields(field, TimestampTypeAndZone(zoneMinutes), int16_t(d.year), d.month & 0xFF,
                       d.day & 0xFF, d.hour & 0xFF, d.minute & 0xFF, d.second & 0xFF);
}

void PutExtentAd(uint8_t* p, uint32_t length, uint32_t location) {
    PutLE32(p + 0, length);    // extent length
    PutLE32(p + 4, location);  // extent location
}

void PutLongAd(uint8_t* p, uint32_t length, uint32_t block, uint32_t uniqueId) {
    PutLE32(p + 0, length);     // extent length
    PutLE32(p + 4, block);      // logical block number
    PutLE16(p + 8, 0);          // partition reference number
    PutLE16(p + 10, 0);         // implementation use: flags
    PutLE32(p + 12, uniqueId);  // implementation use: UDF unique id
}

void PutShortAd(uint8_t* p, uint32_t length, uint32_t position) {
    PutLE32(p + 0, length & 0x3FFFFFFF);  // extent type 0 in the top two bits
    PutLE32(p + 4, position);             // extent position
}

}  // namespace pm
