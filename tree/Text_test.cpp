// Text conversions and collation. UTF-16 and CS0 names are pinned by the
// Joliet record and UDF identifier goldens, the scan tests and the interop
// tree (names beyond code page 932 and the BMP).
#include "tree/Text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pm {
namespace {

// Decoding code page 932 and undecodable bytes is met in the exclusion list
// and scan tests.
TEST(Text, CodePage932Table) {
    // Microsoft's table: backslash and tilde stay ASCII; the wave dash and
    // full-width reverse solidus map to their own double-byte codes.
    // U+FF3C, U+FF5E; a character outside the table becomes "?".
    EXPECT_EQ(Utf8ToCp932("\\~\xEF\xBC\xBC\xEF\xBD\x9E" "a😀b"), "\\~\x81\x5F\x81\x60" "a?b");
}

TEST(Text, AsciiShortcutAgreesWithTheConverter) {
    // A leading "あ" forces the converter; alone, the byte may take the
    // shortcut. Both must give the same bytes for every ASCII character.
    for (int c = 1; c < 0x80; ++c) {
        const std::string ch(1, char(c));
        EXPECT_EQ(std::tuple(Utf8ToCp932(ch), Cp932ToUtf8(ch), Utf8ToUtf16(ch)),
                  std::tuple(Utf8ToCp932("あ" + ch).substr(2), Cp932ToUtf8("\x82\xA0" + ch).substr(3), Utf8ToUtf16("あ" + ch).substr(1))) << c;
    }
}

TEST(Text, DirectComparisonAgreesWithKeys) {
    // Folders sort their entries by direct comparison, whole lists by keys;
    // both must give one order, also where only the bytes tell two names
    // apart (composed and decomposed e-acute collate equal).
    const std::vector<std::string> names = {"a", "A", "ab", "\xC3\xA9", "e\xCC\x81", "e", "E",
                                            "あ", "ア", "ｱ", "亜", "a b", "a_b", "a-b", "10", "9", ""};
    for (const auto& x : names)
        for (const auto& y : names) {
            const int keys = CollationKey(x).compare(CollationKey(y));
            EXPECT_EQ(CollatePaths(x, y), (keys > 0) - (keys < 0)) << x << " / " << y;
        }
    EXPECT_NE(CollatePaths("\xC3\xA9", "e\xCC\x81"), 0);
}

}  // namespace
}  // namespace pm
