// Reads the boot entries of an image: the boot record among the volume
// descriptors, the catalog it points at, and every entry of the catalog. It
// trusts nothing: the catalog's place, its checksum and key bytes, the section
// headers and their counts, and that every entry's image lies in the image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "iso9660/ElTorito.h"
#include "reader/ImageSource.h"

namespace pm {

struct ReadBootEntry {
    CatalogEntry entry;
    uint8_t mediaType = 0;  // 0: no emulation
    bool bootable = true;
};

struct BootCatalogRead {
    bool present = false;       // a boot record was found
    uint32_t catalogSector = 0;
    std::vector<ReadBootEntry> entries;
    std::vector<std::string> problems;
};

BootCatalogRead ReadBootCatalog(const ImageSource& image);

// The boot entries of an image at `path`, as requests that take each boot
// image from it: the length of a file of its ISO 9660 tree that starts where
// the entry points, else of the FAT file system there, else the load size.
// A copy that carries a boot information table gets one again. Empty, with
// the reason in `why`, when the image has no sound catalog.
std::vector<struct BootRequest> BootRequestsFromImage(const ImageSource& image, const std::string& path, std::string& why);

}  // namespace pm
