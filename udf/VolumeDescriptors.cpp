// The descriptors of a volume descriptor sequence (its terminating descriptor
// is shared with the other sequences).
#include <cstring>

#include "disc/ImageLayout.h"
#include "settings/VolumeInfo.h"
#include "disc/OnDisc.h"
#include "udf/Primitives.h"
#include "udf/VolumeStructures.h"

namespace pm {


void FillPrimaryVolumeDescriptor(uint8_t* s, uint32_t location, const UdfVolume& v) {
    std::memset(s, 0, SectorSize);
    PutLE32(s + 16, 0);                            // volume descriptor sequence number
    PutLE32(s + 20, 0);                            // primary volume descriptor number
    WriteDstring(v.info.UdfLabel, s + 24, 32);     // volume identifier
    PutLE16(s + 56, 1);                            // volume sequence number
    PutLE16(s + 58, 1);                            // maximum volume sequence number
    PutLE16(s + 60, 2);                            // interchange level
    PutLE16(s + 62, 2);                            // maximum interchange level
    PutLE32(s + 64, 1);                            // character set list
    PutLE32(s + 68, 1);                            // maximum character set list
    WriteDstring(v.volumeSetId, s + 72, 128);      // volume set identifier
    FillCharspec(s + 200);                         // descriptor character set
    FillCharspec(s + 264);                         // explanatory character set
    // 328: volume abstract, copyright notice; 344: application identifier, zero
    FillTimestampFromDate(s + 376, v.info.Creation, v.layout.m_nTimeZoneOffset);  // recording date and time
    FillImplementationId(s + 388, v.info.ImplID);     // implementation identifier
    // 420: implementation use, predecessor VDS location, flags, zero
    FillTag(s, kTagPrimaryVolume, location, 512);
}

void FillImplementationUseDescriptor(uint8_t* s, uint32_t location, const UdfVolume& v) {
    std::memset(s, 0, SectorSize);
    PutLE32(s + 16, 1);                            // volume descriptor sequence number
    FillUdfRevisionId(s + 20, "*UDF LV Info");     // implementation identifier
    FillCharspec(s + 52);                          // LV information character set
    WriteDstring(v.info.UdfLabel, s + 116, 128);   // logical volume identifier
    // 244: LV info 1, 2, 3, zero
    FillImplementationId(s + 352, v.info.ImplID);  // implementation identifier
    FillTag(s, kTagImplementationUse, location, 512);
}

void FillPartitionDescriptor(uint8_t* s, uint32_t location, const UdfVolume& v) {
    std::memset(s, 0, SectorSize);
    const ImageLayout& l = v.layout;
    PutLE32(s + 16, 2);                            // volume descriptor sequence number
    PutLE16(s + 20, 1);                            // partition flags: space allocated
    PutLE16(s + 22, 0);                            // partition number
    FillPlainRegid(s + 24, "+NSR02");              // partition contents
    // 56: partition contents use, zero (no space table or bitmap)
    PutLE32(s + 184, 1);                           // access type: read-only
    PutLE32(s + 188, l.m_dwUdfPartitionStart);     // partition starting location
    PutLE32(s + 192, l.m_dwUdfPartitionLength);    // partition length
    FillImplementationId(s + 196, v.info.ImplID);  // implementation identifier
    FillTag(s, kTagPartition, location, 512);
}

void FillLogicalVolumeDescriptor(uint8_t* s, uint32_t location, const UdfVolume& v) {
    std::memset(s, 0, SectorSize);
    const ImageLayout& l = v.layout;
    PutLE32(s + 16, 3);                            // volume descriptor sequence number
    FillCharspec(s + 20);                          // descriptor character set
    WriteDstring(v.info.UdfLabel, s + 84, 128);    // logical volume identifier
    PutLE32(s + 212, l.m_dwSectorSize);            // logical block size
    FillDomainId(s + 216);                         // domain identifier
    PutLongAd(s + 248, 2 * l.m_dwSectorSize, 0, 0);  // contents use: file set descriptor sequence
    PutLE32(s + 264, 6);                           // map table length
    PutLE32(s + 268, 1);                           // number of partition maps
    FillImplementationId(s + 272, v.info.ImplID);  // implementation identifier
    // 304: implementation use, zero
    PutExtentAd(s + 432, 2 * l.m_dwSectorSize, l.m_dwUdfIntegrity);  // integrity sequence extent
    s[440] = 1;                                    // partition map type 1
    s[441] = 6;                                    // partition map length
    PutLE16(s + 442, 1);                           // volume sequence number
    PutLE16(s + 444, 0);                           // partition number
    FillTag(s, kTagLogicalVolume, location, kLogicalVolumeDescriptorLength);
}

void FillUnallocatedSpaceDescriptor(uint8_t* s, uint32_t location) {
    std::memset(s, 0, SectorSize);
    PutLE32(s + 16, 4);  // volume descriptor sequence number
    PutLE32(s + 20, 0);  // number of allocation descriptors
    FillTag(s, kTagUnallocatedSpace, location, kUnallocatedSpaceDescriptorLength);
}

}  // namespace pm
