// One file or folder of the source tree, with the three names it carries into
// the image and the places the layout gives it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "tree/WideString.h"

namespace pm {

class ExceptList;

// Entries a scan leaves out without failing: they are listed for the user
// (the size check shows them, a build says how many there were).
struct SkippedEntry {
    // NotInJoliet: a symbolic link kept as a link, which leads to no file of
    // the image; the Joliet tree, which cannot hold a link, leaves it out.
    enum Why { DanglingLink, Special, LinkToAncestor, NotInJoliet };
    std::string path;
    Why why;
};

// What a scan found besides the tree: what cannot be read, and what it left out.
struct ScanReport {
    std::vector<FileError> unreadable;  // folders that cannot be listed, files this user may not read
    std::vector<SkippedEntry> skipped;
};

class CFileEntry;

// st_mode's file types, as Linux numbers them (the numbers Rock Ridge records).
constexpr uint32_t kModeTypeMask = 0170000, kModeFolder = 0040000, kModeFile = 0100000, kModeLink = 0120000;

// The Linux attributes of an entry, kept when the build asks for them.
struct PosixInfo {
    uint32_t mode = 0;  // st_mode: type and permission bits
    uint32_t uid = 0, gid = 0;
    // Names of this entry within the image: a file's hard links that the
    // image holds, a folder's 2 plus its subfolders. The layout counts them.
    uint32_t links = 1;
    int64_t atime = 0, ctime = 0;
    uint64_t device = 0, inode = 0;  // the source's identity, which joins hard links
    // Rock Ridge's file serial number: one per file of the image, the same
    // for all its hard links (the layout numbers them).
    uint32_t serial = 0;
    // A folder's Rock Ridge continuation areas: their first sector and count.
    uint32_t continuationSector = 0, continuationSectors = 0;
    std::string linkTarget;          // a symbolic link's target text, as stored
    // A hard link after the first of its file, in file order: that first
    // one, whose data it shares. Null otherwise.
    const CFileEntry* dataOwner = nullptr;
    // A symbolic link: the file of the image it leads to, which the Joliet
    // tree shows in its place; null when it leads to none (the Joliet tree
    // leaves it out).
    const CFileEntry* resolved = nullptr;
};

// What a scan needs besides the folder: the listing and the exclusions.
struct ScanContext {
    Platform* platform = nullptr;
    const ExceptList* except = nullptr;   // may be null: nothing excluded
    // An entry with this identity is never taken into the tree (the image
    // file itself when it lies inside the source folder).
    bool skipIdentity = false;
    uint64_t skipDevice = 0, skipInode = 0;
    // Names beginning with "." get the hidden attribute (Linux has none).
    bool hideDotFiles = false;
    // Keeps each entry's Linux attributes, and symbolic links as links.
    bool keepPosix = false;
    ScanReport* report = nullptr;  // may be null: nothing collected
    // When set and true, the scan stops where it is and leaves a partial
    // tree (a preview that was superseded); may be null.
    const std::atomic<bool>* cancel = nullptr;
};

class CFileEntry {
public:
    CFileEntry() = default;
    // Frees the subtree without recursion, so a very deep tree cannot
    // exhaust the stack.
    ~CFileEntry();
    CFileEntry(const CFileEntry&) = delete;
    CFileEntry& operator=(const CFileEntry&) = delete;

    // Builds the tree below this (root) node from the folder. -1 when the
    // folder itself cannot be found; otherwise the greatest depth reached.
    // Trailing "/" of the path are dropped ("/" itself stays).
    int Scan(const std::string& folderPath, const ScanContext& ctx);
    // Fills this node from a listed entry (the root: parent null, depth 0).
    void FillFrom(const DirEntry& e, const std::string& path, CFileEntry* parent);
    // Makes a node from a listed entry and appends it to m_children.
    CFileEntry* AddChild(const DirEntry& e, const std::string& path);
    // Deletes every node below this one and empties m_children.
    void DeleteChildren();

