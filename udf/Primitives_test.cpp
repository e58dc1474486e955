#include "udf/Primitives.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "settings/VolumeInfo.h"
#include "tree/WideString.h"
#include "udf/VolumeStructures.h"
#include "iso9660/IsoTestSupport.h"

namespace pm {
namespace {

using Bytes = std::vector<uint8_t>;

// `width` bytes filled over 0xAA, so that unwritten bytes show.
Bytes Filled(size_t width, const std::function<void(uint8_t*)>& fill) {
    Bytes b(width, 0xAA);
    fill(b.data());
    return b;
}
// Zeros but for `text` at `at` and the bytes given after it.
Bytes Id(size_t width, size_t at, const std::string& text, std::initializer_list<std::pair<size_t, uint8_t>> more = {}) {
    Bytes b(width, 0);
    std::copy(text.begin(), text.end(), b.begin() + at);
    for (auto [i, v] : more) b[i] = v;
    return b;
}

// The CRC and tags over a body are pinned by every golden and the empty
// images' hashes (terminating descriptors included) and checked by the UDF
// reader; here the lengths no descriptor has.
TEST(UdfPrimitives, CrcAndTags) {
    EXPECT_EQ(DescriptorCrc(reinterpret_cast<const uint8_t*>("abc"), 0) + DescriptorCrc(nullptr, -4), 0);
    uint8_t shortTag[16] = {};
    FillTag(shortTag, kTagTerminating, 0, 4);  // no body: no CRC, nothing read past the tag
    EXPECT_EQ(shortTag[8] | shortTag[9] | shortTag[10] | shortTag[11], 0);
}

// "*" and 22 bytes of code page 932 at most; a double-byte character that
// would straddle the end is left out whole.
TEST(UdfPrimitives, ImplementationId) {
    const std::pair<std::string, std::string> cases[] = {
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", "*ABCDEFGHIJKLMNOPQRSTUV"},
        {"ABCDEFGHIJKLMNOPQRSTUあ", "*ABCDEFGHIJKLMNOPQRSTU"},
        {"あいうえおかきくけこさし", "*\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8\x82\xA9\x82\xAB\x82\xAD\x82\xAF\x82\xB1\x82\xB3"},
        {"", "*"},
    };
    for (const auto& c : cases) EXPECT_EQ(Filled(32, [&](uint8_t* f) { FillImplementationId(f, c.first); }), Id(32, 1, c.second)) << c.first;
}

// CS0 text, zero padding, the used length in the last byte; cut on whole
// characters (a surrogate pair too); empty text leaves the field zero.
TEST(UdfPrimitives, Dstrings) {
    auto units = [](const std::string& ascii) {
        std::string s = "\x10";
        for (char c : ascii) s += std::string(1, '\0') + c;
        return s;
    };
    const struct { std::string text; size_t width; std::string want; } cases[] = {
        {std::string(127, 'a'), 128, units(std::string(63, 'a'))},
        {"ABCDEFGHIJKLMNOP", 128, units("ABCDEFGHIJKLMNOP")},
        {"ABCDEFGHIJKLMNOP", 32, units("ABCDEFGHIJKLMNO")},
        {std::string(14, 'a') + "\xF0\x9F\x98\x80", 32, units(std::string(14, 'a'))},
        {"", 32, ""},
    };
    for (const auto& c : cases) {
        Bytes want = Id(c.width, 0, c.want, {{c.width - 1, uint8_t(c.want.size())}});
        EXPECT_EQ(Filled(c.width, [&](uint8_t* f) { std::memset(f, 0, c.width), WriteDstring(Cs0String(c.text), f, int(c.width)); }), want);
    }
    EXPECT_EQ(Filled(32, [](uint8_t* f) { std::memset(f, 0, 32), WriteDstring(Cs0String(), f, 32); }), Bytes(32, 0));
}

// Local fields, and type 1 with the offset in effect (daylight time in summer).
TEST(UdfPrimitives, Timestamps) {
    const struct { const char* tz; int offset; std::function<void(uint8_t*)> fill; Bytes want; } cases[] = {
        {"JST-9", 540, [](uint8_t* f) { FillTimestampFromTime(f, 1364785200); }, {0x1C, 0x12, 0xDD, 0x07, 4, 1, 12, 0, 0, 0, 0, 0}},
        {"JST-9", 540, [](uint8_t* f) { FillTimestampFromDate(f, VolumeDate{2013, 4, 0x0101, 1, 12, 34, 56, 789}, 540); },
         {0x1C, 0x12, 0xDD, 0x07, 4, 1, 12, 34, 56, 0, 0, 0}},
        {"JST-9", 540, [](uint8_t* f) { FillTimestampFromDate(f, VolumeDate{}, 540); }, {0x1C, 0x12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"JST-9", 540, [](uint8_t* f) { FillTimestampFromTime(f, INT64_MAX); }, Bytes(12, 0)},  // beyond local time
        {"EST5EDT", -300, [](uint8_t* f) { FillTimestampFromTime(f, 1358269200); }, {0xD4, 0x1E, 0xDD, 0x07, 1, 15, 12, 0, 0, 0, 0, 0}},
        {"EST5EDT", -300, [](uint8_t* f) { FillTimestampFromTime(f, 1372694400); }, {0x10, 0x1F, 0xDD, 0x07, 7, 1, 12, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        test::TzScope tz(c.tz);
        EXPECT_EQ(Filled(12, c.fill), c.want) << c.tz << " " << &c - cases;
    }
    EXPECT_EQ(TimestampTypeAndZone(0), 0x1000);
}

}  // namespace
}  // namespace pm
