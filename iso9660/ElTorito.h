// The structures that make an image bootable from an optical drive: the boot
// record volume descriptor, which points at the boot catalog, the catalog's
// entries, and the boot information table some loaders expect patched into
// their own first sector. Each fill writes only its own bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pm {

// The platform a boot entry is for, as the catalog numbers it.
enum class BootPlatform : uint8_t { Bios = 0x00, Uefi = 0xEF };

// One entry as the catalog records it: always "no emulation".
struct CatalogEntry {
    BootPlatform platform = BootPlatform::Bios;
    uint16_t loadSegment = 0;  // 0: the firmware's usual 0x7C0
    uint16_t loadSectors = 0;  // 512-byte sectors loaded; 0 for UEFI: to the end of the medium
    uint32_t imageSector = 0;  // first sector of the boot image
};

// 32-byte slots of one catalog sector.
constexpr size_t kCatalogSlots = 2048 / 32;
// Slots the entries take: the validation entry, the default entry (the first
// entry), and for every further run of entries of one platform a section
// header and its entries.
size_t CatalogSlots(const std::vector<CatalogEntry>& entries);

// The boot record descriptor of the volume descriptor set (whole sector).
void FillBootRecordDescriptor(uint8_t* sector, uint32_t catalogSector);
// The catalog (whole sector). The entries must fit (CatalogSlots) and be at
// least one.
void FillBootCatalog(uint8_t* sector, const std::vector<CatalogEntry>& entries);
// The 16-bit words of the validation entry sum to 0 with this in bytes 28-29.
uint16_t ValidationChecksum(const uint8_t* entry32);

// The sum of a boot image's 32-bit little-endian words from byte 64 to its
// end (a last partial word padded with zeros), fed in pieces in file order.
class BootInfoChecksum {
public:
    void Add(const uint8_t* data, size_t n);
    uint32_t Value() const;

private:
    uint64_t m_offset = 0;
    uint32_t m_sum = 0;
    uint32_t m_word = 0;  // the word begun by the last piece
};

// Bytes 8 to 63 of a boot image's copy: the primary descriptor's sector, the
// image's sector and length, the checksum, and 40 zero bytes.
void FillBootInfoTable(uint8_t* image, uint32_t primarySector, uint32_t imageSector, uint32_t imageBytes,
                       uint32_t checksum);

}  // namespace pm
