// Recognition sequence, anchor, terminating, integrity and file set
// descriptors.
#include "udf/VolumeStructures.h"

#include <cstring>

#include "disc/ImageLayout.h"
#include "settings/VolumeInfo.h"
#include "disc/OnDisc.h"
#include "udf/Primitives.h"

namespace pm {


namespace {

void FillRecognition(uint8_t* s, const char* identifier) {
    std::memset(s, 0, SectorSize);
    s[0] = 0;                            // structure type
    std::memcpy(s + 1, identifier, 5);   // standard identifier
    s[6] = 1;                            // structure version
}

}  // namespace

void FillBeginningExtendedArea(uint8_t* sector) { FillRecognition(sector, "BEA01"); }
void FillNsrDescriptor(uint8_t* sector) { FillRecognition(sector, "NSR02"); }
void FillTerminatingExtendedArea(uint8_t* sector) { FillRecognition(sector, "TEA01"); }

void FillAnchor(uint8_t* s, uint32_t location, const UdfVolume& v) {
    std::memset(s, 0, SectorSize);
    const ImageLayout& l = v.layout;
    PutExtentAd(s + 16, kVdsExtentSectors * l.m_dwSectorSize, l.m_dwUdfMainVds);     // main VDS extent
    PutExtentAd(s + 24, kVdsExtentSectors * l.m_dwSectorSize, l.m_dwUdfReserveVds);  // reserve VDS extent
    FillTag(s, kTagAnchor, location, 512);
}

void FillTerminatingDescriptor(uint8_t* s, uint32_t location) {
    std::memset(s, 0, SectorSize);
    FillTag(s, kTagTerminating, location, 512);
}

void FillIntegrityDescriptor(uint8_t* s, uint32_t location, const UdfVolume& v) {
    std::memset(s, 0, SectorSize);
    const ImageLayout& l = v.layout;
    FillTimestampFromDate(s + 16, v.info.Creation, v.layout.m_nTimeZoneOffset);  // recording date and time
    PutLE32(s + 28, 1);                              // integrity type: close
    // 32: next integrity extent, zero
    PutLE64(s + 40, l.m_dwUdfNextUniqueId);          // logical volume header: unique id
    PutLE32(s + 72, 1);                              // number of partitions
    PutLE32(s + 76, 46);                             // length of implementation use
    PutLE32(s + 80, 0);                              // free space table [0]
    PutLE32(s + 84, l.m_dwUdfPartitionLength);       // size table [0]
    FillImplementationId(s + 88, v.info.ImplID);     // implementation use: implementation identifier
    PutLE32(s + 120, v.fileCount);                   // number of files
    PutLE32(s + 124, v.dirCount);                    // number of directories
    PutLE16(s + 128, 0x0102);                        // minimum UDF read revision
    PutLE16(s + 130, 0x0102);                        // minimum UDF write revision
    PutLE16(s + 132, 0x0102);                        // maximum UDF write revision
    FillTag(s, kTagIntegrity, location, kIntegrityDescriptorLength);
}

void FillFileSetDescriptor(uint8_t* s, uint32_t location, const UdfVolume& v) {
    std::memset(s, 0, SectorSize);
    FillTimestampFromDate(s + 16, v.info.Creation, v.layout.m_nTimeZoneOffset);  // recording date and time
    PutLE16(s + 28, 3);                              // interchange level
    PutLE16(s + 30, 3);                              // maximum interchange level
    PutLE32(s + 32, 1);                              // character set list
    PutLE32(s + 36, 1);                              // maximum character set list
    PutLE32(s + 40, 0);                              // file set number
    PutLE32(s + 44, 0);                              // file set descriptor number
    FillCharspec(s + 48);                            // logical volume identifier character set
    WriteDstring(v.info.UdfLabel, s + 112, 128);     // logical volume identifier
    FillCharspec(s + 240);                           // file set character set
    WriteDstring(v.info.UdfLabel, s + 304, 32);      // file set identifier
    // 336: copyright and abstract file identifiers, zero
    PutLongAd(s + 400, v.layout.m_dwSectorSize, v.rootEntryBlock, 0);  // root directory ICB
    FillDomainId(s + 416);                           // domain identifier
    // 448: next extent, zero
    FillTag(s, kTagFileSet, location, 512);
}

}  // namespace pm
