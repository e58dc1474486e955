#include "udf/Primitives.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "settings/VolumeInfo.h"
#include "tree/WideString.h"
#include "udf/VolumeStructures.h"
#include "UdfTestSupport.h"

namespace pm {
namespace {

std::vector<uint8_t> Bytes(const uint8_t* p, size_t n) { return std::vector<uint8_t>(p, p + n); }

TEST(UdfPrimitives, DescriptorCrcCheckValues) {
    EXPECT_EQ(DescriptorCrc(reinterpret_cast<const uint8_t*>("123456789"), 9), 0x31C3);
    EXPECT_EQ(DescriptorCrc(reinterpret_cast<const uint8_t*>("abc"), 3), 0x9DD6);
    EXPECT_EQ(DescriptorCrc(reinterpret_cast<const uint8_t*>("abc"), 0), 0);
    EXPECT_EQ(DescriptorCrc(nullptr, -4), 0);
}

TEST(UdfPrimitives, TerminatingDescriptorTag) {
    std::vector<uint8_t> s(2048, 0xAA);
    FillTerminatingDescriptor(s.data(), 100);
    const std::vector<uint8_t> tag = {0x08, 0x00, 0x02, 0x00, 0x5F, 0x00, 0x00, 0x00,
                                      0x00, 0x00, 0xF0, 0x01, 0x64, 0x00, 0x00, 0x00};
    EXPECT_EQ(Bytes(s.data(), 16), tag);
    EXPECT_EQ(Bytes(s.data() + 16, 2032), std::vector<uint8_t>(2032, 0));
}

TEST(UdfPrimitives, TagCrcCoversBodyAndShortLengthIsSafe) {
    uint8_t d[40] = {};
    d[20] = 'x';
    FillTag(d, kTagFileIdentifier, 7, 40);
    EXPECT_EQ(d[8] | (d[9] << 8), DescriptorCrc(d + 16, 24));
    EXPECT_EQ(d[10], 24);
    EXPECT_EQ(d[4], TagChecksum(d));
    uint8_t shortTag[16] = {};
    FillTag(shortTag, kTagTerminating, 0, 4);  // no body: no CRC, nothing read past the tag
    EXPECT_EQ(shortTag[8] | shortTag[9] | shortTag[10] | shortTag[11], 0);
}

TEST(UdfPrimitives, RegidsAndCharspec) {
    uint8_t f[64];
    std::memset(f, 0xAA, sizeof f);
    FillCharspec(f);
    EXPECT_EQ(f[0], 0);
    EXPECT_EQ(std::memcmp(f + 1, "OSTA Compressed Unicode", 23), 0);
    EXPECT_EQ(Bytes(f + 24, 40), std::vector<uint8_t>(40, 0));

    std::memset(f, 0xAA, sizeof f);
    FillDomainId(f);
    std::vector<uint8_t> domain(32, 0);
    std::memcpy(domain.data() + 1, "*OSTA UDF Compliant", 19);
    domain[24] = 2, domain[25] = 1, domain[26] = 3;
    EXPECT_EQ(Bytes(f, 32), domain);

    FillUdfRevisionId(f, "*UDF LV Info");
    std::vector<uint8_t> lvInfo(32, 0);
    std::memcpy(lvInfo.data() + 1, "*UDF LV Info", 12);
    lvInfo[24] = 2, lvInfo[25] = 1;
    EXPECT_EQ(Bytes(f, 32), lvInfo);

    FillPlainRegid(f, "+NSR02");
    std::vector<uint8_t> nsr(32, 0);
    std::memcpy(nsr.data() + 1, "+NSR02", 6);
    EXPECT_EQ(Bytes(f, 32), nsr);
}

TEST(UdfPrimitives, ImplementationIdCutAt22Bytes) {
    uint8_t f[32];
    std::memset(f, 0xAA, sizeof f);
    FillImplementationId(f, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123");  // 30 bytes
    std::vector<uint8_t> want(32, 0);
    want[1] = '*';
    std::memcpy(want.data() + 2, "ABCDEFGHIJKLMNOPQRSTUV", 22);
    EXPECT_EQ(Bytes(f, 32), want);
    EXPECT_EQ(f[23], 'V');

    // Stored as code page 932: "あ" is 82 A0.
    FillImplementationId(f, "あいう");
    const uint8_t sjis[] = {0, '*', 0x82, 0xA0, 0x82, 0xA2, 0x82, 0xA4, 0};
    EXPECT_EQ(Bytes(f, 9), Bytes(sjis, 9));

    // 21 bytes and a double-byte character: the character would straddle
    // byte 22, so it is left out whole rather than cut in half.
    FillImplementationId(f, "ABCDEFGHIJKLMNOPQRSTUあ");
    EXPECT_EQ(f[22], 'U');
    EXPECT_EQ(Bytes(f + 23, 9), std::vector<uint8_t>(9, 0));
    // Eleven double-byte characters fill the 22 bytes exactly.
    FillImplementationId(f, "あいうえおかきくけこさし");
    EXPECT_EQ(f[22], 0x82);
    EXPECT_EQ(f[23], 0xB3);  // "さ"
    EXPECT_EQ(f[24], 0);

    FillImplementationId(f, "");
    want.assign(32, 0);
    want[1] = '*';
    EXPECT_EQ(Bytes(f, 32), want);
}

TEST(UdfPrimitives, DstringTruncatesOnWholeCharacters) {
    std::vector<uint8_t> f(128, 0);
    Cs0String longText(std::string(127, 'a'));  // 255 bytes
    ASSERT_EQ(longText.Length(), 255);
    WriteDstring(longText, f.data(), 128);
    EXPECT_EQ(f[0], 16);
    EXPECT_EQ(f[127], 127);
    EXPECT_EQ(f[125], 0);
    EXPECT_EQ(f[126], 'a');  // 63rd character, low byte

    // A 16-character label: whole in 128 bytes, 15 characters in 32.
    Cs0String label("ABCDEFGHIJKLMNOP");
    f.assign(128, 0);
    WriteDstring(label, f.data(), 128);
    EXPECT_EQ(f[127], 33);
    EXPECT_EQ(f[32], 'P');
    f.assign(128, 0);
    WriteDstring(label, f.data(), 32);
    EXPECT_EQ(f[31], 31);
    EXPECT_EQ(f[30], 'O');
    EXPECT_EQ(Bytes(f.data() + 32, 96), std::vector<uint8_t>(96, 0));

    // A character outside the BMP is never cut in half.
    Cs0String astral(std::string(14, 'a') + "\xF0\x9F\x98\x80");  // 14 + a surrogate pair
    f.assign(32, 0);
    WriteDstring(astral, f.data(), 32);
    EXPECT_EQ(f[31], 29);
    EXPECT_EQ(Bytes(f.data() + 29, 2), std::vector<uint8_t>(2, 0));

    // Empty text, with or without its compression byte, leaves the field zero.
    f.assign(32, 0);
    WriteDstring(Cs0String(), f.data(), 32);
    WriteDstring(Cs0String(std::string()), f.data(), 32);
    EXPECT_EQ(f, std::vector<uint8_t>(32, 0));
}

TEST(UdfPrimitives, TimestampsCarryTheZone) {
    uint8_t f[12];
    {
        test::ScopedTimeZone tz("JST-9", 540);
        FillTimestampFromTime(f, 1364785200);  // 2013-04-01 12:00:00 JST
        const uint8_t want[12] = {0x1C, 0x12, 0xDD, 0x07, 4, 1, 12, 0, 0, 0, 0, 0};
        EXPECT_EQ(Bytes(f, 12), Bytes(want, 12));

        VolumeDate d{2013, 4, 1, 1, 12, 34, 56, 789};
        d.dayOfWeek = 0x0101;
        FillTimestampFromDate(f, d);
        const uint8_t wantDate[12] = {0x1C, 0x12, 0xDD, 0x07, 4, 1, 12, 34, 56, 0, 0, 0};
        EXPECT_EQ(Bytes(f, 12), Bytes(wantDate, 12));

        FillTimestampFromDate(f, VolumeDate{});  // unset: zone only
        const uint8_t wantUnset[12] = {0x1C, 0x12};
        EXPECT_EQ(Bytes(f, 12), Bytes(wantUnset, 12));

        // Beyond what the local-time conversion can give: all twelve bytes zero.
        std::memset(f, 0xAA, sizeof f);
        FillTimestampFromTime(f, INT64_MAX);
        EXPECT_EQ(Bytes(f, 12), std::vector<uint8_t>(12, 0));
    }
    {
        test::ScopedTimeZone tz("EST5EDT", -300);
        FillTimestampFromTime(f, 1358269200);  // 2013-01-15 12:00:00 EST
        const uint8_t want[12] = {0xD4, 0x1E, 0xDD, 0x07, 1, 15, 12, 0, 0, 0, 0, 0};
        EXPECT_EQ(Bytes(f, 12), Bytes(want, 12));
        // In summer the local fields are daylight time, and so is the zone
        // (UTC-4), so the stamp names the right instant.
        FillTimestampFromTime(f, 1372694400);  // 2013-07-01 12:00:00 EDT
        const uint8_t summer[12] = {0x10, 0x1F, 0xDD, 0x07, 7, 1, 12, 0, 0, 0, 0, 0};
        EXPECT_EQ(Bytes(f, 12), Bytes(summer, 12));
    }
    EXPECT_EQ(TimestampTypeAndZone(0), 0x1000);
    EXPECT_EQ(TimestampTypeAndZone(-300), 0x1ED4);
}

TEST(UdfPrimitives, ExtentAndAllocationDescriptors) {
    uint8_t f[16];
    std::memset(f, 0xAA, sizeof f);
    PutExtentAd(f, 0x8000, 32);
    const uint8_t extent[8] = {0x00, 0x80, 0, 0, 32, 0, 0, 0};
    EXPECT_EQ(Bytes(f, 8), Bytes(extent, 8));
    PutLongAd(f, 2048, 0x0102, 0x11223344);
    const uint8_t longAd[16] = {0, 8, 0, 0, 2, 1, 0, 0, 0, 0, 0, 0, 0x44, 0x33, 0x22, 0x11};
    EXPECT_EQ(Bytes(f, 16), Bytes(longAd, 16));
    PutShortAd(f, 0x3FFFF800, 0x7FFFF);
    const uint8_t shortAd[8] = {0x00, 0xF8, 0xFF, 0x3F, 0xFF, 0xFF, 0x07, 0};
    EXPECT_EQ(Bytes(f, 8), Bytes(shortAd, 8));
}

}  // namespace
}  // namespace pm
