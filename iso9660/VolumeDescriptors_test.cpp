#include "iso9660/VolumeDescriptors.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "iso9660/IsoTestSupport.h"
#include "layout/ImageBuilder.h"
#include "settings/VolumeInfo.h"

namespace pm {
namespace {

using namespace test;

Bytes At(const Bytes& s, size_t offset, size_t width) { return Bytes(s.begin() + offset, s.begin() + offset + width); }

class VolumeDescriptors : public ::testing::Test {
protected:
    VolumeDescriptors() {
        layout.m_dwTotalSectors = 25;
        layout.m_dwIsoPathTableSize = 10;
        layout.m_dwIsoPathTableL = 19;
        layout.m_dwIsoPathTableM = 20;
        layout.m_dwJolietPathTableSize = 10;
        layout.m_dwJolietPathTableL = 22;
        layout.m_dwJolietPathTableM = 23;
        root = MakeNode("FOLDER12", true, 2048, 21);  // eight characters: never shows
        root->m_dwJolietSector = 24;
        root->m_time = Utc(2010, 5, 31, 14, 59, 58);
        info.Label = "DATA";
        info.Creation = {2010, 5, 0, 31, 23, 59, 58, 0};
    }
    Bytes Primary() {
        Bytes s(2048, 0xAA);
        FillIsoPrimaryDescriptor(s.data(), layout, *root, info);
        return s;
    }
    Bytes Joliet() {
        Bytes s(2048, 0xAA);
        FillJolietDescriptor(s.data(), layout, *root, info);
        return s;
    }

