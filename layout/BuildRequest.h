// Everything one build, size preview, check or name listing takes in, as one
// value: the front ends fill it from what the user chose before the work
// starts, and nothing during the work reads any other record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "disc/ImageLayout.h"
#include "settings/VolumeInfo.h"

namespace pm {

// Source files read at once ahead of the writer, unless PARUMERO_READERS says
// otherwise: a cold tree of small files built fastest with this many here.
constexpr unsigned kDefaultReaders = 8;

// One boot entry the user asked for. Its image is a file named as on the
// command line; when that file is part of the source, the entry points at the
// file's own extent.
struct BootRequest {
    uint8_t platform = 0;      // 0 BIOS, 0xEF UEFI
    std::string image;
    uint32_t loadSectors = 0;  // 512-byte sectors the firmware loads; 0: the whole image
    bool infoTable = false;    // patch the boot information table into the image's copy
    // A piece of the file (a boot image inside an older image): its first
    // byte and length; length 0: the whole file.
    uint64_t offset = 0;
    uint64_t length = 0;
};

struct BuildRequest {
    std::string sourceFolder;
    FileSystemType kind = FileSystemType::Joliet;
    // The descriptors' texts and dates with this build's label and creation
    // date already in, the exclusion list and the hidden-name rule.
    VolumeInfo volume;
    // Where the image goes; an existing file there is left out of the scan,
    // as it is about to be rewritten (empty: no image, as for `--size`).
    std::string imagePath;
    // The image goes down standard output; imagePath only names it in reports,
    // and whatever stdout is, when it lies in the source, is left out.
    bool standardOutput = false;
    // Minutes east of UTC of the system's standard time, for volume dates.
    int timeZoneOffset = 0;
    // Seeds the UDF volume set identifier's random part (the clock, or
    // SOURCE_DATE_EPOCH for reproducible images).
    uint32_t seedSeconds = 0;
    // Threads reading source files ahead of the writer.
    unsigned readers = kDefaultReaders;
    // Boot entries in catalog order; none: no boot record, no catalog.
    std::vector<BootRequest> boot;
    // Where the trees list the boot catalog ("isolinux/boot.cat"); empty: no
    // tree lists it.
    std::string bootCatalog;
};

}  // namespace pm
