#include "reader/UdfReader.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <unordered_set>

#include "tree/Text.h"

namespace pm {

namespace {

constexpr uint32_t kBlock = 2048;
// The ICB flags of every file entry of ours: short_ad, non-relocatable,
// archive, contiguous; a symbolic link's holds its data in the entry
// (allocation type 3), and setuid, setgid and sticky follow the source.
constexpr uint16_t kEntryFlags = 0x0230;
constexpr uint16_t kModeFlags = 0x01C0;
constexpr uint16_t kDataInEntry = 3;
// A symbolic link's components: Linux takes at most a page of them.
constexpr uint64_t kMaxLinkBytes = 4096;

bool AnyNonZero(const uint8_t* from, const uint8_t* to) {
    return std::any_of(from, to, [](uint8_t v) { return v != 0; });
}
// Recognition descriptors to look at past sector 16: a bridge has three
// CD001 descriptors, then BEA01, NSR02 and TEA01.
constexpr uint32_t kMaxRecognition = 64;
// A folder's identifiers in memory at once: 64 MiB is over 200,000 entries
// of the longest names.
constexpr uint64_t kMaxFolderBytes = 64u << 20;
// What the tree handed out may take in memory (entries, names and paths): a
// hostile image of many entries in deep folders must not make it gigabytes.
constexpr uint64_t kMaxTreeBytes = 512u << 20;

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) { return uint32_t(Le16(p)) | (uint32_t(Le16(p + 2)) << 16); }
uint64_t Le64(const uint8_t* p) { return uint64_t(Le32(p)) | (uint64_t(Le32(p + 4)) << 32); }
uint64_t Blocks(uint64_t bytes) { return (bytes + kBlock - 1) / kBlock; }
std::string N(uint64_t v) { return std::to_string(v); }

// CRC-CCITT (polynomial 0x1021, initial 0), a byte at a time from a table
// made here from the polynomial, apart from the encoder's.
uint16_t Crc16(const uint8_t* p, size_t n) {
    static const auto table = [] {
        std::array<uint16_t, 256> t{};
        for (unsigned v = 0; v < 256; ++v) {
            uint16_t crc = uint16_t(v << 8);
            for (int b = 0; b < 8; ++b) crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
            t[v] = crc;
        }
        return t;
    }();
    uint16_t crc = 0;
    for (size_t i = 0; i < n; ++i) crc = uint16_t((crc << 8) ^ table[((crc >> 8) ^ p[i]) & 0xFF]);
    return crc;
}

// CS0 with compression 8 (one byte a unit) or 16 (big-endian units).
std::string Cs0ToUtf8(const uint8_t* p, size_t n) {
    if (n == 0) return {};
    if (p[0] != 8 && p[0] != 16) return "<compression " + N(p[0]) + ">";
    std::u16string u;
    for (size_t i = 1; i + (p[0] == 16) < n; i += p[0] / 8) u.push_back(p[0] == 8 ? p[i] : char16_t((p[i] << 8) | p[i + 1]));
    return Utf16ToUtf8(u);
}

// A symbolic link's path components back into a path: root "/", parent
// "..", current ".", names in CS0. False when one runs past the data, has no
// name where one is needed, or is of a type that names no place.
bool PathFromComponents(const uint8_t* p, size_t n, std::string& out) {
    out.clear();
    for (size_t at = 0; at < n;) {
        if (n - at < 4 || n - at - 4 < p[at + 1]) return false;
        const uint8_t type = p[at], length = p[at + 1], *id = p + at + 4;
        at += 4 + size_t(length);
        if (type == 1 || type == 2) {  // a root; 1 with a name is a root only its maker knows
            if (type == 1 && length != 0) return false;
            out = "/";
            continue;
        }
        std::string part = type == 3 ? ".." : type == 4 ? "." : "";
        if (type == 5) {
            if (length < 2 || (id[0] != 8 && id[0] != 16)) return false;
            part = Cs0ToUtf8(id, length);
            if (part.empty() || part.find('/') != std::string::npos || part.find('\0') != std::string::npos) return false;
        } else if (part.empty() || length != 0) {
            return false;
        }
        if (!out.empty() && out.back() != '/') out += '/';
        out += part;
    }
    return true;
}

std::string Dstring(const uint8_t* f, size_t width) { return Cs0ToUtf8(f, std::min<size_t>(f[width - 1], width - 1)); }

constexpr size_t kMaxProblems = 1000;

}  // namespace

