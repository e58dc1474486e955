// The percentage, the bar position and the byte counter of a running build.
#include "job/Progress.h"

#include <gtest/gtest.h>

namespace pm {
namespace {

TEST(Progress, PercentageOfTenThousandSectors) {
    ProgressCounter c;
    c.Start(10000ull * 2048, 400);
    bool percentGrew = false, barGrew = false;
    for (int i = 1; i <= 99; ++i) {
        c.Add(2048, percentGrew, barGrew);
        ASSERT_FALSE(percentGrew) << i;
    }
    EXPECT_EQ(c.PercentText(), "");
    c.Add(2048, percentGrew, barGrew);  // the 100th sector: 204,800 bytes
    EXPECT_TRUE(percentGrew);
    EXPECT_EQ(c.PercentText(), "1%");
    int updates = 1;
    for (int i = 101; i < 10000; ++i) {
        c.Add(2048, percentGrew, barGrew);
        updates += percentGrew;
    }
    EXPECT_EQ(c.PercentText(), "99%");
    c.Add(2048, percentGrew, barGrew);
    EXPECT_TRUE(percentGrew);
    EXPECT_EQ(c.PercentText(), "100%");
    EXPECT_EQ(updates + 1, 100);
}

TEST(Progress, BarMovesOnlyForward) {
    ProgressCounter c;
    c.Start(1000ull * 2048, 400);
    bool percentGrew = false, barGrew = false;
    c.Add(0, percentGrew, barGrew);  // the reset adds nothing visible
    EXPECT_FALSE(percentGrew || barGrew);
    c.Add(2048, percentGrew, barGrew);
    c.Add(2048, percentGrew, barGrew);
    EXPECT_EQ(c.barPos, 0);
    c.Add(2048, percentGrew, barGrew);  // 400 x 6,144 / 2,048,000 = 1.2
    EXPECT_TRUE(barGrew);
    EXPECT_EQ(c.barPos, 1);
    int moves = 1;
    for (int i = 4; i <= 1000; ++i) {
        c.Add(2048, percentGrew, barGrew);
        moves += barGrew;
    }
    EXPECT_EQ(c.barPos, 400);
    EXPECT_EQ(moves, 400);
    // A new build starts from nothing.
    c.Start(2048, 400);
    EXPECT_EQ(c.barPos, 0);
    EXPECT_EQ(c.PercentText(), "");
}

TEST(Progress, NothingToCountMovesNothing) {
    ProgressCounter c;
    c.Start(0, 400);
    bool percentGrew = true, barGrew = true;
    c.Add(2048, percentGrew, barGrew);
    EXPECT_FALSE(percentGrew || barGrew);
}

TEST(Progress, ByteCounterText) {
    EXPECT_EQ(ByteCounterText(0, 2048000), "0 / 2,048,000 byte");
    EXPECT_EQ(ByteCounterText(1234567, 9876543), "1,234,567 / 9,876,543 byte");
    EXPECT_EQ(ByteCounterText(5ull << 30, 5ull << 30), "5,368,709,120 / 5,368,709,120 byte");
}

}  // namespace
}  // namespace pm
