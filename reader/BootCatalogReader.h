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

}  // namespace pm
