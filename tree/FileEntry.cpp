#include "tree/FileEntry.h"

#include <algorithm>

#include "tree/ExceptList.h"
#include "tree/Text.h"

namespace pm {
namespace {

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

bool EntryLess(const CFileEntry* a, const CFileEntry* b) {
    if (a->m_nDepth != b->m_nDepth) return a->m_nDepth < b->m_nDepth;
    if (a->m_sortKey != b->m_sortKey) return a->m_sortKey < b->m_sortKey;
    // Names that are not valid UTF-8 can share a key; their raw bytes differ.
    return a->m_strPath < b->m_strPath;
}

}  // namespace

CFileEntry::~CFileEntry() { DeleteChildren(); }

void CFileEntry::DeleteChildren() {
    // Take the whole subtree into one flat list first: each node is then
    // destroyed with no children left, whatever the depth of the tree.
    std::vector<std::unique_ptr<CFileEntry>> doomed = std::move(m_children);
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
    m_strPath = path;
    m_strName = SanitizeUtf8(e.name);
    m_strShortName = Utf8ToCp932(e.shortName.empty() ? m_strName : e.shortName);
    m_wstrJoliet.Assign(m_strName);
    m_udfName.AssignWide(m_wstrJoliet);
    m_time = e.mtime;
    m_pParent = parent;
    m_nDepth = parent ? parent->m_nDepth + 1 : 0;
    m_wDirNumber = 0;
    m_bHidden = e.hidden;
    m_bDirectory = e.directory;
    m_device = e.device;
    m_inode = e.inode;
    // Component by component: a folder's entries follow their parent's place,
    // which is what ISO 9660 path tables need (ascending parent number within
    // a depth). Whole-path collation would put "a b/y" before "a/x".
    m_sortKey = (parent ? parent->m_sortKey : std::string()) + CollationKey(m_strName);
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
    // A file named as the source gets no children.
    if (!m_bDirectory) return 0;
    return ScanFolder(0, ctx);
}

int CFileEntry::ScanFolder(int depth, const ScanContext& ctx) {
    // One frame per folder on the current branch: its listing and how far
    // it has been taken in. The branch also serves as the loop guard.
    struct Frame {
        CFileEntry* node;
        std::vector<DirEntry> listing;
        size_t next = 0;
    };
    std::vector<Frame> branch;
    auto open = [&](CFileEntry* node) {
        Frame f{node, {}, 0};
        // A folder that cannot be listed stays, empty.
        if (!ctx.platform->ListFolder(node->m_strPath, f.listing)) f.listing.clear();
        branch.push_back(std::move(f));
    };
    auto onBranch = [&](const DirEntry& e) {
        for (const Frame& f : branch)
            if (SameIdentity(f.node->m_device, f.node->m_inode, e.device, e.inode)) return true;
        return false;
    };

    int deepest = depth;
    open(this);
    while (!branch.empty()) {
        Frame& f = branch.back();
        if (f.next == f.listing.size()) {
            SortEntries(f.node->m_children);
            branch.pop_back();
            continue;
        }
        const DirEntry& e = f.listing[f.next++];
        if (e.name == "." || e.name == "..") continue;
        if (ctx.skipIdentity && SameIdentity(ctx.skipDevice, ctx.skipInode, e.device, e.inode)) continue;
        if (ctx.except && !ctx.except->IsIncluded(SanitizeUtf8(e.name))) continue;
        CFileEntry* parent = f.node;
        CFileEntry* child = parent->AddChild(e, JoinPath(parent->m_strPath, e.name));
        // A linked folder that leads back onto its own branch is kept but
        // not entered: entering it would never end.
        if (child->m_bDirectory && !onBranch(e)) {
            deepest = std::max(deepest, depth + child->m_nDepth - m_nDepth);
            open(child);  // invalidates f
        }
    }
    return deepest;
}

void SortEntries(std::vector<CFileEntry*>& entries) {
    std::sort(entries.begin(), entries.end(), EntryLess);
}

void SortEntries(std::vector<std::unique_ptr<CFileEntry>>& entries) {
    std::sort(entries.begin(), entries.end(),
              [](const std::unique_ptr<CFileEntry>& a, const std::unique_ptr<CFileEntry>& b) {
                  return EntryLess(a.get(), b.get());
              });
}

}  // namespace pm
