#include "UdfReader.h"

#include <algorithm>
#include <cstring>
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

// Bit by bit, independent of the table-driven encoder.
uint16_t Crc16(const uint8_t* p, size_t n) {
    uint16_t crc = 0;
    for (size_t i = 0; i < n; ++i) {
        crc ^= uint16_t(p[i] << 8);
        for (int b = 0; b < 8; ++b) crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
    }
    return crc;
}

std::string Cs0ToUtf8(const uint8_t* p, size_t n) {
    if (n == 0) return {};
    std::u16string u;
    if (p[0] == 8) {
        for (size_t i = 1; i < n; ++i) u.push_back(char16_t(p[i]));
    } else if (p[0] == 16) {
        for (size_t i = 1; i + 1 < n; i += 2) u.push_back(char16_t((p[i] << 8) | p[i + 1]));
    } else {
        return "<compression " + std::to_string(p[0]) + ">";
    }
    return Utf16ToUtf8(u);
}

std::string Dstring(const uint8_t* f, size_t width) {
    size_t used = f[width - 1];
    return used ? Cs0ToUtf8(f, std::min(used, width - 1)) : std::string();
}

std::string Hex(uint64_t v) {
    char b[24];
    std::snprintf(b, sizeof b, "0x%llX", (unsigned long long)v);
    return b;
}

uint64_t Blocks(uint64_t bytes) { return (bytes + kBlock - 1) / kBlock; }

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
    if ((n + 1) * kBlock > m_image.size()) return nullptr;
    return m_image.data() + n * kBlock;
}

bool UdfReader::CheckTag(const uint8_t* d, size_t avail, uint32_t location, const std::string& what) {
    if (avail < 16) {
        Problem(what + ": no room for a tag");
        return false;
    }
    unsigned sum = 0;
    for (int i = 0; i < 16; ++i)
        if (i != 4) sum += d[i];
    bool ok = true;
    if (uint8_t(sum) != d[4]) Problem(what + ": tag checksum " + Hex(d[4]) + ", bytes sum to " + Hex(sum & 0xFF)), ok = false;
    uint16_t version = Le16(d + 2);
    if (version != 2 && version != 3) Problem(what + ": descriptor version " + std::to_string(version)), ok = false;
    size_t crcLength = Le16(d + 10);
    if (16 + crcLength > avail) {
        Problem(what + ": CRC length " + std::to_string(crcLength) + " runs past the descriptor");
        return false;
    }
    if (Crc16(d + 16, crcLength) != Le16(d + 8)) Problem(what + ": CRC mismatch"), ok = false;
    if (Le32(d + 12) != location)
        Problem(what + ": tag location " + std::to_string(Le32(d + 12)) + ", found at " + std::to_string(location)), ok = false;
    return ok;
}

void UdfReader::CheckRecognition() {
    int bea = -1, nsr = -1, tea = -1;
    for (uint32_t n = 16; const uint8_t* s = Sector(n); ++n) {
        std::string id(reinterpret_cast<const char*>(s + 1), 5);
        if (id == "BEA01" && bea < 0) bea = int(n);
        else if ((id == "NSR02" || id == "NSR03") && bea >= 0) nsr = int(n);
        else if (id == "TEA01" && bea >= 0) { tea = int(n); break; }
        else if (id != "CD001" && id != "BOOT2" && id != "CDW02" && id != "BEA01") break;
        if (s[6] != 1) Problem("recognition sector " + std::to_string(n) + ": structure version " + std::to_string(s[6]));
    }
    if (bea < 0 || nsr < 0 || tea < 0) Problem("volume recognition sequence BEA01 / NSR0x / TEA01 not found");
}

bool UdfReader::ReadAnchor(uint32_t sector, bool required) {
    const uint8_t* s = Sector(sector);
    if (!s || Le16(s) != 2) {
        if (required) Problem("no anchor at sector " + std::to_string(sector));
        return false;
    }
    CheckTag(s, 512, sector, "anchor at " + std::to_string(sector));
    if (Le16(s + 10) != 496) Problem("anchor at " + std::to_string(sector) + ": CRC length " + std::to_string(Le16(s + 10)));
    uint32_t mainLen = Le32(s + 16), mainLoc = Le32(s + 20), resLen = Le32(s + 24), resLoc = Le32(s + 28);
    if (m_facts.mainVds == 0) {
        m_facts.mainVds = mainLoc;
        m_facts.reserveVds = resLoc;
    } else if (mainLoc != m_facts.mainVds || resLoc != m_facts.reserveVds) {
        Problem("anchor at " + std::to_string(sector) + " names other sequences");
    }
    if (mainLen < 16 * kBlock || resLen < 16 * kBlock) Problem("anchor at " + std::to_string(sector) + ": sequence extent shorter than 16 sectors");
    return true;
}

