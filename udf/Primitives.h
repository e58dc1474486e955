// Field encoders shared by every UDF descriptor: the 16-byte tag with its
// checksum and CRC, entity identifiers, the charspec, d-strings, timestamps
// and the extent / allocation descriptors. All numbers are little-endian and
// every encoder writes into a buffer that is already zero.
#pragma once

#include <cstdint>
#include <string>

namespace pm {

class Cs0String;
struct VolumeDate;

// Tag identifiers of the descriptors this system writes.
enum UdfTagId : uint16_t {
    kTagPrimaryVolume = 1,
    kTagAnchor = 2,
    kTagImplementationUse = 4,
    kTagPartition = 5,
    kTagLogicalVolume = 6,
    kTagUnallocatedSpace = 7,
    kTagTerminating = 8,
    kTagIntegrity = 9,
    kTagFileSet = 256,
    kTagFileIdentifier = 257,
    kTagFileEntry = 261,
    kTagExtendedAttributeHeader = 262,
};

constexpr int kTagSize = 16;
constexpr int kImplIdMaxBytes = 22;

// CRC-16, polynomial 0x1021, initial 0, no final inversion. 0 for length <= 0.
uint16_t DescriptorCrc(const uint8_t* bytes, int length);
// Sum modulo 256 of the tag bytes 0-3 and 5-15.
uint8_t TagChecksum(const uint8_t* tag);
// Writes the tag of a descriptor whose body (length - 16 bytes after the tag)
// is final; call it last.
void FillTag(uint8_t* descriptor, uint16_t identifier, uint32_t location, uint16_t length);

// 64 bytes: CS0, "OSTA Compressed Unicode".
void FillCharspec(uint8_t* field);
// 32-byte regids.
void FillDomainId(uint8_t* field);
// "*" and the implementation name as code page 932 bytes, cut to 22 bytes
// without splitting a double-byte character.
void FillImplementationId(uint8_t* field, const std::string& implIdUtf8);
// A UDF revision identifier ("*UDF LV Info", ...): suffix = revision 1.02.
void FillUdfRevisionId(uint8_t* field, const char* text);
// A regid with a plain text and a zero suffix ("+NSR02").
void FillPlainRegid(uint8_t* field, const char* text);

// The number of leading bytes of a CS0 string (compression ID 16) that fit in
// `room` bytes, ending on a whole character. 0 for a string without
// characters.
int Cs0FittingBytes(const Cs0String& text, int room);
// Fixed-width d-string: text in bytes 0..width-2, bytes used in the last one.
void WriteDstring(const Cs0String& text, uint8_t* field, int width);

// Type-and-time-zone word of a local-time timestamp.
uint16_t TimestampTypeAndZone(int offsetMinutes);
// 12-byte timestamp of a seconds-since-1970 value in local time. A value the
// local-time conversion cannot represent leaves all 12 bytes zero.
void FillTimestampFromTime(uint8_t* field, int64_t time);
// 12-byte timestamp of a volume date in the zone `zoneMinutes` east of UTC,
// members copied without a range check.
void FillTimestampFromDate(uint8_t* field, const VolumeDate& date, int zoneMinutes);

// extent_ad (8 bytes).
void PutExtentAd(uint8_t* p, uint32_t length, uint32_t location);
// long_ad (16 bytes), partition 0, the unique id in its implementation use.
void PutLongAd(uint8_t* p, uint32_t length, uint32_t block, uint32_t uniqueId);
// short_ad (8 bytes), extent type 0 (recorded and allocated).
void PutShortAd(uint8_t* p, uint32_t length, uint32_t position);

}  // namespace pm