// A folder whose entry was read and whose identifiers are still to walk.
struct UdfReader::Folder {
    size_t node = 0;
    uint32_t parentBlock = 0;
};

// A broken image can hold a fault in every record: the list stops at a
// thousand, which is more than anyone reads.
void UdfReader::Problem(const std::string& text) {
    if (m_problems.size() < kMaxProblems) m_problems.push_back(text);
    else if (m_problems.size() == kMaxProblems) m_problems.push_back("more problems not listed");
}

std::string UdfReader::ProblemText() const {
    std::string s;
    for (const auto& p : m_problems) s += p + "\n";
    return s;
}

bool UdfReader::ReadSector(uint64_t n, Sector& out) const {
    out.resize(kBlock);
    return n < (uint64_t(1) << 53) && m_image.ReadAt(n * kBlock, out.data(), kBlock);
}

bool UdfReader::CheckTag(const uint8_t* d, size_t avail, uint32_t location, const std::string& what) {
    if (avail < 16) return Problem(what + ": no room for a tag"), false;
    size_t before = m_problems.size();
    unsigned sum = 0;
    for (int i = 0; i < 16; ++i) sum += i == 4 ? 0 : d[i];
    if (uint8_t(sum) != d[4]) Problem(what + ": tag checksum " + N(d[4]) + ", bytes sum to " + N(sum & 0xFF));
    if (Le16(d + 2) != 2) Problem(what + ": descriptor version " + N(Le16(d + 2)));
    size_t crcLength = Le16(d + 10);
    if (16 + crcLength > avail) return Problem(what + ": CRC length " + N(crcLength) + " runs past the descriptor"), false;
    if (Crc16(d + 16, crcLength) != Le16(d + 8)) Problem(what + ": CRC mismatch");
    if (Le32(d + 12) != location) Problem(what + ": tag location " + N(Le32(d + 12)) + ", found at " + N(location));
    return m_problems.size() == before;
}

void UdfReader::CheckRecognition() {
    int bea = -1, nsr = -1, tea = -1;  // a bridge has CD001 descriptors before them
    Sector s;
    for (uint32_t n = 16; n < 16 + kMaxRecognition && ReadSector(n, s); ++n) {
        std::string id(s.begin() + 1, s.begin() + 6);
        if (id == "BEA01" && bea < 0) bea = int(n);
        else if (id == "NSR02" && bea >= 0) nsr = int(n);
        else if (id == "TEA01" && bea >= 0) { tea = int(n); break; }
        else if (id != "CD001") break;
        if (s[6] != 1) Problem("recognition sector " + N(n) + ": structure version " + N(s[6]));
    }
    if (bea < 0 || nsr < 0 || tea < 0) Problem("volume recognition sequence BEA01 / NSR0x / TEA01 not found");
}

bool UdfReader::ReadAnchor(uint32_t sector, bool required) {
    Sector s;
    std::string what = "anchor at " + N(sector);
    if (!ReadSector(sector, s) || Le16(s.data()) != 2) return (required ? Problem("no anchor at sector " + N(sector)) : void()), false;
    CheckTag(s.data(), 512, sector, what);
    if (Le16(s.data() + 10) != 496) Problem(what + ": CRC length " + N(Le16(s.data() + 10)));
    uint32_t mainLoc = Le32(s.data() + 20), resLoc = Le32(s.data() + 28);
    if (m_facts.mainVds == 0) m_facts.mainVds = mainLoc, m_facts.reserveVds = resLoc;
    else if (mainLoc != m_facts.mainVds || resLoc != m_facts.reserveVds) Problem(what + " names other sequences");
    if (Le32(s.data() + 16) < 16 * kBlock || Le32(s.data() + 24) < 16 * kBlock) Problem(what + ": sequence extent shorter than 16 sectors");
    return true;
}

bool UdfReader::ReadSequence(uint32_t start, uint32_t length, std::vector<Sector>& out, const char* name) {
    Sector s;
    for (uint32_t i = 0; i < length / kBlock; ++i) {
        if (!ReadSector(uint64_t(start) + i, s)) return Problem(std::string(name) + " sequence runs past the image"), false;
        if (Le16(s.data()) == 0) break;  // unrecorded: the sequence ends
        CheckTag(s.data(), kBlock, start + i, std::string(name) + " descriptor " + N(Le16(s.data())) + " at " + N(start + i));
        if (Le16(s.data()) == 8) return true;
        out.push_back(s);
    }
    Problem(std::string(name) + " sequence has no terminating descriptor");
    return true;
}

