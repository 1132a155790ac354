// The analysis line's estimate of the time left.

#include "store/timeleft.h"

#include <QStringList>

#include <gtest/gtest.h>

using namespace mendral;

TEST(TimeLeft, SilentUntilMeasuredThenFromTheAverageRate)
{
    TimeLeft t;
    t.start(100, 1000.0, "分析中… 共 100 张");
    EXPECT_EQ(t.line(3, 1010.0), "分析中… 共 100 张"); // too few photos
    EXPECT_EQ(t.line(20, 1001.0), "分析中… 共 100 张"); // too short a time
    // 10 photos in 10 s: 90 photos left at one a second.
    EXPECT_EQ(t.line(10, 1010.0), "分析中… 共 100 张，还剩约 2 分钟");
    EXPECT_EQ(t.line(100, 1100.0), "分析中… 共 100 张，还剩不到 1 分钟");

    TimeLeft none;
    none.start(0, 0.0);
    EXPECT_FALSE(none.update(0, 100.0).has_value());
}

TEST(TimeLeft, CountsDownAndRisesOnlyByItsNoise)
{
    TimeLeft t;
    t.start(1000, 0.0);
    ASSERT_NEAR(*t.update(100, 100.0), 900.0, 1e-9);
    // A slow stretch: the average now says 1800 s, but the line may only rise by 10 %.
    EXPECT_NEAR(*t.update(110, 200.0), 800.0 + 80.0, 1e-9);
    // Faster again: it follows at once.
    EXPECT_NEAR(*t.update(600, 300.0), 400.0 * 300.0 / 600.0, 1e-9);
    // Near the end the allowance is at least five seconds.
    TimeLeft end;
    end.start(100, 0.0);
    ASSERT_NEAR(*end.update(90, 90.0), 10.0, 1e-9);
    EXPECT_NEAR(*end.update(90, 100.0), 5.0, 1e-9); // the average says 11 s
}

TEST(TimeLeft, WordsDoNotWaverAboutAMinutesBoundary)
{
    TimeLeft t;
    t.start(1000, 0.0);
    EXPECT_EQ(t.line(500, 118.0), "，还剩约 2 分钟");
    // The estimate wavers to 123 s, within its noise: the words stay.
    EXPECT_EQ(t.line(500, 123.0), "，还剩约 2 分钟");
    // A stall, the line asked every second: the words rise, never to come back to what they
    // said before, and the end brings them down at once.
    QStringList said;
    for (double now = 124.0; now <= 200.0; now += 1.0)
        if (const QString line = t.line(500, now); said.isEmpty() || said.last() != line) {
            EXPECT_FALSE(said.contains(line)) << qPrintable(said.join(" / ") + " / " + line);
            said << line;
        }
    EXPECT_GE(said.size(), 2);
    EXPECT_EQ(t.line(999, 201.0), "，还剩不到 1 分钟");
}

TEST(TimeLeft, Words)
{
    EXPECT_EQ(TimeLeft::text(0), "还剩不到 1 分钟");
    EXPECT_EQ(TimeLeft::text(59.9), "还剩不到 1 分钟");
    EXPECT_EQ(TimeLeft::text(61), "还剩约 2 分钟");
    EXPECT_EQ(TimeLeft::text(119 * 60), "还剩约 119 分钟");
    EXPECT_EQ(TimeLeft::text(3 * 3600 + 100), "还剩约 3 小时");
    EXPECT_EQ(TimeLeft::text(2.6 * 3600), "还剩约 2.5 小时");
    EXPECT_TRUE(TimeLeft::text(-1).isEmpty());
}
