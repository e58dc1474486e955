// Boot entries in the plan: where each boot image lies, what the catalog says
// about it, and the checks that stop a build no firmware could boot.
#include <algorithm>
#include <string>

#include "iso9660/ElTorito.h"
#include "layout/ImageBuilder.h"
#include "messages/JobMessages.h"
#include "messages/Strings.h"
#include "platform/Platform.h"
#include "tree/Text.h"

namespace pm {

namespace {

constexpr uint8_t kUefi = uint8_t(BootPlatform::Uefi);
constexpr uint32_t kMaxLoadSectors = 0xFFFF;  // the catalog's field has 16 bits

// The whole image in 512-byte sectors, as the catalog's default load size:
// whole 2048-byte sectors, as they lie in the image.
uint64_t WholeImageLoad(uint64_t bytes) { return SectorsFor(bytes) * 4; }

uint16_t LoadSectors(const BootRequest& r, uint64_t bytes) {
    if (r.loadSectors) return uint16_t(std::min(r.loadSectors, kMaxLoadSectors));
    const uint64_t whole = WholeImageLoad(bytes);
    if (whole <= kMaxLoadSectors) return uint16_t(whole);
    // UEFI firmware takes 0 as "from the image's start to the end of the
    // medium" and reads the FAT file system's own size from it; a BIOS
    // image this large is refused by the checks.
    return r.platform == kUefi ? 0 : uint16_t(kMaxLoadSectors);
}

// A FAT boot sector: the signature and a plausible parameter block.
bool LooksLikeFat(const uint8_t* s, size_t n) {
    if (n < 512 || s[510] != 0x55 || s[511] != 0xAA) return false;
    const uint16_t bytesPerSector = GetLE16(s + 11);
    const uint8_t perCluster = s[13];
    return (bytesPerSector == 512 || bytesPerSector == 1024 || bytesPerSector == 2048 || bytesPerSector == 4096) &&
           perCluster != 0 && (perCluster & (perCluster - 1)) == 0 && GetLE16(s + 14) != 0 && s[16] != 0;
}

std::vector<CatalogEntry> CatalogOf(const std::vector<PlacedBootEntry>& boot) {
    std::vector<CatalogEntry> entries;
    for (const PlacedBootEntry& e : boot) entries.push_back({BootPlatform(e.platform), 0, e.loadSectors, e.imageSector});
    return entries;
}

// A piece of a file read as a file of its own: the bytes before it are read
// past (an image file may be a pipe), none after it are handed out.
class PieceInput : public InputFile {
public:
    PieceInput(std::unique_ptr<InputFile> in, uint64_t length) : m_in(std::move(in)), m_left(length), m_length(length) {}
    long long Read(void* data, size_t n, FileError& err) override {
        long long got = m_in->Read(data, size_t(std::min<uint64_t>(n, m_left)), err);
        if (got > 0) m_left -= uint64_t(got);
        return got;
    }
    bool Stat(uint64_t& size, int64_t& mtime) override { return m_in->Stat(size, mtime) && (size = m_length, true); }

private:
    std::unique_ptr<InputFile> m_in;
    uint64_t m_left, m_length;
};

}  // namespace

std::unique_ptr<InputFile> OpenBootImage(Platform& platform, const PlacedBootEntry& e, FileError& err) {
    std::unique_ptr<InputFile> in = platform.OpenRead(e.treeFile ? e.treeFile->Path() : e.path, err);
    if (!in || e.offset == 0) return in;
    std::vector<uint8_t> skip(1u << 20);
    for (uint64_t left = e.offset; left > 0;) {
        long long got = in->Read(skip.data(), size_t(std::min<uint64_t>(left, skip.size())), err);
        if (got <= 0) return nullptr;
        left -= uint64_t(got);
    }
    return std::make_unique<PieceInput>(std::move(in), e.imageBytes);
}

std::vector<CatalogEntry> BootCatalogEntries(const ImageLayout& layout) { return CatalogOf(layout.m_boot); }

void ImageBuilder::ResolveBoot() {
    m_boot.clear();
    m_dwBootCatalog = 0;
    for (const BootRequest& r : m_request.boot) {
        PlacedBootEntry e;
        e.platform = r.platform;
        e.infoTable = r.infoTable;
        e.path = r.image;
        e.offset = r.offset;
        DirEntry found;
        if (m_platform.LookupEntry(r.image, found) && !found.directory && r.length) {
            e.imageBytes = found.size >= r.offset + r.length ? r.length : 0;
        } else if (m_platform.LookupEntry(r.image, found) && !found.directory) {
            e.imageBytes = found.size;
            // A file of the source is the same file when the system says so
            // (links and relative paths included); its extent is shared.
            for (const CFileEntry* f : m_files) {
                DirEntry d;
                if (found.size > 0 && f->m_nIsoSize == found.size && m_platform.LookupEntry(f->Path(), d) &&
                    d.device == found.device && d.inode == found.inode) {
                    e.treeFile = f;
                    break;
                }
            }
        }
        e.loadSectors = LoadSectors(r, e.imageBytes);
        m_boot.push_back(std::move(e));
    }
}

void ImageBuilder::AddCatalogEntry() {
    if (m_pCatalogFile || m_request.boot.empty() || m_request.bootCatalog.empty()) return;
    m_nCatalogProblem = 0;
    CFileEntry* folder = &m_root;
    std::string rest = m_request.bootCatalog, name;
    for (size_t slash; !rest.empty(); rest = slash == std::string::npos ? "" : rest.substr(slash + 1)) {
        slash = rest.find('/');
        std::string part = rest.substr(0, slash);
        if (part.empty()) continue;
        if (!name.empty()) {
            CFileEntry* next = nullptr;
            for (const auto& c : folder->m_children)
                if (c->m_bDirectory && c->m_strName == name) next = c.get();
            if (!next) return void(m_nCatalogProblem = kMsgBootCatalogNoFolder);
            folder = next;
        }
        name = part;
    }
    for (const auto& c : folder->m_children)
        if (c->m_strName == name) return void(m_nCatalogProblem = kMsgBootCatalogExists);
    if (name.empty()) return void(m_nCatalogProblem = kMsgBootCatalogNoFolder);
    DirEntry e;
    e.name = name;
    e.size = SectorSize;
    e.mtime = m_root.m_time;
    m_pCatalogFile = folder->AddChild(e, std::string());
    m_pCatalogFile->m_bBootCatalog = true;
    if (m_root.Posix()) {
        e.mode = kModeFile | 0444;
        e.atime = e.ctime = e.mtime;
        m_pCatalogFile->KeepPosix(e);
    }
    SortEntries(folder->m_children);
}

void ImageBuilder::PlaceBootExtents() {
    // A catalog the trees list is placed among the files, as one of them.
    m_dwBootCatalog = m_pCatalogFile ? m_pCatalogFile->m_dwIsoSector : uint32_t(Plan(ExtentKind::BootCatalog, 1));
    for (PlacedBootEntry& e : m_boot)
        e.imageSector = e.treeFile ? e.treeFile->m_dwIsoSector
                                   : uint32_t(Plan(ExtentKind::BootImage, std::max<uint64_t>(1, SectorsFor(e.imageBytes))));
    if (HasIsoTrees(Kind())) return;
    // The "UDF" kind: the primary descriptor the boot record needs points at
    // an ISO 9660 tree with nothing in it.
    m_emptyIsoRoot.DeleteChildren();
    m_emptyIsoRoot.m_bDirectory = true;
    m_emptyIsoRoot.m_time = m_root.m_time;
    m_emptyIsoRoot.m_wDirNumber = 1;
    m_emptyIsoRoot.m_nIsoSize = SectorSize;
    m_dwIsoPathTableSize = 10;
    m_dwIsoPathTableL = uint32_t(Plan(ExtentKind::IsoEmptyTree, 3));
    m_dwIsoPathTableM = m_dwIsoPathTableL + 1;
    m_emptyIsoRoot.m_dwIsoSector = m_dwIsoPathTableL + 2;
}

int ImageBuilder::CheckBoot() {
    int faults = 0;
    auto fault = [&](int id, const std::string& path, const std::string& arg = {}) {
        arg.empty() ? m_messages.AddFormatted(id, EscapeInvalidUtf8(path))
                    : m_messages.AddFormatted(id, EscapeInvalidUtf8(path), arg);
        ++faults;
    };
    std::vector<uint8_t> piece;
    for (size_t i = 0; i < m_boot.size(); ++i) {
        PlacedBootEntry& e = m_boot[i];
        const BootRequest& r = m_request.boot[i];
        DirEntry found;
        if (!m_platform.LookupEntry(e.path, found) || found.directory) {
            fault(kMsgBootImageMissing, e.path);
            continue;
        }
        if (e.imageBytes == 0) {
            fault(kMsgBootImageEmpty, e.path);
            continue;
        }
        FileError err;
        std::unique_ptr<InputFile> in = OpenBootImage(m_platform, e, err);
        // The FAT check needs the first sector, the checksum all of it.
        piece.assign(1u << 20, 0);
        BootInfoChecksum sum;
        uint64_t read = 0;
        std::vector<uint8_t> head;
        for (long long got = 1; in && got > 0 && (e.infoTable || read < 512);) {
            got = in->Read(piece.data(), piece.size(), err);
            if (got < 0) in.reset();
            if (got <= 0) break;
            if (head.size() < 512) head.insert(head.end(), piece.begin(), piece.begin() + std::min<long long>(got, 512));
            sum.Add(piece.data(), size_t(got));
            read += uint64_t(got);
        }
        if (!in) {
            err.path = EscapeInvalidUtf8(e.path);
            m_messages.AddFileError(kMsgCannotReadFile, err);
            ++faults;
            continue;
        }
        e.checksum = sum.Value();
        if (e.platform == kUefi && !LooksLikeFat(head.data(), head.size()))
            fault(head.size() >= 2 && head[0] == 'M' && head[1] == 'Z' ? kMsgBootImageIsPe : kMsgBootImageNotFat, e.path);
        if (e.infoTable && e.imageBytes < 64) fault(kMsgBootInfoTableTooShort, e.path);
        if (e.infoTable && e.imageBytes > UINT32_MAX) fault(kMsgBootImageTooLarge, e.path);
        if (r.loadSectors && uint64_t(r.loadSectors) > WholeImageLoad(e.imageBytes))
            fault(kMsgBootLoadBeyondImage, e.path, std::to_string(r.loadSectors));
        if (!r.loadSectors && e.platform != kUefi && WholeImageLoad(e.imageBytes) > kMaxLoadSectors)
            fault(kMsgBootImageTooLarge, e.path);
    }
    if (m_nCatalogProblem) fault(m_nCatalogProblem, m_request.bootCatalog);
    if (CatalogSlots(CatalogOf(m_boot)) > kCatalogSlots) {
        m_messages.AddFormatted(kMsgBootTooManyEntries, std::to_string(m_boot.size()));
        ++faults;
    }
    return faults;
}

}  // namespace pm
