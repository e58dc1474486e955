#include "settings/IniFile.h"

#include <gtest/gtest.h>

namespace pm {
namespace {

TEST(IniFile, IntegerRule) {
    EXPECT_EQ(ParseIniInt("+7"), 7);
    EXPECT_EQ(ParseIniInt("- 5"), 0);
    EXPECT_EQ(ParseIniInt("0x10"), 0);
    EXPECT_EQ(ParseIniInt("123456789012345678901234567890"), uint16_t(0x0AD2));  // low 16 bits, no overflow
}

TEST(IniFile, ValuesSurviveQuotingAndLineBreaks) {
    IniFile ini;
    ini.Parse("[A]\n;k=commented\n\n[B]\n");
    const std::string values[] = {"b ", "\"", "\"x", "  ", "a \"b\" c", "two\nlines"};
    for (size_t i = 0; i < std::size(values); ++i) ini.SetString("a", "k" + std::to_string(i), values[i]);
    IniFile back;
    back.Parse(ini.Text());
    for (size_t i = 0; i < std::size(values) - 1; ++i)
        EXPECT_EQ(back.GetString("A", "K" + std::to_string(i), "?"), values[i]) << ini.Text();
    EXPECT_EQ(back.GetString("A", "k5", "?"), "two lines");
    EXPECT_TRUE(back.Text().ends_with("k5=two lines\n\n[B]\n"));  // new keys close section A
}

}  // namespace
}  // namespace pm
