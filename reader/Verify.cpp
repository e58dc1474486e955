#include "reader/Verify.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <unordered_map>

#include "iso9660/DirectoryRecords.h"
#include "iso9660/Fields.h"
#include "messages/Strings.h"
#include "platform/Platform.h"
#include "platform/Time.h"
#include "iso9660/ElTorito.h"
#include "reader/BootCatalogReader.h"
#include "reader/IsoReader.h"
#include "reader/UdfReader.h"
#include "tree/PathUtil.h"
#include "tree/Text.h"
#include "udf/FileEntries.h"
#include "udf/Primitives.h"

namespace pm {

namespace {

constexpr size_t kPiece = 1u << 20;

// One entry of one hierarchy, in the form the comparison needs.
struct Item {
    std::string id;  // identifier bytes as recorded
    int parent = -1;
    bool isDir = false, hidden = false;
    uint64_t size = 0;
    std::vector<ImageRun> runs;
    std::array<uint8_t, 12> date{};  // 7 bytes (ISO 9660) or 12 (UDF) as recorded
    RockRidgeInfo rr;                // ISO 9660 with Rock Ridge
    // UDF: the Linux attributes of the file entry, and the entry itself,
    // which the names of a hard-linked file share.
    uint32_t mode = 0, uid = 0, gid = 0, links = 0;
    uint64_t entry = 0;
    std::array<uint8_t, 12> changed{};
    std::string target;
};

enum class Scheme { Iso, Joliet, Udf };

struct Hierarchy {
    Scheme scheme;
    const char* label;
    std::vector<Item> items;
    std::unordered_map<const CFileEntry*, int> found;  // source entry -> item
};

// Days from 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

// The instant a recorded date names: its local fields less its offset.
// False for the zero date, which records no time.
bool RecordedInstant(Scheme s, const std::array<uint8_t, 12>& d, int64_t& out) {
    if (std::all_of(d.begin(), d.end(), [](uint8_t b) { return b == 0; })) return false;
    int64_t year, offset;
    unsigned month, day, hour, minute, second;
    if (s == Scheme::Udf) {
        int zone = (d[0] | (d[1] << 8)) & 0x0FFF;
        zone = zone >= 0x800 ? zone - 0x1000 : zone;
        offset = zone == -2047 ? 0 : zone;  // -2047: no zone recorded
        year = int16_t(d[2] | (d[3] << 8)), month = d[4], day = d[5], hour = d[6], minute = d[7], second = d[8];
    } else {
        year = 1900 + d[0], month = d[1], day = d[2], hour = d[3], minute = d[4], second = d[5];
        offset = int8_t(d[6]) * 15;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31) return false;
    out = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - offset * 60;
    return true;
}

std::string Utc(int64_t t) {
    time_t tt = time_t(t);
    struct tm tm {};
    char buf[40];
    if (!gmtime_r(&tt, &tm) || !std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S UTC", &tm)) return std::to_string(t);
    return buf;
}

std::string JolietId(const WideString& w, bool file) {
    std::string id(reinterpret_cast<const char*>(w.Data()), size_t(w.ByteLength()));
    return file ? id + std::string("\0;\0" "1", 4) : id;
}

std::string ExpectedId(Scheme s, const CFileEntry& e) {
    switch (s) {
    case Scheme::Iso: return e.m_bDirectory ? e.m_strShortName : e.m_strShortName + ";1";
    case Scheme::Joliet: return JolietId(e.JolietIdentifier(), !e.m_bDirectory && JolietHasVersion(e));
    case Scheme::Udf: {
        const Cs0String id = e.UdfIdentifier();
        return std::string(reinterpret_cast<const char*>(id.Data()), size_t(id.Length()));
    }
    }
    return {};
}

// The name the build gives the entry in the hierarchy, for messages.
std::string ShownName(Scheme s, const std::string& id) {
    if (s == Scheme::Iso) return EscapeControls(Cp932ToUtf8(id));
    std::u16string u;
    if (s == Scheme::Udf && !id.empty() && id[0] == 8)  // CS0 of one byte a unit
        for (size_t i = 1; i < id.size(); ++i) u.push_back(uint8_t(id[i]));
    else
        for (size_t i = s == Scheme::Udf; i + 1 < id.size(); i += 2) u.push_back(char16_t((uint8_t(id[i]) << 8) | uint8_t(id[i + 1])));
    return EscapeControls(Utf16ToUtf8(u));
}

// Escaped: a tab or newline in a name must not break the line it is on.
std::string RelativePath(const CFileEntry* e) {
    if (!e->m_pParent) return ".";
    std::string path = e->m_strName;
    for (const CFileEntry* p = e->m_pParent; p && p->m_pParent; p = p->m_pParent) path = p->m_strName + "/" + path;
    return EscapeControls(path);
}

Hierarchy FromIso(const std::vector<IsoTreeEntry>& tree, bool joliet) {
    Hierarchy h{joliet ? Scheme::Joliet : Scheme::Iso, joliet ? "Joliet" : "ISO 9660", {}, {}};
    for (const IsoTreeEntry& e : tree) {
        Item& it = h.items.emplace_back();
        it.id = e.identifier, it.parent = e.parent;
        it.isDir = e.isDir, it.hidden = e.hidden, it.size = e.size;
        if (!e.isDir && e.size) it.runs.push_back({uint64_t(e.extent) * SectorSize, e.size});
        std::copy(e.date, e.date + 7, it.date.begin());
        it.rr = e.rr;
    }
    return h;
}

Hierarchy FromUdf(const UdfReader& r) {
    Hierarchy h{Scheme::Udf, "UDF", {}, {}};
    const std::vector<UdfNode>& nodes = r.Nodes();
    // Item indexes leave the root out, as the ISO 9660 trees do.
    for (size_t i = 1; i < nodes.size(); ++i) {
        const UdfNode& n = nodes[i];
        Item& it = h.items.emplace_back();
        it.id = n.identifier, it.parent = n.parent - 1;
        it.isDir = n.isDir, it.hidden = n.hidden, it.size = n.size;
        if (!n.isDir) it.runs = r.DataRuns(n);
        std::copy(n.modified, n.modified + 12, it.date.begin());
        std::copy(n.attributesChanged, n.attributesChanged + 12, it.changed.begin());
        // The mode as Linux reads it from the file type, the permissions and the flags.
        const uint32_t type = n.fileType == 4 ? 0040000 : n.fileType == 12 ? 0120000 : 0100000;
        it.mode = type | (n.permissions & 07) | (n.permissions >> 2 & 070) | (n.permissions >> 4 & 0700) |
                  (n.icbFlags & 0x40 ? 04000 : 0) | (n.icbFlags & 0x80 ? 02000 : 0) | (n.icbFlags & 0x100 ? 01000 : 0);
        it.uid = n.uid, it.gid = n.gid, it.links = n.linkCount, it.entry = n.entryBlock, it.target = n.linkTarget;
    }
    return h;
}

bool SameTime(Scheme s, const std::array<uint8_t, 12>& date, int64_t time, std::string& recordedText);

class Verifier {
public:
    Verifier(ImageBuilder& b, const ImageSource& image, VerifyResult& out, const VerifyProgress& progress)
        : m_b(b), m_image(image), m_out(out), m_progress(progress) {}

    void Match(Hierarchy& h);
    void CompareData(const std::vector<Hierarchy*>& hs);

private:
    void Differ(const CFileEntry* e, const std::string& what) { m_out.differences.push_back(RelativePath(e) + ": " + what); }
    void CompareEntry(Hierarchy& h, const CFileEntry& e, const Item& it);
    void CompareRockRidge(const CFileEntry& e, const RockRidgeInfo& rr);
    void CompareUdfPosix(const Hierarchy& h, const CFileEntry& e, const Item& it);
    bool SameContent(const CFileEntry& e, const std::vector<ImageRun>& runs, std::string& what);
    bool HasInfoTable(const CFileEntry& e) const;

    ImageBuilder& m_b;
    const ImageSource& m_image;
    VerifyResult& m_out;
    const VerifyProgress& m_progress;
    uint64_t m_compared = 0;  // content bytes read from the image so far
    std::vector<uint8_t> m_fromSource, m_fromImage;
};

// Walks the source folders in entry order (parents first) and pairs each
// child with the image entry of its expected name in the matched folder.
void Verifier::Match(Hierarchy& h) {
    std::vector<std::vector<int>> children(h.items.size() + 1);  // slot 0: the root
    for (size_t i = 0; i < h.items.size(); ++i)
        if (h.items[i].parent >= -1 && h.items[i].parent < int(h.items.size())) children[size_t(h.items[i].parent + 1)].push_back(int(i));
    for (const CFileEntry* d : m_b.m_directories) {
        int self = -1;
        if (d->m_pParent) {
            auto it = h.found.find(d);
            if (it == h.found.end()) continue;  // reported missing already
            self = it->second;
        }
        const std::vector<int>& inImage = children[size_t(self + 1)];
        std::unordered_map<std::string, size_t> byId;  // identifier -> place in inImage
        for (size_t i = 0; i < inImage.size(); ++i) byId.emplace(h.items[size_t(inImage[i])].id, i);
        std::vector<bool> matched(inImage.size());
        for (const auto& c : d->m_children) {
            if (h.scheme == Scheme::Joliet && !InJolietTree(*c)) continue;  // a link to nothing: reported by the build
            if (h.scheme == Scheme::Udf && !InUdfTree(*c)) continue;
            auto it = byId.find(ExpectedId(h.scheme, *c));
            if (it == byId.end()) {
                Differ(c.get(), FormatNumbered(kVerifyMissing, h.label, ShownName(h.scheme, ExpectedId(h.scheme, *c))));
                continue;
            }
            h.found[c.get()] = inImage[it->second];
            CompareEntry(h, *c, h.items[size_t(inImage[it->second])]);
            matched[it->second] = true;
            byId.erase(it);
        }
        for (size_t i = 0; i < inImage.size(); ++i)
            if (!matched[i])
                m_out.differences.push_back((d->m_pParent ? RelativePath(d) + "/" : "") + ShownName(h.scheme, h.items[size_t(inImage[i])].id) +
                                            ": " + FormatNumbered(kVerifyNotInSource, h.label));
    }
}

void Verifier::CompareEntry(Hierarchy& h, const CFileEntry& e, const Item& it) {
    if (it.isDir != e.m_bDirectory) return Differ(&e, FormatNumbered(it.isDir ? kVerifyFolderInImage : kVerifyFileInImage, h.label));
    if (it.hidden != e.m_bHidden) Differ(&e, FormatNumbered(it.hidden ? kVerifyHiddenInImage : kVerifyNotHiddenInImage, h.label));
    // A symbolic link's Joliet record has the size of the file it shows; its
    // UDF entry, that of its path components, which its target check reads.
    uint64_t size = h.scheme == Scheme::Udf ? e.m_nUdfSize : h.scheme == Scheme::Joliet ? e.m_nJolietSize : e.m_nIsoSize;
    if (!e.m_bDirectory && !(h.scheme == Scheme::Udf && e.IsSymlink()) && it.size != size)
        Differ(&e, FormatNumbered(kVerifySize, h.label, std::to_string(it.size), std::to_string(size)));
    if (h.scheme == Scheme::Iso && e.Posix()) CompareRockRidge(e, it.rr);
    if (h.scheme == Scheme::Udf && e.Posix()) CompareUdfPosix(h, e, it);
    std::string recorded;
    if (!SameTime(h.scheme, it.date, e.m_time, recorded))
        Differ(&e, FormatNumbered(kVerifyModified, h.label, recorded, Utc(e.m_time)));
}

// The instant the date names must be the source's. Where the field cannot
// name it (a time outside its years, a zone offset that is no whole unit of
// the field), the build's own encoding in this zone is the measure.
bool SameTime(Scheme s, const std::array<uint8_t, 12>& date, int64_t time, std::string& recordedText) {
    int64_t recorded = 0;
    bool has = RecordedInstant(s, date, recorded);
    if (has && recorded == time) return true;
    CalendarTime local;
    bool exact = LocalTime(time, local) && local.utcOffsetMinutes % (s == Scheme::Udf ? 1 : 15) == 0 &&
                 local.year >= (s == Scheme::Udf ? 1 : 1900) && local.year <= (s == Scheme::Udf ? 9999 : 2155);
    std::array<uint8_t, 12> expect{};
    s == Scheme::Udf ? FillTimestampFromTime(expect.data(), time) : WriteDirectoryDate(expect.data(), time);
    if (!exact && expect == date) return true;
    recordedText = has ? Utc(recorded) : LoadString(kVerifyNoTime);
    return false;
}

void Verifier::CompareRockRidge(const CFileEntry& e, const RockRidgeInfo& rr) {
    if (!rr.px || !rr.tf || !rr.nm) return Differ(&e, LoadString(kVerifyNoRockRidge));
    const PosixInfo& p = *e.Posix();
    auto differ = [&](const char* what, const std::string& image, const std::string& source) {
        if (image != source) Differ(&e, FormatNumbered(kVerifyRockRidge, what, image, source));
    };
    auto octal = [](uint32_t v) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%o", v);
        return std::string(buf);
    };
    differ("mode", octal(rr.mode), octal(p.mode));
    differ("uid", std::to_string(rr.uid), std::to_string(p.uid));
    differ("gid", std::to_string(rr.gid), std::to_string(p.gid));
    differ("nlink", std::to_string(rr.links), std::to_string(p.links));
    differ("NM", EscapeControls(rr.name), EscapeControls(e.m_strName));
    if (e.IsSymlink()) differ("link target", EscapeControls(rr.target), EscapeControls(LinkTargetText(p.linkTarget)));
    else if (rr.sl) differ("link target", EscapeControls(rr.target), "");
    // Not the access time: the build reads every file after the scan took it.
    const struct { const char* what; const uint8_t* date; int64_t time; } times[] = {
        {"mtime", rr.mtime, e.m_time}, {"ctime", rr.ctime, p.ctime}};
    for (const auto& t : times) {
        std::array<uint8_t, 12> date{};
        std::copy(t.date, t.date + 7, date.begin());
        std::string recorded;
        if (!SameTime(Scheme::Iso, date, t.time, recorded)) differ(t.what, recorded, Utc(t.time));
    }
}

// The target as Linux readers give it back: no empty names, each name in
// the form the build gives names.
std::string ReadableTarget(const std::string& target) {
    std::string out = !target.empty() && target[0] == '/' ? "/" : "";
    for (size_t pos = 0; pos <= target.size();) {
        size_t end = std::min(target.find('/', pos), target.size());
        std::string part = target.substr(pos, end - pos), name;
        pos = end + 1;
        if (part.empty()) continue;
        DecodeName(part, name);
        if (!out.empty() && out.back() != '/') out += '/';
        out += name;
    }
    return out;
}

void Verifier::CompareUdfPosix(const Hierarchy& h, const CFileEntry& e, const Item& it) {
    const PosixInfo& p = *e.Posix();
    auto differ = [&](const char* what, const std::string& image, const std::string& source) {
        if (image != source) Differ(&e, FormatNumbered(kVerifyUdfAttribute, what, image, source));
    };
    char mode[2][16];
    std::snprintf(mode[0], sizeof mode[0], "%o", it.mode), std::snprintf(mode[1], sizeof mode[1], "%o", p.mode);
    differ("mode", mode[0], mode[1]);
    differ("uid", std::to_string(it.uid), std::to_string(p.uid));
    differ("gid", std::to_string(it.gid), std::to_string(p.gid));
    if (e.IsSymlink()) differ("link target", EscapeControls(it.target), EscapeControls(ReadableTarget(p.linkTarget)));
    // Not the access time: the build reads every file after the scan took it.
    std::string recorded;
    if (!SameTime(Scheme::Udf, it.changed, p.ctime, recorded)) differ("ctime", recorded, Utc(p.ctime));
    if (e.m_bDirectory) return;  // the reader checks a folder's count against its subfolders
    differ("nlink", std::to_string(it.links), std::to_string(p.links));
    // Every name of a file leads to the one entry of its first name.
    if (p.dataOwner) {
        auto owner = h.found.find(p.dataOwner);
        if (owner != h.found.end() && h.items[size_t(owner->second)].entry != it.entry)
            Differ(&e, FormatNumbered(kVerifyOwnEntry, RelativePath(p.dataOwner)));
    }
}

// Every file once, through the first hierarchy that found it; the others
// must point at the same bytes. A symbolic link has no data of its own, and
// a hard link's is compared once.
void Verifier::CompareData(const std::vector<Hierarchy*>& hs) {
    for (const CFileEntry* f : m_b.DataFiles()) {
        if (m_out.stopped) return;
        const Item* first = nullptr;
        const char* firstLabel = "";
        for (Hierarchy* h : hs) {
            auto it = h->found.find(f);
            if (it == h->found.end() || h->items[size_t(it->second)].isDir) continue;
            const Item& item = h->items[size_t(it->second)];
            if (!first) {
                first = &item, firstLabel = h->label;
                continue;
            }
            if (!first->runs.empty() && !item.runs.empty() && first->runs[0].offset != item.runs[0].offset)
                Differ(f, FormatNumbered(kVerifyDifferentSectors, firstLabel, h->label));
        }
        std::string what;
        // The catalog is no source file: its own check reads it where it lies.
        if (first && f->m_bBootCatalog) {
            if (first->runs.empty() || first->runs[0].offset != uint64_t(m_b.m_dwBootCatalog) * SectorSize)
                Differ(f, "does not point at the boot catalog");
            continue;
        }
        if (first && !SameContent(*f, first->runs, what)) Differ(f, what);
        if (first && !m_out.stopped) m_out.bytes += f->m_nUdfSize ? f->m_nUdfSize : f->m_nIsoSize;
    }
}

bool Verifier::HasInfoTable(const CFileEntry& e) const {
    for (const PlacedBootEntry& b : m_b.m_boot)
        if (b.infoTable && b.treeFile == &e) return true;
    return false;
}

bool Verifier::SameContent(const CFileEntry& e, const std::vector<ImageRun>& runs, std::string& what) {
    for (const ImageRun& r : runs)
        if (!m_image.Holds(r.offset, r.length)) return what = LoadString(kVerifyPastEnd), false;
    FileError err;
    std::unique_ptr<InputFile> in = m_b.GetPlatform().OpenRead(e.Path(), err);
    if (!in) return what = LoadString(kVerifySourceCannotOpen), false;
    m_fromSource.resize(kPiece), m_fromImage.resize(kPiece);
    uint64_t at = 0;
    for (const ImageRun& r : runs) {
        for (uint64_t done = 0; done < r.length;) {
            size_t n = size_t(std::min<uint64_t>(kPiece, r.length - done));
            if (!m_image.ReadAt(r.offset + done, m_fromImage.data(), n)) return what = LoadString(kVerifyImageCannotRead), false;
            size_t got = 0;
            while (got < n) {
                long long k = in->Read(m_fromSource.data() + got, n - got, err);
                if (k < 0) return what = LoadString(kVerifySourceCannotRead), false;
                if (k == 0) return what = FormatNumbered(kVerifySourceEnds, std::to_string(at + got)), false;
                got += size_t(k);
            }
            // A boot information table was written over these bytes of the
            // copy; the boot entries' check compares them.
            if (at == 0 && n >= 64 && HasInfoTable(e)) std::memcpy(m_fromSource.data() + 8, m_fromImage.data() + 8, 56);
            if (std::memcmp(m_fromSource.data(), m_fromImage.data(), n) != 0) {
                size_t i = 0;
                while (m_fromSource[i] == m_fromImage[i]) ++i;
                return what = FormatNumbered(kVerifyContentDiffers, std::to_string(at + i)), false;
            }
            done += n, at += n;
            m_compared += n;
            // A stop leaves the file neither equal nor different: the result says stopped.
            if (m_progress && !m_progress(m_compared)) return m_out.stopped = true;
        }
    }
    uint8_t extra;
    if (in->Read(&extra, 1, err) > 0) return what = FormatNumbered(kVerifySourceGoesOn, std::to_string(at)), false;
    return true;
}

// A boot image's extent against its file: every byte, and where the entry
// asked for one, the boot information table the build writes.
bool SameBootImage(Platform& platform, const ImageSource& image, const PlacedBootEntry& want, uint32_t sector,
                   std::string& what) {
    FileError err;
    std::unique_ptr<InputFile> in = OpenBootImage(platform, want, err);
    if (!in) return what = "the boot image cannot be opened", false;
    std::vector<uint8_t> file(kPiece), copy(kPiece);
    std::array<uint8_t, 64> head{};
    BootInfoChecksum sum;
    uint64_t at = 0;
    for (long long n; (n = in->Read(file.data(), file.size(), err)) != 0; at += uint64_t(n)) {
        if (n < 0) return what = "the boot image cannot be read", false;
        if (!image.ReadAt(uint64_t(sector) * SectorSize + at, copy.data(), size_t(n)))
            return what = "the boot image goes past the image's end", false;
        sum.Add(file.data(), size_t(n));
        if (at == 0 && want.infoTable && n >= 64) {
            std::memcpy(head.data(), copy.data(), 64);
            std::memcpy(copy.data() + 8, file.data() + 8, 56);
        }
        if (std::memcmp(file.data(), copy.data(), size_t(n)) != 0) {
            size_t i = 0;
            while (file[i] == copy[i]) ++i;
            return what = "differs from the boot image at byte " + std::to_string(at + i), false;
        }
    }
    if (!want.infoTable) return true;
    std::array<uint8_t, 64> table{};
    FillBootInfoTable(table.data(), 16, sector, uint32_t(at), sum.Value());
    if (std::memcmp(table.data() + 8, head.data() + 8, 56) != 0) return what = "boot information table is not as built", false;
    return true;
}

void VerifyBoot(ImageBuilder& b, const ImageSource& image, VerifyResult& out) {
    BootCatalogRead read = ReadBootCatalog(image);
    for (const std::string& p : read.problems) out.problems.push_back(p);
    if (!read.problems.empty()) return;
    if (b.m_boot.empty() != !read.present || read.entries.size() != b.m_boot.size()) {
        out.differences.push_back("boot catalog: " + std::to_string(read.entries.size()) + " entries in the image, " +
                                  std::to_string(b.m_boot.size()) + " asked for");
        return;
    }
    auto hex = [](unsigned v) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "0x%02X", v);
        return std::string(buf);
    };
    for (size_t i = 0; i < b.m_boot.size(); ++i) {
        const PlacedBootEntry& want = b.m_boot[i];
        const ReadBootEntry& got = read.entries[i];
        const std::string where = "boot entry " + std::to_string(i + 1) + " (" + EscapeInvalidUtf8(want.path) + "): ";
        if (uint8_t(got.entry.platform) != want.platform)
            out.differences.push_back(where + "platform " + hex(uint8_t(got.entry.platform)) + " in the image, " + hex(want.platform) + " asked for");
        if (got.mediaType != 0) out.differences.push_back(where + "emulates a disk");
        if (got.entry.loadSectors != want.loadSectors)
            out.differences.push_back(where + "load size " + std::to_string(got.entry.loadSectors) + " in the image, " +
                                      std::to_string(want.loadSectors) + " from the boot image");
        std::string what;
        if (!SameBootImage(b.GetPlatform(), image, want, got.entry.imageSector, what)) out.differences.push_back(where + what);
    }
}

}  // namespace

