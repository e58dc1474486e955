#include "writer/ImageWriter.h"
#include "messages/Strings.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "iso9660/DirectoryRecords.h"
#include "iso9660/ElTorito.h"
#include "iso9660/VolumeDescriptors.h"
#include "messages/JobMessages.h"
#include "platform/Platform.h"
#include "settings/VolumeInfo.h"
#include "tree/Text.h"
#include "udf/FileEntries.h"
#include "udf/VolumeStructures.h"
#include "writer/ReadAhead.h"

namespace pm {

bool ImageBuilder::WriteImage() {
    ImageWriter writer(*this);
    return writer.Run();
}

ImageWriter::ImageWriter(ImageBuilder& builder) : m_b(builder), m_info(builder.Request().volume) {}
ImageWriter::~ImageWriter() = default;

void ImageWriter::Emit(const uint8_t* sector) {
    if (!m_stopped && !m_b.EmitSector(sector)) m_stopped = true;
    ++m_counter;
}

void ImageWriter::EmitBuffer(uint64_t sectors) {
    for (uint64_t i = 0; i < sectors && !m_stopped; ++i) Emit(m_buffer.data() + size_t(i) * SectorSize);
}

void ImageWriter::EmitZeros(uint64_t sectors) {
    std::memset(m_buffer.data(), 0, SectorSize);
    for (uint64_t i = 0; i < sectors && !m_stopped; ++i) Emit(m_buffer.data());
}

// The counter must arrive exactly where the plan put the next structure; a
// mismatch would shift everything after it, so the build ends instead.
bool ImageWriter::Expect(uint64_t planned) {
    if (m_stopped || m_counter == planned) return true;
    m_b.Messages().AddFormatted(kMsgPlanBroken, std::to_string(m_counter), std::to_string(planned));
    m_planBroken = m_stopped = true;
    return false;
}

uint32_t ImageWriter::Block() const { return uint32_t(m_counter - m_b.m_dwUdfPartitionStart); }

void ImageWriter::WritePathTable(ExtentKind kind, uint64_t sectors) {
    std::fill(m_buffer.begin(), m_buffer.end(), 0);
    switch (kind) {
    case ExtentKind::IsoPathTableL: WriteIsoPathTableL(m_b.m_directories, m_buffer.data()); break;
    case ExtentKind::IsoPathTableM: WriteIsoPathTableM(m_b.m_directories, m_buffer.data()); break;
    case ExtentKind::JolietPathTableL: WriteJolietPathTableL(m_b.m_directories, m_buffer.data()); break;
    default: WriteJolietPathTableM(m_b.m_directories, m_buffer.data()); break;
    }
    EmitBuffer(sectors);
}

void ImageWriter::WriteDirectories(bool joliet) {
    for (const CFileEntry* d : m_b.m_directories) {
        const uint32_t start = joliet ? d->m_dwJolietSector : d->m_dwIsoSector;
        if (m_stopped || !Expect(start)) return;
        std::fill(m_buffer.begin(), m_buffer.end(), 0);
        uint32_t used = (joliet ? WriteJolietDirectory : WriteIsoDirectory)(*d, m_buffer.data(), SectorSize);
        EmitBuffer(SectorsFor(used));
        // The records must fill the very extent that the parent's record
        // announces, not merely end before the next structure.
        if (!Expect(start + SectorsFor(joliet ? d->m_nJolietSize : d->m_nIsoSize))) return;
    }
}

void ImageWriter::WriteContinuations() {
    for (const CFileEntry* d : m_b.m_directories) {
        const PosixInfo& p = *d->Posix();
        if (m_stopped || !Expect(p.continuationSector)) return;
        std::fill(m_buffer.begin(), m_buffer.end(), 0);
        EmitBuffer(SectorsFor(WriteIsoContinuations(*d, m_buffer.data())));
        if (!Expect(p.continuationSector + uint64_t(p.continuationSectors))) return;
    }
}

void ImageWriter::WriteUdfVolumeSequence(const UdfVolume& v) {
    uint8_t* s = m_buffer.data();
    FillPrimaryVolumeDescriptor(s, uint32_t(m_counter), v);
    Emit(s);
    FillImplementationUseDescriptor(s, uint32_t(m_counter), v);
    Emit(s);
    FillPartitionDescriptor(s, uint32_t(m_counter), v);
    Emit(s);
    FillLogicalVolumeDescriptor(s, uint32_t(m_counter), v);
    Emit(s);
    FillUnallocatedSpaceDescriptor(s, uint32_t(m_counter));
    Emit(s);
    FillTerminatingDescriptor(s, uint32_t(m_counter));
    Emit(s);
}

void ImageWriter::WriteUdfTree() {
    const std::string& implId = m_info.ImplID;
    const uint64_t base = m_b.m_dwUdfPartitionStart;
    auto entry = [&](const CFileEntry& node) {
        if (!Expect(base + node.m_dwUdfEntryBlock)) return false;
        FillFileEntry(node, m_buffer.data(), SectorSize, implId);
        Emit(m_buffer.data());
        return !m_stopped;
    };
    auto identifiers = [&](const CFileEntry& folder) {
        if (!Expect(base + folder.m_dwUdfDataBlock)) return false;
        std::fill(m_buffer.begin(), m_buffer.end(), 0);
        uint32_t used = FillDirectoryContents(folder, m_buffer.data(), SectorSize);
        EmitBuffer(SectorsFor(used));
        // The identifiers fill exactly what the folder's file entry records.
        return Expect(base + folder.m_dwUdfDataBlock + SectorsFor(folder.m_nUdfSize)) && !m_stopped;
    };
    if (!entry(m_b.m_root) || !identifiers(m_b.m_root)) return;
    for (const CFileEntry* d : m_b.m_directories) {
        for (const auto& c : d->m_children)
            if (!c->m_bDirectory && &c->DataOwner() == c.get() && InUdfTree(*c) && !entry(*c)) return;  // a hard link shares its file's entry
        for (const auto& c : d->m_children)
            if (c->m_bDirectory && (!entry(*c) || !identifiers(*c))) return;
    }
}

bool ImageWriter::CopyFile(const CFileEntry& f, Prefetched p) {
    if (!Expect(f.m_dwIsoSector)) return true;
    if (f.m_bBootCatalog) {
        FillBootCatalog(m_buffer.data(), BootCatalogEntries(m_b));
        Emit(m_buffer.data());
        return true;
    }
    const std::string path = f.Path();
    if (!p.in) {
        p.err.path = path;
        m_b.Messages().AddFileError(kMsgCannotOpenFile, p.err);
        return false;
    }
    if (f.m_nIsoSize == 0) {
        std::memset(m_buffer.data(), 0, SectorSize);
        Emit(m_buffer.data());
    }
    // Exactly the size the scan saw: a file that grew contributes no more, one
    // that shrank is filled up with zeros. The first piece was read ahead,
    // unless the file was left to the system to move whole.
    uint64_t remaining = f.m_nIsoSize;
    bool atEnd = p.atEnd;
    bool ahead = p.read;  // the read-ahead piece comes next
    bool first = true;    // a boot information table goes into the first piece
    const bool patched = !ahead && NeedsBootInfo(f);
    while (remaining > 0 && !m_stopped) {
        if (!ahead && !(first && patched) && m_canMove && !atEnd && remaining >= SectorSize) {
            // The rest goes from file to image by the system where it can,
            // whole sectors at a time, in pieces after which a stop is seen.
            const uint64_t whole = std::min<uint64_t>(remaining / SectorSize * SectorSize, kMovePiece);
            bool go = true;
            const long long moved = m_b.MoveFileBytes(*p.in, size_t(whole), go);
            if (moved != OutputFile::kCannotMoveHere) {
                if (moved < 0) {  // the image failed, and was reported
                    m_stopped = true;
                    break;
                }
                const uint64_t sectors = SectorsFor(uint64_t(moved));
                m_counter += sectors;
                remaining -= sectors * SectorSize;
                atEnd = uint64_t(moved) < whole;  // shrunk: the rest is zeros
                first = false;
                if (!go) m_stopped = true;
                continue;
            }
            m_canMove = false;
        }
        const uint32_t want = ahead ? p.asked : uint32_t(std::min<uint64_t>(remaining, kReadPiece));
        uint8_t* data = ahead ? p.data : m_piece.data();
        uint32_t got = p.got;
        if (ahead ? p.readFailed : !ReadPiece(*p.in, data, want, got, atEnd, p.err)) {
            p.err.path = path;
            m_b.Messages().AddFileError(kMsgCannotReadFile, p.err);
            return false;
        }
        const uint32_t sectors = uint32_t(SectorsFor(want));
        std::memset(data + got, 0, size_t(sectors) * SectorSize - got);
        if (first) PatchBootInfo(&f, data, got);
        first = ahead = false;
        for (uint32_t i = 0; i < sectors && !m_stopped; ++i) Emit(data + size_t(i) * SectorSize);
        remaining -= want;
    }
    // The image holds the file as the scan saw it; if it is not that file
    // any more, what was copied may be half old and half new. The open file
    // is asked now, when its last sector was handed over.
    // A file that holds more than the scan counted (it grew, or its size
    // never said all: /proc files) went in short: changed as well.
    uint64_t size = 0;
    int64_t mtime = 0;
    auto longer = [&] { return f.m_nIsoSize <= ReadAhead::kPiece ? p.longer : GoesOnPastSize(*p.in); };
    if (!m_stopped && (atEnd || longer() || !p.in->Stat(size, mtime) || size != f.m_nIsoSize || mtime != f.m_time)) {
        m_b.Messages().AddFormatted(kMsgFileChanged, EscapeInvalidUtf8(path));
        m_changed = true;
    }
    return true;
}

bool ImageWriter::NeedsBootInfo(const CFileEntry& f) const {
    for (const PlacedBootEntry& e : m_b.m_boot)
        if (e.infoTable && e.treeFile == &f) return true;
    return false;
}

// A boot image that asked for the boot information table gets it in its
// copy in the image; the source file keeps its bytes.
void ImageWriter::PatchBootInfo(const CFileEntry* treeFile, uint8_t* data, uint32_t got, const PlacedBootEntry* own) {
    for (const PlacedBootEntry& e : m_b.m_boot) {
        if (!e.infoTable || got < 64 || (own ? &e != own : e.treeFile != treeFile)) continue;
        FillBootInfoTable(data, 16, e.imageSector, uint32_t(e.imageBytes), e.checksum);
        return;
    }
}

// A boot image from outside the source: its whole extent, as the checks read it.
bool ImageWriter::CopyBootImage(const PlacedBootEntry& e, uint64_t sectors) {
    FileError err;
    std::unique_ptr<InputFile> in = OpenBootImage(m_b.GetPlatform(), e, err);
    if (!in) {
        err.path = EscapeInvalidUtf8(e.path);
        m_b.Messages().AddFileError(kMsgCannotOpenFile, err);
        return false;
    }
    m_piece.assign(kReadPiece, 0);
    uint64_t remaining = e.imageBytes;
    bool atEnd = false, first = true;
    while (remaining > 0 && !m_stopped) {
        const uint32_t want = uint32_t(std::min<uint64_t>(remaining, kReadPiece));
        uint32_t got = 0;
        if (!ReadPiece(*in, m_piece.data(), want, got, atEnd, err)) {
            err.path = EscapeInvalidUtf8(e.path);
            m_b.Messages().AddFileError(kMsgCannotReadFile, err);
            return false;
        }
        const uint32_t n = uint32_t(SectorsFor(want));
        std::memset(m_piece.data() + got, 0, size_t(n) * SectorSize - got);
        if (first) PatchBootInfo(nullptr, m_piece.data(), got, &e);
        first = false;
        for (uint32_t i = 0; i < n && !m_stopped; ++i) Emit(m_piece.data() + size_t(i) * SectorSize);
        remaining -= want;
        sectors -= n;
    }
    if (m_stopped) return true;
    EmitZeros(sectors);  // an empty image still owns its sector
    uint64_t size = 0;
    int64_t mtime = 0;
    if (atEnd || !in->Stat(size, mtime) || size != e.imageBytes) {
        m_b.Messages().AddFormatted(kMsgFileChanged, EscapeInvalidUtf8(e.path));
        m_changed = true;
    }
    return true;
}

bool ImageWriter::WriteFileData() {
    if (m_b.DataFiles().empty()) return true;
    m_piece.assign(kReadPiece, 0);
    // Lives only while file data is written: a stop or a failure ends and
    // joins the readers on the way out.
    ReadAhead ahead(m_b.GetPlatform(), m_b.DataFiles(), m_b.Request().readers, m_b.CanMoveFiles());
    for (const CFileEntry* f : m_b.DataFiles()) {
        if (m_stopped) break;
        // The zero sector that brings a file's data to a 4 KiB boundary.
        if (m_b.Request().volume.Reflink && m_counter + 1 == f->m_dwIsoSector) EmitZeros(1);
        if (!CopyFile(*f, ahead.Take())) return false;
    }
    return true;
}

bool ImageWriter::WriteExtent(const PlannedExtent& x, const UdfVolume& v) {
    uint8_t* s = m_buffer.data();
    switch (x.kind) {
    case ExtentKind::Zeros: EmitZeros(x.length); break;
    case ExtentKind::IsoDescriptors: {
        const bool trees = HasIsoTrees(m_b.Kind());
        FillIsoPrimaryDescriptor(s, m_b, trees ? m_b.m_root : m_b.m_emptyIsoRoot, m_info);
        Emit(s);
        if (!m_b.m_boot.empty()) {
            FillBootRecordDescriptor(s, m_b.m_dwBootCatalog);
            Emit(s);
        }
        if (trees) {
            FillJolietDescriptor(s, m_b, m_b.m_root, m_info);
            Emit(s);
        }
        FillIsoDescriptorTerminator(s);
        Emit(s);
        break;
    }
    case ExtentKind::BootCatalog:
        FillBootCatalog(s, BootCatalogEntries(m_b));
        Emit(s);
        break;
    case ExtentKind::BootImage:
        for (const PlacedBootEntry& e : m_b.m_boot)
            if (!e.treeFile && e.imageSector == x.start) return CopyBootImage(e, x.length);
        break;
    case ExtentKind::IsoEmptyTree: {
        const std::vector<CFileEntry*> root{&m_b.m_emptyIsoRoot};
        std::fill(m_buffer.begin(), m_buffer.end(), 0);
        WriteIsoPathTableL(root, s);
        Emit(s);
        std::fill(m_buffer.begin(), m_buffer.end(), 0);
        WriteIsoPathTableM(root, s);
        Emit(s);
        std::fill(m_buffer.begin(), m_buffer.end(), 0);
        WriteIsoDirectory(m_b.m_emptyIsoRoot, s, SectorSize);
        Emit(s);
        break;
    }
    case ExtentKind::UdfRecognition:
        FillBeginningExtendedArea(s);
        Emit(s);
        FillNsrDescriptor(s);
        Emit(s);
        FillTerminatingExtendedArea(s);
        Emit(s);
        break;
    case ExtentKind::UdfVolumeSequence: WriteUdfVolumeSequence(v); break;
    case ExtentKind::UdfIntegrity:
        FillIntegrityDescriptor(s, uint32_t(m_counter), v);
        Emit(s);
        FillTerminatingDescriptor(s, uint32_t(m_counter));
        Emit(s);
        break;
    case ExtentKind::UdfAnchor:
        FillAnchor(s, uint32_t(m_counter), v);
        Emit(s);
        break;
    case ExtentKind::UdfFileSet:  // tag locations count partition blocks from here
        FillFileSetDescriptor(s, Block(), v);
        Emit(s);
        FillTerminatingDescriptor(s, Block());
        Emit(s);
        break;
    case ExtentKind::UdfDirectories: WriteUdfTree(); break;
    case ExtentKind::FileData: return WriteFileData();
    case ExtentKind::IsoPathTableL:
    case ExtentKind::IsoPathTableM:
    case ExtentKind::JolietPathTableL:
    case ExtentKind::JolietPathTableM: WritePathTable(x.kind, x.length); break;
    case ExtentKind::IsoDirectories: WriteDirectories(false); break;
    case ExtentKind::JolietDirectories: WriteDirectories(true); break;
    case ExtentKind::IsoContinuations: WriteContinuations(); break;
    }
    return true;
}

bool ImageWriter::Run() {
    m_buffer.assign(m_b.m_dwBufferSize, 0);
    m_counter = 0;
    m_stopped = false;
    m_changed = false;

    // Drawn once, so the main and the reserve sequence carry the same identifier.
    UdfVolume v{m_b, m_info, uint32_t(std::count_if(m_b.m_files.begin(), m_b.m_files.end(), [](const CFileEntry* f) { return InUdfTree(*f); })), uint32_t(m_b.m_directories.size()),
                m_b.m_root.m_dwUdfEntryBlock,
                HasUdf(m_b.Kind()) ? MakeVolumeSetIdentifier(m_info, m_b.Request().seedSeconds) : Cs0String()};

    // The plan alone decides what comes where; each extent must end where
    // the next begins.
    for (const PlannedExtent& x : m_b.m_plan) {
        if (m_stopped || !Expect(x.start)) break;
        if (!WriteExtent(x, v)) return false;
        Expect(x.start + x.length);
    }
    if (!m_stopped) Expect(m_b.m_nTotalSectors);
    // A file that changed while it was read fails the build, though the
    // image was written to its end.
    return !m_stopped && !m_changed;
}

}  // namespace pm