void UdfReader::CompareSequences(const std::vector<Sector>& main, const std::vector<Sector>& reserve) {
    if (main.size() != reserve.size()) return Problem("main and reserve sequences differ in length");
    for (size_t i = 0; i < main.size(); ++i) {
        const Sector& x = main[i], & y = reserve[i];
        size_t n = std::min<size_t>(kBlock, 16 + Le16(x.data() + 10));  // what the tag's CRC covers
        if (Le16(x.data()) != Le16(y.data()) || Le16(x.data() + 10) != Le16(y.data() + 10) ||
            !std::equal(x.begin() + 16, x.begin() + std::ptrdiff_t(n), y.begin() + 16))
            Problem("reserve descriptor " + N(Le16(y.data())) + " differs from the main one");
    }
}

void UdfReader::ReadVolumeDescriptors(const std::vector<Sector>& vds) {
    std::map<uint16_t, const uint8_t*> byId;
    for (const auto& d : vds) byId.emplace(Le16(d.data()), d.data());
    for (uint16_t id : {1, 4, 5, 6, 7})
        if (!byId.count(id)) Problem("main sequence lacks descriptor " + N(id));
    if (const uint8_t* pvd = byId[1]) {
        m_facts.volumeId = Dstring(pvd + 24, 32);
        m_facts.implementationId.assign(reinterpret_cast<const char*>(pvd + 389), 23);
        m_facts.implementationId.erase(m_facts.implementationId.find_last_not_of('\0') + 1);
    }
    uint16_t partitionNumber = 0;
    if (const uint8_t* pd = byId[5]) {
        m_facts.partitionStart = Le32(pd + 188);
        m_facts.partitionLength = Le32(pd + 192);
        // Fields a reader takes as they are: another number, access type or
        // contents would be another partition, or none it reads.
        partitionNumber = Le16(pd + 22);
        if (partitionNumber != 0) Problem("partition number " + N(partitionNumber) + ", not 0");
        if (Le32(pd + 184) != 1) Problem("partition access type " + N(Le32(pd + 184)) + ", not read-only (1)");
        if (std::string(pd + 25, pd + 31) != "+NSR02") Problem("partition contents are not +NSR02");
        if (uint64_t(m_facts.partitionStart) + m_facts.partitionLength > m_image.Size() / kBlock)
            Problem("partition " + N(m_facts.partitionStart) + "+" + N(m_facts.partitionLength) + " runs past the image");
    }
    if (const uint8_t* lvd = byId[6]) {
        m_facts.logicalVolumeId = Dstring(lvd + 84, 128);
        if (Le32(lvd + 212) != kBlock) Problem("logical block size " + N(Le32(lvd + 212)));
        if (std::string(lvd + 217, lvd + 236) != "*OSTA UDF Compliant") Problem("logical volume domain is not OSTA UDF");
        m_fsdBlock = Le32(lvd + 252);
        if (Le16(lvd + 256) != 0) Problem("file set descriptor in partition reference " + N(Le16(lvd + 256)));
        m_integrityLength = Le32(lvd + 432);
        m_integrityStart = Le32(lvd + 436);
        if (Le32(lvd + 268) < 1 || lvd[440] != 1 || lvd[441] != 6) Problem("first partition map is not of type 1");
        else if (Le32(lvd + 268) != 1 || Le32(lvd + 264) != 6) Problem(N(Le32(lvd + 268)) + " partition maps, not one");
        else if (Le16(lvd + 442) != 1 || Le16(lvd + 444) != partitionNumber)
            Problem("partition map names volume " + N(Le16(lvd + 442)) + " partition " + N(Le16(lvd + 444)) +
                    ", not the partition descriptor's (1, " + N(partitionNumber) + ")");
        if (Le32(lvd + 248) != 2 * kBlock) Problem("file set descriptor sequence of " + N(Le32(lvd + 248)) + " bytes, not 4096");
    }
}

