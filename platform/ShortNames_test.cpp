#include "platform/ShortNames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "tree/Text.h"

namespace pm {
namespace {

std::map<std::string, std::string> Aliases(const std::vector<std::string>& names) {
    std::vector<DirEntry> entries;
    for (const auto& n : names) { DirEntry e; e.name = n; entries.push_back(e); }
    AssignShortNames(entries);
    std::map<std::string, std::string> out;
    for (const auto& e : entries) out[e.name] = e.shortName;
    return out;
}

TEST(ShortNames, LegalNamesGetNone) {
    auto a = Aliases({"README.TXT", "readme.md", "a", "12345678.abc", "日本語.txt", "$x~1(2)", "ｶﾅ.ｶﾅ"});
    for (const auto& [name, alias] : a) EXPECT_EQ(alias, "") << name;
}

TEST(ShortNames, AliasShapes) {
    auto a = Aliases({"LongFileName.txt", ".config", "a b.txt", "a.b.c", "x+y,z.html", "abc.", "...",
                      "a日本語のファイル.txt", "日本語のファイル.doc"});
    EXPECT_EQ(a["LongFileName.txt"], "LONGFI~1.TXT");
    EXPECT_EQ(a[".config"], "CONFIG~1");
    EXPECT_EQ(a["a b.txt"], "AB~1.TXT");
    EXPECT_EQ(a["a.b.c"], "AB~1.C");
    EXPECT_EQ(a["x+y,z.html"], "X_Y_Z~1.HTM");
    EXPECT_EQ(a["abc."], "ABC~1");
    EXPECT_EQ(a["..."], "_~1");
    // Six bytes of base at most, and a double-byte character is never split.
    EXPECT_EQ(a["a日本語のファイル.txt"], "A日本~1.TXT");
    EXPECT_EQ(a["日本語のファイル.doc"], "日本語~1.DOC");
    // What code page 932 cannot spell becomes "_".
    EXPECT_EQ(Aliases({"Ω😀long name.txt"})["Ω😀long name.txt"], "Ω_LON~1.TXT");
    EXPECT_EQ(Aliases({"bad\xff\xfe.txt"})["bad\xff\xfe.txt"], "BAD__~1.TXT");  // not UTF-8
}

TEST(ShortNames, CollisionsCountUpInNameOrderWhateverTheListingOrder) {
    std::vector<std::string> names = {"LongFileName2.txt", "longfi~2.txt", "LongFileName1.txt",
                                      "LongFileName3.txt"};
    auto a = Aliases(names);
    EXPECT_EQ(a["LongFileName1.txt"], "LONGFI~1.TXT");
    EXPECT_EQ(a["LongFileName2.txt"], "LONGFI~3.TXT");  // ~2 is a legal name already
    EXPECT_EQ(a["LongFileName3.txt"], "LONGFI~4.TXT");
    EXPECT_EQ(a["longfi~2.txt"], "");
    std::reverse(names.begin(), names.end());
    EXPECT_EQ(Aliases(names), a);
}

TEST(ShortNames, ManyCollisionsShortenTheBaseAndStayUnique) {
    std::vector<std::string> names;
    for (int i = 0; i < 120; ++i) names.push_back("日本語のファイル" + std::to_string(i) + ".txt");
    std::set<std::string> seen;
    for (const auto& [name, alias] : Aliases(names)) {
        std::string cp = Utf8ToCp932(alias);
        EXPECT_LE(cp.find('.'), 8u) << alias;
        EXPECT_TRUE(seen.insert(alias).second) << alias;
    }
    auto a = Aliases(names);
    EXPECT_EQ(a["日本語のファイル0.txt"], "日本語~1.TXT");
    EXPECT_EQ(seen.count("日本~10.TXT"), 1u);   // 5 bytes left: 語 does not fit whole
    EXPECT_EQ(seen.count("日本~100.TXT"), 1u);
}

}  // namespace
}  // namespace pm
