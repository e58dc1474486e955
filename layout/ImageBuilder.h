// One build or size preview: the source tree, the sorted folder and file
// lists, and the sector map of the image.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "tree/FileEntry.h"

namespace pm {

class Platform;
class ExceptList;
class JobMessages;
class VolumeInfo;

enum class FileSystemType : int { Joliet = 0, UdfBridge = 1, Udf = 2 };

constexpr uint32_t SectorSize = 2048;

// Image-wide numbers decided by Layout; the encoders read them.
struct ImageLayout {
    uint32_t m_dwIsoPathTableL = 0;
    uint32_t m_dwIsoPathTableM = 0;
    uint32_t m_dwIsoPathTableSize = 0;
    uint32_t m_dwJolietPathTableL = 0;
    uint32_t m_dwJolietPathTableM = 0;
    uint32_t m_dwJolietPathTableSize = 0;
    uint32_t m_dwUdfMainVds = 32;
    uint32_t m_dwUdfReserveVds = 48;
    uint32_t m_dwUdfPartitionStart = 257;
    uint32_t m_dwUdfPartitionLength = 2;
    uint32_t m_dwUdfIntegrity = 64;
    uint32_t m_dwUdfNextUniqueId = 16;
    uint32_t m_dwTotalSectors = 0;
    uint32_t m_dwSectorSize = SectorSize;
    uint32_t m_dwBufferSize = SectorSize;
};

// Receives each finished sector: kind (always 1, image data), context, data,
// length. Non-zero means go on, 0 stops the build.
using SectorCallback = int (*)(int kind, void* context, const uint8_t* data, uint32_t length);

class ImageBuilder : public ImageLayout {
public:
    // Also sets the process-wide TimeZoneOffset from the platform.
    explicit ImageBuilder(Platform& platform);
    virtual ~ImageBuilder() = default;

    // Scans the folder and places everything. False when the folder is not
    // found (10039 queued) or the scan was cancelled (nothing queued).
    bool Layout(const std::string& folder, FileSystemType kind);
    // The steps of Layout after the scan, on whatever tree m_root holds.
    void PlaceTree();
    // Names the chosen file systems cannot hold, reported in JobMessages.
    int CheckNames();
    uint64_t GetImageBytes() const { return uint64_t(m_dwTotalSectors) * m_dwSectorSize; }

    // Emits the whole image sector by sector (writer/). False when it stopped
    // early: a stop request, or a source file that failed (queued).
    bool WriteImage();

    void SetSectorCallback(SectorCallback fn, void* context) { m_pfnSector = fn; m_pSectorContext = context; }
    bool EmitSector(const uint8_t* data);

    // Exclusions and the self-inclusion guard used by the next scan.
    void SetExceptList(const ExceptList* list) { m_pExcept = list; }
    void SkipIdentity(uint64_t device, uint64_t inode);
    // A flag that, once set, ends the next scan early: a size preview on its
    // own thread whose result is no longer wanted.
    void SetCancelFlag(const std::atomic<bool>* flag) { m_pCancel = flag; }
    // Where Layout and CheckNames queue their texts; the process-wide queue
    // unless set, so a preview beside a running build keeps out of its report.
    void SetMessages(JobMessages* messages) { m_pMessages = messages; }

    Platform& GetPlatform() { return m_platform; }

    std::string m_strFolder;
    int m_bIso = 0;
    int m_bJoliet = 0;
    int m_bUdf = 0;
    CFileEntry m_root;
    std::vector<CFileEntry*> m_directories;
    std::vector<CFileEntry*> m_files;
    // Seeds the UDF volume set identifier's random part (the clock, or
    // SOURCE_DATE_EPOCH for reproducible images); set by the build runner.
    uint32_t m_dwSeedSeconds = 0;
    SectorCallback m_pfnSector = nullptr;
    void* m_pSectorContext = nullptr;

private:
    void Reset();
    void CollectEntries();
    void MeasureIsoPathTable();
    void MeasureJolietPathTable();
    uint32_t PlaceIsoBlock(uint32_t s);
    uint32_t PlaceJolietBlock(uint32_t s);
    uint32_t PlaceIsoDirectories(uint32_t s);
    uint32_t PlaceJolietDirectories(uint32_t s);
    uint32_t PlaceFiles(uint32_t s);
    uint32_t PlaceUdfTree(uint32_t s);
    void ComputeBufferSize();

    Platform& m_platform;
    JobMessages& Messages();

    const ExceptList* m_pExcept = nullptr;
    const std::atomic<bool>* m_pCancel = nullptr;
    JobMessages* m_pMessages = nullptr;
    bool m_bSkipIdentity = false;
    uint64_t m_skipDevice = 0, m_skipInode = 0;
};

}  // namespace pm
