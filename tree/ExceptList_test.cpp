#include "tree/ExceptList.h"

#include <gtest/gtest.h>

#include "TempDir.h"

namespace pm {
namespace {

TEST(ExceptList, LoadsLinesAsTheyAreAndMatchesWholeNamesWithoutCase) {
    TempDir t;
    ExceptList list;
    list.SetEntries({"stale"});
    // The third is not UTF-8: read as code page 932 ("表" is 95 5C there).
    std::vector<std::vector<std::string>> loaded;
    for (const std::string& path : {t.Write("except.txt", "\xEF\xBB\xBFThumbs.db\r\n desktop.ini \n\nlast"), t.Write("lf.txt", "one\ntwo\n"),
                                    t.Write("sjis.txt", "\x95\x5C\r\n"), t / "missing.txt"}) {
        list.Load(path);
        loaded.push_back(list.Entries());
    }
    EXPECT_EQ(loaded, (std::vector<std::vector<std::string>>{{"Thumbs.db", " desktop.ini ", "", "last"}, {"one", "two"}, {"表"}, {}}));
    // Whole names without case; case, blanks and paths in entries are in the
    // scan's exclusion test.
    list.SetEntries({"Thumbs.db", "ＡＢＣ", "", "表"});
    // Full-width letters fold too ("ａｂｃ"), but are not ASCII ("abc").
    std::vector<bool> included;
    for (const char* name : {"Thumbs.db2", "Thumbs", "ａｂｃ", "abc", "表", "表示"}) included.push_back(list.IsIncluded(name));
    EXPECT_EQ(included, (std::vector<bool>{true, true, false, true, false, true}));
}

}  // namespace
}  // namespace pm
