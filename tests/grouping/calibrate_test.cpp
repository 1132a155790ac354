#include "grouping/candidates.h"
#include "grouping/clusterer.h"
#include "fixtures.h"

#include <gtest/gtest.h>

using namespace mendral;
using namespace mendral::test;
using Clusterer::noDistance;

TEST(Calibration, ThirtiethPercentileScaledAndClamped)
{
    // Ten compared photos, 30th percentile (index 3) at 0.05: 0.11 is clamped up to 0.14.
    const std::vector<float> nearest{0.9f, 0.01f, 0.05f, 0.02f, 0.3f, noDistance,
                                     0.04f, 0.6f, 0.7f, 0.8f, 0.5f};
    EXPECT_FLOAT_EQ(Clusterer::calibrate(nearest, 1.0f), 0.14f);
    const auto t = Clusterer::thresholds(0.14f, 1.0f);
    EXPECT_NEAR(t.loose, 0.252f, 1e-6);
    EXPECT_NEAR(t.strict, 0.21f, 1e-6);
}

TEST(Calibration, UpperClampAndFactorFloor)
{
    const std::vector<float> wide{0.2f, 0.2f, 0.2f, 0.2f};
    EXPECT_FLOAT_EQ(Clusterer::calibrate(wide, 1.0f), 0.30f); // 0.44 clamped
    EXPECT_FLOAT_EQ(Clusterer::calibrate(wide, 0.1f), 0.08f); // 0.03 raised to the floor
    const std::vector<float> middle{0.1f, 0.1f, 0.1f, 0.1f, 0.1f};
    EXPECT_FLOAT_EQ(Clusterer::calibrate(middle, 1.0f), 0.1f * 2.2f);
}

TEST(Calibration, FewerThanFourComparedPhotosUseTheDefault)
{
    const std::vector<float> few{0.01f, 0.02f, 0.03f, noDistance, noDistance};
    EXPECT_FLOAT_EQ(Clusterer::calibrate(few, 1.0f), 0.30f); // 0.34 capped at 0.30
    EXPECT_FLOAT_EQ(Clusterer::calibrate(few, 0.2f), 0.12f); // 0.068 raised to 0.12
    EXPECT_FLOAT_EQ(Clusterer::calibrate({}, 0.5f), 0.17f);
}

TEST(Calibration, ThresholdsWithoutAnyPrint)
{
    const auto t = Clusterer::thresholds(0.30f, 1.0f);
    EXPECT_FLOAT_EQ(t.loose, 0.38f);
    EXPECT_NEAR(t.strict, 0.323f, 1e-6);
    const auto half = Clusterer::thresholds(0.30f, 0.5f);
    EXPECT_FLOAT_EQ(half.loose, 0.19f);       // 0.27 capped at 0.5 × 0.38
    EXPECT_NEAR(half.strict, 0.1615f, 1e-6);  // 0.18 capped at 0.85 × loose
}

TEST(Calibration, SimFactorZeroMergesOnlyIdenticalPrints)
{
    const auto t = Clusterer::thresholds(0.2f, 0.0f);
    EXPECT_EQ(t.loose, 0.0f);
    EXPECT_EQ(t.strict, 0.0f);
}

namespace {

std::vector<const std::vector<float> *> pointers(const std::vector<std::vector<float>> &v)
{
    std::vector<const std::vector<float> *> out;
    for (const auto &x : v)
        out.push_back(&x);
    return out;
}

} // namespace

TEST(CandidateScan, FullNeighbourListReplacesOnlyForStrictlyCloser)
{
    // Photo 0 against 33 later photos: 30 at 0.5, then 0.5 again (a tie: kept out), then
    // 0.3 (replaces the first worst entry), then 0.96 (beyond the limit, never listed).
    std::vector<std::vector<float>> prints{axis(0)};
    std::vector<double> times{0};
    for (int k = 1; k <= 30; ++k)
        prints.push_back(towards(0, 1, 0.5));
    prints.push_back(towards(0, 1, 0.5));
    prints.push_back(towards(0, 2, 0.3));
    prints.push_back(towards(0, 3, 0.96));
    for (int k = 1; k < int(prints.size()); ++k)
        times.push_back(k);
    const auto scan = Clusterer::scanCandidates(pointers(prints), times, 86400.0, {});
    const auto &list = scan.neighbours[0];
    ASSERT_EQ(list.size(), 30u);
    EXPECT_EQ(list[0].j, 32);
    EXPECT_NEAR(list[0].d, 0.3f, 1e-5);
    for (int k = 1; k < 30; ++k)
        EXPECT_EQ(list[size_t(k)].j, k + 1);
    EXPECT_NEAR(scan.nearest[0], 0.3f, 1e-5);
    EXPECT_NEAR(scan.nearest[33], 0.96f, 1e-5); // nearest counts even unlisted pairs
}

TEST(CandidateScan, WindowAndMissingPrints)
{
    const std::vector<std::vector<float>> prints{axis(0), axis(0), axis(0)};
    auto ptrs = pointers(prints);
    ptrs[1] = nullptr; // no print: never a candidate
    const std::vector<double> times{0, 10, 100};
    const auto scan = Clusterer::scanCandidates(ptrs, times, 50.0, {});
    EXPECT_TRUE(scan.neighbours[0].empty()); // photo 2 is outside the window
    EXPECT_EQ(scan.nearest[0], noDistance);
    EXPECT_EQ(scan.nearest[1], noDistance);
    EXPECT_EQ(scan.nearest[2], noDistance);
}

TEST(CandidateScan, ProgressAfterEverySixteenthRow)
{
    std::vector<std::vector<float>> prints(40, axis(0));
    std::vector<double> times;
    for (int k = 0; k < 40; ++k)
        times.push_back(k);
    std::vector<double> reported;
    Clusterer::scanCandidates(pointers(prints), times, 86400.0,
                              [&](double p) { reported.push_back(p); });
    // 780 pairs: 39 after row 0, 527 after row 16, 759 after row 32 (capped at 0.9).
    ASSERT_EQ(reported.size(), 4u);
    EXPECT_DOUBLE_EQ(reported[0], 39.0 / 780.0);
    EXPECT_DOUBLE_EQ(reported[1], 527.0 / 780.0);
    EXPECT_DOUBLE_EQ(reported[2], 0.9);
    EXPECT_DOUBLE_EQ(reported[3], 1.0);
}