bool UdfReader::ReadSequence(uint32_t start, uint32_t length, std::vector<std::vector<uint8_t>>& out, const char* name) {
    bool terminated = false;
    for (uint32_t i = 0; i < length / kBlock; ++i) {
        const uint8_t* s = Sector(start + i);
        if (!s) {
            Problem(std::string(name) + " sequence runs past the image");
            return false;
        }
        uint16_t id = Le16(s);
        if (id == 0) break;  // unrecorded: the sequence ends
        std::string what = std::string(name) + " descriptor " + std::to_string(id) + " at " + std::to_string(start + i);
        CheckTag(s, kBlock, start + i, what);
        if (id == 8) {
            terminated = true;
            break;
        }
        out.emplace_back(s, s + std::min<size_t>(kBlock, 16 + Le16(s + 10)));
    }
    if (!terminated) Problem(std::string(name) + " sequence has no terminating descriptor");
    return true;
}

void UdfReader::CompareSequences(const std::vector<std::vector<uint8_t>>& main,
                                 const std::vector<std::vector<uint8_t>>& reserve) {
    if (main.size() != reserve.size()) {
        Problem("main and reserve sequences differ in length");
        return;
    }
    for (size_t i = 0; i < main.size(); ++i) {
        const auto& a = main[i];
        const auto& b = reserve[i];
        std::vector<uint8_t> x(a.begin(), a.end()), y(b.begin(), b.end());
        if (m_reserveMayDifferInVolumeSetId && Le16(a.data()) == 1 && x.size() >= 200 && y.size() >= 200) {
            std::fill(x.begin() + 72, x.begin() + 200, 0);
            std::fill(y.begin() + 72, y.begin() + 200, 0);
        }
        if (x.size() != y.size() || Le16(x.data()) != Le16(y.data()) || !std::equal(x.begin() + 16, x.end(), y.begin() + 16))
            Problem("reserve descriptor " + std::to_string(Le16(b.data())) + " differs from the main one");
    }
}

void UdfReader::ReadVolumeDescriptors(const std::vector<std::vector<uint8_t>>& vds) {
    std::map<uint16_t, const uint8_t*> byId;
    for (const auto& d : vds) byId.emplace(Le16(d.data()), d.data());
    for (uint16_t id : {1, 4, 5, 6, 7})
        if (!byId.count(id)) Problem("main sequence lacks descriptor " + std::to_string(id));
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
            Problem("partition " + std::to_string(m_facts.partitionStart) + "+" + std::to_string(m_facts.partitionLength) + " runs past the image");
    }
    if (const uint8_t* lvd = byId[6]) {
        m_facts.logicalVolumeId = Dstring(lvd + 84, 128);
        if (Le32(lvd + 212) != kBlock) Problem("logical block size " + std::to_string(Le32(lvd + 212)));
        if (std::memcmp(lvd + 217, "*OSTA UDF Compliant", 19) != 0) Problem("logical volume domain is not OSTA UDF");
        m_fsdBlock = Le32(lvd + 252);
        if (Le16(lvd + 256) != 0) Problem("file set descriptor in partition reference " + std::to_string(Le16(lvd + 256)));
        m_integrityLength = Le32(lvd + 432);
        m_integrityStart = Le32(lvd + 436);
        if (Le32(lvd + 268) < 1 || lvd[440] != 1 || lvd[441] != 6) Problem("first partition map is not of type 1");
    }
}