VerifyResult VerifyImage(ImageBuilder& builder, const ImageSource& image,
                         const VerifyProgress& progress) {
    VerifyResult out;
    // What the scan could not read would show as entries missing from the
    // source: a folder's whole content "in the image but not in the source".
    if (builder.ReportUnreadable() > 0) {
        out.sourceUnreadable = true;
        return out;
    }
    out.folders = builder.m_directories.size();
    out.files = builder.m_files.size();
    std::vector<Hierarchy> hs;
    // Each reader goes once its trees are taken over, so that a large tree is
    // not held twice over.
    if (HasIsoTrees(builder.Kind())) {
        auto iso = std::make_unique<IsoReader>(image);
        if (iso->VolumeSpaceSize() == 0 || !iso->HasJoliet()) {
            out.unreadable = iso->VolumeSpaceSize() && !iso->HasJoliet() ? LoadString(kVerifyNoJoliet)
                             : iso->Problems().empty()                   ? LoadString(kVerifyNoIso)
                                                                         : iso->Problems().front();
            return out;
        }
        for (const std::string& p : iso->Problems()) out.problems.push_back(p);
        hs.push_back(FromIso(iso->IsoTree(), false));
        hs.push_back(FromIso(iso->JolietTree(), true));
    }
    if (HasUdf(builder.Kind())) {
        auto udf = std::make_unique<UdfReader>(image);
        udf->Read();
        if (udf->Nodes().empty()) {
            out.unreadable = udf->Problems().empty() ? LoadString(kVerifyNoUdf) : udf->Problems().front();
            return out;
        }
        for (const std::string& p : udf->Problems()) out.problems.push_back(p);
        hs.push_back(FromUdf(*udf));
    }
    Verifier v(builder, image, out, progress);
    std::vector<Hierarchy*> order;
    for (Hierarchy& h : hs) v.Match(h), order.push_back(&h);
    // UDF first: it carries the whole 64-bit length of a file.
    std::reverse(order.begin(), order.end());
    v.CompareData(order);
    if (!out.stopped) VerifyBoot(builder, image, out);
    return out;
}

}  // namespace pm
