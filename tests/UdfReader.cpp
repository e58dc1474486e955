#include "UdfReader.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "tree/Text.h"

namespace pm::test {

namespace {

constexpr uint32_t kBlock = 2048;

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) { return uint32_t(Le16(p)) | (uint32_t(Le16(p + 2)) << 16); }
uint64_t Le64(const uint8_t* p) { return uint64_t(Le32(p)) | (uint64_t(Le32(p + 4)) << 32); }
uint64_t Blocks(uint64_t bytes) { return (bytes + kBlock - 1) / kBlock; }
std::string N(uint64_t v) { return std::to_string(v); }

// Bit by bit, independent of the table-driven encoder.
uint16_t Crc16(const uint8_t* p, size_t n) {
    uint16_t crc = 0;
    for (size_t i = 0; i < n; ++i) {
        crc ^= uint16_t(p[i] << 8);
        for (int b = 0; b < 8; ++b) crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
    }
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

std::string Dstring(const uint8_t* f, size_t width) { return Cs0ToUtf8(f, std::min<size_t>(f[width - 1], width - 1)); }

}  // namespace

struct UdfReader::Entry {
    uint8_t fileType = 0;
    uint16_t links = 0;
    uint64_t infoLength = 0, blocksRecorded = 0, uniqueId = 0;
    std::vector<UdfExtent> extents;
    std::vector<uint8_t> embedded;
    bool isEmbedded = false;
};

std::vector<uint8_t> UdfReader::LoadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::string UdfReader::ProblemText() const {
    std::string s;
    for (const auto& p : m_problems) s += p + "\n";
    return s;
}

const uint8_t* UdfReader::Sector(uint64_t n) const {
    return (n + 1) * kBlock > m_image.size() ? nullptr : m_image.data() + n * kBlock;
}

bool UdfReader::CheckTag(const uint8_t* d, size_t avail, uint32_t location, const std::string& what) {
    if (avail < 16) return Problem(what + ": no room for a tag"), false;
    size_t before = m_problems.size();
    unsigned sum = 0;
    for (int i = 0; i < 16; ++i) sum += i == 4 ? 0 : d[i];
    if (uint8_t(sum) != d[4]) Problem(what + ": tag checksum " + N(d[4]) + ", bytes sum to " + N(sum & 0xFF));
    if (Le16(d + 2) != 2 && Le16(d + 2) != 3) Problem(what + ": descriptor version " + N(Le16(d + 2)));
    size_t crcLength = Le16(d + 10);
    if (16 + crcLength > avail) return Problem(what + ": CRC length " + N(crcLength) + " runs past the descriptor"), false;
    if (Crc16(d + 16, crcLength) != Le16(d + 8)) Problem(what + ": CRC mismatch");
    if (Le32(d + 12) != location) Problem(what + ": tag location " + N(Le32(d + 12)) + ", found at " + N(location));
    return m_problems.size() == before;
}

void UdfReader::CheckRecognition() {
    int bea = -1, nsr = -1, tea = -1;
    for (uint32_t n = 16; const uint8_t* s = Sector(n); ++n) {
        std::string id(reinterpret_cast<const char*>(s + 1), 5);
        if (id == "BEA01" && bea < 0) bea = int(n);
        else if ((id == "NSR02" || id == "NSR03") && bea >= 0) nsr = int(n);
        else if (id == "TEA01" && bea >= 0) { tea = int(n); break; }
        else if (id != "CD001" && id != "BOOT2" && id != "CDW02" && id != "BEA01") break;
        if (s[6] != 1) Problem("recognition sector " + N(n) + ": structure version " + N(s[6]));
    }
    if (bea < 0 || nsr < 0 || tea < 0) Problem("volume recognition sequence BEA01 / NSR0x / TEA01 not found");
}

bool UdfReader::ReadAnchor(uint32_t sector, bool required) {
    const uint8_t* s = Sector(sector);
    std::string what = "anchor at " + N(sector);
    if (!s || Le16(s) != 2) return (required ? Problem("no anchor at sector " + N(sector)) : void()), false;
    CheckTag(s, 512, sector, what);
    if (Le16(s + 10) != 496) Problem(what + ": CRC length " + N(Le16(s + 10)));
    uint32_t mainLoc = Le32(s + 20), resLoc = Le32(s + 28);
    if (m_facts.mainVds == 0) m_facts.mainVds = mainLoc, m_facts.reserveVds = resLoc;
    else if (mainLoc != m_facts.mainVds || resLoc != m_facts.reserveVds) Problem(what + " names other sequences");
    if (Le32(s + 16) < 16 * kBlock || Le32(s + 24) < 16 * kBlock) Problem(what + ": sequence extent shorter than 16 sectors");
    return true;
}

bool UdfReader::ReadSequence(uint32_t start, uint32_t length, std::vector<std::vector<uint8_t>>& out, const char* name) {
    for (uint32_t i = 0; i < length / kBlock; ++i) {
        const uint8_t* s = Sector(start + i);
        if (!s) return Problem(std::string(name) + " sequence runs past the image"), false;
        if (Le16(s) == 0) break;  // unrecorded: the sequence ends
        CheckTag(s, kBlock, start + i, std::string(name) + " descriptor " + N(Le16(s)) + " at " + N(start + i));
        if (Le16(s) == 8) return true;
        out.emplace_back(s, s + std::min<size_t>(kBlock, 16 + Le16(s + 10)));
    }
    Problem(std::string(name) + " sequence has no terminating descriptor");
    return true;
}

void UdfReader::CompareSequences(const std::vector<std::vector<uint8_t>>& main,
                                 const std::vector<std::vector<uint8_t>>& reserve) {
    if (main.size() != reserve.size()) return Problem("main and reserve sequences differ in length");
    for (size_t i = 0; i < main.size(); ++i) {
        std::vector<uint8_t> x = main[i], y = reserve[i];
        if (m_reserveMayDifferInVolumeSetId && Le16(x.data()) == 1 && x.size() >= 200 && y.size() >= 200) {
            std::fill(x.begin() + 72, x.begin() + 200, 0);
            std::fill(y.begin() + 72, y.begin() + 200, 0);
        }
        if (x.size() != y.size() || Le16(x.data()) != Le16(y.data()) || !std::equal(x.begin() + 16, x.end(), y.begin() + 16))
            Problem("reserve descriptor " + N(Le16(y.data())) + " differs from the main one");
    }
}

void UdfReader::ReadVolumeDescriptors(const std::vector<std::vector<uint8_t>>& vds) {
    std::map<uint16_t, const uint8_t*> byId;
    for (const auto& d : vds) byId.emplace(Le16(d.data()), d.data());
    for (uint16_t id : {1, 4, 5, 6, 7})
        if (!byId.count(id)) Problem("main sequence lacks descriptor " + N(id));
    if (const uint8_t* pvd = byId[1]) {
        m_facts.volumeId = Dstring(pvd + 24, 32);
        m_facts.volumeSetId = Dstring(pvd + 72, 128);
        m_facts.implementationId.assign(reinterpret_cast<const char*>(pvd + 389), 23);
        m_facts.implementationId.erase(m_facts.implementationId.find_last_not_of('\0') + 1);
    }
    if (const uint8_t* pd = byId[5]) {
        m_facts.partitionStart = Le32(pd + 188);
        m_facts.partitionLength = Le32(pd + 192);
        if (uint64_t(m_facts.partitionStart) + m_facts.partitionLength > m_image.size() / kBlock)
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
    }
}

void UdfReader::ReadIntegrity() {
    const uint8_t* s = Sector(m_integrityStart);
    if (m_integrityLength < kBlock || !s || Le16(s) != 9) return Problem("no integrity descriptor at " + N(m_integrityStart));
    CheckTag(s, kBlock, m_integrityStart, "integrity descriptor");
    const uint8_t* next = Sector(m_integrityStart + 1);
    if (m_integrityLength >= 2 * kBlock && next && Le16(next) == 8)
        CheckTag(next, kBlock, m_integrityStart + 1, "terminating descriptor after the integrity descriptor");
    if (Le32(s + 28) != 1) Problem("integrity descriptor is not closed");
    uint32_t partitions = Le32(s + 72), useLength = Le32(s + 76);
    if (80 + 8 * uint64_t(partitions) + useLength > 16 + uint64_t(Le16(s + 10)))
        Problem("integrity descriptor: tag does not cover its implementation use");
    m_facts.nextUniqueId = Le64(s + 40);
    if (partitions >= 1 && useLength >= 40) {
        m_facts.integrityFiles = Le32(s + 80 + 8 * partitions + 32);
        m_facts.integrityDirs = Le32(s + 80 + 8 * partitions + 36);
    }
    if (partitions >= 1 && Le32(s + 80 + 4 * partitions) != m_facts.partitionLength)
        Problem("integrity size table " + N(Le32(s + 80 + 4 * partitions)) + " != partition length");
}

void UdfReader::ReadFileSet() {
    const uint8_t* s = Block(m_fsdBlock);
    if (!s || Le16(s) != 256) return Problem("no file set descriptor at block " + N(m_fsdBlock));
    CheckTag(s, kBlock, m_fsdBlock, "file set descriptor");
    const uint8_t* next = Block(m_fsdBlock + 1);
    if (next && Le16(next) == 8) CheckTag(next, kBlock, m_fsdBlock + 1, "terminating descriptor after the file set descriptor");
    m_facts.logicalVolumeId = Dstring(s + 112, 128);
    m_facts.fileSetId = Dstring(s + 304, 32);
    if (Le32(s + 400) == 0) Problem("file set descriptor: empty root ICB");
    m_facts.rootEntryBlock = Le32(s + 404);
}

bool UdfReader::ReadEntry(uint32_t block, const std::string& path, Entry& e) {
    const uint8_t* b = Block(block);
    std::string what = "entry of " + path + " at block " + N(block);
    if (block >= m_facts.partitionLength || !b) return Problem(what + ": outside the partition"), false;
    uint16_t id = Le16(b);
    if (id != 261 && id != 266) return Problem(what + ": tag " + N(id) + " is not a file entry"), false;
    if (!CheckTag(b, kBlock, block, what)) return false;
    bool extended = id == 266;  // extended file entry: 40 more bytes before the variable part
    e.fileType = b[27];
    e.links = Le16(b + 48);
    e.infoLength = Le64(b + 56);
    e.blocksRecorded = Le64(b + (extended ? 72 : 64));
    e.uniqueId = Le64(b + (extended ? 200 : 160));
    uint32_t eaLength = Le32(b + (extended ? 208 : 168)), adLength = Le32(b + (extended ? 212 : 172));
    size_t eaStart = extended ? 216 : 176, adStart = eaStart + eaLength;
    if (adStart + adLength > kBlock || uint64_t(16) + Le16(b + 10) < adStart + adLength)
        return Problem(what + ": descriptors run past the entry or its CRC"), false;
    if (eaLength >= 24) {
        const uint8_t* ea = b + eaStart;
        if (Le16(ea) != 262) Problem(what + ": extended attributes without a header descriptor");
        else CheckTag(ea, eaLength, block, what + " (extended attribute header)");
        for (uint32_t at = Le32(ea + 16), len; at + 52 <= eaLength; at += len) {
            const uint8_t* a = ea + at;
            len = Le32(a + 8);
            if (len < 12 || at + len > eaLength) {
                Problem(what + ": extended attribute of length " + N(len));
                break;
            }
            uint16_t sum = 0;  // an implementation use attribute's header checksum
            for (int i = 0; i < 48; ++i) sum = uint16_t(sum + a[i]);
            if (Le32(a) == 2048 && len >= 50 && sum != Le16(a + 48)) Problem(what + ": implementation attribute checksum");
        }
    }
    int adType = Le16(b + 34) & 7;
    const uint8_t* ad = b + adStart;
    if (adType == 3) {  // data inside the entry
        e.isEmbedded = true;
        e.embedded.assign(ad, ad + adLength);
        if (e.infoLength != adLength) Problem(what + ": embedded data length differs from the information length");
        return true;
    }
    if (adType > 1) return Problem(what + ": allocation descriptor type " + N(adType)), false;
    size_t step = adType == 0 ? 8 : 16;  // short_ad or long_ad
    uint64_t total = 0, blocks = 0;
    for (size_t at = 0; at + step <= adLength; at += step) {
        uint32_t len = Le32(ad + at) & 0x3FFFFFFF, type = Le32(ad + at) >> 30;
        if (len == 0) break;
        if (type == 3) return Problem(what + ": continued allocation descriptors are not supported"), false;
        UdfExtent x{Le32(ad + at + 4), len};
        if (adType == 1 && Le16(ad + at + 8) != 0) Problem(what + ": extent in another partition");
        if (uint64_t(x.block) + Blocks(len) > m_facts.partitionLength)
            Problem(what + ": extent " + N(x.block) + "+" + N(len) + " leaves the partition");
        if (type == 0) e.extents.push_back(x), blocks += Blocks(len);
        total += len;
    }
    if (total != e.infoLength) Problem(what + ": extents hold " + N(total) + " bytes, length " + N(e.infoLength));
    if (blocks != e.blocksRecorded)
        Problem(what + ": logical blocks recorded " + N(e.blocksRecorded) + ", extents use " + N(blocks));
    return true;
}

void UdfReader::Walk(uint32_t block, const std::string& path, uint32_t parentBlock, int depth) {
    Entry e;
    if (!ReadEntry(block, path, e)) return;
    size_t self = m_nodes.size() - 1;
    m_nodes[self].isDir = true;
    m_nodes[self].size = e.infoLength;
    m_nodes[self].entryBlock = block;
    m_nodes[self].uniqueId = e.uniqueId;
    m_nodes[self].linkCount = e.links;
    m_nodes[self].extents = e.extents;
    if (e.fileType != 4) Problem(path + ": folder entry has file type " + N(e.fileType));
    if (depth > 64) return Problem(path + ": folders nested too deep");

    // The identifiers, and the block that each 2048 bytes of them came from:
    // an identifier's tag names the block its first byte lies in.
    std::vector<uint8_t> area = e.embedded;
    std::vector<uint32_t> blockOf;
    for (const UdfExtent& x : e.extents)
        for (uint32_t off = 0; off < x.length; off += kBlock) {
            const uint8_t* s = Block(uint64_t(x.block) + off / kBlock);
            uint32_t n = std::min(kBlock, x.length - off);
            blockOf.push_back(x.block + off / kBlock);
            s ? area.insert(area.end(), s, s + n) : area.insert(area.end(), n, 0);
        }
    int subfolders = 0;
    size_t pos = 0;
    for (bool first = true; pos + 38 <= area.size(); first = false) {
        const uint8_t* f = area.data() + pos;
        std::string what = path + ": identifier at byte " + N(pos);
        if (Le16(f) != 257) return Problem(what + ": tag " + N(Le16(f)));
        CheckTag(f, area.size() - pos, e.isEmbedded ? block : blockOf[pos / kBlock], what);
        uint8_t chars = f[18], nameLength = f[19];
        uint16_t useLength = Le16(f + 36);
        if (pos + 38 + useLength + nameLength > area.size()) return Problem(what + ": runs past the folder's data");
        if (16 + size_t(Le16(f + 10)) < size_t(38) + useLength + nameLength) Problem(what + ": CRC does not cover the name");
        uint32_t target = Le32(f + 24), fidUniqueId = Le32(f + 32);
        bool parent = chars & 0x08, isDir = chars & 0x02;
        if (first != parent) Problem(what + (first ? ": the first identifier is not the parent" : ": a second parent entry"));
        pos += (38 + useLength + nameLength + 3) / 4 * 4;
        if (chars & 0x04) continue;  // deleted
        if (parent) {
            if (target != parentBlock) Problem(what + ": parent entry names block " + N(target) + ", not " + N(parentBlock));
            continue;
        }
        std::string name = Cs0ToUtf8(f + 38 + useLength, nameLength);
        std::string childPath = (path == "/" ? "/" : path + "/") + name;
        if (name.empty()) Problem(what + ": empty name");
        if (std::find(m_visited.begin(), m_visited.end(), target) == m_visited.end()) m_visited.push_back(target);
        else if (isDir) {
            Problem(childPath + ": folder entry reached twice");
            continue;
        }
        m_nodes.emplace_back().path = childPath;
        m_nodes.back().isDir = isDir, m_nodes.back().hidden = chars & 0x01;
        Entry c;
        if (isDir) {
            ++subfolders;
            Walk(target, childPath, block, depth + 1);
        } else if (ReadEntry(target, childPath, c)) {
            UdfNode& n = m_nodes.back();
            n.size = c.infoLength, n.extents = c.extents, n.embedded = c.embedded;
            n.entryBlock = target, n.uniqueId = c.uniqueId, n.linkCount = c.links;
            if (c.fileType != 5) Problem(childPath + ": file entry has file type " + N(c.fileType));
            if (c.links < 1) Problem(childPath + ": link count 0");
        }
        // The identifier repeats the entry's unique id.
        const UdfNode* child = Find(childPath);
        if (m_requireFidUniqueIds && child && child->entryBlock == target && uint32_t(child->uniqueId) != fidUniqueId)
            Problem(childPath + ": identifier unique id " + N(fidUniqueId) + ", entry " + N(child->uniqueId));
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
    m_visited.clear();
    m_facts = UdfFacts{};
    if (m_image.size() % kBlock != 0) Problem("image length is not a whole number of sectors");
    CheckRecognition();
    bool first = ReadAnchor(256, true);
    if (!ReadAnchor(uint32_t(m_image.size() / kBlock) - 1, m_requireLastAnchor) && !first) return false;
    std::vector<std::vector<uint8_t>> main, reserve;
    if (!ReadSequence(m_facts.mainVds, 16 * kBlock, main, "main")) return false;
    ReadSequence(m_facts.reserveVds, 16 * kBlock, reserve, "reserve");
    CompareSequences(main, reserve);
    ReadVolumeDescriptors(main);
    if (m_facts.partitionLength == 0) return false;
    ReadIntegrity();
    ReadFileSet();

    m_nodes.emplace_back().path = "/";
    m_visited.push_back(m_facts.rootEntryBlock);
    Walk(m_facts.rootEntryBlock, "/", m_facts.rootEntryBlock, 0);
    uint32_t files = 0, dirs = 0;
    uint64_t largest = 0;
    std::set<uint64_t> ids;
    for (const UdfNode& n : m_nodes) {
        (n.isDir ? dirs : files) += 1;
        largest = std::max(largest, n.uniqueId);
        if (n.path != "/" && n.uniqueId != 0 && !ids.insert(n.uniqueId).second)
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
    for (const UdfNode& n : m_nodes)
        if (n.path == path) return &n;
    return nullptr;
}

std::optional<std::vector<uint8_t>> UdfReader::ReadFile(const std::string& path) const {
    const UdfNode* n = Find(path);
    if (!n || n->isDir) return std::nullopt;
    std::vector<uint8_t> data = n->embedded;
    for (const UdfExtent& x : n->extents) {
        uint64_t start = (uint64_t(m_facts.partitionStart) + x.block) * kBlock;
        uint64_t end = std::min<uint64_t>(start + x.length, m_image.size());
        if (start < end) data.insert(data.end(), m_image.begin() + std::ptrdiff_t(start), m_image.begin() + std::ptrdiff_t(end));
    }
    data.resize(std::min<uint64_t>(data.size(), n->size));
    return data;
}

}  // namespace pm::test