    uint32_t m_dwIsoSector = 0;
    uint32_t m_dwJolietSector = 0;
    uint32_t m_dwUdfDataBlock = 0;
    uint32_t m_dwUdfEntryBlock = 0;
    uint64_t m_nIsoSize = 0;
    uint64_t m_nJolietSize = 0;
    uint64_t m_nUdfSize = 0;
    std::string m_strShortName;  // ISO 9660 name: code page 932 bytes
    std::string m_strName;       // name as listed, as UTF-8 (a code page 932 name converted)
    // Ordered so that no padding falls between the fields: a million nodes
    // pay for every byte here.
    int64_t m_time = 0;          // last write, seconds since 1970 UTC
    CFileEntry* m_pParent = nullptr;
    uint32_t m_dwUniqueId = 0;
    int m_nDepth = 0;
    uint16_t m_wLinkCount = 1;
    uint16_t m_wDirNumber = 0;
    bool m_bHidden = false;
    bool m_bDirectory = false;
    // The listed name is neither UTF-8 nor code page 932: m_strName holds
    // U+FFFD in its place, and the build refuses it.
    bool m_bUndecodable = false;
    // No file of the source: the boot catalog, listed where the user named it.
    bool m_bBootCatalog = false;
    // Set when the build keeps Linux attributes; null otherwise.
    PosixInfo* Posix() { return m_pExtra ? m_pExtra->posix.get() : nullptr; }
    const PosixInfo* Posix() const { return m_pExtra ? m_pExtra->posix.get() : nullptr; }
    bool IsSymlink() const { return Posix() && (Posix()->mode & kModeTypeMask) == kModeLink; }
    // Whose data a file's records point at: its own, or the first hard link's.
    const CFileEntry& DataOwner() const { return Posix() && Posix()->dataOwner ? *Posix()->dataOwner : *this; }
    // Takes a listed entry's Linux attributes.
    void KeepPosix(const DirEntry& e);
    // The entries of a folder, in entry order. One pointer wide, with the
    // list itself made on the first entry: files, most of a tree, have none,
    // and an empty vector would cost each of them 24 bytes.
    class Children {
    public:
        using Item = std::unique_ptr<CFileEntry>;
        Item* begin() const { return m_list ? m_list->data() : nullptr; }
        Item* end() const { return m_list ? m_list->data() + m_list->size() : nullptr; }
        size_t size() const { return m_list ? m_list->size() : 0; }
        bool empty() const { return size() == 0; }
        Item& operator[](size_t i) const { return (*m_list)[i]; }
        Item& back() const { return m_list->back(); }
        void push_back(Item item) {
            if (!m_list) m_list = std::make_unique<std::vector<Item>>();
            m_list->push_back(std::move(item));
        }
        void pop_back() { m_list->pop_back(); }
        void clear() { m_list.reset(); }
        void shrink_to_fit() { if (m_list) m_list->shrink_to_fit(); }
    private:
        std::unique_ptr<std::vector<Item>> m_list;
    };
    Children m_children;

    // Full source path, "/" separated, raw bytes (opens the file): the
    // parent's path and the name as listed. Made when asked, like the two
    // identifiers below: a tree of a million entries would otherwise hold
    // each of them for every node.
    std::string Path() const;
    // The name as listed, raw bytes; differs from m_strName for a code page
    // 932 name.
    const std::string& RawName() const { return m_pParent && m_pExtra && m_pExtra->hasRaw ? m_pExtra->raw : m_strName; }
    // The Joliet identifier (UTF-16, big-endian) and the UDF file identifier
    // (CS0) of m_strName, and their lengths without making them.
    WideString JolietIdentifier() const { return WideString(m_strName); }
    Cs0String UdfIdentifier() const;
    int JolietUnits() const;
    int UdfIdentifierBytes() const { return 1 + 2 * JolietUnits(); }

private:
    // What few nodes need, one pointer for all of them. `raw`: the root's
    // whole path; any other node's listed name when that is not m_strName.
    struct Extra {
        std::string raw;
        bool hasRaw = false;
        std::unique_ptr<PosixInfo> posix;
    };
    std::unique_ptr<Extra> m_pExtra;
    Extra& MakeExtra();

    // Lists this folder and everything below it, depth first, with an
    // explicit stack of open folders instead of recursion.
    int ScanFolder(int depth, const ScanContext& ctx, uint64_t device, uint64_t inode);
};

// Sorts into entry order: depth, then the Japanese collation of the path,
// compared component by component (so every folder's entries follow their
// parent), then the raw path bytes; O(n log n). Each element's key is made
// once per call and not kept: a tree of 100,000 files would carry megabytes
// of keys otherwise.
void SortEntries(std::vector<CFileEntry*>& entries);
// The same order for the children of one folder, which compares names
// directly and makes no keys.
void SortEntries(CFileEntry::Children& entries);

}  // namespace pm
