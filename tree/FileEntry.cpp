#include "tree/FileEntry.h"

#include <algorithm>

#include "tree/ExceptList.h"
#include "tree/ListAhead.h"
#include "tree/Text.h"

namespace pm {
namespace {

// Threads that list folders ahead of the scan: as with the readers of file
// data, the number is about how many requests the storage serves at once,
// not about the cores.
constexpr unsigned kListThreads = 8;

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;  // "/" itself
    return folder + "/" + name;
}

std::string DropTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

bool SameIdentity(uint64_t dev1, uint64_t ino1, uint64_t dev2, uint64_t ino2) {
    // (0, 0) is an identity the listing did not report: it matches nothing.
    return (ino1 != 0 || dev1 != 0) && dev1 == dev2 && ino1 == ino2;
}

// Collation keys of the path's components, chained: keys are prefix-free,
// so comparing chains compares parent paths first, then names.
std::string ChainedKey(const CFileEntry* e) {
    std::vector<const CFileEntry*> chain;
    for (; e; e = e->m_pParent) chain.push_back(e);
    std::string key;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) key += CollationKey((*it)->m_strName);
    return key;
}

struct Keyed {
    std::string key;
    size_t index;
};

// Sorts `items` by (depth, key, raw path); `node` maps an item to its node.
template <typename T, typename NodeOf, typename KeyOf>
void SortByKey(std::vector<T>& items, NodeOf node, KeyOf keyOf) {
    std::vector<Keyed> keys;
    keys.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) keys.push_back({keyOf(node(items[i])), i});
    std::sort(keys.begin(), keys.end(), [&](const Keyed& a, const Keyed& b) {
        const CFileEntry* x = node(items[a.index]);
        const CFileEntry* y = node(items[b.index]);
        if (x->m_nDepth != y->m_nDepth) return x->m_nDepth < y->m_nDepth;
        if (a.key != b.key) return a.key < b.key;
        // Names that are not valid UTF-8 can share a key; their raw bytes differ.
        return x->Path() < y->Path();
    });
    std::vector<T> sorted;
    sorted.reserve(items.size());
    for (const Keyed& k : keys) sorted.push_back(std::move(items[k.index]));
    items = std::move(sorted);
}

}  // namespace

#if defined(__GLIBCXX__) && UINTPTR_MAX == UINT64_MAX
// A node of up to 152 bytes takes a 160-byte chunk from malloc, one more byte
// a 176-byte one: 16 MB more for a million entries.
static_assert(sizeof(CFileEntry) <= 152, "CFileEntry outgrew its malloc chunk");
#endif

CFileEntry::~CFileEntry() { DeleteChildren(); }

void CFileEntry::DeleteChildren() {
    // Take the whole subtree into one flat list first: each node is then
    // destroyed with no children left, whatever the depth of the tree.
    std::vector<std::unique_ptr<CFileEntry>> doomed;
    for (auto& k : m_children) doomed.push_back(std::move(k));
    m_children.clear();
    for (size_t i = 0; i < doomed.size(); ++i) {
        auto& kids = doomed[i]->m_children;
        for (auto& k : kids) doomed.push_back(std::move(k));
        kids.clear();
    }
}

void CFileEntry::FillFrom(const DirEntry& e, const std::string& path, CFileEntry* parent) {
    m_dwIsoSector = m_dwJolietSector = m_dwUdfDataBlock = m_dwUdfEntryBlock = 0;
    m_nIsoSize = m_nJolietSize = m_nUdfSize = e.size;
    m_bUndecodable = !DecodeName(e.name, m_strName);
    m_strShortName = Utf8ToCp932(e.shortName.empty() ? m_strName : e.shortName);
    m_pExtra.reset();
    if (!parent || e.name != m_strName) {
        MakeExtra().raw = parent ? e.name : path;
        m_pExtra->hasRaw = true;
    }
    m_time = e.mtime;
    m_pParent = parent;
    m_nDepth = parent ? parent->m_nDepth + 1 : 0;
    m_wDirNumber = 0;
    m_bHidden = e.hidden;
    m_bDirectory = e.directory;
}

CFileEntry::Extra& CFileEntry::MakeExtra() {
    if (!m_pExtra) m_pExtra = std::make_unique<Extra>();
    return *m_pExtra;
}

void CFileEntry::KeepPosix(const DirEntry& e) {
    MakeExtra().posix = std::make_unique<PosixInfo>();
    PosixInfo& p = *m_pExtra->posix;
    p.mode = e.mode;
    p.uid = e.uid;
    p.gid = e.gid;
    p.atime = e.atime;
    p.ctime = e.ctime;
    p.device = e.device;
    p.inode = e.inode;
    p.linkTarget = e.linkTarget;
}

std::string CFileEntry::Path() const {
    std::vector<const CFileEntry*> chain;
    for (const CFileEntry* n = this; n->m_pParent; n = n->m_pParent) chain.push_back(n);
    const CFileEntry* root = chain.empty() ? this : chain.back()->m_pParent;
    std::string path = root->m_pExtra && root->m_pExtra->hasRaw ? root->m_pExtra->raw : root->m_strName;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (path.empty() || path.back() != '/') path += '/';  // "/" itself ends in one
        path += (*it)->RawName();
    }
    return path;
}

Cs0String CFileEntry::UdfIdentifier() const {
    Cs0String id;
    id.AssignWide(JolietIdentifier());
    return id;
}

int CFileEntry::JolietUnits() const {
    // m_strName is valid UTF-8: every lead byte starts one code point, and
    // those of four bytes take a surrogate pair.
    int units = 0;
    for (unsigned char c : m_strName) units += (c & 0xC0) != 0x80 ? (c >= 0xF0 ? 2 : 1) : 0;
    return units;
}

