// UDF file entries (one block per file or folder, with two implementation use
// extended attributes and short_ad allocation descriptors) and the file
// identifier descriptors of a folder's identifier area.
#pragma once

#include <cstdint>
#include <string>

namespace pm {

class CFileEntry;

// One short_ad describes at most this many bytes: the largest multiple of
// 2048 below 2^30.
constexpr uint32_t kMaxExtentLength = 0x3FFFF800;
constexpr uint32_t kFileEntryFixedLength = 308;  // up to the allocation descriptors
// (2048 - 308) / 8 short_ads fit in one file entry; a longer file cannot be
// described, and the build refuses it before layout.
constexpr uint32_t kMaxAllocationDescriptors = 217;
constexpr uint64_t kMaxUdfFileSize = 217ull * 0x3FFFF800;

// The boot catalog, listed where the user names it, goes in the ISO 9660
// and Joliet trees only: the UDF tree has no entry for it.
bool InUdfTree(const CFileEntry& e);

// Padded size of a file identifier descriptor whose name has `nameBytes`
// bytes: 38 + nameBytes rounded up to a multiple of 4.
uint32_t FidSize(int nameBytes);
// Byte length of a folder's identifier area: the parent entry and one
// descriptor per child.
uint64_t FidAreaSize(const CFileEntry& folder);

// Clears `blockSize` bytes and fills the node's file entry; returns its
// length (308 + 8 per allocation descriptor, or + a symbolic link's path
// components, which the entry holds itself). With Linux attributes it
// records the node's permissions, owner, group and times.
uint32_t FillFileEntry(const CFileEntry& node, uint8_t* block, uint32_t blockSize, const std::string& implId);

// Fills one file identifier descriptor describing `described` at `pos`;
// returns its padded size. The parent entry has no name.
uint32_t FillFileIdentifier(const CFileEntry& described, uint8_t* pos, uint32_t icbLength, uint32_t tagLocation,
                            bool parent);

// Fills the folder's whole identifier area into a zeroed buffer of at least
// m_nUdfSize bytes rounded up to whole blocks; returns the bytes filled.
uint32_t FillDirectoryContents(const CFileEntry& folder, uint8_t* buf, uint32_t blockSize);

}  // namespace pm