void UdfReader::ReadIntegrity() {
    Sector s, next;
    if (m_integrityLength < kBlock || !ReadSector(m_integrityStart, s) || Le16(s.data()) != 9)
        return Problem("no integrity descriptor at " + N(m_integrityStart));
    const uint8_t* d = s.data();
    CheckTag(d, kBlock, m_integrityStart, "integrity descriptor");
    if (m_integrityLength >= 2 * kBlock && ReadSector(uint64_t(m_integrityStart) + 1, next) && Le16(next.data()) == 8)
        CheckTag(next.data(), kBlock, m_integrityStart + 1, "terminating descriptor after the integrity descriptor");
    if (Le32(d + 28) != 1) Problem("integrity descriptor is not closed");
    uint64_t partitions = Le32(d + 72), useLength = Le32(d + 76);
    if (80 + 8 * partitions + useLength > 16 + uint64_t(Le16(d + 10)))
        Problem("integrity descriptor: tag does not cover its implementation use");
    m_facts.nextUniqueId = Le64(d + 40);
    if (partitions < 1 || 80 + 8 * partitions + 40 > kBlock) return Problem("integrity descriptor: " + N(partitions) + " partitions");
    if (useLength >= 40) {
        m_facts.integrityFiles = Le32(d + 80 + 8 * partitions + 32);
        m_facts.integrityDirs = Le32(d + 80 + 8 * partitions + 36);
    }
    if (Le32(d + 80 + 4 * partitions) != m_facts.partitionLength)
        Problem("integrity size table " + N(Le32(d + 80 + 4 * partitions)) + " != partition length");
}

void UdfReader::ReadFileSet() {
    Sector s, next;
    if (!ReadBlock(m_fsdBlock, s) || Le16(s.data()) != 256) return Problem("no file set descriptor at block " + N(m_fsdBlock));
    CheckTag(s.data(), kBlock, m_fsdBlock, "file set descriptor");
    if (ReadBlock(uint64_t(m_fsdBlock) + 1, next) && Le16(next.data()) == 8)
        CheckTag(next.data(), kBlock, m_fsdBlock + 1, "terminating descriptor after the file set descriptor");
    m_facts.logicalVolumeId = Dstring(s.data() + 112, 128);
    m_facts.fileSetId = Dstring(s.data() + 304, 32);
    if (Le32(s.data() + 400) == 0) Problem("file set descriptor: empty root ICB");
    else if (Le32(s.data() + 400) != kBlock || Le16(s.data() + 408) != 0)
        Problem("file set descriptor: root ICB of " + N(Le32(s.data() + 400)) + " bytes in partition reference " +
                N(Le16(s.data() + 408)) + ", not 2048 in 0");
    m_facts.rootEntryBlock = Le32(s.data() + 404);
}

