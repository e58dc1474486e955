// The image-wide numbers the layout decides and the encoders read, and the
// plan: the ordered list of extents the writer walks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "disc/OnDisc.h"

namespace pm {

enum class FileSystemType : int { Joliet = 0, UdfBridge = 1, Udf = 2 };

// ISO 9660 and Joliet come together: every kind but "UDF" holds both trees.
constexpr bool HasIsoTrees(FileSystemType kind) { return kind != FileSystemType::Udf; }
constexpr bool HasUdf(FileSystemType kind) { return kind != FileSystemType::Joliet; }

// What fills one extent of the image; the writer has one step per kind.
enum class ExtentKind : uint8_t {
    Zeros,              // the system area, gaps and padding
    IsoDescriptors,     // primary, Joliet supplementary (with Joliet), terminator
    UdfRecognition,     // "BEA01", "NSR02", "TEA01"
    UdfVolumeSequence,  // the six descriptors of the main or the reserve sequence
    UdfIntegrity,       // integrity descriptor and its terminating descriptor
    UdfAnchor,          // anchor volume descriptor pointer
    UdfFileSet,         // partition blocks 0 and 1: file set descriptor and its terminator
    UdfDirectories,     // per folder: its files' file entries, then each subfolder's entry and identifiers
    FileData,           // every file's data in file order, each from a sector start
    IsoPathTableL,
    IsoPathTableM,
    IsoDirectories,     // every folder's ISO 9660 directory in folder order
    JolietPathTableL,
    JolietPathTableM,
    JolietDirectories,
    BootCatalog,        // one sector: the boot catalog
    BootImage,          // a boot image from outside the source, which no tree lists
    IsoEmptyTree,       // "UDF" kind with boot entries: path tables and root of an empty ISO 9660 tree
    IsoContinuations,   // Rock Ridge entries that do not fit in their records, every folder's in folder order
};

// "IsoPathTableL" and so on, for messages and tests.
const char* ExtentName(ExtentKind kind);

// One run of sectors: what it holds, where it starts, how long it is.
struct PlannedExtent {
    ExtentKind kind;
    uint64_t start;   // image sector
    uint64_t length;  // sectors
};

// One boot entry as the layout placed it: what the catalog records and where
// the writer takes the image from.
struct PlacedBootEntry {
    uint8_t platform = 0;         // 0 BIOS, 0xEF UEFI
    uint16_t loadSectors = 0;     // as the catalog records it
    bool infoTable = false;
    uint32_t imageSector = 0;
    uint64_t imageBytes = 0;
    // The file of the tree the entry shares its extent with; null when the
    // image comes from outside the source (an extent of its own).
    const class CFileEntry* treeFile = nullptr;
    std::string path;             // the boot image as the request names it
    uint64_t offset = 0;          // where in that file it begins
    uint32_t checksum = 0;        // of the boot information table, once the checks read the image
};

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
    // The image length before it is cut to the 32 bits of the records: a
    // layout of more sectors than they can number is refused.
    uint64_t m_nTotalSectors = 0;
    uint32_t m_dwSectorSize = SectorSize;
    // Minutes east of UTC (standard time) that the volume dates are written
    // in: the build's request carries it, the encoders read it here.
    int m_nTimeZoneOffset = 0;
    uint32_t m_dwBufferSize = SectorSize;
    // Boot entries in catalog order, and the catalog's sector (0: none).
    std::vector<PlacedBootEntry> m_boot;
    uint32_t m_dwBootCatalog = 0;
    // The image front to back, without gaps: the writer emits exactly this,
    // and the image length is where it ends.
    std::vector<PlannedExtent> m_plan;
};

}  // namespace pm
