#include "udf/FileEntries.h"

#include <algorithm>
#include <cstring>

#include "tree/FileEntry.h"
#include "disc/OnDisc.h"
#include "udf/ExtendedAttributes.h"
#include "udf/PathComponents.h"
#include "udf/Primitives.h"

namespace pm {

namespace {

constexpr uint8_t kFileTypeDirectory = 4;
constexpr uint8_t kFileTypeFile = 5;
constexpr uint8_t kFileTypeSymlink = 12;
// Allocation descriptors are short_ad (bits 0-2 = 0), non-relocatable,
// archive, contiguous.
constexpr uint16_t kIcbFlags = 0x0230;
constexpr uint32_t kFolderPermissions = 0x14A5;  // read and execute for all
constexpr uint32_t kFilePermissions = 0x1084;    // read for all
constexpr uint16_t kFlagDataInEntry = 3;         // allocation type: the data follows the attributes
constexpr uint16_t kFlagSetuid = 0x40, kFlagSetgid = 0x80, kFlagSticky = 0x100;
constexpr uint32_t kNoOwner = 0xFFFFFFFF;

// Read, write and execute of each class where Linux has them. Delete follows
// write and the owner may change attributes, as the Linux kernel sets them
// for a file it makes, so that Windows does not take a writable file for
// read-only.
uint32_t UdfPermissions(uint32_t mode) {
    uint32_t p = (mode & 07) | (mode & 070) << 2 | (mode & 0700) << 4;
    if (mode & 02) p |= 0x10;      // others: delete
    if (mode & 020) p |= 0x200;    // group: delete
    if (mode & 0200) p |= 0x4000;  // owner: delete
    return p | 0x2000;             // owner: change attributes
}

uint16_t ModeFlags(uint32_t mode) {
    return uint16_t((mode & 04000 ? kFlagSetuid : 0) | (mode & 02000 ? kFlagSetgid : 0) | (mode & 01000 ? kFlagSticky : 0));
}

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

bool InUdfTree(const CFileEntry& e) { return !e.m_bBootCatalog; }

uint32_t FidSize(int nameBytes) { return 4 * ((uint32_t(nameBytes) + 41) / 4); }

uint64_t FidAreaSize(const CFileEntry& folder) {
    uint64_t size = FidSize(0);  // the parent entry: 40 bytes
    for (const auto& child : folder.m_children)
        if (InUdfTree(*child)) size += FidSize(child->UdfIdentifierBytes());
    return size;
}

uint32_t FillFileEntry(const CFileEntry& node, uint8_t* b, uint32_t blockSize, const std::string& implId) {
    std::memset(b, 0, blockSize);
    const PosixInfo* posix = node.Posix();
    std::string link;  // a symbolic link's components, kept in the entry itself
    if (node.IsSymlink() && (!EncodePathComponents(posix->linkTarget, link) || kFileEntryFixedLength + link.size() > blockSize))
        link.clear();  // refused before the build; never written past the block
    const uint64_t length = node.IsSymlink() ? link.size() : node.m_nUdfSize;
    // ICB tag
    PutLE32(b + 16, 0);                      // prior recorded number of direct entries
    PutLE16(b + 20, 4);                      // strategy type
    PutLE16(b + 22, 0);                      // strategy parameter
    PutLE16(b + 24, 1);                      // maximum number of entries
    b[27] = node.m_bDirectory ? kFileTypeDirectory : node.IsSymlink() ? kFileTypeSymlink : kFileTypeFile;  // file type
    // 28: parent ICB location, zero
    PutLE16(b + 34, uint16_t(kIcbFlags | (posix ? ModeFlags(posix->mode) : 0) | (node.IsSymlink() ? kFlagDataInEntry : 0)));  // flags
    PutLE32(b + 36, posix ? posix->uid : kNoOwner);  // uid
    PutLE32(b + 40, posix ? posix->gid : kNoOwner);  // gid
    PutLE32(b + 44, posix                ? UdfPermissions(posix->mode)
                    : node.m_bDirectory ? kFolderPermissions
                                        : kFilePermissions);  // permissions
    PutLE16(b + 48, node.m_wLinkCount);      // file link count
    // 50: record format, display attributes, length, zero
    PutLE64(b + 56, length);                 // information length
    PutLE64(b + 64, node.IsSymlink() ? 0 : CeilDiv(length, blockSize));  // logical blocks recorded
    FillTimestampFromTime(b + 84, node.m_time);  // modification time
    if (posix) {
        FillTimestampFromTime(b + 72, posix->atime);  // access time
        FillTimestampFromTime(b + 96, posix->ctime);  // attribute time
    } else {
        std::memcpy(b + 72, b + 84, 12);
        std::memcpy(b + 96, b + 84, 12);
    }
    PutLE32(b + 108, 1);                     // checkpoint
    // 112: extended attribute ICB, zero
    FillImplementationId(b + 128, implId);   // implementation identifier
    PutLE64(b + 160, node.m_dwUniqueId);     // unique id
    PutLE32(b + 168, kExtendedAttributesLength);  // length of extended attributes
    FillExtendedAttributes(b + 176, node.m_dwUdfEntryBlock);

    uint32_t used = 0;  // bytes after the fixed part: descriptors, or a link's data
    if (node.IsSymlink()) {
        std::memcpy(b + kFileEntryFixedLength, link.data(), link.size());
        used = uint32_t(link.size());
    } else {
        used = 8 * PutAllocationDescriptors(node, b, blockSize);
    }
    PutLE32(b + 172, used);                  // length of allocation descriptors
    const uint32_t entryLength = kFileEntryFixedLength + used;
    FillTag(b, kTagFileEntry, node.m_dwUdfEntryBlock, uint16_t(entryLength));
    return entryLength;
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
        if (!InUdfTree(*child)) continue;
        // A descriptor may run over into the next block; its tag names the
        // block where it starts.
        uint32_t location = folder.m_dwUdfDataBlock + p / blockSize;
        p += FillFileIdentifier(*child, buf + p, blockSize, location, false);
    }
    return p;
}

}  // namespace pm
