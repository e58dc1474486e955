#include "layout/ImageBuilder.h"
#include "messages/Strings.h"

#include <algorithm>

#include "iso9660/DirectoryRecords.h"
#include "messages/JobMessages.h"
#include "platform/Platform.h"
#include "platform/Time.h"
#include "udf/FileEntries.h"

namespace pm {


ImageBuilder::ImageBuilder(Platform& platform, BuildRequest request, JobMessages& messages)
    : m_request(std::move(request)), m_platform(platform), m_messages(messages) {}

long long ImageBuilder::MoveFileBytes(InputFile& in, size_t length, bool& go) {
    return m_pfnMove ? m_pfnMove(m_pSectorContext, in, length, go) : OutputFile::kCannotMoveHere;
}

bool ImageBuilder::EmitSector(const uint8_t* data) {
    if (!m_pfnSector) return true;
    return m_pfnSector(1, m_pSectorContext, data, m_dwSectorSize) != 0;
}

void ImageBuilder::Reset() {
    m_root.DeleteChildren();
    m_pCatalogFile = nullptr;
    m_directories.clear();
    m_files.clear();
    m_dataFiles.clear();
    static_cast<ImageLayout&>(*this) = ImageLayout();
}

bool ImageBuilder::Layout() {
    Reset();
    const std::string& folder = m_request.sourceFolder;
    m_scanReport = ScanReport();
    ScanContext ctx;
    ctx.platform = &m_platform;
    ctx.hideDotFiles = m_request.volume.HideDotFiles;
    ctx.keepPosix = m_request.volume.PosixAttributes;
    ctx.report = &m_scanReport;
    ctx.except = &m_request.volume.ExceptList;
    // An older image inside the source folder is never read into the new
    // one: it is about to be truncated and rewritten (or, behind standard
    // output, is being written right now).
    DirEntry image;
    if (m_request.standardOutput ? m_platform.StandardOutputEntry(image)
                                 : !m_request.imagePath.empty() && m_platform.LookupEntry(m_request.imagePath, image)) {
        ctx.skipIdentity = !image.directory;
        ctx.skipDevice = image.device;
        ctx.skipInode = image.inode;
    }
    ctx.cancel = m_pCancel;
    // A path that names a file is no source folder either.
    if (m_root.Scan(folder, ctx) == -1 || !m_root.m_bDirectory) {
        m_root.DeleteChildren();
        m_messages.AddFormatted(kMsgFolderNotFound, folder);
        return false;
    }
    if (m_pCancel && m_pCancel->load()) {
        m_root.DeleteChildren();
        return false;
    }
    PlaceTree();
    return true;
}

const char* ExtentName(ExtentKind kind) {
    static const char* const names[] = {"Zeros",           "IsoDescriptors",   "UdfRecognition", "UdfVolumeSequence",
                                        "UdfIntegrity",    "UdfAnchor",        "UdfFileSet",     "UdfDirectories",
                                        "FileData",        "IsoPathTableL",    "IsoPathTableM",  "IsoDirectories",
                                        "JolietPathTableL", "JolietPathTableM", "JolietDirectories", "BootCatalog",
                                        "BootImage",       "IsoEmptyTree",     "IsoContinuations"};
    return names[size_t(kind)];
}

uint64_t ImageBuilder::PlanEnd() const { return m_plan.empty() ? 0 : m_plan.back().start + m_plan.back().length; }

uint64_t ImageBuilder::Plan(ExtentKind kind, uint64_t length) {
    const uint64_t start = PlanEnd();
    if (length > 0) m_plan.push_back({kind, start, length});
    return start;
}

void ImageBuilder::PlanZerosTo(uint64_t target) {
    if (target > PlanEnd()) Plan(ExtentKind::Zeros, target - PlanEnd());
}

void ImageBuilder::PlaceTree() {
    m_nTimeZoneOffset = m_request.timeZoneOffset;
    AddCatalogEntry();
    CollectEntries();
    LinkPosixEntries();
    MeasureIsoPathTable();
    MeasureJolietPathTable();
    m_plan.clear();
    ResolveBoot();
    const bool boot = !m_boot.empty();

    // Counted in 64 bits: a layout past 2^32 sectors must be seen (and
    // refused), not wrapped into a plausible small image.
    Plan(ExtentKind::Zeros, 16);  // system area
    const bool iso = HasIsoTrees(Kind()), udf = HasUdf(Kind());
    // With boot entries the boot record follows the primary descriptor; the
    // "UDF" kind then gets a primary descriptor and a terminator around it.
    if (iso || boot) Plan(ExtentKind::IsoDescriptors, (iso ? 3 : 2) + (boot ? 1 : 0));
    if (udf) {
        const uint64_t first = Plan(ExtentKind::UdfRecognition, 3);
        m_dwUdfMainVds = uint32_t((first + 18) / 16 * 16);
        m_dwUdfReserveVds = m_dwUdfMainVds + 16;
        m_dwUdfIntegrity = m_dwUdfMainVds + 32;
        m_dwUdfPartitionStart = 257;
        PlanZerosTo(m_dwUdfMainVds);
        Plan(ExtentKind::UdfVolumeSequence, 6);
        if (!iso && !boot) {
            PlanZerosTo(m_dwUdfReserveVds);
            Plan(ExtentKind::UdfVolumeSequence, 6);
        }
        PlanZerosTo(m_dwUdfIntegrity);
        Plan(ExtentKind::UdfIntegrity, 2);
        PlanZerosTo(256);
        Plan(ExtentKind::UdfAnchor, 1);
        PlanZerosTo(m_dwUdfPartitionStart);
        Plan(ExtentKind::UdfFileSet, 2);
        Plan(ExtentKind::UdfDirectories, PlaceUdfTree(PlanEnd()) - PlanEnd());
    } else {
        PlaceIsoBlock();
        PlaceJolietBlock();
    }
    Plan(ExtentKind::FileData, PlaceFiles(PlanEnd()) - PlanEnd());
    PlaceLinkedFiles();
    if (udf) m_dwUdfPartitionLength = uint32_t(PlanEnd() - m_dwUdfPartitionStart);
    if (boot) PlaceBootExtents();
    if (udf) {
        if (iso || boot) {
            // Bridge: Joliet first here, the reverse of the Joliet kind;
            // but with Rock Ridge the ISO 9660 tree first, as there: a
            // reader going front to back (bsdtar) takes the tree it meets
            // first and would never see Rock Ridge.
            const bool rockRidge = m_root.Posix();
            if (iso && !rockRidge) PlaceJolietBlock();
            if (iso) PlaceIsoBlock();
            if (iso && rockRidge) PlaceJolietBlock();
            // The reserve sequence comes after the ISO 9660 and Joliet
            // structures and the boot extents: readers that take the UDF
            // volume to end with its last sequence (7-Zip) would otherwise
            // call those sectors data after the end of the archive. Its
            // extent keeps 16 sectors.
            m_dwUdfReserveVds = uint32_t(Plan(ExtentKind::UdfVolumeSequence, 6));
            Plan(ExtentKind::Zeros, 10);
        }
        // The last sector holds the second anchor, so at least one follows.
        PlanZerosTo((PlanEnd() + 16) / 16 * 16 - 1);
        Plan(ExtentKind::UdfAnchor, 1);
    }
    m_nTotalSectors = PlanEnd();
    m_dwTotalSectors = uint32_t(m_nTotalSectors);
    ComputeBufferSize();
}

void ImageBuilder::CollectEntries() {
    m_directories.clear();
    m_files.clear();
    // Sized first: growing lists of a million entries would briefly hold
    // both the old and the new copy, the peak of the whole preview.
    size_t dirs = 1, files = 0;
    for (std::vector<const CFileEntry*> stack{&m_root}; !stack.empty();) {
        const CFileEntry* d = stack.back();
        stack.pop_back();
        for (const auto& child : d->m_children) {
            if (!child->m_bDirectory) ++files;
            else ++dirs, stack.push_back(child.get());
        }
    }
    m_directories.reserve(dirs);
    m_files.reserve(files);
    // Every folder's children are already in entry order, so taking the
    // folders breadth first gives both lists in entry order (depth, then the
    // parent's place, then the name) without sorting them again.
    m_directories.push_back(&m_root);
    for (size_t i = 0; i < m_directories.size(); ++i) {
        for (const auto& child : m_directories[i]->m_children) {
            if (child->m_bDirectory) m_directories.push_back(child.get());
            else m_files.push_back(child.get());
        }
    }
}

void ImageBuilder::MeasureIsoPathTable() {
    uint32_t size = 0;
    for (size_t i = 0; i < m_directories.size(); ++i) {
        CFileEntry* d = m_directories[i];
        d->m_wDirNumber = uint16_t(i + 1);
        if (i == 0) size += 10;
        else size += (8 + uint32_t(d->m_strShortName.size()) + 1) & ~1u;
    }
    m_dwIsoPathTableSize = size;
}

void ImageBuilder::MeasureJolietPathTable() {
    uint32_t size = 0;
    for (size_t i = 0; i < m_directories.size(); ++i)
        size += i == 0 ? 10 : 8 + 2 * uint32_t(m_directories[i]->JolietUnits());
    m_dwJolietPathTableSize = size;
}

void ImageBuilder::PlaceIsoBlock() {
    const uint64_t p = SectorsFor(m_dwIsoPathTableSize);
    m_dwIsoPathTableL = uint32_t(Plan(ExtentKind::IsoPathTableL, p));
    m_dwIsoPathTableM = uint32_t(Plan(ExtentKind::IsoPathTableM, p));
    Plan(ExtentKind::IsoDirectories, PlaceIsoDirectories(PlanEnd()) - PlanEnd());
    if (!m_root.Posix()) return;
    // After the directories that point into them, so that a reader going
    // front to back (bsdtar) meets them after the records.
    uint64_t s = PlanEnd();
    for (CFileEntry* d : m_directories) {
        PosixInfo& p = *d->Posix();
        p.continuationSector = uint32_t(s);
        p.continuationSectors = uint32_t(SectorsFor(IsoContinuationBytes(*d)));
        s += p.continuationSectors;
    }
    Plan(ExtentKind::IsoContinuations, s - PlanEnd());
}

void ImageBuilder::PlaceJolietBlock() {
    const uint64_t j = SectorsFor(m_dwJolietPathTableSize);
    m_dwJolietPathTableL = uint32_t(Plan(ExtentKind::JolietPathTableL, j));
    m_dwJolietPathTableM = uint32_t(Plan(ExtentKind::JolietPathTableM, j));
    Plan(ExtentKind::JolietDirectories, PlaceJolietDirectories(PlanEnd()) - PlanEnd());
}

uint64_t ImageBuilder::PlaceIsoDirectories(uint64_t s) {
    for (CFileEntry* d : m_directories) {
        d->m_dwIsoSector = uint32_t(s);
        uint32_t n = uint32_t(SectorsFor(IsoDirectoryBytes(*d)));
        d->m_nIsoSize = uint64_t(n) * SectorSize;
        s += n;
    }
    return s;
}

uint64_t ImageBuilder::PlaceJolietDirectories(uint64_t s) {
    for (CFileEntry* d : m_directories) {
        d->m_dwJolietSector = uint32_t(s);
        uint32_t n = uint32_t(SectorsFor(JolietDirectoryBytes(*d)));
        d->m_nJolietSize = uint64_t(n) * SectorSize;
        s += n;
    }
    return s;
}

uint64_t ImageBuilder::PlaceFiles(uint64_t s) {
    for (CFileEntry* f : DataFiles()) {
        // Two sectors make the 4 KiB block that file systems share.
        if (m_request.volume.Reflink && f->m_nIsoSize > 0 && s % 2) ++s;
        f->m_dwIsoSector = f->m_dwJolietSector = uint32_t(s);
        f->m_dwUdfDataBlock = uint32_t(s - m_dwUdfPartitionStart);
        s += f->m_nIsoSize == 0 ? 1 : SectorsFor(f->m_nIsoSize);
    }
    return s;
}

uint64_t ImageBuilder::PlaceUdfTree(uint64_t s) {
    const uint32_t start = m_dwUdfPartitionStart;
    uint32_t next = uint32_t(s - start);  // partition blocks from here; 0 and 1 hold the file set descriptor
    m_root.m_dwUniqueId = 0;
    m_root.m_dwUdfEntryBlock = next;
    m_root.m_dwUdfDataBlock = next + 1;
    m_root.m_nUdfSize = FidAreaSize(m_root);
    next = next + 1 + uint32_t(SectorsFor(m_root.m_nUdfSize));
    m_dwUdfNextUniqueId = 16;
    for (CFileEntry* d : m_directories) {
        d->m_wLinkCount = 1;
        for (const auto& c : d->m_children) {
            if (c->m_bDirectory || !InUdfTree(*c)) continue;
            // A hard link after the first names the first one's entry: one
            // entry for the file, counting all its names. The first comes
            // earlier in this walk, which takes the files in file order.
            if (const PosixInfo* p = c->Posix()) {
                c->m_wLinkCount = uint16_t(std::min<uint32_t>(p->links, 0xFFFF));
                if (p->dataOwner) {
                    c->m_dwUdfEntryBlock = p->dataOwner->m_dwUdfEntryBlock;
                    c->m_dwUniqueId = p->dataOwner->m_dwUniqueId;
                    continue;
                }
            }
            c->m_dwUdfEntryBlock = next++;
            c->m_dwUniqueId = m_dwUdfNextUniqueId++;
        }
        for (const auto& c : d->m_children) {
            if (!c->m_bDirectory) continue;
            c->m_dwUdfEntryBlock = next;
            c->m_dwUniqueId = m_dwUdfNextUniqueId++;
            c->m_dwUdfDataBlock = next + 1;
            c->m_nUdfSize = FidAreaSize(*c);
            next = next + 1 + uint32_t(SectorsFor(c->m_nUdfSize));
            ++d->m_wLinkCount;
        }
    }
    return uint64_t(next) + start;
}

void ImageBuilder::ComputeBufferSize() {
    uint64_t largest = std::max<uint64_t>({SectorSize, m_dwIsoPathTableSize, m_dwJolietPathTableSize});
    for (const CFileEntry* d : m_directories)
        largest = std::max<uint64_t>({largest, uint32_t(d->m_nIsoSize), uint32_t(d->m_nJolietSize),
                                      uint32_t(d->m_nUdfSize),
                                      uint64_t(d->Posix() ? d->Posix()->continuationSectors : 0) * SectorSize});
    m_dwBufferSize = uint32_t((largest + SectorSize - 1) / SectorSize * SectorSize);
}

}  // namespace pm
