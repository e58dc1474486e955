// One build or size preview: the source tree, the sorted folder and file
// lists, and the sector map of the image.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "disc/ImageLayout.h"
#include "layout/BuildRequest.h"
#include "tree/FileEntry.h"

namespace pm {

class InputFile;
class JobMessages;
class Platform;

// Receives each finished sector: kind (always 1, image data), context, data,
// length. Non-zero means go on, 0 stops the build.
using SectorCallback = int (*)(int kind, void* context, const uint8_t* data, uint32_t length);
// Moves up to `length` bytes of an open source file into the image right after
// the sectors handed over so far, without a copy through the writer, and
// completes a sector the file's end leaves partly filled with zeros. Returns
// the bytes of the file moved (0 at its end), OutputFile::kCannotMoveHere
// (nothing moved: the writer copies from here on), or -1 when the image
// failed (reported). `go` turns false when the build is to stop.
using MoveCallback = long long (*)(void* context, InputFile& in, size_t length, bool& go);

struct CatalogEntry;
// The catalog's entries for the boot entries of a layout.
std::vector<CatalogEntry> BootCatalogEntries(const ImageLayout& layout);

// Opens a boot image for reading: its file, or its piece of an older image.
std::unique_ptr<class InputFile> OpenBootImage(Platform& platform, const PlacedBootEntry& e, struct FileError& err);

class ImageBuilder : public ImageLayout {
public:
    // Keeps its own copy of the request. What goes wrong is queued in
    // `messages`: the caller decides where reports go.
    ImageBuilder(Platform& platform, BuildRequest request, JobMessages& messages);
    virtual ~ImageBuilder() = default;

    // Scans the request's folder and places everything for its kind. False
    // when the folder is not found (kMsgFolderNotFound queued) or the scan was
    // cancelled (nothing queued).
    bool Layout();
    // The steps of Layout after the scan, on whatever tree m_root holds.
    void PlaceTree();
    // Names the chosen file systems cannot hold, reported in JobMessages.
    int CheckNames();
    // What the scan could not read (folders it could not list, files this
    // user may not read), reported in JobMessages with the causes; the
    // first check of CheckNames.
    int ReportUnreadable();
    // Reads every boot image and reports, before anything is written, what
    // no firmware could boot; takes each boot information table's checksum.
    // The number of faults reported (0: all sound).
    int CheckBoot();
    uint64_t GetImageBytes() const { return m_nTotalSectors * m_dwSectorSize; }
    // What the last scan could not read and what it left out.
    const ScanReport& GetScanReport() const { return m_scanReport; }

    // Emits the whole image sector by sector (writer/). False when it stopped
    // early: a stop request, or a source file that failed (queued).
    bool WriteImage();

    void SetSectorCallback(SectorCallback fn, void* context) { m_pfnSector = fn; m_pSectorContext = context; }
    bool EmitSector(const uint8_t* data);
    void SetMoveCallback(MoveCallback fn) { m_pfnMove = fn; }
    long long MoveFileBytes(InputFile& in, size_t length, bool& go);
    bool CanMoveFiles() const { return m_pfnMove != nullptr; }

    const BuildRequest& Request() const { return m_request; }
    FileSystemType Kind() const { return m_request.kind; }
    // A flag that, once set, ends the next scan early: a size preview on its
    // own thread whose result is no longer wanted.
    void SetCancelFlag(const std::atomic<bool>* flag) { m_pCancel = flag; }

    Platform& GetPlatform() { return m_platform; }
    JobMessages& Messages() { return m_messages; }

    CFileEntry m_root;
    // The "UDF" kind's ISO 9660 tree when it boots: a root with nothing in
    // it, which the primary descriptor the boot record needs points at.
    CFileEntry m_emptyIsoRoot;
    std::vector<CFileEntry*> m_directories;
    std::vector<CFileEntry*> m_files;
    // The files whose data the image holds, in file order: every file, but
    // when Linux attributes are kept, no symbolic link and no hard link
    // after the first of its file.
    const std::vector<CFileEntry*>& DataFiles() const { return m_root.Posix() ? m_dataFiles : m_files; }
    SectorCallback m_pfnSector = nullptr;
    MoveCallback m_pfnMove = nullptr;  // with m_pSectorContext
    void* m_pSectorContext = nullptr;

protected:
    BuildRequest m_request;  // set once; tests lay one tree out as several kinds

private:
    void Reset();
    void CollectEntries();
    void MeasureIsoPathTable();
    void MeasureJolietPathTable();
    // Appends an extent at the plan's end; returns its first sector.
    uint64_t Plan(ExtentKind kind, uint64_t length);
    void PlanZerosTo(uint64_t target);
    uint64_t PlanEnd() const;
    void PlaceIsoBlock();
    void PlaceJolietBlock();
    uint64_t PlaceIsoDirectories(uint64_t s);
    uint64_t PlaceJolietDirectories(uint64_t s);
    uint64_t PlaceFiles(uint64_t s);
    uint64_t PlaceUdfTree(uint64_t s);
    void ComputeBufferSize();
    // With Linux attributes: joins hard links, counts links, resolves
    // symbolic links for the Joliet tree (reporting those it leaves out);
    // PlaceLinkedFiles gives the links their places once the data is placed.
    void LinkPosixEntries();
    void PlaceLinkedFiles();
    std::vector<CFileEntry*> m_dataFiles;
    // Finds each boot image (a file of the tree, or one of its own) and its
    // load size; PlaceBootExtents places the catalog and the images of
    // their own.
    void ResolveBoot();
    // Lists the boot catalog in the tree where the request names it.
    void AddCatalogEntry();
    CFileEntry* m_pCatalogFile = nullptr;
    int m_nCatalogProblem = 0;  // the text that refuses the catalog's path
    void PlaceBootExtents();

    Platform& m_platform;
    JobMessages& m_messages;
    const std::atomic<bool>* m_pCancel = nullptr;
    ScanReport m_scanReport;
};

}  // namespace pm