CFileEntry* CFileEntry::AddChild(const DirEntry& e, const std::string& path) {
    auto node = std::make_unique<CFileEntry>();
    node->FillFrom(e, path, this);
    m_children.push_back(std::move(node));
    return m_children.back().get();
}

int CFileEntry::Scan(const std::string& folderPath, const ScanContext& ctx) {
    std::string path = DropTrailingSlashes(folderPath);
    DirEntry e;
    if (!ctx.platform->LookupEntry(path, e)) return -1;
    DeleteChildren();
    FillFrom(e, path, nullptr);
    if (ctx.keepPosix) KeepPosix(e);
    // A file named as the source gets no children.
    if (!m_bDirectory) return 0;
    return ScanFolder(0, ctx, e.device, e.inode);
}

int CFileEntry::ScanFolder(int depth, const ScanContext& ctx, uint64_t device, uint64_t inode) {
    // One frame per folder on the current branch: its listing and how far
    // it has been taken in. The branch also serves as the loop guard.
    struct Frame {
        CFileEntry* node;
        std::string path;
        uint64_t device, inode;
        std::vector<DirEntry> listing;
        size_t next = 0;
    };
    std::vector<Frame> branch;
    ListAhead ahead(*ctx.platform, kListThreads, ctx.cancel, ctx.keepPosix);
    auto enters = [&](const DirEntry& e) {  // before the checks that need the name or the branch
        return e.directory && e.skipped == Skipped::No &&
               !(ctx.skipIdentity && SameIdentity(ctx.skipDevice, ctx.skipInode, e.device, e.inode));
    };
    auto open = [&](CFileEntry* node, std::string path, uint64_t device, uint64_t inode) {
        Frame f{node, std::move(path), device, inode, {}, 0};
        // A folder that cannot be listed stays, empty, and is reported: its
        // files must not go missing without a word.
        FileError err;
        if (!ahead.List(f.path, f.listing, err)) {
            f.listing.clear();
            if (ctx.report) ctx.report->unreadable.push_back({err.cause, f.path});
        }
        // Its folders are entered next, in listing order, before the rest of the branch.
        std::vector<std::string> next;
        for (const DirEntry& e : f.listing)
            if (enters(e)) next.push_back(JoinPath(f.path, e.name));
        ahead.Queue(std::move(next));
        branch.push_back(std::move(f));
    };
    auto skip = [&](std::string path, SkippedEntry::Why why) {
        if (ctx.report) ctx.report->skipped.push_back({std::move(path), why});
    };
    auto onBranch = [&](const DirEntry& e) {
        for (const Frame& f : branch)
            if (SameIdentity(f.device, f.inode, e.device, e.inode)) return true;
        return false;
    };

    int deepest = depth;
    open(this, Path(), device, inode);
    while (!branch.empty()) {
        if (ctx.cancel && ctx.cancel->load(std::memory_order_relaxed)) break;
        Frame& f = branch.back();
        if (f.next == f.listing.size()) {
            SortEntries(f.node->m_children);
            f.node->m_children.shrink_to_fit();  // no growth room kept in a million-entry tree
            branch.pop_back();
            continue;
        }
        const DirEntry& e = f.listing[f.next++];
        if (e.name == "." || e.name == "..") continue;
        if (ctx.skipIdentity && SameIdentity(ctx.skipDevice, ctx.skipInode, e.device, e.inode)) continue;
        std::string path = JoinPath(f.path, e.name);
        if (ctx.except) {
            std::string name;
            DecodeName(e.name, name);
            if (!ctx.except->IsIncluded(name)) {
                if (enters(e)) ahead.Drop(path);
                continue;
            }
        }
        CFileEntry* parent = f.node;
        if (e.skipped != Skipped::No) {
            skip(std::move(path), e.skipped == Skipped::DanglingLink ? SkippedEntry::DanglingLink : SkippedEntry::Special);
            continue;
        }
        if (!e.readable && !e.directory && ctx.report) ctx.report->unreadable.push_back({kCauseAccessDenied, path});
        CFileEntry* child = parent->AddChild(e, std::string());
        if (ctx.keepPosix) child->KeepPosix(e);
        if (ctx.hideDotFiles && child->m_strName[0] == '.') child->m_bHidden = true;
        if (!child->m_bDirectory) continue;
        // A linked folder that leads back onto its own branch is kept but
        // not entered: entering it would never end.
        if (onBranch(e)) {
            ahead.Drop(path);
            skip(std::move(path), SkippedEntry::LinkToAncestor);
        } else {
            deepest = std::max(deepest, depth + child->m_nDepth - m_nDepth);
            open(child, std::move(path), e.device, e.inode);  // invalidates f
        }
    }
    return deepest;
}

// Component by component rather than by whole path: a folder's entries must
// follow their parent's place, as ISO 9660 path tables need ascending parent
// numbers within a depth (whole-path collation puts "a b/y" before "a/x").
void SortEntries(std::vector<CFileEntry*>& entries) {
    SortByKey(entries, [](CFileEntry* e) { return e; }, ChainedKey);
}

// Siblings share their parent, so their names alone decide; they are
// compared in place (keys cost more than the comparisons they save here).
void SortEntries(CFileEntry::Children& entries) {
    std::sort(entries.begin(), entries.end(), [](const auto& x, const auto& y) {
        if (x->m_nDepth != y->m_nDepth) return x->m_nDepth < y->m_nDepth;
        if (int c = CollatePaths(x->m_strName, y->m_strName)) return c < 0;
        return x->RawName() < y->RawName();
    });
}

}  // namespace pm
