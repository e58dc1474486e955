// The small field encoders every ISO 9660 and Joliet structure is built from:
// the time-zone offset byte, the 7-byte record date, the 17-byte descriptor
// date and the two kinds of fixed-width text field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pm {

struct VolumeDate;

// Minutes east of UTC as the one-byte offset of ISO 9660 dates: quarter hours,
// truncated toward zero (-7 minutes gives 0), two's complement.
uint8_t IsoOffsetByte(int offsetMinutes);

// Directory-record date of a last-write time (seconds since 1970 UTC) in local
// time, with the offset in effect then. All seven bytes zero when the time has
// no local calendar date or lies before 1900; 2155-12-31 23:59:59 when it lies
// after that (the latest the field holds).
void WriteDirectoryDate(uint8_t* d7, int64_t time);
// The time lies after 2155-12-31 23:59:59 local time: a record date holds
// that second instead.
bool DirectoryDateClamped(int64_t time);

// Volume-descriptor date: 16 ASCII digits "YYYYMMDDhhmmss00" and the offset
// byte of `zoneMinutes` east of UTC (0 for an unset date).
void WriteDescriptorDate(uint8_t* d17, const VolumeDate& date, int zoneMinutes);

// Fills `width` bytes with spaces and copies the code page 932 bytes over the
// start, cut at the width. Returns the number of text bytes copied.
size_t WriteIsoText(uint8_t* dest, size_t width, const std::string& cp932Bytes);

// Fills `width` bytes as a Joliet text field: big-endian UTF-16 text, then
// U+0000 when there is room, then U+0020 pairs; the last byte is always 0
// unless the text reaches it.
void WriteJolietText(uint8_t* dest, size_t width, const std::string& utf8);

}  // namespace pm
