#include "iso9660/VolumeDescriptors.h"

#include <cstring>
#include <string>

#include "iso9660/DirectoryRecords.h"
#include "iso9660/Fields.h"
#include "disc/OnDisc.h"
#include "disc/ImageLayout.h"
#include "settings/VolumeInfo.h"
#include "tree/Text.h"

namespace pm {

namespace {

constexpr size_t kSector = 2048;

void PutStandardIdentifier(uint8_t* s) {
    std::memcpy(s + 1, "CD001", 5);  // standard identifier
    s[6] = 1;                        // descriptor version
}

// The root's record inside a descriptor: always 34 bytes with identifier 0,
// whatever the root folder is called.
void PutRootRecord(uint8_t* d34) {
    d34[0] = 34;  // record length
    d34[32] = 1;  // file identifier length
    d34[33] = 0;  // file identifier
}

// Either kind of text field, so both descriptors list their fields once.
using TextWriter = void (*)(uint8_t* dest, size_t width, const std::string& utf8);

void IsoText(uint8_t* dest, size_t width, const std::string& utf8) { WriteIsoText(dest, width, Utf8ToCp932(utf8)); }

void PutTextFields(uint8_t* s, const VolumeInfo& info, TextWriter text) {
    text(s + 8, 32, info.OS);              // system identifier
    text(s + 40, 32, info.Label);          // volume identifier
    text(s + 190, 128, info.VolSetID);     // volume set identifier
    text(s + 318, 128, info.Publisher);    // publisher identifier
    text(s + 446, 128, info.Prepare);      // data preparer identifier
    text(s + 574, 128, info.Application);  // application identifier
    text(s + 702, 37, info.Copyright);     // copyright file identifier
    text(s + 739, 37, info.Abstract);      // abstract file identifier
    text(s + 776, 37, info.Biblographic);  // bibliographic file identifier
}

}  // namespace

void FillIsoDescriptorCommon(uint8_t* s, const ImageLayout& layout, const VolumeInfo& info) {
    std::memset(s, 0, kSector);
    PutStandardIdentifier(s);
    PutBoth32(s + 80, layout.m_dwTotalSectors);  // volume space size
    PutBoth16(s + 120, info.VolSetSize);         // volume set size
    PutBoth16(s + 124, info.VolNumber);          // volume sequence number
    PutBoth16(s + 128, uint16_t(layout.m_dwSectorSize));  // logical block size
    WriteDescriptorDate(s + 813, info.Creation, layout.m_nTimeZoneOffset);
    WriteDescriptorDate(s + 830, info.Modification, layout.m_nTimeZoneOffset);
    WriteDescriptorDate(s + 847, info.Expiration, layout.m_nTimeZoneOffset);
    WriteDescriptorDate(s + 864, info.Effective, layout.m_nTimeZoneOffset);
    s[881] = 1;  // file structure version
    s[882] = 0;
}

void FillIsoPrimaryDescriptor(uint8_t* s, const ImageLayout& layout, const CFileEntry& root, const VolumeInfo& info) {
    FillIsoDescriptorCommon(s, layout, info);
    s[0] = 1;  // primary volume descriptor
    PutBoth32(s + 132, layout.m_dwIsoPathTableSize);  // path table size
    PutLE32(s + 140, layout.m_dwIsoPathTableL);       // type L path table
    PutBE32(s + 148, layout.m_dwIsoPathTableM);       // type M path table
    FillIsoRecordHeader(root, s + 156);
    PutRootRecord(s + 156);
    PutTextFields(s, info, IsoText);
}

void FillJolietDescriptor(uint8_t* s, const ImageLayout& layout, const CFileEntry& root, const VolumeInfo& info) {
    FillIsoDescriptorCommon(s, layout, info);
    s[0] = 2;  // supplementary volume descriptor
    s[88] = 0x25;  // escape sequence %/E: UCS-2 level 3
    s[89] = 0x2F;
    s[90] = 0x45;
    PutBoth32(s + 132, layout.m_dwJolietPathTableSize);
    PutLE32(s + 140, layout.m_dwJolietPathTableL);
    PutBE32(s + 148, layout.m_dwJolietPathTableM);
    FillJolietRecordHeader(root, s + 156);
    PutRootRecord(s + 156);
    PutTextFields(s, info, WriteJolietText);
}

void FillIsoDescriptorTerminator(uint8_t* s) {
    std::memset(s, 0, kSector);
    s[0] = 255;  // volume descriptor set terminator
    PutStandardIdentifier(s);
}

}  // namespace pm
