#include "iso9660/VolumeDescriptors.h"

#include <gtest/gtest.h>

#include <vector>

#include "iso9660/IsoTestSupport.h"
#include "disc/ImageLayout.h"
#include "settings/VolumeInfo.h"

namespace pm {
namespace {

using namespace test;

// Every field of the primary and Joliet descriptors and the terminator is
// pinned by the empty images' hashes (writer/ImageWriter_test.cpp) and read
// back by the ISO 9660 reader; here the label at its limits.
// Fifteen characters fill the ISO 9660 label (15 double-byte ones as 30
// bytes of code page 932 and 2 spaces) and leave the Joliet one its last unit zero.
TEST(VolumeDescriptors, FifteenCharacterLabels) {
    TzScope tz{"JST-9"};
    ImageLayout layout;
    const auto root = MakeNode("FOLDER12", true, 2048, 21);  // its name never shows
    VolumeInfo info;
    // The 32-byte label field: its first and last bytes.
    auto ends = [&](bool joliet, size_t head, size_t tail) {
        Bytes s(2048, 0xAA);
        (joliet ? FillJolietDescriptor : FillIsoPrimaryDescriptor)(s.data(), layout, *root, info);
        return Cat({Bytes(s.begin() + 40, s.begin() + 40 + head), Bytes(s.begin() + 72 - tail, s.begin() + 72)});
    };
    info.Label = "ABCDEFGHIJKLMNO";
    EXPECT_EQ(ends(false, 15, 17), Cat({Str(info.Label), Bytes(17, ' ')}));
    EXPECT_EQ(ends(true, 0, 6), (Bytes{0, 'N', 0, 'O', 0, 0}));
    info.Label = "あいうえおかきくけこさしすせそ";
    EXPECT_EQ(ends(false, 4, 4), (Bytes{0x82, 0xA0, 0x82, 0xA2, 0x82, 0xBB, ' ', ' '}));
    EXPECT_EQ(ends(true, 2, 4), (Bytes{0x30, 0x42, 0x30, 0x5D, 0, 0}));
}

}  // namespace
}  // namespace pm
