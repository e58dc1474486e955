#include "layout/ImageBuilder.h"

#include <algorithm>

#include "iso9660/DirectoryRecords.h"
#include "job/JobMessages.h"
#include "platform/Time.h"
#include "udf/FileEntries.h"

namespace pm {

namespace {

uint32_t SectorsFor(uint64_t bytes) { return uint32_t((bytes + SectorSize - 1) / SectorSize); }

// Places one folder's records: none crosses a sector end; returns the extent's
// length in whole sectors.
template <typename RecordLength>
uint32_t DirectorySectors(const CFileEntry& dir, RecordLength recordLength) {
    uint32_t used = 68;  // "." and ".."
    uint32_t count = 1;
    for (const auto& child : dir.m_children) {
        uint32_t r = recordLength(*child);
        if (used + r > count * SectorSize) {
            used = count * SectorSize;  // the record starts the next sector
            ++count;
        }
        used += r;
    }
    return SectorsFor(used);
}

}  // namespace

ImageBuilder::ImageBuilder(Platform& platform) : m_platform(platform) {
    TimeZoneOffset = platform.StandardTimeZoneOffset();
}

void ImageBuilder::SkipIdentity(uint64_t device, uint64_t inode) {
    m_bSkipIdentity = true;
    m_skipDevice = device;
    m_skipInode = inode;
}

JobMessages& ImageBuilder::Messages() { return m_pMessages ? *m_pMessages : TheJobMessages(); }

bool ImageBuilder::EmitSector(const uint8_t* data) {
    if (!m_pfnSector) return true;
    return m_pfnSector(1, m_pSectorContext, data, m_dwSectorSize) != 0;
}

void ImageBuilder::Reset() {
    m_root.DeleteChildren();
    m_directories.clear();
    m_files.clear();
    static_cast<ImageLayout&>(*this) = ImageLayout();
}

bool ImageBuilder::Layout(const std::string& folder, FileSystemType kind) {
    Reset();
    m_bIso = kind != FileSystemType::Udf;
    m_bJoliet = m_bIso;
    m_bUdf = kind != FileSystemType::Joliet;
    m_strFolder = folder;

    ScanContext ctx;
    ctx.platform = &m_platform;
    ctx.except = m_pExcept;
    ctx.skipIdentity = m_bSkipIdentity;
    ctx.skipDevice = m_skipDevice;
    ctx.skipInode = m_skipInode;
    ctx.cancel = m_pCancel;
    // A path that names a file is no source folder either.
    if (m_root.Scan(folder, ctx) == -1 || !m_root.m_bDirectory) {
        m_root.DeleteChildren();
        Messages().AddFormatted(10039, folder);
        return false;
    }
    if (m_pCancel && m_pCancel->load()) {
        m_root.DeleteChildren();
        return false;
    }
    PlaceTree();
    return true;
}

void ImageBuilder::PlaceTree() {
    CollectEntries();
    MeasureIsoPathTable();
    MeasureJolietPathTable();

    const uint32_t first = m_bIso ? 19 : 16;  // after primary, Joliet and terminator
    uint32_t next;
    if (m_bUdf) {
        m_dwUdfMainVds = (first + 18) / 16 * 16;
        m_dwUdfReserveVds = m_dwUdfMainVds + 16;
        m_dwUdfIntegrity = m_dwUdfMainVds + 32;
        m_dwUdfPartitionStart = 257;
        next = PlaceUdfTree(259);
    } else {
        next = PlaceIsoBlock(first);
        if (m_bJoliet) next = PlaceJolietBlock(next);
    }
    next = PlaceFiles(next);
    if (m_bUdf) {
        m_dwUdfPartitionLength = next - m_dwUdfPartitionStart;
        if (m_bIso) {
            // Bridge: Joliet first here, the reverse of the Joliet kind.
            if (m_bJoliet) next = PlaceJolietBlock(next);
            next = PlaceIsoBlock(next);
        }
        // The last sector holds the second anchor, so at least one follows.
        m_dwTotalSectors = (next + 16) / 16 * 16;
    } else {
        m_dwTotalSectors = next;
    }
    ComputeBufferSize();
}

void ImageBuilder::CollectEntries() {
    m_directories.clear();
    m_files.clear();
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
        size += i == 0 ? 10 : 8 + uint32_t(m_directories[i]->m_wstrJoliet.ByteLength());
    m_dwJolietPathTableSize = size;
}

uint32_t ImageBuilder::PlaceIsoBlock(uint32_t s) {
    uint32_t p = SectorsFor(m_dwIsoPathTableSize);
    m_dwIsoPathTableL = s;
    m_dwIsoPathTableM = s + p;
    return PlaceIsoDirectories(s + 2 * p);
}

uint32_t ImageBuilder::PlaceJolietBlock(uint32_t s) {
    uint32_t j = SectorsFor(m_dwJolietPathTableSize);
    m_dwJolietPathTableL = s;
    m_dwJolietPathTableM = s + j;
    return PlaceJolietDirectories(s + 2 * j);
}

uint32_t ImageBuilder::PlaceIsoDirectories(uint32_t s) {
    for (CFileEntry* d : m_directories) {
        d->m_dwIsoSector = s;
        uint32_t n = DirectorySectors(*d, [](const CFileEntry& c) { return uint32_t(IsoRecordLength(c)); });
        d->m_nIsoSize = uint64_t(n) * SectorSize;
        s += n;
    }
    return s;
}

uint32_t ImageBuilder::PlaceJolietDirectories(uint32_t s) {
    for (CFileEntry* d : m_directories) {
        d->m_dwJolietSector = s;
        uint32_t n = DirectorySectors(*d, [](const CFileEntry& c) { return uint32_t(JolietRecordLength(c)); });
        d->m_nJolietSize = uint64_t(n) * SectorSize;
        s += n;
    }
    return s;
}

uint32_t ImageBuilder::PlaceFiles(uint32_t s) {
    for (CFileEntry* f : m_files) {
        f->m_dwIsoSector = f->m_dwJolietSector = s;
        f->m_dwUdfDataBlock = s - m_dwUdfPartitionStart;
        s += f->m_nIsoSize == 0 ? 1 : SectorsFor(f->m_nIsoSize);
    }
    return s;
}

uint32_t ImageBuilder::PlaceUdfTree(uint32_t s) {
    const uint32_t start = m_dwUdfPartitionStart;
    uint32_t next = s - start;  // partition blocks from here; 0 and 1 hold the file set descriptor
    m_root.m_dwUniqueId = 0;
    m_root.m_dwUdfEntryBlock = next;
    m_root.m_dwUdfDataBlock = next + 1;
    m_root.m_nUdfSize = FidAreaSize(m_root);
    next = next + 1 + SectorsFor(m_root.m_nUdfSize);
    m_dwUdfNextUniqueId = 16;
    for (CFileEntry* d : m_directories) {
        d->m_wLinkCount = 1;
        for (const auto& c : d->m_children) {
            if (c->m_bDirectory) continue;
            c->m_dwUdfEntryBlock = next++;
            c->m_dwUniqueId = m_dwUdfNextUniqueId++;
        }
        for (const auto& c : d->m_children) {
            if (!c->m_bDirectory) continue;
            c->m_dwUdfEntryBlock = next;
            c->m_dwUniqueId = m_dwUdfNextUniqueId++;
            c->m_dwUdfDataBlock = next + 1;
            c->m_nUdfSize = FidAreaSize(*c);
            next = next + 1 + SectorsFor(c->m_nUdfSize);
            ++d->m_wLinkCount;
        }
    }
    return next + start;
}

void ImageBuilder::ComputeBufferSize() {
    uint64_t largest = std::max<uint64_t>({SectorSize, m_dwIsoPathTableSize, m_dwJolietPathTableSize});
    for (const CFileEntry* d : m_directories)
        largest = std::max<uint64_t>({largest, uint32_t(d->m_nIsoSize), uint32_t(d->m_nJolietSize),
                                      uint32_t(d->m_nUdfSize)});
    m_dwBufferSize = uint32_t((largest + SectorSize - 1) / SectorSize * SectorSize);
}

}  // namespace pm
