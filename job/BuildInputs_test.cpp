// The start button's rules shared by the dialog and the command line.
#include "job/BuildInputs.h"

#include <gtest/gtest.h>

namespace pm {
namespace {

TEST(BuildInputs, ImageExtension) {
    // A dot in a folder name is no extension of the file.
    for (auto [in, out] : {std::pair{"disk", "disk.iso"}, {"disk.ISO", "disk.ISO"}, {"/out/disk.bin", "/out/disk.bin"},
                           {"disk.txt", "disk.txt.iso"}, {"/media/v1.iso/disk", "/media/v1.iso/disk.iso"}})
        EXPECT_EQ(NormaliseImagePath(in), out);
    EXPECT_EQ(ImageFolder("/media/v1/disk.iso") + "|" + ImageFolder("disk.iso"), "/media/v1/|");
}

TEST(BuildInputs, LabelIsCutToFifteenUnits) {
    EXPECT_EQ(CutToUnits("ABCDEFGHIJKLMNOPQRST", 15), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(CutToUnits("あいうえおかきくけこさしすせそたち", 15), "あいうえおかきくけこさしすせそ");
    // Fourteen units and a surrogate pair: the pair is left out whole.
    EXPECT_EQ(CutToUnits("ABCDEFGHIJKLMN\xF0\xA0\xAE\xB7", 15), "ABCDEFGHIJKLMN");
    EXPECT_TRUE(LabelFits("ABCDEFGHIJKLMNO") && LabelFits("あいうえおかきくけこさしすせそ"));
}

TEST(BuildInputs, ParseDateTime) {
    VolumeDate date, time;
    EXPECT_TRUE(ParseDateTime("2010-05-31 23:59:58", date, time));
    EXPECT_TRUE(date == (VolumeDate{2010, 5, 0, 31, 0, 0, 0, 0}) && time == (VolumeDate{0, 0, 0, 0, 23, 59, 58, 0}));
    EXPECT_TRUE(ParseDateTime("2012-02-29", date, time));
    EXPECT_TRUE(date == (VolumeDate{2012, 2, 0, 29, 0, 0, 0, 0}) && time == VolumeDate{});
    for (const char* bad : {"", "2010", "2010-05-31 23:59", "2010-05-31 23:59:58x", "2010-13-01", "2010-00-10",
                            "2010-05-32", "2010-05-31 24:00:00", "2010-05-31 23:60:00", "2010-04-31",
                            "2011-02-29", "1900-02-29", "4294967297-01-01 00:00:00", "abc"}) {
        VolumeDate d{1, 1, 0, 1, 0, 0, 0, 0}, t{};
        EXPECT_FALSE(ParseDateTime(bad, d, t)) << bad;
        EXPECT_EQ(d, (VolumeDate{1, 1, 0, 1, 0, 0, 0, 0})) << bad;  // untouched
    }
    EXPECT_TRUE(ParseDateTime("2000-02-29 00:00:00", date, time));
}

// Each medium up to its last sector, then the next; past the largest, none.
TEST(BuildInputs, SmallestMediumThatHoldsTheImage) {
    EXPECT_EQ(FitsOnText(359'847), "CD 700 MB に収まります。");
    EXPECT_EQ(FitsOnText(359'848), "DVD 4.7 GB に収まります。");
    EXPECT_EQ(FitsOnText(24'438'785), "BD DL 50 GB より大きいため、どのメディアにも収まりません。");
}

}  // namespace
}  // namespace pm