// Our entries: a file entry (261) with short_ads after the extended attributes.
bool UdfReader::ReadEntry(uint32_t block, const std::string& path, UdfNode& n, uint8_t& fileType) {
    Sector s;
    std::string what = "entry of " + path + " at block " + N(block);
    if (block >= m_facts.partitionLength || !ReadBlock(block, s)) return Problem(what + ": outside the partition"), false;
    const uint8_t* b = s.data();
    if (Le16(b) != 261) return Problem(what + ": tag " + N(Le16(b)) + " is not a file entry"), false;
    if (!CheckTag(b, kBlock, block, what)) return false;
    fileType = b[27];
    n.entryBlock = block;
    n.linkCount = Le16(b + 48);
    n.size = Le64(b + 56);
    uint64_t blocksRecorded = Le64(b + 64);
    std::copy(b + 84, b + 96, n.modified);
    std::copy(b + 96, b + 108, n.attributesChanged);
    n.uid = Le32(b + 36), n.gid = Le32(b + 40), n.permissions = Le32(b + 44);
    n.icbFlags = Le16(b + 34);
    n.fileType = fileType;
    n.uniqueId = Le64(b + 160);
    uint64_t eaLength = Le32(b + 168), adLength = Le32(b + 172);
    uint64_t adStart = 176 + eaLength;
    if (adStart + adLength > kBlock || uint64_t(16) + Le16(b + 10) < adStart + adLength)
        return Problem(what + ": descriptors run past the entry or its CRC"), false;
    if (eaLength >= 24 && Le16(b + 176) != 262) Problem(what + ": extended attributes without a header descriptor");
    else if (eaLength >= 24) CheckTag(b + 176, eaLength, block, what + " (extended attribute header)");
    const uint16_t allocation = n.icbFlags & 7;
    if (allocation != 0 && allocation != kDataInEntry)
        return Problem(what + ": neither short allocation descriptors nor data in the entry"), false;
    // What every entry of ours holds; readers act on each of them (another
    // strategy or record format reads the data otherwise, a flag such as
    // "transformed" or "stream" changes what the bytes mean).
    if (Le16(b + 20) != 4 || Le16(b + 22) != 0 || Le16(b + 24) != 1 || AnyNonZero(b + 28, b + 34))
        Problem(what + ": ICB strategy " + N(Le16(b + 20)) + " / " + N(Le16(b + 22)) + " / " + N(Le16(b + 24)) + ", not 4 / 0 / 1 without a parent");
    if ((n.icbFlags & ~(kModeFlags | 7)) != kEntryFlags) Problem(what + ": ICB flags " + N(n.icbFlags) + ", not " + N(kEntryFlags));
    if (AnyNonZero(b + 50, b + 56)) Problem(what + ": record format, display attributes or record length not zero");
    if (AnyNonZero(b + 112, b + 128)) Problem(what + ": an extended attribute ICB");
    if (allocation == kDataInEntry) {
        if (n.size != adLength) Problem(what + ": " + N(adLength) + " bytes in the entry, length " + N(n.size));
        if (blocksRecorded != 0) Problem(what + ": logical blocks recorded " + N(blocksRecorded) + " for data in the entry");
        n.size = adLength;
        n.embeddedAt = uint32_t(adStart);
        return true;
    }
    uint64_t total = 0, blocks = 0;
    for (uint64_t at = adStart; at + 8 <= adStart + adLength; at += 8) {
        uint32_t len = Le32(b + at) & 0x3FFFFFFF;
        if (len == 0) break;
        UdfExtent x{Le32(b + at + 4), len};
        if (uint64_t(x.block) + Blocks(len) > m_facts.partitionLength)
            Problem(what + ": extent " + N(x.block) + "+" + N(len) + " leaves the partition");
        if (Le32(b + at) >> 30 == 0) n.extents.push_back(x), blocks += Blocks(len);
        else Problem(what + ": extent of type " + N(Le32(b + at) >> 30) + " (not recorded: readers give zeros)");
        total += len;
    }
    if (total != n.size) Problem(what + ": extents hold " + N(total) + " bytes, length " + N(n.size));
    if (blocks != blocksRecorded)
        Problem(what + ": logical blocks recorded " + N(blocksRecorded) + ", extents use " + N(blocks));
    return true;
}

