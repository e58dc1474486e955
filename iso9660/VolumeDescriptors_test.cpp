#include "iso9660/VolumeDescriptors.h"

#include <gtest/gtest.h>

#include <vector>

#include "iso9660/Fields.h"
#include "iso9660/IsoTestSupport.h"
#include "layout/ImageBuilder.h"
#include "settings/VolumeInfo.h"

namespace pm {
namespace {

using namespace test;

// A sector of zeros but for the fields given at their offsets.
Bytes Sector(std::initializer_list<std::pair<size_t, Bytes>> fields) {
    Bytes s(2048, 0);
    for (const auto& [at, bytes] : fields) std::copy(bytes.begin(), bytes.end(), s.begin() + at);
    return s;
}

// A Joliet text field; its encoding is pinned by the Fields tests.
Bytes Joliet(const std::string& text, size_t width) {
    Bytes b(width);
    WriteJolietText(b.data(), width, text);
    return b;
}

class VolumeDescriptors : public ::testing::Test {
protected:
    VolumeDescriptors() {
        layout.m_dwTotalSectors = 25;
        layout.m_dwIsoPathTableSize = layout.m_dwJolietPathTableSize = 10;
        layout.m_dwIsoPathTableL = 19, layout.m_dwIsoPathTableM = 20;
        layout.m_dwJolietPathTableL = 22, layout.m_dwJolietPathTableM = 23;
        root->m_dwJolietSector = 24;
        root->m_time = Utc(2010, 5, 31, 14, 59, 58);
        info.Label = "DATA", info.OS = "OS", info.Copyright = "COPY.TXT";
        info.VolSetSize = 0x0203, info.VolNumber = 0x0405;
        info.Creation = {2010, 5, 0, 31, 23, 59, 58, 0};
    }
    Bytes Fill(bool joliet) {
        Bytes s(2048, 0xAA);
        (joliet ? FillJolietDescriptor : FillIsoPrimaryDescriptor)(s.data(), layout, *root, info);
        return s;
    }
    Bytes RootRecord(uint8_t extent) {
        return Cat({{34, 0, extent, 0, 0, 0, 0, 0, 0, extent, 0, 8, 0, 0, 0, 0, 8, 0},
                    {0x6E, 0x05, 0x1F, 0x17, 0x3B, 0x3A, 0x24, 0x02, 0, 0, 1, 0, 0, 1, 1, 0}});
    }
    const Bytes unsetDate = Cat({Str("0000000000000000"), {0}});
    const Bytes dates = Cat({Str("2010053123595800"), {0x24}, unsetDate, unsetDate, unsetDate});
    const Bytes numbers = {25, 0, 0, 0, 0, 0, 0, 25, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                           0, 0, 0, 0, 0, 0, 0, 0, 3, 2, 2, 3, 5, 4, 4, 5, 0, 8, 8, 0, 10, 0, 0, 0, 0, 0, 0, 10};  // 80-139

    TzScope tz{"JST-9", 540};
    ImageLayout layout;
    std::unique_ptr<CFileEntry> root = MakeNode("FOLDER12", true, 2048, 21);  // its name never shows
    VolumeInfo info;
};

TEST_F(VolumeDescriptors, PrimaryDescriptor) {
    EXPECT_EQ(Fill(false), Sector({{0, Cat({{1}, Str("CD001"), {1}})},
                                   {8, Cat({Str("OS"), Bytes(30, ' ')})},
                                   {40, Cat({Str("DATA"), Bytes(28, ' ')})},
                                   {80, numbers},
                                   {140, {19, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20}},  // no optional path tables
                                   {156, RootRecord(21)},
                                   {190, Bytes(128 * 4, ' ')},  // volume set, publisher, preparer, application
                                   {702, Cat({Str("COPY.TXT"), Bytes(29 + 37 * 2, ' ')})},
                                   {813, dates},
                                   {881, {1}}}));
}

TEST_F(VolumeDescriptors, JolietDescriptor) {
    Bytes texts;
    for (const auto& [text, width] : std::vector<std::pair<std::string, size_t>>{
             {"", 128}, {"", 128}, {"", 128}, {"", 128}, {"COPY.TXT", 37}, {"", 37}, {"", 37}})
        texts = Cat({texts, Joliet(text, width)});
    EXPECT_EQ(Fill(true), Sector({{0, Cat({{2}, Str("CD001"), {1}})},
                                  {8, Joliet("OS", 32)},
                                  {40, Cat({{0, 'D', 0, 'A', 0, 'T', 0, 'A', 0, 0}, Pairs(10, 0x00, 0x20), {0, 0}})},
                                  {80, numbers},
                                  {88, {0x25, 0x2F, 0x45}},  // escape %/E: UCS-2 level 3
                                  {140, {22, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 23}},
                                  {156, RootRecord(24)},
                                  {190, texts},
                                  {813, dates},
                                  {881, {1}}}));
}

// Fifteen characters fill the ISO 9660 label (15 double-byte ones as 30
// bytes of code page 932 and 2 spaces) and leave the Joliet one its last unit zero.
TEST_F(VolumeDescriptors, FifteenCharacterLabels) {
    // The 32-byte label field: its first and last bytes.
    auto ends = [&](bool joliet, size_t head, size_t tail) {
        Bytes s = Fill(joliet);
        return Cat({Bytes(s.begin() + 40, s.begin() + 40 + head), Bytes(s.begin() + 72 - tail, s.begin() + 72)});
    };
    info.Label = "ABCDEFGHIJKLMNO";
    EXPECT_EQ(ends(false, 15, 17), Cat({Str(info.Label), Bytes(17, ' ')}));
    EXPECT_EQ(ends(true, 0, 6), (Bytes{0, 'N', 0, 'O', 0, 0}));
    info.Label = "あいうえおかきくけこさしすせそ";
    EXPECT_EQ(ends(false, 4, 4), (Bytes{0x82, 0xA0, 0x82, 0xA2, 0x82, 0xBB, ' ', ' '}));
    EXPECT_EQ(ends(true, 2, 4), (Bytes{0x30, 0x42, 0x30, 0x5D, 0, 0}));
}

TEST_F(VolumeDescriptors, Terminator) {
    Bytes s(2048, 0xAA);
    FillIsoDescriptorTerminator(s.data());
    EXPECT_EQ(s, Sector({{0, Cat({{255}, Str("CD001"), {1}})}}));
}

}  // namespace
}  // namespace pm
