#include "platform/ShortNames.h"

#include <gtest/gtest.h>

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

TEST(ShortNames, AliasShapes) {
    const std::pair<std::string, std::string> cases[] = {
        // Legal 8.3 names get none, whatever their case, in code page 932 too.
        {"README.TXT", ""}, {"readme.md", ""}, {"a", ""}, {"12345678.abc", ""},
        {"日本語.txt", ""}, {"$x~1(2)", ""}, {"ｶﾅ.ｶﾅ", ""},
        {"LongFileName.txt", "LONGFI~1.TXT"}, {".config", "CONFIG~1"}, {"a b.txt", "AB~1.TXT"},
        {"a.b.c", "AB~1.C"}, {"x+y,z.html", "X_Y_Z~1.HTM"}, {"abc.", "ABC~1"}, {"...", "_~1"},
        // Six bytes of base at most, and a double-byte character is never split.
        {"a日本語のファイル.txt", "A日本~1.TXT"}, {"日本語のファイル.doc", "日本語~1.DOC"},
        // What code page 932 cannot spell becomes "_", as do bytes that are not UTF-8.
        {"Ω😀long name.txt", "Ω_LON~1.TXT"}, {"bad\xff\xfe.txt", "BAD__~1.TXT"},
    };
    std::vector<std::string> names;  // all in one folder: a number counts per base and extension
    for (const auto& [name, alias] : cases) names.push_back(name);
    auto got = Aliases(names);
    for (const auto& [name, alias] : cases) EXPECT_EQ(got[name], alias) << name;
}

TEST(ShortNames, CollisionsCountUpInNameOrderAndStayUnique) {
    std::vector<std::string> names = {"LongFileName2.txt", "longfi~2.txt", "LongFileName1.txt",
                                      "LongFileName3.txt"};
    auto a = Aliases(names);  // ~2 is a legal name already
    EXPECT_EQ(a, (std::map<std::string, std::string>{{"LongFileName1.txt", "LONGFI~1.TXT"}, {"LongFileName2.txt", "LONGFI~3.TXT"},
                                                     {"LongFileName3.txt", "LONGFI~4.TXT"}, {"longfi~2.txt", ""}}));
    // Many collisions shorten the base and stay unique.
    names.clear();
    for (int i = 0; i < 120; ++i) names.push_back("日本語のファイル" + std::to_string(i) + ".txt");
    std::set<std::string> seen;
    a = Aliases(names);
    for (const auto& [name, alias] : a) {
        EXPECT_LE(Utf8ToCp932(alias).find('.'), 8u) << alias;
        EXPECT_TRUE(seen.insert(alias).second) << alias;
    }
    // 5 bytes left: 語 does not fit whole.
    EXPECT_EQ(a["日本語のファイル0.txt"] + std::to_string(seen.count("日本~10.TXT") + seen.count("日本~100.TXT")), "日本語~1.TXT2");
}

}  // namespace
}  // namespace pm