void UdfReader::WalkFolder(size_t self, uint32_t parentBlock, std::vector<Folder>& queue) {
    const std::string path = m_nodes[self].path;
    const uint32_t block = m_nodes[self].entryBlock;
    // The identifiers, and the block that each 2048 bytes of them came from:
    // an identifier's tag names the block its first byte lies in.
    std::vector<uint8_t> area;
    std::vector<uint32_t> blockOf;
    uint64_t recorded = 0;
    for (const UdfExtent& x : m_nodes[self].extents) recorded += x.length;
    if (recorded > m_folderBytesLeft) return Problem(path + ": folder data of " + N(recorded) + " bytes is more than the image holds");
    m_folderBytesLeft -= recorded;
    Sector s;
    for (const UdfExtent& x : m_nodes[self].extents)
        for (uint32_t off = 0; off < x.length; off += kBlock) {
            uint32_t n = std::min(kBlock, x.length - off);
            blockOf.push_back(x.block + off / kBlock);
            if (!ReadBlock(uint64_t(x.block) + off / kBlock, s)) s.assign(kBlock, 0);
            area.insert(area.end(), s.begin(), s.begin() + n);
        }
    int subfolders = 0;
    size_t pos = 0;
    for (bool first = true; pos + 38 <= area.size(); first = false) {
        const uint8_t* f = area.data() + pos;
        std::string what = path + ": identifier at byte " + N(pos);
        if (Le16(f) != 257) return Problem(what + ": tag " + N(Le16(f)));
        CheckTag(f, area.size() - pos, blockOf[pos / kBlock], what);
        uint8_t chars = f[18], nameLength = f[19];
        uint16_t useLength = Le16(f + 36);
        if (pos + 38 + useLength + nameLength > area.size()) return Problem(what + ": runs past the folder's data");
        if (16 + size_t(Le16(f + 10)) < size_t(38) + useLength + nameLength) Problem(what + ": CRC does not cover the name");
        uint32_t target = Le32(f + 24), fidUniqueId = Le32(f + 32);
        // Fixed in every identifier of ours; readers take each as it is: a
        // deleted or metadata entry is skipped, an ICB in another partition
        // reference is another file (or none), implementation use moves the name.
        if (Le16(f + 16) != 1) Problem(what + ": file version " + N(Le16(f + 16)) + ", not 1");
        if (chars & ~0x0B) Problem(what + ": characteristics " + N(chars) + " (deleted, metadata or reserved bits)");
        if (Le32(f + 20) != kBlock || Le16(f + 28) != 0)
            Problem(what + ": ICB of " + N(Le32(f + 20)) + " bytes in partition reference " + N(Le16(f + 28)) + ", not 2048 in 0");
        if (useLength != 0) Problem(what + ": implementation use of " + N(useLength) + " bytes");
        bool parent = chars & 0x08, isDir = chars & 0x02;
        if (first != parent) Problem(what + (first ? ": the first identifier is not the parent" : ": a second parent entry"));
        std::string id(f + 38 + useLength, f + 38 + useLength + nameLength);
        pos += (38 + useLength + nameLength + 3) / 4 * 4;
        if (chars & 0x04) continue;  // deleted
        if (parent) {
            if (target != parentBlock) Problem(what + ": parent entry names block " + N(target) + ", not " + N(parentBlock));
            continue;
        }
        std::string name = Cs0ToUtf8(reinterpret_cast<const uint8_t*>(id.data()), id.size());
        std::string childPath = (path == "/" ? "/" : path + "/") + name;
        if (name.empty()) Problem(what + ": empty name");
        if (isDir && !m_folderBlocks.insert(target).second) {
            Problem(childPath + ": folder entry reached twice");
            continue;
        }
        UdfNode c;
        uint8_t fileType = 0;
        if (!ReadEntry(target, childPath, c, fileType)) continue;
        // The node, its path twice (node and index), its identifier, its extents.
        uint64_t cost = sizeof(UdfNode) + 64 + 2 * childPath.size() + id.size() + sizeof(UdfExtent) * c.extents.size() +
                        c.linkTarget.size();
        if (cost > m_treeBytesLeft) return Problem(childPath + ": the tree takes more memory than this reader allows");
        m_treeBytesLeft -= cost;
        c.path = childPath, c.identifier = id, c.parent = int(self), c.isDir = isDir, c.hidden = chars & 0x01;
        if (isDir) ++subfolders;
        if (isDir ? fileType != 4 : fileType != 5 && fileType != 12)
            Problem(childPath + (isDir ? ": folder" : ": file") + " entry has file type " + N(fileType));
        if (fileType == 12) {
            std::optional<std::vector<uint8_t>> data;
            if (c.size <= kMaxLinkBytes) data = ReadData(c);
            if (!data || !PathFromComponents(data->data(), data->size(), c.linkTarget))
                Problem(childPath + ": symbolic link of " + N(c.size) + " bytes whose path components cannot be read");
        }
        if (c.linkCount < 1) Problem(childPath + ": link count 0");
        // The identifier repeats the entry's unique id.
        if (uint32_t(c.uniqueId) != fidUniqueId)
            Problem(childPath + ": identifier unique id " + N(fidUniqueId) + ", entry " + N(c.uniqueId));
        if (!m_byPath.emplace(childPath, m_nodes.size()).second) Problem(childPath + ": named twice");
        m_nodes.push_back(std::move(c));
        if (isDir) queue.push_back({m_nodes.size() - 1, block});
    }
    if (area.size() < 38) Problem(path + ": folder without a parent entry");
    if (std::any_of(area.begin() + std::ptrdiff_t(std::min(pos, area.size())), area.end(), [](uint8_t v) { return v; }))
        Problem(path + ": stray bytes after the last identifier");
    if (m_nodes[self].linkCount != 1 + subfolders)
        Problem(path + ": link count " + N(m_nodes[self].linkCount) + ", expected " + N(1 + subfolders));
}

