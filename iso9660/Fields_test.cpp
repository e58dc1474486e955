#include "iso9660/Fields.h"

#include <gtest/gtest.h>

#include <vector>

#include "iso9660/IsoTestSupport.h"
#include "platform/Time.h"
#include "settings/VolumeInfo.h"

namespace pm {
namespace {

using namespace test;

TEST(Fields, OffsetByteTruncatesTowardZero) {
    const int cases[][2] = {{540, 0x24}, {-300, 0xEC}, {-210, 0xF2}, {-570, 0xDA}, {345, 0x17}, {-7, 0}, {-15, 0xFF}, {0, 0}};
    for (const auto& [minutes, byte] : cases) EXPECT_EQ(IsoOffsetByte(minutes), byte) << minutes;
}

// Seven bytes, the offset in effect at that moment (the records' goldens have
// one in JST); before 1900 or without a calendar date: all zero; after 2155:
// the last second the field holds.
TEST(Fields, DirectoryDates) {
    const struct { const char* tz; int offset; int64_t when; Bytes want; } cases[] = {
        {"JST-9", 540, -1, {70, 1, 1, 8, 59, 59, 0x24}},  // before 1970 is fine from local year 1900
        {"JST-9", 540, Utc(2155, 12, 31, 14, 59, 59), {255, 12, 31, 23, 59, 59, 0x24}},  // the last local second
        {"JST-9", 540, Utc(1899, 12, 31, 0, 0, 0), Bytes(7, 0)},
        {"JST-9", 540, Utc(2156, 1, 1, 0, 0, 0), {255, 12, 31, 23, 59, 59, 0x24}},
        {"EST5EDT", -300, Utc(3000, 7, 1, 0, 0, 0), {255, 12, 31, 23, 59, 59, 0xEC}},
        {"JST-9", 540, INT64_MAX, Bytes(7, 0)},
        {"JST-9", 540, INT64_MIN, Bytes(7, 0)},
        {"EST5EDT", -300, Utc(2010, 7, 1, 12, 0, 0), {110, 7, 1, 8, 0, 0, 0xF0}},  // EDT, UTC-4
        {"EST5EDT", -300, Utc(2010, 1, 15, 12, 0, 0), {110, 1, 15, 7, 0, 0, 0xEC}},
    };
    for (const auto& c : cases) {
        TzScope tz(c.tz);
        Bytes d(8, 0xAA);
        WriteDirectoryDate(d.data(), c.when);
        EXPECT_EQ(d, Cat({c.want, {0xAA}})) << c.tz << " " << c.when;
    }
}

// Sixteen digits and the zone byte; unset (all six used members zero) is
// zero digits and a zero byte; digits never spill past their field.
TEST(Fields, DescriptorDates) {
    const struct { const char* tz; int offset; VolumeDate date; std::string digits; uint8_t zone; } cases[] = {
        {"JST-9", 540, {2010, 5, 1, 31, 23, 59, 58, 999}, "2010053123595800", 0x24},  // weekday, ms never read
        {"JST-9", 540, {0, 0, 3, 0, 0, 0, 0, 0}, "0000000000000000", 0},
        {"JST-9", 540, {2012, 0, 0, 0, 0, 0, 0, 0}, "2012000000000000", 0x24},  // only a year is set
        {"EST5EDT", -300, {65535, 300, 0, 100, 65535, 60, 7, 0}, "9999999999600700", 0xEC},
        {"EST5EDT", -300, {7, 1, 0, 2, 0, 0, 0, 0}, "0007010200000000", 0xEC},
    };
    for (const auto& c : cases) {
        TzScope tz(c.tz);
        Bytes d(18, 0xAA);
        WriteDescriptorDate(d.data(), c.date, c.offset);
        EXPECT_EQ(d, Cat({Str(c.digits), {c.zone, 0xAA}})) << c.digits;
    }
}

// ISO 9660: bytes copied as they are (no case folding; a double-byte
// character cut at the field end keeps its first byte), padded with spaces.
// Joliet: big-endian units padded with 00 20; an odd width ends in a zero
// byte, or the high byte of a unit that no longer fits whole.
TEST(Fields, IsoAndJolietText) {
    const std::string z17(17, 'Z'), z18(18, 'Z');
    const struct { bool joliet; size_t width; std::string text; Bytes want; } cases[] = {
        {false, 32, "ABC", Cat({Str("ABC"), Bytes(29, ' ')})},
        {false, 37, "0123456789012345678901234567890123456789", Str("0123456789012345678901234567890123456")},
        {false, 32, "", Bytes(32, ' ')},
        {false, 4, "a\x82\xA0\x82\xA2", {'a', 0x82, 0xA0, 0x82}},
        {true, 32, "AB", Cat({Units("AB"), {0, 0}, Pairs(12, 0x00, 0x20), {0, 0}})},
        {true, 32, "", Cat({{0, 0}, Pairs(14, 0x00, 0x20), {0, 0}})},
        {true, 37, "", Cat({{0, 0}, Pairs(17, 0x00, 0x20), {0}})},
        {true, 32, "ABCDEFGHIJKLMNOP", Units("ABCDEFGHIJKLMNOP")},  // 16 units: no terminator
        {true, 37, z17, Cat({Units(z17), {0, 0, 0}})},
        {true, 37, z18, Cat({Units(z18), {0}})},
        {true, 37, z18 + "\xE3\x81\x82", Cat({Units(z18), {0x30}})},  // U+3042 last
    };
    for (const auto& c : cases) {
        Bytes d(c.width + 1, 0xAA);
        if (c.joliet) WriteJolietText(d.data(), c.width, c.text);
        else EXPECT_EQ(WriteIsoText(d.data(), c.width, c.text), std::min(c.width, c.text.size()));
        EXPECT_EQ(d, Cat({c.want, {0xAA}})) << c.text;
    }
}

}  // namespace
}  // namespace pm
