#include "iso9660/ElTorito.h"

#include <cstring>

#include "disc/OnDisc.h"

namespace pm {

namespace {

constexpr uint8_t kHeaderId = 0x01;
constexpr uint8_t kBootable = 0x88;
constexpr uint8_t kMoreSections = 0x90;
constexpr uint8_t kLastSection = 0x91;

void PutEntry(uint8_t* e, const CatalogEntry& entry) {
    e[0] = kBootable;
    e[1] = 0;                                // media type: no emulation
    PutLE16(e + 2, entry.loadSegment);
    e[4] = 0;                                // system type: none for no emulation
    PutLE16(e + 6, entry.loadSectors);
    PutLE32(e + 8, entry.imageSector);
}

// Entries after the default one, grouped into runs of one platform: each run
// is one section.
template <typename Visit>
void ForEachSection(const std::vector<CatalogEntry>& entries, Visit visit) {
    for (size_t i = 1; i < entries.size();) {
        size_t j = i;
        while (j < entries.size() && entries[j].platform == entries[i].platform) ++j;
        visit(i, j, j == entries.size());
        i = j;
    }
}

}  // namespace

size_t CatalogSlots(const std::vector<CatalogEntry>& entries) {
    size_t slots = entries.empty() ? 1 : 2;
    ForEachSection(entries, [&](size_t from, size_t to, bool) { slots += 1 + (to - from); });
    return slots;
}

void FillBootRecordDescriptor(uint8_t* s, uint32_t catalogSector) {
    std::memset(s, 0, SectorSize);
    s[0] = 0;  // boot record
    std::memcpy(s + 1, "CD001", 5);
    s[6] = 1;
    static const char kSystem[] = "EL TORITO SPECIFICATION";  // boot system identifier, zero padded
    std::memcpy(s + 7, kSystem, sizeof kSystem - 1);
    PutLE32(s + 71, catalogSector);
}

uint16_t ValidationChecksum(const uint8_t* e) {
    uint16_t sum = 0;
    for (size_t i = 0; i < 32; i += 2)
        if (i != 28) sum = uint16_t(sum + GetLE16(e + i));
    return uint16_t(0x10000 - sum);
}

void FillBootCatalog(uint8_t* s, const std::vector<CatalogEntry>& entries) {
    std::memset(s, 0, SectorSize);
    uint8_t* v = s;  // validation entry
    v[0] = kHeaderId;
    v[1] = uint8_t(entries.front().platform);
    v[30] = 0x55;
    v[31] = 0xAA;
    PutLE16(v + 28, ValidationChecksum(v));
    PutEntry(s + 32, entries.front());
    uint8_t* at = s + 64;
    ForEachSection(entries, [&](size_t from, size_t to, bool last) {
        at[0] = last ? kLastSection : kMoreSections;
        at[1] = uint8_t(entries[from].platform);
        PutLE16(at + 2, uint16_t(to - from));
        at += 32;
        for (size_t i = from; i < to; ++i, at += 32) PutEntry(at, entries[i]);
    });
}

void BootInfoChecksum::Add(const uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i, ++m_offset) {
        if (m_offset < 64) continue;
        const unsigned shift = unsigned(m_offset % 4) * 8;
        m_word |= uint32_t(data[i]) << shift;
        if (shift == 24) m_sum += m_word, m_word = 0;
    }
}

uint32_t BootInfoChecksum::Value() const { return m_sum + m_word; }

void FillBootInfoTable(uint8_t* image, uint32_t primarySector, uint32_t imageSector, uint32_t imageBytes,
                       uint32_t checksum) {
    std::memset(image + 8, 0, 56);
    PutLE32(image + 8, primarySector);
    PutLE32(image + 12, imageSector);
    PutLE32(image + 16, imageBytes);
    PutLE32(image + 20, checksum);
}

}  // namespace pm
