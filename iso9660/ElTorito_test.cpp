// The boot record and the catalog byte for byte (every byte not listed is
// zero), and the boot information table against a checksum computed here.
#include "iso9660/ElTorito.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "iso9660/IsoTestSupport.h"

namespace pm {
namespace {

using test::Bytes;
using test::Str;

// A sector of zeros but for runs of bytes at their offsets.
Bytes Expected(std::initializer_list<std::pair<size_t, Bytes>> runs) {
    Bytes s(2048, 0);
    for (const auto& [offset, bytes] : runs) std::copy(bytes.begin(), bytes.end(), s.begin() + long(offset));
    return s;
}

// Validation checksums worked out by hand: 0x0001 + 0xAA55 (+ 0xEF00 for
// UEFI) and the checksum (byte 28) must sum to 0 modulo 2^16.
TEST(ElTorito, GoldenBytes) {
    const CatalogEntry bios4{BootPlatform::Bios, 0, 4, 29};
    const CatalogEntry biosWin{BootPlatform::Bios, 0, 8, 0x12345};
    const CatalogEntry uefi{BootPlatform::Uefi, 0, 2880, 300};
    const CatalogEntry uefiToEnd{BootPlatform::Uefi, 0, 0, 0x01020304};
    const struct {
        const char* name;
        std::function<void(uint8_t*)> fill;
        Bytes expected;
    } cases[] = {
        {"boot record", [](uint8_t* s) { FillBootRecordDescriptor(s, 0x0A0B0C0D); },
         Expected({{1, Str("CD001")}, {6, {1}}, {7, Str("EL TORITO SPECIFICATION")}, {71, {0x0D, 0x0C, 0x0B, 0x0A}}})},
        {"one BIOS entry", [&](uint8_t* s) { FillBootCatalog(s, {bios4}); },
         Expected({{0, {1, 0}}, {28, {0xAA, 0x55, 0x55, 0xAA}}, {32, {0x88, 0, 0, 0, 0, 0, 4, 0, 29, 0, 0, 0}}})},
        {"UEFI first, two BIOS, UEFI to the end of the medium",
         [&](uint8_t* s) { FillBootCatalog(s, {uefi, bios4, biosWin, uefiToEnd}); },
         Expected({{0, {1, 0xEF}}, {28, {0xAA, 0x66, 0x55, 0xAA}},
                   {32, {0x88, 0, 0, 0, 0, 0, 0x40, 0x0B, 0x2C, 0x01, 0, 0}},
                   {64, {0x90, 0, 2, 0}},
                   {96, {0x88, 0, 0, 0, 0, 0, 4, 0, 29, 0, 0, 0}},
                   {128, {0x88, 0, 0, 0, 0, 0, 8, 0, 0x45, 0x23, 0x01, 0}},
                   {160, {0x91, 0xEF, 1, 0}},
                   {192, {0x88, 0, 0, 0, 0, 0, 0, 0, 4, 3, 2, 1}}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes s(2048, 0xAA);
        c.fill(s.data());
        EXPECT_EQ(s, c.expected);
    }
    // 64 slots: validation, default, then header and entries.
    EXPECT_EQ(CatalogSlots(std::vector<CatalogEntry>(62, bios4)), kCatalogSlots);  // the most one sector holds
    EXPECT_EQ(CatalogSlots({bios4, uefi, bios4, uefi}), 8u);
}

// The checksum as a plain sum over the whole image, fed to the encoder in
// pieces of every awkward length; lengths that end inside a word. (The table's
// fields are checked in the images by tests/boot/check_boot.py.)
TEST(ElTorito, BootInfoTable) {
    std::mt19937 random(7);
    for (size_t length : {64u, 65u, 67u, 2048u, 5001u}) {
        SCOPED_TRACE(length);
        Bytes image(length);
        for (auto& b : image) b = uint8_t(random());
        uint32_t expect = 0;
        for (size_t i = 64; i < length; i += 4) {
            uint32_t word = 0;
            for (size_t k = 0; k < 4 && i + k < length; ++k) word |= uint32_t(image[i + k]) << (8 * k);
            expect += word;
        }
        for (size_t piece : {1u, 3u, 63u, 4096u}) {
            BootInfoChecksum sum;
            for (size_t at = 0; at < length; at += piece) sum.Add(image.data() + at, std::min(piece, length - at));
            EXPECT_EQ(sum.Value(), expect) << "pieces of " << piece;
        }
    }
}

}  // namespace
}  // namespace pm
