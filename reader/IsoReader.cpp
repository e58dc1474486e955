#include "reader/IsoReader.h"

#include <algorithm>
#include <array>
#include <map>
#include <set>

#include "disc/OnDisc.h"
#include "tree/Text.h"

namespace pm {

namespace {

constexpr uint32_t kSector = 2048;
// Path tables of 65,535 folders with the longest names take 17 MiB; a larger
// one is no table of ours and is not read.
constexpr uint32_t kMaxPathTable = 32u << 20;
// Volume descriptors before the terminator: three in our images.
constexpr uint32_t kMaxDescriptors = 64;
// What the tree handed out may take in memory (entries, names and paths): a
// hostile image of many entries in deep folders must not make it gigabytes.
constexpr uint64_t kMaxTreeBytes = 512u << 20;

using Sector = std::array<uint8_t, kSector>;

std::string Num(uint64_t v) { return std::to_string(v); }

std::string JolietToUtf8(const std::string& be) {
    std::u16string u;
    for (size_t i = 0; i + 1 < be.size(); i += 2) u.push_back(char16_t((uint8_t(be[i]) << 8) | uint8_t(be[i + 1])));
    return Utf16ToUtf8(u);
}

// "NAME.EXT;1" -> "NAME.EXT"; "NAME.;1" -> "NAME".
std::string StripVersion(std::string name) {
    size_t semi = name.rfind(';');
    if (semi != std::string::npos) name.resize(semi);
    if (!name.empty() && name.back() == '.') name.pop_back();
    return name;
}

bool ValidRecordDate(const uint8_t* d) {
    return std::all_of(d, d + 6, [](uint8_t b) { return b == 0; }) ||
           (d[1] >= 1 && d[1] <= 12 && d[2] >= 1 && d[2] <= 31 && d[3] < 24 && d[4] < 60 && d[5] < 60);
}

bool AnyNonZero(const uint8_t* from, const uint8_t* to) { return std::any_of(from, to, [](uint8_t b) { return b; }); }

constexpr size_t kMaxProblems = 1000;
// Continuation areas one record may chain: ours need a few for the longest
// link target; a chain that goes round stops here.
constexpr int kMaxContinuations = 32;

}  // namespace

struct IsoReader::Hierarchy {
    bool joliet = false;
    std::string label;  // "ISO 9660" or "Joliet", for the problem texts
    bool present = false;
    Sector descriptor{};
    uint32_t pathTableSize = 0, pathTableL = 0, pathTableM = 0;
};

// One directory found by walking from the root record.
struct IsoReader::Dir {
    std::string path, identifier;  // identifier: raw bytes as recorded ("\0" for the root)
    uint32_t extent = 0, size = 0;
    int parent = 0;  // index into the walked list; the root is its own parent
    int entry = -1;  // its index in the tree handed out; -1 for the root
    std::vector<std::string> subdirs;  // identifiers of subfolders, record order
};

struct IsoReader::PathEntry {
    std::string identifier;
    uint32_t extent = 0;
    uint16_t parent = 0;

