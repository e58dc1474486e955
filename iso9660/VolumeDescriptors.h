// The ISO 9660 volume descriptor set: primary descriptor (sector 16), Joliet
// supplementary descriptor (17) and terminator (18). Each fill writes the
// whole 2048-byte sector, zeroing it first.
#pragma once

#include <cstdint>

namespace pm {

class CFileEntry;
class VolumeInfo;
struct ImageLayout;

// The fields the primary and supplementary descriptors share.
void FillIsoDescriptorCommon(uint8_t* sector, const ImageLayout& layout, const VolumeInfo& info);
// Texts are UTF-8 in VolumeInfo; written as code page 932 bytes here.
void FillIsoPrimaryDescriptor(uint8_t* sector, const ImageLayout& layout, const CFileEntry& root,
                              const VolumeInfo& info);
// Texts written as big-endian UTF-16 (UCS-2 level 3).
void FillJolietDescriptor(uint8_t* sector, const ImageLayout& layout, const CFileEntry& root,
                          const VolumeInfo& info);
void FillIsoDescriptorTerminator(uint8_t* sector);

}  // namespace pm