    TzScope tz{"JST-9", 540};
    ImageLayout layout;
    std::unique_ptr<CFileEntry> root;
    VolumeInfo info;
};

TEST_F(VolumeDescriptors, CommonFields) {
    for (const Bytes& s : {Primary(), Joliet()}) {
        EXPECT_EQ(At(s, 1, 6), Cat({Str("CD001"), {1}}));
        EXPECT_EQ(At(s, 72, 8), Bytes(8, 0));
        EXPECT_EQ(At(s, 80, 8), (Bytes{25, 0, 0, 0, 0, 0, 0, 25}));  // volume space size
        EXPECT_EQ(At(s, 120, 8), (Bytes{1, 0, 0, 1, 1, 0, 0, 1}));  // set size, sequence number
        EXPECT_EQ(At(s, 128, 4), (Bytes{0x00, 0x08, 0x08, 0x00}));  // block size
        EXPECT_EQ(At(s, 813, 17), Cat({Str("2010053123595800"), {0x24}}));
        EXPECT_EQ(At(s, 830, 17), Cat({Str("0000000000000000"), {0}}));  // unset modification date
        EXPECT_EQ(At(s, 881, 2), (Bytes{1, 0}));
        EXPECT_EQ(At(s, 883, 2048 - 883), Bytes(2048 - 883, 0));
        EXPECT_EQ(At(s, 152, 4), Bytes(4, 0));  // no optional path tables
        EXPECT_EQ(At(s, 144, 4), Bytes(4, 0));
    }
    info.VolSetSize = 0x0203;
    info.VolNumber = 0x0405;
    EXPECT_EQ(At(Primary(), 120, 8), (Bytes{3, 2, 2, 3, 5, 4, 4, 5}));
}

TEST_F(VolumeDescriptors, PrimaryDescriptor) {
    info.OS = "OS";
    info.Copyright = "COPY.TXT";
    Bytes s = Primary();
    EXPECT_EQ(s[0], 1);
    EXPECT_EQ(s[7], 0);
    EXPECT_EQ(At(s, 8, 32), Cat({Str("OS"), Bytes(30, ' ')}));
    EXPECT_EQ(At(s, 40, 32), Cat({Str("DATA"), Bytes(28, ' ')}));
    EXPECT_EQ(At(s, 88, 32), Bytes(32, 0));
    EXPECT_EQ(At(s, 132, 8), (Bytes{10, 0, 0, 0, 0, 0, 0, 10}));  // path table size
    EXPECT_EQ(At(s, 140, 4), (Bytes{19, 0, 0, 0}));
    EXPECT_EQ(At(s, 148, 4), (Bytes{0, 0, 0, 20}));
    EXPECT_EQ(At(s, 156, 34), Cat({{34, 0},
                                   {21, 0, 0, 0, 0, 0, 0, 21},
                                   {0, 8, 0, 0, 0, 0, 8, 0},
                                   {0x6E, 0x05, 0x1F, 0x17, 0x3B, 0x3A, 0x24},
                                   {0x02, 0, 0},
                                   {1, 0, 0, 1},
                                   {1, 0}}));
    EXPECT_EQ(At(s, 190, 128), Bytes(128, ' '));
    EXPECT_EQ(At(s, 574, 128), Bytes(128, ' '));
    EXPECT_EQ(At(s, 702, 37), Cat({Str("COPY.TXT"), Bytes(29, ' ')}));
    EXPECT_EQ(At(s, 776, 37), Bytes(37, ' '));
}

TEST_F(VolumeDescriptors, JolietDescriptor) {
    Bytes s = Joliet();
    EXPECT_EQ(s[0], 2);
    EXPECT_EQ(s[7], 0);
    EXPECT_EQ(At(s, 40, 32), Cat({{0, 'D', 0, 'A', 0, 'T', 0, 'A', 0, 0}, Pairs(10, 0x00, 0x20), {0, 0}}));
    EXPECT_EQ(At(s, 8, 32), Cat({{0, 0}, Pairs(14, 0x00, 0x20), {0, 0}}));  // empty system identifier
    EXPECT_EQ(At(s, 72, 16), Cat({Bytes(8, 0), {25, 0, 0, 0, 0, 0, 0, 25}}));
    EXPECT_EQ(At(s, 88, 32), Cat({{0x25, 0x2F, 0x45}, Bytes(29, 0)}));
    EXPECT_EQ(At(s, 132, 8), (Bytes{10, 0, 0, 0, 0, 0, 0, 10}));
    EXPECT_EQ(At(s, 140, 4), (Bytes{22, 0, 0, 0}));
    EXPECT_EQ(At(s, 148, 4), (Bytes{0, 0, 0, 23}));
    EXPECT_EQ(At(s, 156, 10), (Bytes{34, 0, 24, 0, 0, 0, 0, 0, 0, 24}));
    EXPECT_EQ(At(s, 188, 2), (Bytes{1, 0}));
    EXPECT_EQ(At(s, 776, 37), Cat({{0, 0}, Pairs(17, 0x00, 0x20), {0}}));
}

TEST_F(VolumeDescriptors, FifteenCharacterLabels) {
    info.Label = "ABCDEFGHIJKLMNO";
    EXPECT_EQ(At(Primary(), 40, 32), Cat({Str("ABCDEFGHIJKLMNO"), Bytes(17, ' ')}));
    Bytes j = Joliet();
    EXPECT_EQ(j[40 + 28], 0);
    EXPECT_EQ(j[40 + 29], 'O');
    EXPECT_EQ(At(j, 40 + 30, 2), (Bytes{0, 0}));

    // Fifteen double-byte characters: 30 bytes of code page 932, 2 spaces.
    info.Label = "あいうえおかきくけこさしすせそ";
    Bytes p = Primary();
    EXPECT_EQ(At(p, 40, 4), (Bytes{0x82, 0xA0, 0x82, 0xA2}));
    EXPECT_EQ(At(p, 40 + 28, 4), (Bytes{0x82, 0xBB, ' ', ' '}));
    j = Joliet();
    EXPECT_EQ(At(j, 40, 2), (Bytes{0x30, 0x42}));
    EXPECT_EQ(At(j, 40 + 28, 4), (Bytes{0x30, 0x5D, 0, 0}));
}

TEST_F(VolumeDescriptors, Terminator) {
    Bytes s(2048, 0xAA);
    FillIsoDescriptorTerminator(s.data());
    EXPECT_EQ(s, Cat({{255}, Str("CD001"), {1}, Bytes(2041, 0)}));
}

}  // namespace
}  // namespace pm