void UdfReader::ReadIntegrity() {
    const uint8_t* s = Sector(m_integrityStart);
    if (m_integrityLength < kBlock || !s || Le16(s) != 9) {
        Problem("no integrity descriptor at " + std::to_string(m_integrityStart));
        return;
    }
    CheckTag(s, kBlock, m_integrityStart, "integrity descriptor");
    if (Le32(s + 28) != 1) Problem("integrity descriptor is not closed");
    uint32_t partitions = Le32(s + 72), useLength = Le32(s + 76);
    if (80 + 8 * uint64_t(partitions) + useLength > 16 + uint64_t(Le16(s + 10)))
        Problem("integrity descriptor: tag does not cover its implementation use");
    m_facts.nextUniqueId = Le64(s + 40);
    if (partitions >= 1 && useLength >= 40) {
        const uint8_t* use = s + 80 + 8 * partitions;
        m_facts.integrityFiles = Le32(use + 32);
        m_facts.integrityDirs = Le32(use + 36);
    }
    if (partitions >= 1 && Le32(s + 80 + 4 * partitions) != m_facts.partitionLength)
        Problem("integrity size table " + std::to_string(Le32(s + 80 + 4 * partitions)) + " != partition length");
}

void UdfReader::ReadFileSet() {
    const uint8_t* s = Block(m_fsdBlock);
    if (!s || Le16(s) != 256) {
        Problem("no file set descriptor at block " + std::to_string(m_fsdBlock));
        return;
    }
    CheckTag(s, kBlock, m_fsdBlock, "file set descriptor");
    m_facts.logicalVolumeId = Dstring(s + 112, 128);
    m_facts.fileSetId = Dstring(s + 304, 32);
    if (Le32(s + 400) == 0) Problem("file set descriptor: empty root ICB");
    m_facts.rootEntryBlock = Le32(s + 404);
}

bool UdfReader::ReadEntry(uint32_t block, const std::string& path, Entry& e) {
    const uint8_t* b = Block(block);
    std::string what = "entry of " + path + " at block " + std::to_string(block);
    if (block >= m_facts.partitionLength || !b) {
        Problem(what + ": outside the partition");
        return false;
    }
    uint16_t id = Le16(b);
    if (id != 261 && id != 266) {
        Problem(what + ": tag " + std::to_string(id) + " is not a file entry");
        return false;
    }
    if (!CheckTag(b, kBlock, block, what)) return false;
    bool extended = id == 266;
    e.fileType = b[27];
    e.links = Le16(b + 48);
    e.infoLength = Le64(b + 56);
    e.blocksRecorded = Le64(b + (extended ? 72 : 64));
    e.uniqueId = Le64(b + (extended ? 200 : 160));
    uint32_t eaLength = Le32(b + (extended ? 208 : 168));
    uint32_t adLength = Le32(b + (extended ? 212 : 172));
    size_t eaStart = extended ? 216 : 176;
    size_t adStart = eaStart + eaLength;
    if (adStart + adLength > kBlock || uint64_t(16) + Le16(b + 10) < adStart + adLength) {
        Problem(what + ": descriptors run past the entry or its CRC");
        return false;
    }
    if (eaLength >= 24) {
        const uint8_t* ea = b + eaStart;
        if (Le16(ea) != 262) Problem(what + ": extended attributes without a header descriptor");
        else CheckTag(ea, eaLength, block, what + " (extended attribute header)");
        for (uint32_t at = Le32(ea + 16); at + 52 <= eaLength;) {
            const uint8_t* a = ea + at;
            uint32_t len = Le32(a + 8);
            if (len < 12 || at + len > eaLength) {
                Problem(what + ": extended attribute of length " + std::to_string(len));
                break;
            }
            if (Le32(a) == 2048 && len >= 50) {
                uint16_t sum = 0;
                for (int i = 0; i < 48; ++i) sum = uint16_t(sum + a[i]);
                if (sum != Le16(a + 48)) Problem(what + ": implementation attribute checksum");
            }
            at += len;
        }
    }
    int adType = Le16(b + 34) & 7;
    const uint8_t* ad = b + adStart;
    if (adType == 3) {
        e.isEmbedded = true;
        e.embedded.assign(ad, ad + adLength);
        if (e.infoLength != adLength) Problem(what + ": embedded data length differs from the information length");
        return true;
    }
    size_t step = adType == 0 ? 8 : adType == 1 ? 16 : 0;
    if (!step) {
        Problem(what + ": allocation descriptor type " + std::to_string(adType));
        return false;
    }
    uint64_t total = 0, blocks = 0;
    for (size_t at = 0; at + step <= adLength; at += step) {
        uint32_t raw = Le32(ad + at);
        uint32_t len = raw & 0x3FFFFFFF, type = raw >> 30;
        if (len == 0) break;
        if (type == 3) {
            Problem(what + ": continued allocation descriptors are not supported");
            return false;
        }
        UdfExtent x{Le32(ad + at + 4), len};
        if (adType == 1 && Le16(ad + at + 8) != 0) Problem(what + ": extent in another partition");
        if (uint64_t(x.block) + Blocks(len) > m_facts.partitionLength)
            Problem(what + ": extent " + std::to_string(x.block) + "+" + std::to_string(len) + " leaves the partition");
        if (type == 0) {
            e.extents.push_back(x);
            blocks += Blocks(len);
        }
        total += len;
    }
    if (total != e.infoLength) Problem(what + ": extents hold " + std::to_string(total) + " bytes, length " + std::to_string(e.infoLength));
    if (blocks != e.blocksRecorded) Problem(what + ": logical blocks recorded " + std::to_string(e.blocksRecorded) + ", extents use " + std::to_string(blocks));
    return true;
}

