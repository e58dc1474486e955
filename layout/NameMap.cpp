#include "layout/NameMap.h"

#include <unordered_map>

#include "tree/Text.h"

namespace pm {

bool IsoNameFits(const CFileEntry& e) { return e.m_strShortName.size() <= (e.m_bDirectory ? 8u : 12u); }
bool JolietNameFits(const CFileEntry& e) { return e.JolietUnits() <= 64; }
bool UdfNameFits(const CFileEntry& e) { return e.UdfIdentifierBytes() <= 255; }

// Joliet identifiers must not hold these; no Windows name can either (the
// name's UTF-8 bytes hold them exactly where its UTF-16 form would). A ";"
// is left to files: 7z, bsdtar, osirrox, pycdlib and isoinfo all read "a;b.txt;1"
// as "a;b.txt", and Windows names may hold it; in a folder identifier, which
// has no version to split off, strict checkers flag it.
bool JolietCharactersFit(const CFileEntry& e) {
    for (unsigned char u : e.m_strName) {
        if (u < 0x20 || u == '*' || u == ':' || u == '?' || u == '\\' || (u == ';' && e.m_bDirectory)) return false;
    }
    return true;
}

namespace {

// Where one of a pair of case twins cannot be opened, and where both can.
std::string CaseTwinReaders(const ImageBuilder& b) {
    if (!HasUdf(b.Kind())) return "one of the two on Windows and Linux's Joliet; both in 7-Zip, bsdtar, xorriso";
    if (!HasIsoTrees(b.Kind())) return "one of the two on Windows; both in Linux's UDF, 7-Zip";
    return "one of the two on Windows and Linux's Joliet; both in Linux's UDF, 7-Zip, bsdtar, xorriso";
}

NameRow Row(const ImageBuilder& b, const CFileEntry& e, const CFileEntry* twin) {
    NameRow r;
    r.path = e.m_pParent ? e.m_strName : ".";
    for (const CFileEntry* p = e.m_pParent; p && p->m_pParent; p = p->m_pParent) r.path = p->m_strName + "/" + r.path;
    r.hidden = e.m_bHidden;
    auto because = [&](const char* why) { r.reason += (r.reason.empty() ? "" : "; ") + std::string(why); };
    if (HasIsoTrees(b.Kind())) {
        r.iso = Cp932ToUtf8(e.m_strShortName) + (e.m_bDirectory ? "" : ";1");
        if (e.Posix() && e.m_pParent && Cp932ToUtf8(e.m_strShortName) != e.m_strName) r.rockRidge = e.m_strName;
        if (!IsoNameFits(e)) because(e.m_bDirectory ? "8.3 name longer than 8 bytes" : "8.3 name longer than 12 bytes");
    }
    if (e.m_bUndecodable) because("name neither UTF-8 nor code page 932");
    if (HasIsoTrees(b.Kind()) && !JolietCharactersFit(e)) because("character Joliet cannot hold");
    if (HasIsoTrees(b.Kind())) {
        r.joliet = e.m_strName;  // the Joliet identifier is its UTF-16 form
        if (!JolietNameFits(e)) because("Joliet name longer than 64 characters");
    }
    if (HasUdf(b.Kind())) {
        r.udf = e.m_strName;  // and so is the UDF one
        if (!UdfNameFits(e)) because("UDF name longer than 127 characters");
    }
    r.fits = r.reason.empty();
    if (twin) because(("differs from \"" + twin->m_strName + "\" only in letter case: " + CaseTwinReaders(b)).c_str());
    return r;
}

}  // namespace

std::vector<CaseTwin> CaseTwins(const ImageBuilder& b) {
    std::vector<CaseTwin> twins;
    std::unordered_map<std::string, const CFileEntry*> seen;
    for (const CFileEntry* d : b.m_directories) {
        if (d->m_children.size() < 2) continue;
        seen.clear();
        for (const auto& c : d->m_children) {
            auto [it, fresh] = seen.emplace(FoldCase(c->m_strName), c.get());
            if (!fresh) twins.push_back({it->second, c.get()});
        }
    }
    return twins;
}

std::vector<NameRow> NameMap(const ImageBuilder& b) {
    std::vector<NameRow> rows;
    rows.reserve(b.m_directories.size() + b.m_files.size());
    // Both of a pair name the other.
    std::unordered_map<const CFileEntry*, const CFileEntry*> twinOf;
    for (const CaseTwin& t : CaseTwins(b)) {
        twinOf.emplace(t.first, t.other);
        twinOf.emplace(t.other, t.first);
    }
    auto twin = [&](const CFileEntry* e) {
        auto it = twinOf.find(e);
        return it == twinOf.end() ? nullptr : it->second;
    };
    for (const CFileEntry* d : b.m_directories) rows.push_back(Row(b, *d, twin(d)));
    for (const CFileEntry* f : b.m_files) rows.push_back(Row(b, *f, twin(f)));
    // A bootable image: its catalog, which no tree lists, and each entry,
    // with the names of the file it shares (none for an image of its own).
    if (!b.m_boot.empty()) rows.push_back(NameRow{"[BOOT]/catalog", "", "", "", false, ""});
    for (size_t i = 0; i < b.m_boot.size(); ++i) {
        const PlacedBootEntry& e = b.m_boot[i];
        NameRow r = e.treeFile ? Row(b, *e.treeFile, nullptr) : NameRow{};
        r.path = "[BOOT]/" + std::to_string(i + 1) + (e.platform == 0xEF ? "-UEFI" : "-BIOS");
        rows.push_back(std::move(r));
    }
    return rows;
}

}  // namespace pm
