#include "tree/WideString.h"

#include <gtest/gtest.h>

#include <vector>

#include "tree/Text.h"

namespace pm {
namespace {

std::vector<uint8_t> Bytes(const uint8_t* p, int n) { return p ? std::vector<uint8_t>(p, p + n) : std::vector<uint8_t>{}; }

// Plain ASCII names in both forms are pinned by the Joliet record and UDF
// identifier goldens; here what code page 932 and the BMP do not hold.
TEST(WideString, JapaneseAndBeyondCodePage932) {
    WideString w("表");  // one double-byte character of code page 932
    EXPECT_EQ(w.Length(), 1);
    EXPECT_EQ(Bytes(w.Data(), 2), (std::vector<uint8_t>{0x88, 0x68}));  // U+8868
    EXPECT_EQ(Cs0String("表").Length(), 3);
    // Beyond code page 932: the true character survives in UTF-16.
    WideString e("😀");
    EXPECT_EQ(e.Length(), 2);
    EXPECT_EQ(Bytes(e.Data(), 4), (std::vector<uint8_t>{0xD8, 0x3D, 0xDE, 0x00}));
}

TEST(Text, CodePage932Table) {
    // Microsoft's table: backslash and tilde stay ASCII; the wave dash and
    // full-width reverse solidus map to their own double-byte codes.
    EXPECT_EQ(Utf8ToCp932("\\~"), "\\~");
    EXPECT_EQ(Utf8ToCp932("\xEF\xBC\xBC"), "\x81\x5F");  // U+FF3C
    EXPECT_EQ(Utf8ToCp932("\xEF\xBD\x9E"), "\x81\x60");  // U+FF5E
    EXPECT_EQ(Utf8ToCp932("a😀b"), "a?b");
    EXPECT_EQ(Cp932ToUtf8("\x95\x5C"), "表");
    EXPECT_EQ(DecodeTextFile("\x95\x5C\r\n"), "表\r\n");
    EXPECT_EQ(SanitizeUtf8("a\xFF"), "a\xEF\xBF\xBD");
}

TEST(Text, AsciiShortcutAgreesWithTheConverter) {
    // A leading "あ" forces the converter; alone, the byte may take the
    // shortcut. Both must give the same bytes for every ASCII character.
    for (int c = 1; c < 0x80; ++c) {
        const std::string ch(1, char(c));
        EXPECT_EQ(Utf8ToCp932(ch), Utf8ToCp932("あ" + ch).substr(2)) << c;
        EXPECT_EQ(Cp932ToUtf8(ch), Cp932ToUtf8("\x82\xA0" + ch).substr(3)) << c;
        EXPECT_EQ(Utf8ToUtf16(ch), Utf8ToUtf16("あ" + ch).substr(1)) << c;
    }
}

TEST(Text, EntryOrderIsLocaleOrderWithCaseAsLaterDifference) {
    EXPECT_LT(CollatePaths("/r/a", "/r/B"), 0);
    EXPECT_LT(CollatePaths("/r/B", "/r/C"), 0);
    EXPECT_NE(CollatePaths("/r/a", "/r/A"), 0);
    EXPECT_EQ(CollatePaths("/r/a", "/r/A"), -CollatePaths("/r/A", "/r/a"));
    EXPECT_LT(CollatePaths("/r/a", "/r/Ab"), 0);  // case does not outrank letters
    EXPECT_EQ(CollatePaths("/r/x", "/r/x"), 0);
}

TEST(Text, DirectComparisonAgreesWithKeys) {
    // Folders sort their entries by direct comparison, whole lists by keys;
    // both must give one order, also where only the bytes tell two names
    // apart (composed and decomposed e-acute collate equal).
    const std::vector<std::string> names = {"a", "A", "ab", "\xC3\xA9", "e\xCC\x81", "e", "E",
                                            "あ", "ア", "ｱ", "亜", "a b", "a_b", "a-b", "10", "9", ""};
    for (const auto& x : names)
        for (const auto& y : names) {
            int keys = CollationKey(x).compare(CollationKey(y));
            keys = keys < 0 ? -1 : (keys > 0 ? 1 : 0);
            EXPECT_EQ(CollatePaths(x, y), keys) << x << " / " << y;
        }
    EXPECT_NE(CollatePaths("\xC3\xA9", "e\xCC\x81"), 0);
}

}  // namespace
}  // namespace pm
