// The percentage, the bar position and the byte counter of a running build.
#include "job/Progress.h"

#include <gtest/gtest.h>

namespace pm {
namespace {

// 10,000 sectors on a bar of 400 pixels: the percentage shows from the 100th
// sector on and grows 100 times, the bar 400 times, one pixel each.
TEST(Progress, EveryPercentAndEveryPixelOnce) {
    ProgressCounter c;
    c.Start(10000ull * 2048, 400);
    bool percentGrew = true, barGrew = true;
    c.Add(0, percentGrew, barGrew);  // the reset adds nothing visible
    EXPECT_FALSE(percentGrew || barGrew);
    int percents = 0, moves = 0;
    std::string texts;  // after the 99th, 100th and 9,999th sector, and at the end
    for (int sector = 1; sector <= 10000; ++sector) {
        c.Add(2048, percentGrew, barGrew);
        percents += percentGrew;
        moves += barGrew;
        ASSERT_EQ(c.barPos, moves) << sector;
        if (sector == 99 || sector == 100 || sector == 9999) texts += "[" + c.PercentText() + "]";
    }
    EXPECT_EQ(texts + c.PercentText() + " " + std::to_string(percents) + " " + std::to_string(moves), "[][1%][99%]100% 100 400");
    // A new build starts from nothing; with nothing to count nothing moves.
    c.Start(0, 400);
    EXPECT_EQ(c.barPos + c.percentShown, 0);
    c.Add(2048, percentGrew, barGrew);
    EXPECT_FALSE(percentGrew || barGrew);
    EXPECT_EQ(ByteCounterText(0, 2048000), "0 / 2,048,000 byte");
    EXPECT_EQ(ByteCounterText(5ull << 30, 5ull << 30), "5,368,709,120 / 5,368,709,120 byte");
}

}  // namespace
}  // namespace pm
