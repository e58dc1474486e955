#include "iso9660/DirectoryRecords.h"

#include <algorithm>
#include <cstring>

#include "iso9660/Fields.h"
#include "iso9660/RockRidge.h"
#include "disc/OnDisc.h"

namespace pm {

namespace {

// Longest name that still leaves room for the version suffix in a record of
// at most 255 bytes (33 + name + suffix, rounded up to even, <= 254).
constexpr size_t kMaxIsoName = 221 - 2;
constexpr size_t kMaxJolietName = 220 - 4;

const uint8_t kIsoVersion[2] = {';', '1'};
const uint8_t kJolietVersion[4] = {0x00, ';', 0x00, '1'};

// What differs between the two hierarchies.
struct Side {
    NameBytes (*name)(const CFileEntry&);
    size_t (*nameSize)(const CFileEntry&);
    uint32_t CFileEntry::*sector;
    uint64_t CFileEntry::*size;
    const uint8_t* version;
    size_t versionSize;
    bool (*holds)(const CFileEntry&);
    bool rock;  // carries Rock Ridge when the tree keeps Linux attributes
};

bool HoldsAll(const CFileEntry&) { return true; }

const Side kIso = {IsoName, IsoNameSize, &CFileEntry::m_dwIsoSector, &CFileEntry::m_nIsoSize, kIsoVersion, 2, HoldsAll, true};
const Side kJoliet = {JolietName, JolietNameSize, &CFileEntry::m_dwJolietSector, &CFileEntry::m_nJolietSize,
                      kJolietVersion, 4, InJolietTree, false};

// Files carry ";1", except a Joliet name that needs the room: readers expect
// at most 128 bytes (64 units) of a Joliet identifier, and accept a name
// without its version.
bool WithVersion(const Side& side, const CFileEntry& e) {
    return !e.m_bDirectory && (&side != &kJoliet || JolietHasVersion(e));
}

size_t IdentifierLength(const Side& side, const CFileEntry& e) {
    return side.nameSize(e) + (WithVersion(side, e) ? side.versionSize : 0);
}

uint8_t RecordLength(const Side& side, const CFileEntry& e) {
    return uint8_t((IdentifierLength(side, e) + 34) & ~size_t(1));
}

// Section `section` of the node: its record points at that part of the one
// contiguous extent, and all but the last carry the multi-extent flag.
void FillHeader(const Side& side, const CFileEntry& e, uint8_t* d, uint32_t section = 0) {
    const uint64_t size = e.*side.size;
    const uint64_t skipped = uint64_t(section) * kMaxSectionBytes;
    const bool last = section + 1 >= SectionCount(size, e.m_bDirectory);
    std::memset(d, 0, 33);
    d[0] = RecordLength(side, e);                    // record length
    d[1] = 0;                                        // extended attribute record length
    PutBoth32(d + 2, uint32_t(e.*side.sector + skipped / SectorSize));  // location of extent
    PutBoth32(d + 10, uint32_t(last ? size - skipped : kMaxSectionBytes));  // data length
    WriteDirectoryDate(d + 18, e.m_time);            // recording date
    d[25] = uint8_t((e.m_bHidden ? 0x01 : 0) | (e.m_bDirectory ? 0x02 : 0) | (last ? 0 : 0x80));  // file flags
    PutBoth16(d + 28, 1);                            // volume sequence number
    d[32] = uint8_t(IdentifierLength(side, e));      // file identifier length
}

// "." or "..": the node's header with a one-byte identifier.
void PutDotRecord(const Side& side, const CFileEntry& e, uint8_t* d, uint8_t identifier) {
    FillHeader(side, e, d);
    d[32] = 1;
    d[33] = identifier;
}

struct DirectoryBytes {
    uint32_t records = 0;       // the extent's bytes
    uint32_t continuation = 0;  // its Rock Ridge continuation areas
};

// Fills the extent (`buf`) and the continuation areas (`ce`), or with null
// buffers only measures them: the layout sizes directories with the very
// loop that writes them. Each record's length comes from its identifier and
// what Rock Ridge puts after it.
DirectoryBytes WriteDirectory(const Side& side, const CFileEntry& e, uint8_t* buf, uint32_t sectorSize,
                              uint8_t* ce = nullptr) {
    if (!e.m_bDirectory) return {};
    const bool rock = side.rock && e.Posix();
    ContinuationRun run{rock ? e.Posix()->continuationSector : 0, 0, ce};
    uint8_t su[kMaxSuEntry];
    // The bytes of System Use after a record of `base` bytes, in `su`.
    auto systemUse = [&](const CFileEntry& node, SuRecord which, uint32_t base) -> uint32_t {
        if (!rock) return 0;
        std::memset(su, 0, sizeof su);
        return uint32_t(PlaceSystemUse(SystemUseOf(node, which, &node == &e && !e.m_pParent), 254 - base, su, run));
    };
    uint32_t offset = 0;
    for (uint8_t dot = 0; dot < 2; ++dot) {  // "." and "..": never near a sector end
        const CFileEntry& node = dot == 0 || !e.m_pParent ? e : *e.m_pParent;
        const uint32_t length = 34 + systemUse(node, dot ? SuRecord::DotDot : SuRecord::Dot, 34);
        if (buf) {
            PutDotRecord(side, node, buf + offset, dot);
            buf[offset] = uint8_t(length);
            std::memcpy(buf + offset + 34, su, length - 34);
        }
        offset += length;
    }
    uint32_t limit = sectorSize;
    for (const auto& child : e.m_children) {
        if (!side.holds(*child)) continue;
        const uint32_t base = RecordLength(side, *child);
        const uint32_t length = base + systemUse(*child, SuRecord::Child, base);
        const uint32_t sections = SectionCount((*child).*side.size, child->m_bDirectory);
        const NameBytes name = side.name(*child);
        for (uint32_t section = 0; section < sections; ++section) {
            if (offset + length > limit) {  // never cross a sector end
                offset = limit;
                limit += sectorSize;
            }
            if (!buf) {
                offset += length;
                continue;
            }
            uint8_t* r = buf + offset;
            FillHeader(side, *child, r, section);
            r[0] = uint8_t(length);
            if (name.size()) std::memcpy(r + 33, name.data(), name.size());
            if (WithVersion(side, *child)) std::memcpy(r + 33 + name.size(), side.version, side.versionSize);
            // Every section carries the entries; their continuation is one.
            std::memcpy(r + base, su, length - base);
            offset += length;  // the padding byte, if any, stays zero
        }
    }
    return {offset, run.used};
}

enum class Order { L, M };

void FillPathEntry(const Side& side, Order order, const CFileEntry& e, uint8_t* d) {
    d[0] = uint8_t(side.nameSize(e));  // directory identifier length
    d[1] = 0;                           // extended attribute record length
    uint16_t parent = e.m_pParent ? e.m_pParent->m_wDirNumber : 1;
    if (order == Order::L) {
        PutLE32(d + 2, e.*side.sector);  // location of extent
        PutLE16(d + 6, parent);          // parent directory number
    } else {
        PutBE32(d + 2, e.*side.sector);
        PutBE16(d + 6, parent);
    }
}

uint32_t WritePathTable(const Side& side, Order order, const std::vector<CFileEntry*>& dirs, uint8_t* buf) {
    uint32_t offset = 0;
    for (size_t i = 0; i < dirs.size(); ++i) {
        const CFileEntry& d = *dirs[i];
        FillPathEntry(side, order, d, buf + offset);
        if (i == 0) {
            buf[offset] = 1;  // the root: identifier one zero byte, then padding
            buf[offset + 8] = 0;
            buf[offset + 9] = 0;
            offset += 10;
            continue;
        }
        NameBytes name = side.name(d);
        if (name.size()) std::memcpy(buf + offset + 8, name.data(), name.size());
        offset += uint32_t(8 + name.size() + (name.size() & 1));  // odd names padded (ISO 9660 only)
    }
    return offset;
}

}  // namespace

NameBytes IsoName(const CFileEntry& e) { return {e.m_strShortName.substr(0, kMaxIsoName)}; }

NameBytes JolietName(const CFileEntry& e) {
    WideString w = e.JolietIdentifier();
    return {std::string(reinterpret_cast<const char*>(w.Data()), JolietNameSize(e))};
}

size_t IsoNameSize(const CFileEntry& e) { return std::min(e.m_strShortName.size(), kMaxIsoName); }
bool JolietHasVersion(const CFileEntry& e) { return JolietNameSize(e) + 4 <= 128; }

size_t JolietNameSize(const CFileEntry& e) { return std::min(size_t(2 * e.JolietUnits()), kMaxJolietName); }

uint32_t SectionCount(uint64_t size, bool directory) {
    // Below 4 GiB one record holds the length, as it always did.
    if (directory || size <= 0xFFFFFFFFull) return 1;
    // A file past 2^32 sectors cannot be in an image (the layout refuses it);
    // the cap keeps a sparse file of exabytes from costing billions of records.
    return uint32_t(std::min<uint64_t>((size + kMaxSectionBytes - 1) / kMaxSectionBytes, 1u << 12));
}

uint8_t IsoRecordLength(const CFileEntry& e) { return RecordLength(kIso, e); }
uint8_t JolietRecordLength(const CFileEntry& e) { return RecordLength(kJoliet, e); }

void FillIsoRecordHeader(const CFileEntry& e, uint8_t* d33) { FillHeader(kIso, e, d33); }
void FillJolietRecordHeader(const CFileEntry& e, uint8_t* d33) { FillHeader(kJoliet, e, d33); }

void FillIsoPathEntryL(const CFileEntry& e, uint8_t* d8) { FillPathEntry(kIso, Order::L, e, d8); }
void FillIsoPathEntryM(const CFileEntry& e, uint8_t* d8) { FillPathEntry(kIso, Order::M, e, d8); }
void FillJolietPathEntryL(const CFileEntry& e, uint8_t* d8) { FillPathEntry(kJoliet, Order::L, e, d8); }
void FillJolietPathEntryM(const CFileEntry& e, uint8_t* d8) { FillPathEntry(kJoliet, Order::M, e, d8); }

bool InJolietTree(const CFileEntry& e) { return !e.IsSymlink() || e.Posix()->resolved; }

uint32_t IsoDirectoryBytes(const CFileEntry& e) { return WriteDirectory(kIso, e, nullptr, SectorSize).records; }
uint32_t JolietDirectoryBytes(const CFileEntry& e) { return WriteDirectory(kJoliet, e, nullptr, SectorSize).records; }
uint32_t IsoContinuationBytes(const CFileEntry& e) {
    return WriteDirectory(kIso, e, nullptr, SectorSize).continuation;
}

uint32_t WriteIsoDirectory(const CFileEntry& e, uint8_t* buf, uint32_t sectorSize) {
    return WriteDirectory(kIso, e, buf, sectorSize).records;
}
uint32_t WriteIsoContinuations(const CFileEntry& e, uint8_t* buf) {
    return WriteDirectory(kIso, e, nullptr, SectorSize, buf).continuation;
}
uint32_t WriteJolietDirectory(const CFileEntry& e, uint8_t* buf, uint32_t sectorSize) {
    return WriteDirectory(kJoliet, e, buf, sectorSize).records;
}

uint32_t WriteIsoPathTableL(const std::vector<CFileEntry*>& dirs, uint8_t* buf) {
    return WritePathTable(kIso, Order::L, dirs, buf);
}
uint32_t WriteIsoPathTableM(const std::vector<CFileEntry*>& dirs, uint8_t* buf) {
    return WritePathTable(kIso, Order::M, dirs, buf);
}
uint32_t WriteJolietPathTableL(const std::vector<CFileEntry*>& dirs, uint8_t* buf) {
    return WritePathTable(kJoliet, Order::L, dirs, buf);
}
uint32_t WriteJolietPathTableM(const std::vector<CFileEntry*>& dirs, uint8_t* buf) {
    return WritePathTable(kJoliet, Order::M, dirs, buf);
}

}  // namespace pm
