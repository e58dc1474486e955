#include "udf/FileEntries.h"

#include <algorithm>
#include <cstring>

#include "tree/FileEntry.h"
#include "disc/OnDisc.h"
#include "udf/ExtendedAttributes.h"
#include "udf/Primitives.h"

namespace pm {


namespace {

constexpr uint8_t kFileTypeDirectory = 4;
constexpr uint8_t kFileTypeFile = 5;
// Allocation descriptors are short_ad (bits 0-2 = 0), non-relocatable,
// archive, contiguous.
constexpr uint16_t kIcbFlags = 0x0230;
constexpr uint32_t kFolderPermissions = 0x14A5;  // read and execute for all
constexpr uint32_t kFilePermissions = 0x1084;    // read for all

uint64_t CeilDiv(uint64_t a, uint64_t b) { return (a + b - 1) / b; }

// short_ads from offset 308; returns how many were written. Never more than
// the block holds.
uint32_t PutAllocationDescriptors(const CFileEntry& node, uint8_t* block, uint32_t blockSize) {
    uint32_t room = blockSize > kFileEntryFixedLength ? (blockSize - kFileEntryFixedLength) / 8 : 0;
    uint64_t remaining = node.m_nUdfSize;
    uint32_t position = node.m_dwUdfDataBlock;
    uint32_t count = 0;
    do {
        if (count == room) break;
        uint32_t piece = uint32_t(std::min<uint64_t>(remaining, kMaxExtentLength));
        PutShortAd(block + kFileEntryFixedLength + 8 * count, piece, position);
        ++count;
        remaining -= piece;
        position += uint32_t(CeilDiv(piece, blockSize));
    } while (remaining > 0);
    return count;
}

}  // namespace

uint32_t FidSize(int nameBytes) { return 4 * ((uint32_t(nameBytes) + 41) / 4); }

uint64_t FidAreaSize(const CFileEntry& folder) {
    uint64_t size = FidSize(0);  // the parent entry: 40 bytes
    for (const auto& child : folder.m_children) size += FidSize(child->UdfIdentifierBytes());
    return size;
}

uint32_t FillFileEntry(const CFileEntry& node, uint8_t* b, uint32_t blockSize, const std::string& implId) {
    std::memset(b, 0, blockSize);
    // ICB tag
    PutLE32(b + 16, 0);                      // prior recorded number of direct entries
    PutLE16(b + 20, 4);                      // strategy type
    PutLE16(b + 22, 0);                      // strategy parameter
    PutLE16(b + 24, 1);                      // maximum number of entries
    b[27] = node.m_bDirectory ? kFileTypeDirectory : kFileTypeFile;  // file type
    // 28: parent ICB location, zero
    PutLE16(b + 34, kIcbFlags);              // flags
    PutLE32(b + 36, 0xFFFFFFFF);             // uid
    PutLE32(b + 40, 0xFFFFFFFF);             // gid
    PutLE32(b + 44, node.m_bDirectory ? kFolderPermissions : kFilePermissions);  // permissions
    PutLE16(b + 48, node.m_wLinkCount);      // file link count
    // 50: record format, display attributes, length, zero
    PutLE64(b + 56, node.m_nUdfSize);        // information length
    PutLE64(b + 64, CeilDiv(node.m_nUdfSize, blockSize));  // logical blocks recorded
    FillTimestampFromTime(b + 72, node.m_time);  // access time
    std::memcpy(b + 84, b + 72, 12);         // modification time
    std::memcpy(b + 96, b + 72, 12);         // attribute time
    PutLE32(b + 108, 1);                     // checkpoint
    // 112: extended attribute ICB, zero
    FillImplementationId(b + 128, implId);   // implementation identifier
    PutLE64(b + 160, node.m_dwUniqueId);     // unique id
    PutLE32(b + 168, kExtendedAttributesLength);  // length of extended attributes
    FillExtendedAttributes(b + 176, node.m_dwUdfEntryBlock);

    uint32_t count = PutAllocationDescriptors(node, b, blockSize);
    PutLE32(b + 172, 8 * count);             // length of allocation descriptors
    uint32_t length = kFileEntryFixedLength + 8 * count;
    FillTag(b, kTagFileEntry, node.m_dwUdfEntryBlock, uint16_t(length));
    return length;
}

uint32_t FillFileIdentifier(const CFileEntry& described, uint8_t* p, uint32_t icbLength, uint32_t tagLocation,
                            bool parent) {
    const Cs0String name = parent ? Cs0String() : described.UdfIdentifier();
    int nameBytes = name.Length();
    uint32_t size = FidSize(nameBytes);
    PutLE16(p + 16, 1);                          // file version number
    uint8_t characteristics = 0;
    if (described.m_bHidden) characteristics |= 0x01;    // existence: hidden
    if (described.m_bDirectory) characteristics |= 0x02;  // directory
    if (parent) characteristics |= 0x08;                  // parent
    p[18] |= characteristics;                    // file characteristics
    p[19] = uint8_t(nameBytes);                  // length of file identifier
    PutLongAd(p + 20, icbLength, described.m_dwUdfEntryBlock, described.m_dwUniqueId);  // ICB
    PutLE16(p + 36, 0);                          // length of implementation use
    if (nameBytes > 0) std::memcpy(p + 38, name.Data(), size_t(nameBytes));  // file identifier
    FillTag(p, kTagFileIdentifier, tagLocation, uint16_t(size));
    return size;
}

uint32_t FillDirectoryContents(const CFileEntry& folder, uint8_t* buf, uint32_t blockSize) {
    const CFileEntry& parent = folder.m_pParent ? *folder.m_pParent : folder;
    uint32_t p = FillFileIdentifier(parent, buf, blockSize, folder.m_dwUdfDataBlock, true);
    for (const auto& child : folder.m_children) {
        // A descriptor may run over into the next block; its tag names the
        // block where it starts.
        uint32_t location = folder.m_dwUdfDataBlock + p / blockSize;
        p += FillFileIdentifier(*child, buf + p, blockSize, location, false);
    }
    return p;
}

}  // namespace pm