std::vector<uint8_t> UdfReader::EntryData(const Entry& e, std::vector<uint32_t>& blockOfByte) const {
    std::vector<uint8_t> data;
    for (const UdfExtent& x : e.extents) {
        for (uint32_t off = 0; off < x.length; off += kBlock) {
            const uint8_t* s = Block(uint64_t(x.block) + off / kBlock);
            uint32_t n = std::min(kBlock, x.length - off);
            if (s) data.insert(data.end(), s, s + n);
            else data.insert(data.end(), n, 0);
            blockOfByte.push_back(x.block + off / kBlock);
        }
    }
    return data;
}

void UdfReader::Walk(uint32_t block, const std::string& path, uint32_t parentBlock, int depth) {
    Entry e;
    if (!ReadEntry(block, path, e)) return;
    UdfNode& self = m_nodes.back();
    self.isDir = true;
    self.size = e.infoLength;
    self.entryBlock = block;
    self.uniqueId = e.uniqueId;
    self.linkCount = e.links;
    self.extents = e.extents;
    if (e.fileType != 4) Problem(path + ": folder entry has file type " + std::to_string(e.fileType));
    if (depth > 64) {
        Problem(path + ": folders nested too deep");
        return;
    }

    std::vector<uint32_t> blockOfByte;
    std::vector<uint8_t> area = e.isEmbedded ? e.embedded : EntryData(e, blockOfByte);
    size_t nodeIndex = m_nodes.size() - 1;
    int subfolders = 0;
    size_t pos = 0;
    bool first = true;
    while (pos + 38 <= area.size()) {
        const uint8_t* f = area.data() + pos;
        uint32_t location = e.isEmbedded ? block : blockOfByte[pos / kBlock];
        std::string what = path + ": identifier at byte " + std::to_string(pos);
        if (Le16(f) != 257) {
            Problem(what + ": tag " + std::to_string(Le16(f)));
            return;
        }
        CheckTag(f, area.size() - pos, location, what);
        uint8_t chars = f[18], nameLength = f[19];
        uint16_t useLength = Le16(f + 36);
        size_t size = (38 + useLength + nameLength + 3) / 4 * 4;
        if (pos + 38 + useLength + nameLength > area.size()) {
            Problem(what + ": runs past the folder's data");
            return;
        }
        if (16 + size_t(Le16(f + 10)) < size_t(38) + useLength + nameLength) Problem(what + ": CRC does not cover the name");
        uint32_t target = Le32(f + 24);
        uint32_t fidUniqueId = Le32(f + 32);
        bool parent = chars & 0x08;
        if (first != parent) Problem(what + (first ? ": the first identifier is not the parent" : ": a second parent entry"));
        first = false;
        pos += size;
        if (chars & 0x04) continue;  // deleted
        if (parent) {
            if (target != parentBlock) Problem(what + ": parent entry names block " + std::to_string(target) + ", not " + std::to_string(parentBlock));
            continue;
        }
        std::string name = Cs0ToUtf8(f + 38 + useLength, nameLength);
        std::string childPath = (path == "/" ? "/" : path + "/") + name;
        if (name.empty()) Problem(what + ": empty name");
        bool isDir = chars & 0x02;
        if (std::find(m_visited.begin(), m_visited.end(), target) != m_visited.end()) {
            if (isDir) {
                Problem(childPath + ": folder entry reached twice");
                continue;
            }
        } else {
            m_visited.push_back(target);
        }
        m_nodes.push_back(UdfNode{});
        m_nodes.back().path = childPath;
        m_nodes.back().hidden = chars & 0x01;
        m_nodes.back().isDir = isDir;
        if (isDir) {
            ++subfolders;
            Walk(target, childPath, block, depth + 1);
        } else {
            Entry c;
            if (ReadEntry(target, childPath, c)) {
                UdfNode& n = m_nodes.back();
                n.size = c.infoLength;
                n.extents = c.extents;
                n.embedded = c.embedded;
                n.entryBlock = target;
                n.uniqueId = c.uniqueId;
                n.linkCount = c.links;
                if (c.fileType != 5) Problem(childPath + ": file entry has file type " + std::to_string(c.fileType));
                if (c.links < 1) Problem(childPath + ": link count 0");
            }
        }
        // The identifier repeats the entry's unique id.
        const UdfNode* child = Find(childPath);
        if (m_requireFidUniqueIds && child && child->entryBlock == target && uint32_t(child->uniqueId) != fidUniqueId)
            Problem(childPath + ": identifier unique id " + std::to_string(fidUniqueId) + ", entry " + std::to_string(child->uniqueId));
    }
    if (first) Problem(path + ": folder without a parent entry");
    if (pos < area.size() && std::any_of(area.begin() + std::ptrdiff_t(pos), area.end(), [](uint8_t v) { return v != 0; }))
        Problem(path + ": stray bytes after the last identifier");
    if (m_nodes[nodeIndex].linkCount != 1 + subfolders)
        Problem(path + ": link count " + std::to_string(m_nodes[nodeIndex].linkCount) + ", expected " + std::to_string(1 + subfolders));
}

