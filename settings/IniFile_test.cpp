#include "settings/IniFile.h"

#include <gtest/gtest.h>

namespace pm {
namespace {

TEST(IniFile, IntegerRule) {
    EXPECT_EQ(ParseIniInt("42"), 42);
    EXPECT_EQ(ParseIniInt("+7"), 7);
    EXPECT_EQ(ParseIniInt("-1"), 65535);
    EXPECT_EQ(ParseIniInt("65536"), 0);
    EXPECT_EQ(ParseIniInt("12ab3"), 12);
    EXPECT_EQ(ParseIniInt("abc"), 0);
    EXPECT_EQ(ParseIniInt("- 5"), 0);
    EXPECT_EQ(ParseIniInt("0x10"), 0);
    EXPECT_EQ(ParseIniInt("123456789012345678901234567890"), uint16_t(0x0AD2));  // no overflow trap
}

TEST(IniFile, CutKeepsWholeCharacters) {
    EXPECT_EQ(CutUtf8("abc", 3), "abc");
    EXPECT_EQ(CutUtf8("abあ", 4), "ab");
    EXPECT_EQ(CutUtf8("abあ", 5), "abあ");
    EXPECT_EQ(CutUtf8("ab\xF0\x9F\x98\x80", 5), "ab");
}

TEST(IniFile, WritesIntoTheRightSection) {
    IniFile ini;
    ini.Parse("[A]\nk=1\n\n[B]\nk=2\n");
    ini.SetString("a", "NEW", "x");
    ini.SetString("B", "K", "3");
    ini.SetString("C", "z", "");
    EXPECT_EQ(ini.Text(), "[A]\nk=1\nNEW=x\n\n[B]\nK=3\n\n[C]\nz=\n");
    EXPECT_EQ(ini.GetString("A", "k", "?"), "1");
    EXPECT_EQ(ini.GetString("b", "k", "?"), "3");
    EXPECT_EQ(ini.GetString("C", "z", "?"), "");
    EXPECT_EQ(ini.GetString("C", "missing", "?"), "?");
    EXPECT_EQ(ini.GetInt("C", "z", 9), 9);  // empty reads as absent
    // A commented-out key is not a key.
    ini.Parse("[A]\n;k=1\nk = 2 \n");
    EXPECT_EQ(ini.GetString("A", "k", "?"), "2");
}

TEST(IniFile, ValuesSurviveQuoting) {
    for (std::string v : {" a", "b ", "\"q\"", "\"", "\"x", "  ", "a \"b\" c"}) {
        IniFile ini;
        ini.SetString("S", "k", v);
        IniFile back;
        back.Parse(ini.Text());
        EXPECT_EQ(back.GetString("S", "k", "?"), v) << ini.Text();
    }
    IniFile ini;
    ini.SetString("S", "k", "two\nlines");
    ini.SetString("S", "j", "after");
    IniFile back;
    back.Parse(ini.Text());
    EXPECT_EQ(back.GetString("S", "k", "?"), "two lines");
    EXPECT_EQ(back.GetString("S", "j", "?"), "after");
}

}  // namespace
}  // namespace pm
