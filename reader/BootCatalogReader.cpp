#include "reader/BootCatalogReader.h"

#include <array>
#include <cstring>

#include "disc/OnDisc.h"

namespace pm {

namespace {

constexpr uint32_t kMaxDescriptors = 64;

std::string Num(uint64_t v) { return std::to_string(v); }

ReadBootEntry EntryAt(const uint8_t* e, BootPlatform platform) {
    ReadBootEntry r;
    r.bootable = e[0] == 0x88;
    r.mediaType = e[1] & 0x0F;
    r.entry = CatalogEntry{platform, GetLE16(e + 2), GetLE16(e + 6), GetLE32(e + 8)};
    return r;
}

}  // namespace

BootCatalogRead ReadBootCatalog(const ImageSource& image) {
    BootCatalogRead out;
    auto problem = [&](const std::string& text) { out.problems.push_back("boot catalog: " + text); };
    std::array<uint8_t, SectorSize> d{};
    for (uint32_t s = 16; s < 16 + kMaxDescriptors && image.ReadAt(uint64_t(s) * SectorSize, d.data(), SectorSize); ++s) {
        if (std::memcmp(d.data() + 1, "CD001", 5) != 0 || d[0] == 255) break;
        if (d[0] == 0 && std::memcmp(d.data() + 7, "EL TORITO SPECIFICATION", 23) == 0) {
            out.present = true;
            out.catalogSector = GetLE32(d.data() + 71);
            break;
        }
    }
    if (!out.present) return out;
    std::array<uint8_t, SectorSize> c{};
    if (!image.ReadAt(uint64_t(out.catalogSector) * SectorSize, c.data(), SectorSize)) {
        problem("sector " + Num(out.catalogSector) + " lies outside the image");
        return out;
    }
    const uint8_t* v = c.data();
    if (v[0] != 1 || v[30] != 0x55 || v[31] != 0xAA) problem("no validation entry (header 1, key 55 AA)");
    uint16_t sum = 0;
    for (size_t i = 0; i < 32; i += 2) sum = uint16_t(sum + GetLE16(v + i));
    if (sum != 0) problem("validation entry checksum does not sum to 0");
    if (!out.problems.empty()) return out;
    out.entries.push_back(EntryAt(c.data() + 32, BootPlatform(v[1])));
    // Sections follow until the one marked last; the sector bounds them.
    size_t slot = 2;
    bool last = false;
    while (!last && slot < kCatalogSlots) {
        const uint8_t* h = c.data() + slot * 32;
        if (h[0] != 0x90 && h[0] != 0x91) break;  // no further sections
        last = h[0] == 0x91;
        const size_t count = GetLE16(h + 2);
        ++slot;
        if (slot + count > kCatalogSlots) {
            problem("section at slot " + Num(slot - 1) + " announces " + Num(count) + " entries, more than the sector holds");
            return out;
        }
        for (size_t i = 0; i < count; ++i, ++slot) out.entries.push_back(EntryAt(c.data() + slot * 32, BootPlatform(h[1])));
    }
    const uint64_t sectors = image.Size() / SectorSize;
    for (size_t i = 0; i < out.entries.size(); ++i) {
        const ReadBootEntry& e = out.entries[i];
        if (!e.bootable) problem("entry " + Num(i + 1) + " is not marked bootable");
        if (e.entry.imageSector >= sectors) problem("entry " + Num(i + 1) + " points past the image's end");
    }
    return out;
}

}  // namespace pm
