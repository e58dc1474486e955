// The UDF volume: recognition sequence, anchors, the six descriptors of a
// volume descriptor sequence, the integrity descriptor and the file set
// descriptor. Each fill clears a whole sector, writes its fields and fills the
// tag last.
#pragma once

#include <cstdint>

#include "tree/WideString.h"

namespace pm {

struct ImageLayout;
class VolumeInfo;

// What the volume structures read: the layout, the volume information as the
// build holds it, a few counts of the tree, and the volume set identifier made
// once per image so that both sequences carry the same one.
struct UdfVolume {
    const ImageLayout& layout;
    const VolumeInfo& info;
    uint32_t fileCount = 0;       // every file of the tree: each name of a hard link, each symbolic link
    uint32_t dirCount = 0;        // every folder, the root included
    uint32_t rootEntryBlock = 2;  // partition block of the root's file entry
    Cs0String volumeSetId{};
};

// The 128-byte volume set identifier's text: the Creation date in seconds in
// hex, two draws of a pseudo-random generator seeded with `clockSeconds`, then
// UdfVolSet. Callers pass SOURCE_DATE_EPOCH when it is set, so images can be
// reproduced.
Cs0String MakeVolumeSetIdentifier(const VolumeInfo& info, uint32_t clockSeconds);

// Volume recognition sequence (no tags).
void FillBeginningExtendedArea(uint8_t* sector);
void FillNsrDescriptor(uint8_t* sector);
void FillTerminatingExtendedArea(uint8_t* sector);

void FillAnchor(uint8_t* sector, uint32_t location, const UdfVolume& v);
void FillPrimaryVolumeDescriptor(uint8_t* sector, uint32_t location, const UdfVolume& v);
void FillImplementationUseDescriptor(uint8_t* sector, uint32_t location, const UdfVolume& v);
void FillPartitionDescriptor(uint8_t* sector, uint32_t location, const UdfVolume& v);
void FillLogicalVolumeDescriptor(uint8_t* sector, uint32_t location, const UdfVolume& v);
void FillUnallocatedSpaceDescriptor(uint8_t* sector, uint32_t location);
void FillTerminatingDescriptor(uint8_t* sector, uint32_t location);
void FillIntegrityDescriptor(uint8_t* sector, uint32_t location, const UdfVolume& v);
// The location is the partition block (0).
void FillFileSetDescriptor(uint8_t* sector, uint32_t location, const UdfVolume& v);

// Tag lengths of the descriptors that are shorter than a sector.
constexpr uint16_t kLogicalVolumeDescriptorLength = 446;
constexpr uint16_t kUnallocatedSpaceDescriptorLength = 24;
constexpr uint16_t kIntegrityDescriptorLength = 134;
constexpr uint32_t kVdsExtentSectors = 16;

}  // namespace pm