    bool operator==(const PathEntry&) const = default;
};

IsoReader::IsoReader(const ImageSource& image) : m_image(image) { Read(); }

// A broken image can hold a fault in every record: the list stops at a
// thousand, which is more than anyone reads.
void IsoReader::Problem(const std::string& text) {
    if (m_problems.size() < kMaxProblems) m_problems.push_back(text);
    else if (m_problems.size() == kMaxProblems) m_problems.push_back("more problems not listed");
}

std::string IsoReader::ProblemText() const {
    std::string s;
    for (const auto& p : m_problems) s += p + "\n";
    return s;
}

const IsoTreeEntry* IsoReader::Find(const std::vector<IsoTreeEntry>& tree, const std::string& path) const {
    for (const auto& e : tree)
        if (e.path == path) return &e;
    return nullptr;
}

std::vector<uint8_t> IsoReader::ReadFile(const IsoTreeEntry& e) const {
    return m_image.Read(uint64_t(e.extent) * kSector, size_t(e.size));
}

uint32_t IsoReader::Both32(const uint8_t* p, const std::string& what) {
    if (GetLE32(p) != GetBE32(p + 4)) Problem(what + ": both-byte halves differ (" + Num(GetLE32(p)) + " / " + Num(GetBE32(p + 4)) + ")");
    return GetLE32(p);
}

uint16_t IsoReader::Both16(const uint8_t* p, const std::string& what) {
    if (GetLE16(p) != GetBE16(p + 2)) Problem(what + ": both-byte halves differ (" + Num(GetLE16(p)) + " / " + Num(GetBE16(p + 2)) + ")");
    return GetLE16(p);
}

bool IsoReader::InVolume(uint32_t extent, uint64_t size) const {
    return uint64_t(extent) + (size + kSector - 1) / kSector <= m_volumeSectors;
}

void IsoReader::Read() {
    const uint64_t size = m_image.Size();
    if (size < 19 * kSector || size % kSector) {
        Problem("image of " + Num(size) + " bytes is not whole sectors past the descriptors");
        if (size < 19 * kSector) return;
    }
    Hierarchy iso, joliet;
    if (!ReadDescriptors(iso, joliet)) return;
    // No directory sector is read twice in a sound image, so the walk of
    // both hierarchies together needs at most the image's sectors.
    m_sectorsLeft = size / kSector;
    m_treeBytesLeft = kMaxTreeBytes;
    ReadHierarchy(iso, m_iso);
    if (joliet.present) ReadHierarchy(joliet, m_joliet);
}

bool IsoReader::ReadDescriptors(Hierarchy& iso, Hierarchy& joliet) {
    bool terminated = false;
    Sector d;
    for (uint32_t s = 16; !terminated && s < 16 + kMaxDescriptors && m_image.ReadAt(uint64_t(s) * kSector, d.data(), kSector); ++s) {
        std::string at = "descriptor at sector " + Num(s);
        if (std::string(d.begin() + 1, d.begin() + 6) != "CD001" || d[6] != 1) {
            Problem(at + ": no CD001 / version 1");
            return false;
        }
        if (s == 16 && d[0] != 1) Problem("sector 16 is not the primary volume descriptor");
        if (d[0] == 1 && !iso.present) iso.present = true, iso.descriptor = d;
        if (d[0] == 2 && d[88] == 0x25 && d[89] == 0x2F && d[90] == 0x45 && !joliet.present) joliet.present = true, joliet.descriptor = d;
        if ((terminated = d[0] == 255) && AnyNonZero(d.data() + 7, d.data() + kSector)) Problem(at + ": terminator not zero");
    }
    if (!terminated) Problem("no volume descriptor set terminator");
    if (!iso.present) return Problem("no primary volume descriptor"), false;
    if (!joliet.present) Problem("no Joliet supplementary volume descriptor (escape %/E)");
    // Escapes beyond %/E would name another character set to some readers.
    if (joliet.present && AnyNonZero(joliet.descriptor.data() + 91, joliet.descriptor.data() + 120))
        Problem("Joliet: escape sequences other than %/E alone");
    m_hasJoliet = joliet.present;

    m_volumeSectors = Both32(iso.descriptor.data() + 80, "volume space size");
    if (uint64_t(m_volumeSectors) * kSector > m_image.Size())
        Problem("volume space size " + Num(m_volumeSectors) + " exceeds the image");
    iso.label = "ISO 9660", joliet.label = "Joliet", joliet.joliet = true;
    for (Hierarchy* h : {&iso, &joliet}) {
        if (!h->present) continue;
        const uint8_t* d = h->descriptor.data();
        if (Both16(d + 128, h->label + " block size") != kSector) Problem(h->label + ": block size is not 2048");
        if (Both32(d + 80, h->label + " volume space size") != m_volumeSectors)
            Problem(h->label + ": volume space size differs from the primary descriptor");
        h->pathTableSize = Both32(d + 132, h->label + " path table size");
        h->pathTableL = GetLE32(d + 140);
        h->pathTableM = GetBE32(d + 148);
        // Readers that take the optional tables would find other folders there.
        if (GetLE32(d + 144) != 0 || GetBE32(d + 152) != 0) Problem(h->label + ": optional path tables named, none written");
        if (d[881] != 1) Problem(h->label + ": file structure version is not 1");
    }
    return true;
}

void IsoReader::ReadHierarchy(Hierarchy& h, std::vector<IsoTreeEntry>& out) {
    const uint8_t* root = h.descriptor.data() + 156;
    if (root[0] != 34 || root[32] != 1 || root[33] != 0 || !(root[25] & 2))
        Problem(h.label + ": root record in the descriptor is not a 34-byte directory record with identifier 0");
    CheckRecordFields(root, h.label + " root record in the descriptor");

    std::vector<Dir> dirs = {{"", std::string(1, '\0'), Both32(root + 2, h.label + " root extent"), Both32(root + 10, h.label + " root size"), 0, -1, {}}};
    std::set<uint32_t> seen;
    for (size_t i = 0; i < dirs.size(); ++i) {
        const Dir& dir = dirs[i];
        std::string where = h.label + " directory \"" + (dir.path.empty() ? "/" : dir.path) + "\"";
        if (!seen.insert(dir.extent).second) {
            Problem(where + ": extent " + Num(dir.extent) + " already used by another directory");
            continue;
        }
        if (dir.size == 0 || dir.size % kSector || !InVolume(dir.extent, dir.size) ||
            !m_image.Holds(uint64_t(dir.extent) * kSector, dir.size)) {
            Problem(where + ": extent " + Num(dir.extent) + " size " + Num(dir.size) + " is not whole sectors inside the volume");
            continue;
        }
        if (dir.size / kSector > m_sectorsLeft) {
            Problem(where + ": directories take more sectors than the image has");
            break;
        }
        m_sectorsLeft -= dir.size / kSector;
        ReadDirectory(h, dirs, i, out);
    }
    CheckPathTables(h, dirs);
}

// Fields of a record that every record of ours holds alike and that readers
// act on: extended attributes move the data (the Linux kernel skips that many
// blocks), interleaving spreads it, an associated file is hidden or taken as
// another file's fork, the record-format and permission flags point at
// extended attributes there are none of.
void IsoReader::CheckRecordFields(const uint8_t* rec, const std::string& at) {
    if (rec[1] != 0) Problem(at + ": extended attribute record length " + Num(rec[1]) + ", not 0");
    if (rec[25] & 0x7C) Problem(at + ": file flags " + Num(rec[25]) + " (associated, record, protection or reserved bits)");
    if (rec[26] != 0 || rec[27] != 0) Problem(at + ": interleaved (file unit size " + Num(rec[26]) + ", gap " + Num(rec[27]) + ")");
    if (Both16(rec + 28, at + " volume sequence number") != 1) Problem(at + ": volume sequence number " + Num(GetLE16(rec + 28)) + ", not 1");
}

void IsoReader::ReadDirectory(const Hierarchy& h, std::vector<Dir>& dirs, size_t i, std::vector<IsoTreeEntry>& out) {
    const Dir dir = dirs[i];  // copy: dirs grows below
    std::string where = h.label + " directory \"" + (dir.path.empty() ? "/" : dir.path) + "\"";
    int index = 0;
    // A file of several sections: the record before carried the multi-extent
    // flag, so this one must continue it right where that section ended.
    bool continues = false;
    std::string sectionId;
    uint64_t sectionEnd = 0;  // byte where the next section must start
    Sector s;
    for (uint32_t sector = 0; sector < dir.size / kSector; ++sector) {
        if (!m_image.ReadAt((uint64_t(dir.extent) + sector) * kSector, s.data(), kSector))
            return Problem(where + ": sector " + Num(sector) + " cannot be read");
        uint32_t off = 0;
        while (off < kSector && s[off] != 0) {
            const uint8_t* rec = s.data() + off;
            uint32_t len = rec[0];
            std::string at = where + " record at byte " + Num(uint64_t(sector) * kSector + off);
            // The identifier length is read only once the record is known to
            // end inside the sector.
            uint32_t n = off + len <= kSector && len >= 34 ? rec[32] : 0;
            if (off + len > kSector || len < 34 || 33 + n > len) {
                Problem(at + (off + len > kSector ? ": crosses the sector end" : ": bad record length " + Num(len)));
                break;
            }
            uint32_t extent = Both32(rec + 2, at + " extent");
            uint32_t size = Both32(rec + 10, at + " size");
            CheckRecordFields(rec, at);
            if (!ValidRecordDate(rec + 18)) Problem(at + ": invalid recording date");
            bool isDir = rec[25] & 2;
            std::string id(rec + 33, rec + 33 + n);
            // The root's "." says whether the tree has Rock Ridge: SP first.
            const uint32_t su = 33 + n + (n % 2 ? 0 : 1);
            if (!h.joliet && i == 0 && index == 0 && len >= su + 7 && rec[su] == 'S' && rec[su + 1] == 'P' &&
                rec[su + 2] >= 7 && rec[su + 4] == 0xBE && rec[su + 5] == 0xEF)
                m_rockRidge = true, m_suSkip = rec[su + 6];
            RockRidgeInfo rr;
            if (!h.joliet && m_rockRidge && su + m_suSkip < len) ReadSystemUse(rec + su + m_suSkip, len - su - m_suSkip, rr, at);
            if (index == 0 || index == 1) {
                const Dir& expect = index == 0 ? dir : dirs[size_t(dir.parent)];
                std::string name = index == 0 ? "\".\"" : "\"..\"";
                // Rock Ridge entries follow the identifier; Joliet has none.
                if (n != 1 || id[0] != char(index) || (len != 34 && (h.joliet || !m_rockRidge)) || !isDir)
                    Problem(at + ": expected the " + name + " record");
                else if (extent != expect.extent || size != expect.size)
                    Problem(at + ": " + name + " does not describe " + (index == 0 ? "the directory" : "its parent"));
            } else if (continues && !isDir && id == sectionId) {
                IsoTreeEntry& e = out.back();
                if (uint64_t(extent) * kSector != sectionEnd)
                    Problem(at + ": section of \"" + e.path + "\" does not start where the one before ends (gap or overlap)");
                if (!InVolume(extent, size)) Problem(at + ": extent of \"" + e.path + "\" lies outside the volume");
                e.size += size;
                sectionEnd = uint64_t(extent) * kSector + size;
                continues = rec[25] & 0x80;
                if (continues && size % kSector)
                    Problem(at + ": section of \"" + e.path + "\" before another does not end at a sector end");
            } else {
                if (continues) Problem(at + ": the record before is flagged multi-extent but this one is not its next section");
                continues = false;
                if (n == 1 && (id[0] == 0 || id[0] == 1)) Problem(at + ": extra \".\" or \"..\" record");
                std::string name = h.joliet ? JolietToUtf8(id) : Cp932ToUtf8(id);
                if (!isDir) name = StripVersion(name);
                std::string path = dir.path.empty() ? name : dir.path + "/" + name;
                if (!InVolume(extent, size)) Problem(at + ": extent of \"" + path + "\" lies outside the volume");
                uint64_t cost = sizeof(IsoTreeEntry) + (isDir ? sizeof(Dir) : 0) + 2 * (path.size() + id.size());
                if (cost > m_treeBytesLeft) return Problem(at + ": the tree takes more memory than this reader allows");
                m_treeBytesLeft -= cost;
                IsoTreeEntry& e = out.emplace_back();
                e.path = path, e.identifier = id, e.parent = dir.entry, e.isDir = isDir, e.hidden = rec[25] & 1;
                e.extent = extent, e.size = size;
                std::copy(rec + 18, rec + 25, e.date);
                e.rr = std::move(rr);
                if (isDir) {
                    dirs.push_back({path, id, extent, size, int(i), int(out.size() - 1), {}});
                    dirs[i].subdirs.push_back(id);
                    if (rec[25] & 0x80) Problem(at + ": directory \"" + path + "\" flagged multi-extent");
                } else if ((continues = rec[25] & 0x80)) {
                    sectionId = id;
                    sectionEnd = uint64_t(extent) * kSector + size;
                    if (size % kSector) Problem(at + ": section of \"" + path + "\" before another does not end at a sector end");
                }
            }
            ++index;
            off += len;
        }
        if (AnyNonZero(s.data() + std::min(off, kSector), s.data() + kSector))
            Problem(where + ": bytes after the last record of sector " + Num(sector) + " are not zero");
    }
    if (index < 2) Problem(where + ": no \".\" and \"..\" records");
    if (continues) Problem(where + ": the last record is flagged multi-extent");
}

void IsoReader::ReadSystemUse(const uint8_t* su, size_t length, RockRidgeInfo& rr, const std::string& at) {
    std::vector<uint8_t> area(su, su + length);
    std::vector<std::string> parts;  // of the link target
    bool continued = false;          // the last component goes on in the next
    for (int areas = 0;; ++areas) {
        bool ce = false;
        uint32_t ceExtent = 0, ceOffset = 0, ceLength = 0;
        size_t off = 0;
        for (; off + 4 <= area.size();) {
            const uint8_t* p = area.data() + off;
            const size_t n = p[2];
            if (n == 0 && !AnyNonZero(p, area.data() + area.size())) break;  // padding
            if (n < 4 || off + n > area.size())
                return Problem(at + ": System Use entry at byte " + Num(off) + " has a bad length " + Num(n));
            const std::string sig(p, p + 2);
            if (sig == "ST") break;
            if (sig == "CE" && n >= 28) {
                ce = true;
                ceExtent = Both32(p + 4, at + " CE location");
                ceOffset = Both32(p + 12, at + " CE offset");
                ceLength = Both32(p + 20, at + " CE length");
            } else if (sig == "PX" && n >= 36) {
                rr.px = true;
                rr.mode = Both32(p + 4, at + " PX mode"), rr.links = Both32(p + 12, at + " PX links");
                rr.uid = Both32(p + 20, at + " PX uid"), rr.gid = Both32(p + 28, at + " PX gid");
                if (n >= 44) rr.serial = Both32(p + 36, at + " PX serial number");
            } else if (sig == "TF" && n >= 5) {
                // Times in flag order: creation, modify, access, attributes, ...
                const size_t width = p[4] & 0x80 ? 17 : 7;
                uint8_t* kept[] = {nullptr, rr.mtime, rr.atime, rr.ctime, nullptr, nullptr, nullptr};
                size_t pos = 5;
                for (int bit = 0; bit < 7; ++bit) {
                    if (!(p[4] & (1 << bit))) continue;
                    if (pos + width > n) return Problem(at + ": TF entry shorter than its flags say");
                    if (kept[bit] && width == 7) std::copy(p + pos, p + pos + 7, kept[bit]);
                    pos += width;
                }
                rr.tf = true;
            } else if (sig == "NM" && n >= 5) {
                if (!(p[4] & 0x06)) rr.name.append(p + 5, p + n);  // not "." or ".."
                rr.nm = true;
            } else if (sig == "SL" && n >= 5) {
                for (size_t c = 5; c + 2 <= n;) {
                    const uint8_t flags = p[c], len = p[c + 1];
                    if (c + 2 + len > n) return Problem(at + ": SL component past its entry");
                    std::string text = flags & 0x02 ? "." : flags & 0x04 ? ".." : std::string(p + c + 2, p + c + 2 + len);
                    if (flags & 0x08) parts.assign(1, std::string()), text.clear(), continued = false;
                    else if (continued && !parts.empty()) parts.back() += text;
                    else parts.push_back(text);
                    continued = flags & 0x01;
                    c += 2 + len;
                }
                rr.sl = true;
            }
            off += n;
        }
        // Our continuation areas hold their entries and nothing more: a
        // length that is off would have a reader take in bytes beyond them.
        if (areas > 0 && off != area.size())
            Problem(at + ": continuation area of " + Num(area.size()) + " bytes holds " + Num(off) + " bytes of entries");
        if (!ce) break;
        if (areas + 1 >= kMaxContinuations) {
            Problem(at + ": more than " + Num(kMaxContinuations) + " continuation areas");
            break;
        }
        if (ceOffset >= kSector || ceLength > kSector - ceOffset || !InVolume(ceExtent, 1)) {
            Problem(at + ": continuation area at sector " + Num(ceExtent) + " byte " + Num(ceOffset) + ", " +
                    Num(ceLength) + " bytes, is not inside one sector of the volume");
            break;
        }
        area = m_image.Read(uint64_t(ceExtent) * kSector + ceOffset, ceLength);
        if (area.size() != ceLength) {
            Problem(at + ": continuation area at sector " + Num(ceExtent) + " cannot be read");
            break;
        }
    }
    for (size_t i = 0; i < parts.size(); ++i) rr.target += (i ? "/" : "") + parts[i];
}

std::vector<IsoReader::PathEntry> IsoReader::ReadPathTable(const Hierarchy& h, uint32_t sector, bool bigEndian) {
    std::string where = h.label + (bigEndian ? " type M" : " type L") + " path table";
    std::vector<PathEntry> entries;
    if (!InVolume(sector, h.pathTableSize) || h.pathTableSize > kMaxPathTable) {
        Problem(where + " lies outside the volume");
        return entries;
    }
    std::vector<uint8_t> table = m_image.Read(uint64_t(sector) * kSector, h.pathTableSize);
    if (table.size() != h.pathTableSize) {
        Problem(where + " cannot be read");
        return entries;
    }
    const uint8_t* p = table.data();
    uint32_t off = 0;
    while (off < h.pathTableSize) {
        uint32_t n = p[off];
        if (n == 0 || uint64_t(off) + 8 + n > h.pathTableSize) return Problem(where + ": bad entry at byte " + Num(off)), entries;
        if (p[off + 1] != 0) Problem(where + ": entry at byte " + Num(off) + " has extended attributes (" + Num(p[off + 1]) + ")");
        entries.push_back({std::string(p + off + 8, p + off + 8 + n), bigEndian ? GetBE32(p + off + 2) : GetLE32(p + off + 2),
                           bigEndian ? GetBE16(p + off + 6) : GetLE16(p + off + 6)});
        off += 8 + n + (n & 1);
    }
    if (off != h.pathTableSize) Problem(where + ": entries do not add up to the recorded size");
    return entries;
}

void IsoReader::CheckPathTables(const Hierarchy& h, const std::vector<Dir>& dirs) {
    std::vector<PathEntry> l = ReadPathTable(h, h.pathTableL, false);
    std::vector<PathEntry> m = ReadPathTable(h, h.pathTableM, true);
    if (l != m) Problem(h.label + ": type L and type M path tables differ");
    if (l.size() != dirs.size())
        return Problem(h.label + ": path table lists " + Num(l.size()) + " directories, the tree has " + Num(dirs.size()));
    std::map<uint32_t, size_t> byExtent;  // directory extent -> walked index
    for (size_t i = 0; i < dirs.size(); ++i) byExtent[dirs[i].extent] = i;
    std::vector<int> depth(l.size(), 0);
    std::map<size_t, std::vector<std::string>> listedChildren;  // walked parent -> identifiers in table order
    for (size_t i = 0; i < l.size(); ++i) {
        const PathEntry& e = l[i];
        std::string at = h.label + " path table entry " + Num(i + 1);
        auto it = byExtent.find(e.extent);
        if (it == byExtent.end()) {
            Problem(at + ": no directory at extent " + Num(e.extent));
            continue;
        }
        const Dir& d = dirs[it->second];
        if (e.identifier != d.identifier) Problem(at + ": identifier differs from the directory record");
        if (i == 0 || it->second == 0) {
            if (i != 0 || it->second != 0 || e.parent != 1) Problem(at + ": the root is not the first entry with parent 1");
            continue;
        }
        if (e.parent < 1 || e.parent > i) {
            Problem(at + ": parent number " + Num(e.parent) + " does not precede it");
            continue;
        }
        if (l[e.parent - 1].extent != dirs[size_t(d.parent)].extent) Problem(at + ": parent number names the wrong directory");
        depth[i] = depth[e.parent - 1] + 1;
        if (depth[i] < depth[i - 1]) Problem(at + ": listed after a deeper directory");
        if (depth[i] == depth[i - 1] && e.parent < l[i - 1].parent) Problem(at + ": parent numbers out of order");
        listedChildren[size_t(d.parent)].push_back(e.identifier);
    }
    for (const auto& [parent, ids] : listedChildren)
        if (ids != dirs[parent].subdirs)
            Problem(h.label + ": path table order of the subfolders of \"" + (parent ? dirs[parent].path : "/") +
                    "\" differs from their directory records");
}

}  // namespace pm
