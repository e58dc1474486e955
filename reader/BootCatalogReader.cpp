#include "reader/BootCatalogReader.h"

#include <array>
#include <cstring>

#include "disc/OnDisc.h"
#include "layout/BuildRequest.h"
#include "reader/IsoReader.h"

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

std::vector<BootRequest> BootRequestsFromImage(const ImageSource& image, const std::string& path, std::string& why) {
    BootCatalogRead read = ReadBootCatalog(image);
    why = !read.present ? "no boot catalog" : read.problems.empty() ? "" : read.problems.front();
    std::vector<BootRequest> out;
    if (!why.empty()) return out;
    IsoReader iso(image);
    for (const ReadBootEntry& e : read.entries) {
        const uint64_t at = uint64_t(e.entry.imageSector) * SectorSize;
        uint64_t length = uint64_t(e.entry.loadSectors) * 512;
        std::array<uint8_t, 512> head{};
        image.ReadAt(at, head.data(), head.size());
        const uint64_t fatSectors = GetLE16(head.data() + 19) ? GetLE16(head.data() + 19) : GetLE32(head.data() + 32);
        if (head[510] == 0x55 && head[511] == 0xAA && GetLE16(head.data() + 11) >= 512)
            length = fatSectors * GetLE16(head.data() + 11);
        for (const IsoTreeEntry& f : iso.IsoTree())
            if (!f.isDir && f.extent == e.entry.imageSector) length = f.size;
        if (length == 0 || !image.Holds(at, length)) length = std::min<uint64_t>(image.Size() - std::min(at, image.Size()), SectorSize);
        // A boot information table names the primary descriptor and this sector.
        const bool table = GetLE32(head.data() + 8) == 16 && GetLE32(head.data() + 12) == e.entry.imageSector;
        out.push_back(BootRequest{uint8_t(e.entry.platform), path, e.entry.loadSectors, table, at, length});
    }
    return out;
}

}  // namespace pm