bool UdfReader::Read() {
    m_problems.clear();
    m_nodes.clear();
    m_visited.clear();
    m_facts = UdfFacts{};
    if (m_image.size() % kBlock != 0) Problem("image length is not a whole number of sectors");
    CheckRecognition();
    uint32_t last = uint32_t(m_image.size() / kBlock) - 1;
    bool first = ReadAnchor(256, true);
    bool second = ReadAnchor(last, m_requireLastAnchor);
    if (!first && !second) return false;

    std::vector<std::vector<uint8_t>> main, reserve;
    if (!ReadSequence(m_facts.mainVds, 16 * kBlock, main, "main")) return false;
    ReadSequence(m_facts.reserveVds, 16 * kBlock, reserve, "reserve");
    CompareSequences(main, reserve);
    ReadVolumeDescriptors(main);
    if (m_facts.partitionLength == 0) return false;
    ReadIntegrity();
    ReadFileSet();

    m_nodes.push_back(UdfNode{});
    m_nodes.back().path = "/";
    m_visited.push_back(m_facts.rootEntryBlock);
    Walk(m_facts.rootEntryBlock, "/", m_facts.rootEntryBlock, 0);

    uint32_t files = 0, dirs = 0;
    uint64_t largest = 0;
    std::set<uint64_t> ids;
    for (const UdfNode& n : m_nodes) {
        (n.isDir ? dirs : files) += 1;
        largest = std::max(largest, n.uniqueId);
        if (n.path != "/" && n.uniqueId != 0 && !ids.insert(n.uniqueId).second)
            Problem(n.path + ": unique id " + std::to_string(n.uniqueId) + " used twice");
    }
    if (files != m_facts.integrityFiles || dirs != m_facts.integrityDirs)
        Problem("integrity counts " + std::to_string(m_facts.integrityFiles) + " files / " + std::to_string(m_facts.integrityDirs) +
                " folders, the tree has " + std::to_string(files) + " / " + std::to_string(dirs));
    if (m_facts.nextUniqueId <= largest)
        Problem("next unique id " + std::to_string(m_facts.nextUniqueId) + " is not above the largest, " + std::to_string(largest));
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
    if (!n->embedded.empty() || n->extents.empty()) return n->embedded;
    std::vector<uint8_t> data;
    for (const UdfExtent& x : n->extents) {
        uint64_t start = (uint64_t(m_facts.partitionStart) + x.block) * kBlock;
        uint64_t end = std::min<uint64_t>(start + x.length, m_image.size());
        if (start < end) data.insert(data.end(), m_image.begin() + std::ptrdiff_t(start), m_image.begin() + std::ptrdiff_t(end));
    }
    data.resize(std::min<uint64_t>(data.size(), n->size));
    return data;
}

}  // namespace pm::test
