#include "iso9660/Fields.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "iso9660/IsoTestSupport.h"
#include "platform/Time.h"
#include "settings/VolumeInfo.h"

namespace pm {
namespace {

using namespace test;

TEST(Fields, OffsetByteTruncatesTowardZero) {
    EXPECT_EQ(IsoOffsetByte(540), 0x24);
    EXPECT_EQ(IsoOffsetByte(-300), 0xEC);
    EXPECT_EQ(IsoOffsetByte(-210), 0xF2);
    EXPECT_EQ(IsoOffsetByte(-570), 0xDA);
    EXPECT_EQ(IsoOffsetByte(345), 0x17);
    EXPECT_EQ(IsoOffsetByte(-7), 0x00);
    EXPECT_EQ(IsoOffsetByte(-15), 0xFF);
    EXPECT_EQ(IsoOffsetByte(0), 0x00);
}

TEST(Fields, DirectoryDateInJapan) {
    TzScope tz("JST-9", 540);
    uint8_t d[8];
    std::memset(d, 0xAA, sizeof d);
    WriteDirectoryDate(d, Utc(2010, 5, 31, 14, 59, 58));  // 23:59:58 local
    EXPECT_EQ(Bytes(d, d + 8), (Bytes{0x6E, 0x05, 0x1F, 0x17, 0x3B, 0x3A, 0x24, 0xAA}));
    // Before 1970 is fine while the local year is 1900 or later.
    WriteDirectoryDate(d, -1);  // 1970-01-01 08:59:59 local
    EXPECT_EQ(Bytes(d, d + 7), (Bytes{70, 1, 1, 8, 59, 59, 0x24}));
}

TEST(Fields, DirectoryDateCarriesTheOffsetInEffect) {
    TzScope tz("EST5EDT", -300);
    uint8_t d[7];
    WriteDirectoryDate(d, Utc(2010, 7, 1, 12, 0, 0));  // 08:00 EDT, UTC-4 -> -16 = F0
    EXPECT_EQ(Bytes(d, d + 7), (Bytes{110, 7, 1, 8, 0, 0, 0xF0}));
    WriteDirectoryDate(d, Utc(2010, 1, 15, 12, 0, 0));  // 07:00 EST
    EXPECT_EQ(Bytes(d, d + 7), (Bytes{110, 1, 15, 7, 0, 0, 0xEC}));
}

TEST(Fields, DirectoryDateOutOfRangeIsZero) {
    TzScope tz("JST-9", 540);
    const int64_t times[] = {Utc(1899, 12, 31, 0, 0, 0), Utc(2156, 1, 1, 0, 0, 0), INT64_MAX, INT64_MIN};
    for (int64_t t : times) {
        uint8_t d[8];
        std::memset(d, 0xAA, sizeof d);
        WriteDirectoryDate(d, t);
        EXPECT_EQ(Bytes(d, d + 8), (Bytes{0, 0, 0, 0, 0, 0, 0, 0xAA})) << t;
    }
    uint8_t d[7];
    WriteDirectoryDate(d, Utc(2155, 12, 31, 14, 59, 59));  // last representable local second
    EXPECT_EQ(Bytes(d, d + 7), (Bytes{255, 12, 31, 23, 59, 59, 0x24}));
}

std::string DateText(const uint8_t* d) { return std::string(reinterpret_cast<const char*>(d), 16); }

TEST(Fields, DescriptorDate) {
    TzScope tz("JST-9", 540);
    uint8_t d[18];
    std::memset(d, 0xAA, sizeof d);
    VolumeDate date;
    date.year = 2010, date.month = 5, date.day = 31, date.hour = 23, date.minute = 59, date.second = 58;
    date.dayOfWeek = 1, date.milliseconds = 999;  // never read
    WriteDescriptorDate(d, date);
    EXPECT_EQ(DateText(d), "2010053123595800");
    EXPECT_EQ(d[16], 0x24);
    EXPECT_EQ(d[17], 0xAA);

    // Unset: sixteen zero digits and a zero offset byte, whatever the zone.
    VolumeDate unset;
    unset.dayOfWeek = 3;
    WriteDescriptorDate(d, unset);
    EXPECT_EQ(DateText(d), "0000000000000000");
    EXPECT_EQ(d[16], 0);

    // Only a year set is not unset.
    VolumeDate yearOnly;
    yearOnly.year = 2012;
    WriteDescriptorDate(d, yearOnly);
    EXPECT_EQ(DateText(d), "2012000000000000");
    EXPECT_EQ(d[16], 0x24);
}

TEST(Fields, DescriptorDateNeverSpills) {
    TzScope tz("EST5EDT", -300);
    uint8_t d[18];
    std::memset(d, 0xAA, sizeof d);
    VolumeDate date;
    date.year = 65535, date.month = 300, date.day = 100, date.hour = 65535, date.minute = 60, date.second = 7;
    WriteDescriptorDate(d, date);
    EXPECT_EQ(DateText(d), "9999999999600700");
    EXPECT_EQ(d[16], 0xEC);
    EXPECT_EQ(d[17], 0xAA);
    date = VolumeDate{};
    date.year = 7, date.month = 1, date.day = 2;
    WriteDescriptorDate(d, date);
    EXPECT_EQ(DateText(d), "0007010200000000");
}

TEST(Fields, IsoText) {
    uint8_t d[41];
    std::memset(d, 0xAA, sizeof d);
    EXPECT_EQ(WriteIsoText(d, 32, "ABC"), 3u);
    EXPECT_EQ(Bytes(d, d + 33), Cat({{'A', 'B', 'C'}, Bytes(29, ' '), {0xAA}}));

    std::string forty(40, 'x');
    for (int i = 0; i < 40; ++i) forty[i] = char('0' + i % 10);
    std::memset(d, 0xAA, sizeof d);
    EXPECT_EQ(WriteIsoText(d, 37, forty), 37u);
    EXPECT_EQ(std::string(d, d + 37), forty.substr(0, 37));
    EXPECT_EQ(d[37], 0xAA);

    EXPECT_EQ(WriteIsoText(d, 32, ""), 0u);
    EXPECT_EQ(Bytes(d, d + 32), Bytes(32, ' '));

    // Bytes are copied as they are: no case folding, a double-byte character
    // cut at the field end keeps its first byte.
    std::string sjis = "a\x82\xA0\x82\xA2";  // a, two hiragana
    EXPECT_EQ(WriteIsoText(d, 4, sjis), 4u);
    EXPECT_EQ(Bytes(d, d + 4), (Bytes{'a', 0x82, 0xA0, 0x82}));
}

TEST(Fields, JolietText) {
    uint8_t d[41];
    std::memset(d, 0xAA, sizeof d);
    WriteJolietText(d, 32, "AB");
    EXPECT_EQ(Bytes(d, d + 33),
              Cat({{0x00, 0x41, 0x00, 0x42, 0x00, 0x00}, Pairs(12, 0x00, 0x20), {0x00, 0x00, 0xAA}}));

    WriteJolietText(d, 32, "");
    EXPECT_EQ(Bytes(d, d + 32), Cat({{0x00, 0x00}, Pairs(14, 0x00, 0x20), {0x00, 0x00}}));
    std::memset(d, 0xAA, sizeof d);
    WriteJolietText(d, 37, "");
    EXPECT_EQ(Bytes(d, d + 38), Cat({{0x00, 0x00}, Pairs(17, 0x00, 0x20), {0x00, 0xAA}}));

    // 16 units fill a 32-byte field with no terminator.
    WriteJolietText(d, 32, "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(d[30], 0x00);
    EXPECT_EQ(d[31], 'P');

    // 37 bytes: 17 units leave 00 00 and the zero last byte; 18 units fill
    // bytes 0-35; 19 units put the high byte of the 19th unit last.
    WriteJolietText(d, 37, std::string(17, 'Z'));
    EXPECT_EQ(Bytes(d + 32, d + 38), (Bytes{0x00, 'Z', 0x00, 0x00, 0x00, 0xAA}));
    WriteJolietText(d, 37, std::string(18, 'Z'));
    EXPECT_EQ(Bytes(d + 32, d + 38), (Bytes{0x00, 'Z', 0x00, 'Z', 0x00, 0xAA}));
    WriteJolietText(d, 37, std::string(18, 'Z') + "\xE3\x81\x82");  // U+3042 last
    EXPECT_EQ(Bytes(d + 32, d + 38), (Bytes{0x00, 'Z', 0x00, 'Z', 0x30, 0xAA}));
}

}  // namespace
}  // namespace pm
