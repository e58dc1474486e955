#include "job/JobMessages.h"

#include <gtest/gtest.h>

#include "job/Strings.h"

namespace pm {
namespace {

TEST(JobMessages, ComposesTheFailureBox) {
    JobMessages m;
    m.AddFileError(10074, FileError{kCauseDiskFull, "/out/image.iso"});
    m.AddText(10048);
    EXPECT_EQ(m.JoinedText(),
              "/out/image.iso\nイメージファイルへの書き込みに失敗しました。\nディスクが満杯です。\n\n"
              "イメージファイルの作成に失敗しました。");

    std::vector<std::string> shown;
    EXPECT_EQ(m.ShowAll([&](const std::string& s) { shown.push_back(s); }), 2);
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_FALSE(m.HasMessages());
    EXPECT_EQ(m.ShowAll([&](const std::string& s) { shown.push_back(s); }), 0);
    EXPECT_EQ(shown.size(), 1u);

    m.AddFileError(10075, FileError{kCauseEndOfFile, "/src/f"});  // adds nothing
    m.AddText(10048);
    EXPECT_EQ(m.JoinedText(), "\nイメージファイルの作成に失敗しました。");
    m.Clear();

    m.AddNameList(10070, {"長い名前1", "長い名前2"});
    m.AddFormatted(10039, "/src");
    m.AddFileError(10054, FileError{kCauseGeneric, "/a"});
    m.AddFileError(10054, FileError{99, "/b"});
    EXPECT_EQ(m.Entries(), (std::vector<std::string>{
                               "長い名前1\n長い名前2\n以上のファイル名が長すぎます。\nファイル名は64文字以内です。",
                               "/src\nフォルダが見つかりません。",
                               "/a\nファイルを開けませんでした。\n原因は不明です。",
                               "/b\nファイルを開けませんでした。\n原因は不明です。"}));
    EXPECT_EQ(&TheJobMessages(), &TheJobMessages());
}

TEST(JobMessages, CauseTexts) {
    EXPECT_EQ(CauseTextId(kCauseNone), 10056);
    EXPECT_EQ(CauseTextId(kCauseGeneric), 10056);
    EXPECT_EQ(CauseTextId(kCauseFileNotFound), 10057);
    EXPECT_EQ(CauseTextId(kCauseSharingViolation), 10066);
    EXPECT_EQ(CauseTextId(kCauseDiskFull), 10068);
    EXPECT_EQ(CauseTextId(kCauseEndOfFile), 0);
    EXPECT_EQ(CauseTextId(-3), 10056);
    EXPECT_EQ(LoadString(10066), "ファイルを使用中です。");
}

TEST(Strings, CatalogueAndFormats) {
    EXPECT_EQ(LoadString(10038), "except.txt");
    EXPECT_EQ(LoadString(1), "");
    EXPECT_EQ(FormatString(10053, "1,234", "2,527,232"),
              "作成されるイメージファイルの大きさ : 1,234 Sectors  2,527,232 BYTE");
    EXPECT_EQ(FormatString(10039, "%s%1"), "%s%1\nフォルダが見つかりません。");
    EXPECT_EQ(FormatNumbered(61714, "0", "23"), "0 から 23 までの整数を入力してください。");
    EXPECT_EQ(FormatNumbered(61716, "15"), "15 文字以内で入力してください。");
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
