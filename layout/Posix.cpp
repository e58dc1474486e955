// The links of a tree kept with its Linux attributes: hard links joined to
// one copy of the data, link counts as the image holds them, and symbolic
// links resolved to the file the Joliet tree shows in their place.
#include <map>
#include <unordered_map>

#include "layout/ImageBuilder.h"

namespace pm {
namespace {

// Symbolic links followed in one resolution at most, as Linux allows.
constexpr int kMaxHops = 40;

class Resolver {
public:
    explicit Resolver(const CFileEntry& root) : m_root(root) {}

    // The regular file of the tree `link` leads to, following links within
    // the tree; null when it leads outside, nowhere, to a folder, or round.
    const CFileEntry* Resolve(const CFileEntry& link) {
        int hops = 0;
        return Follow(link, hops);
    }

private:
    const CFileEntry* Follow(const CFileEntry& link, int& hops) {
        const std::string& target = link.Posix()->linkTarget;
        // Absolute targets name the reader's own system, not the image.
        if (++hops > kMaxHops || target.empty() || target[0] == '/') return nullptr;
        const CFileEntry* at = link.m_pParent;
        size_t pos = 0;
        while (at && pos <= target.size()) {
            size_t end = target.find('/', pos);
            if (end == std::string::npos) end = target.size();
            const std::string part = target.substr(pos, end - pos);
            const bool last = end == target.size();
            pos = end + 1;
            if (part.empty() || part == ".") {
                if (last && !at->m_bDirectory) return nullptr;
                continue;
            }
            if (part == "..") {
                at = at == &m_root ? nullptr : at->m_pParent;
                continue;
            }
            if (!at->m_bDirectory) return nullptr;
            const CFileEntry* next = Child(*at, part);
            if (next && next->IsSymlink()) next = Follow(*next, hops);
            at = next;
        }
        return at && !at->m_bDirectory ? at : nullptr;
    }

    const CFileEntry* Child(const CFileEntry& folder, const std::string& rawName) {
        auto [it, made] = m_names.try_emplace(&folder);
        if (made)
            for (const auto& c : folder.m_children) it->second.emplace(c->RawName(), c.get());
        auto found = it->second.find(rawName);
        return found == it->second.end() ? nullptr : found->second;
    }

    const CFileEntry& m_root;
    std::unordered_map<const CFileEntry*, std::unordered_map<std::string, const CFileEntry*>> m_names;
};

}  // namespace

void ImageBuilder::LinkPosixEntries() {
    m_dataFiles.clear();
    if (!m_root.Posix()) return;
    for (CFileEntry* d : m_directories) {
        uint32_t links = 2;
        for (const auto& c : d->m_children) links += c->m_bDirectory;
        d->Posix()->links = links;
    }
    // Hard links: the first in file order keeps the data, the others point
    // at it; each counts the names the image gives the file.
    std::map<std::pair<uint64_t, uint64_t>, CFileEntry*> firsts;
    for (CFileEntry* f : m_files) {
        PosixInfo& p = *f->Posix();
        p.links = 1;
        if (f->IsSymlink()) continue;
        // (0, 0): no identity to share (the boot catalog).
        auto [it, first] = p.device == 0 && p.inode == 0 ? std::pair{firsts.end(), true}
                                                         : firsts.try_emplace({p.device, p.inode}, f);
        if (first) {
            m_dataFiles.push_back(f);
            continue;
        }
        p.dataOwner = it->second;
        p.links = ++it->second->Posix()->links;
    }
    // Serial numbers for Rock Ridge: folders, then files in file order; a
    // hard link takes its first's, and so readers join the names.
    uint32_t serial = 0;
    for (CFileEntry* d : m_directories) d->Posix()->serial = ++serial;
    for (CFileEntry* f : m_files) {
        PosixInfo& p = *f->Posix();
        if (p.dataOwner) p.links = p.dataOwner->Posix()->links;
        p.serial = p.dataOwner ? p.dataOwner->Posix()->serial : ++serial;
    }
    Resolver resolver(m_root);
    const bool joliet = HasIsoTrees(Kind());
    for (CFileEntry* f : m_files) {
        if (!f->IsSymlink()) continue;
        const CFileEntry* to = resolver.Resolve(*f);
        f->Posix()->resolved = to ? &to->DataOwner() : nullptr;
        f->m_nJolietSize = to ? to->m_nIsoSize : 0;
        if (!to && joliet) m_scanReport.skipped.push_back({f->Path(), SkippedEntry::NotInJoliet});
    }
}

void ImageBuilder::PlaceLinkedFiles() {
    if (!m_root.Posix()) return;
    for (CFileEntry* f : m_files) {
        const PosixInfo& p = *f->Posix();
        if (const CFileEntry* owner = p.dataOwner) {
            f->m_dwIsoSector = f->m_dwJolietSector = owner->m_dwIsoSector;
            f->m_dwUdfDataBlock = owner->m_dwUdfDataBlock;
        } else if (f->IsSymlink()) {
            // No data of its own: the Joliet tree shows the file it leads to.
            f->m_dwIsoSector = 0;
            f->m_dwJolietSector = p.resolved ? p.resolved->m_dwIsoSector : 0;
        }
    }
}

}  // namespace pm
