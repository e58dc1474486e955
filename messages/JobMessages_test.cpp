#include "messages/JobMessages.h"

#include <gtest/gtest.h>

#include "messages/Strings.h"

namespace pm {
namespace {

// The entries of one failure box; joined, as the build reports show them, in
// the runner's and the command line's tests.
TEST(JobMessages, ComposesTheFailureBox) {
    JobMessages m;
    m.AddNameList(10070, {"長い名前1", "長い名前2"});
    m.AddFormatted(10039, "/src");
    m.AddFileError(10075, FileError{kCauseEndOfFile, "/src/f"});  // adds nothing
    m.AddFileError(10054, FileError{kCauseNone, "/a"});  // no cause and an unknown one: the generic text
    m.AddFileError(10054, FileError{99, "/b"});
    const char* box = "長い名前1\n長い名前2\n以上のファイル名が長すぎます。\nファイル名は64文字以内です。\n"
                      "/src\nフォルダが見つかりません。\n"
                      "/a\nファイルを開けませんでした。\n原因は不明です。\n"
                      "/b\nファイルを開けませんでした。\n原因は不明です。";
    EXPECT_EQ(m.JoinedText(), box);
    SetLanguage(Language::English);  // numbers, not sentences: the report reads in the language it is shown in
    EXPECT_EQ(m.Entries()[1].Text(), "/src\nFolder not found.");
    SetLanguage(Language::Japanese);
    std::vector<std::string> shown;
    auto show = [&] { return m.ShowAll([&](const std::string& s) { shown.push_back(s); }); };
    EXPECT_EQ((std::tuple{show(), show(), shown.size()}), std::tuple(4, 0, 1u));  // one box, and nothing once shown
}

TEST(Strings, CatalogueAndFormats) {
    EXPECT_EQ(LoadString(1), "");  // no such text
    // A value goes in as it is, never read as a format of its own.
    EXPECT_EQ(FormatString(10039, "%s%1"), "%s%1\nフォルダが見つかりません。");
    EXPECT_EQ(UntranslatedTexts(), std::vector<int>{});
}

// The language of LC_ALL, LC_MESSAGES and LANG (null: unset), and a text in it.
TEST(Strings, LanguageFollowsTheLocale) {
    const struct {
        const char *lcAll, *lcMessages, *lang;
        const char* text;
    } rows[] = {
        {nullptr, nullptr, "ja_JP.UTF-8", "ディスクが満杯です。"},
        {nullptr, nullptr, "ja_JP.eucJP", "ディスクが満杯です。"},
        {"", "ja", "C", "ディスクが満杯です。"},
        {nullptr, nullptr, "C", "Disk full."},
        {nullptr, nullptr, "en_US.UTF-8", "Disk full."},
        {nullptr, nullptr, nullptr, "Disk full."},
        {"C", "ja_JP.UTF-8", "ja_JP.UTF-8", "Disk full."},
        {nullptr, "en_GB", "ja_JP.UTF-8", "Disk full."},
    };
    for (const auto& row : rows) {
        SetLanguage(LanguageOfLocale(row.lcAll, row.lcMessages, row.lang));
        EXPECT_EQ(LoadString(10068), row.text) << (row.lang ? row.lang : "unset");
    }
    SetLanguage(Language::Japanese);
}

}  // namespace
}  // namespace pm