bool UdfReader::Read() {
    m_problems.clear();
    m_nodes.clear();
    m_byPath.clear();
    m_folderBlocks.clear();
    m_facts = UdfFacts{};
    const uint64_t sectors = m_image.Size() / kBlock;
    if (m_image.Size() % kBlock != 0) Problem("image length is not a whole number of sectors");
    if (sectors < 258) return Problem("image of " + N(sectors) + " sectors is too short for UDF"), false;
    CheckRecognition();
    bool first = ReadAnchor(256, true);
    if (!ReadAnchor(uint32_t(std::min<uint64_t>(sectors - 1, UINT32_MAX)), true) && !first) return false;
    std::vector<Sector> main, reserve;
    if (!ReadSequence(m_facts.mainVds, 16 * kBlock, main, "main")) return false;
    ReadSequence(m_facts.reserveVds, 16 * kBlock, reserve, "reserve");
    CompareSequences(main, reserve);
    ReadVolumeDescriptors(main);
    if (m_facts.partitionLength == 0) return false;
    ReadIntegrity();
    ReadFileSet();

    // Identifiers of every folder together fit in the partition, once.
    m_folderBytesLeft = std::min<uint64_t>(uint64_t(m_facts.partitionLength) * kBlock, kMaxFolderBytes);
    m_treeBytesLeft = kMaxTreeBytes;
    m_folderBlocks = {m_facts.rootEntryBlock};
    UdfNode root;
    uint8_t fileType = 0;
    if (!ReadEntry(m_facts.rootEntryBlock, "/", root, fileType)) return false;
    if (fileType != 4) Problem("/: folder entry has file type " + N(fileType));
    root.path = "/", root.isDir = true;
    m_nodes.push_back(std::move(root));
    m_byPath.emplace("/", 0);
    std::vector<Folder> queue = {{0, m_facts.rootEntryBlock}};
    for (size_t i = 0; i < queue.size(); ++i) WalkFolder(queue[i].node, queue[i].parentBlock, queue);

    uint32_t files = 0, dirs = 0;
    uint64_t largest = 0;
    std::unordered_map<uint64_t, uint32_t> ids;  // unique id -> its entry: hard links share both
    for (const UdfNode& n : m_nodes) {
        (n.isDir ? dirs : files) += 1;
        largest = std::max(largest, n.uniqueId);
        if (n.path != "/" && n.uniqueId != 0 && ids.emplace(n.uniqueId, n.entryBlock).first->second != n.entryBlock)
            Problem(n.path + ": unique id " + N(n.uniqueId) + " used twice");
    }
    if (files != m_facts.integrityFiles || dirs != m_facts.integrityDirs)
        Problem("integrity counts " + N(m_facts.integrityFiles) + " files / " + N(m_facts.integrityDirs) +
                " folders, the tree has " + N(files) + " / " + N(dirs));
    if (m_facts.nextUniqueId <= largest)
        Problem("next unique id " + N(m_facts.nextUniqueId) + " is not above the largest, " + N(largest));
    return m_problems.empty();
}

const UdfNode* UdfReader::Find(const std::string& path) const {
    auto it = m_byPath.find(path);
    return it == m_byPath.end() ? nullptr : &m_nodes[it->second];
}

std::vector<ImageRun> UdfReader::DataRuns(const UdfNode& n) const {
    std::vector<ImageRun> runs;
    if (n.embeddedAt) {
        if (n.size) runs.push_back({(uint64_t(m_facts.partitionStart) + n.entryBlock) * kBlock + n.embeddedAt, n.size});
        return runs;
    }
    uint64_t left = n.size;
    for (const UdfExtent& x : n.extents) {
        uint64_t length = std::min<uint64_t>(x.length, left);
        if (length) runs.push_back({(uint64_t(m_facts.partitionStart) + x.block) * kBlock, length});
        left -= length;
    }
    return runs;
}

std::optional<std::vector<uint8_t>> UdfReader::ReadFile(const std::string& path) const {
    const UdfNode* n = Find(path);
    if (!n || n->isDir) return std::nullopt;
    return ReadData(*n);
}

std::optional<std::vector<uint8_t>> UdfReader::ReadData(const UdfNode& n) const {
    std::vector<uint8_t> data;
    for (const ImageRun& r : DataRuns(n)) {
        std::vector<uint8_t> piece = m_image.Read(r.offset, size_t(r.length));
        if (piece.size() != r.length) return std::nullopt;
        data.insert(data.end(), piece.begin(), piece.end());
    }
    return data;
}

}  // namespace pm
