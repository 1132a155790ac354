#include "fixtures.h"
#include "grouping/clusterer.h"

#include <gtest/gtest.h>

using namespace mendral;
using namespace mendral::test;
using Groups = std::vector<std::vector<int>>;

TEST(Grouping, NoPhotosAndOnePhoto)
{
    const auto none = Clusterer::run({});
    EXPECT_TRUE(none.groups.empty());
    EXPECT_EQ(none.threshold, 0.0f);
    const auto one = Clusterer::run({shot(1, 0, axis(0))});
    EXPECT_EQ(one.groups, (Groups{{0}}));
    EXPECT_EQ(one.threshold, 0.0f);
}

TEST(Grouping, BurstJoinsAnythingWithinEightTenthsOfASecond)
{
    Photo a = shot(1, 0, axis(0));
    Photo b = shot(2, 0.5, axis(1));
    withFace(a, 0.2f, axis(2));
    b.humanCount = 4;
    EXPECT_EQ(Clusterer::cluster({a, b}), (Groups{{0, 1}}));
    b.captureDate = 0.9;
    EXPECT_EQ(Clusterer::cluster({a, b}), (Groups{{0}, {1}}));
}

TEST(Grouping, PhotosWithoutPrintsGroupByTimeAlone)
{
    // Without any print the calibration has nothing to go on: default thresholds.
    std::vector<Photo> photos{shot(1, 0), shot(2, 20), shot(3, 45), shot(4, 100)};
    const auto result = Clusterer::run(photos);
    EXPECT_EQ(result.groups, (Groups{{0, 1, 2}, {3}}));
    EXPECT_FLOAT_EQ(result.threshold, 0.38f);

    // A photo with a print (even an empty one) is not joined by time.
    photos[1].featurePrint = std::vector<float>{};
    EXPECT_EQ(Clusterer::cluster(photos), (Groups{{0}, {1}, {2}, {3}}));
}

TEST(Grouping, SimFactorZeroKeepsOnlyIdenticalFrames)
{
    ClusterOptions o;
    o.simFactor = 0.0f;
    const std::vector<Photo> photos{shot(1, 0, axis(0)), shot(2, 60, axis(0)),
                                    shot(3, 120, towards(0, 1, 0.05))};
    const auto result = Clusterer::run(photos, o);
    EXPECT_EQ(result.threshold, 0.0f);
    EXPECT_EQ(result.groups, (Groups{{0, 1}, {2}}));
}

TEST(Grouping, SmallFacesJoinWiderWithinTheTimeGap)
{
    ClusterOptions o;
    o.autoCalibrate = false;
    Photo a = shot(1, 0, axis(0));
    Photo b = shot(2, 10, towards(0, 1, 0.5)); // beyond loose, within 0.58
    withFace(a, 0.05f, axis(4));
    withFace(b, 0.05f, axis(8));
    EXPECT_EQ(Clusterer::cluster({a, b}, o), (Groups{{0, 1}}));

    b.captureDate = 40; // beyond the time gap
    EXPECT_EQ(Clusterer::cluster({a, b}, o), (Groups{{0}, {1}}));

    b.captureDate = 10;
    b.faceCount = 3; // head counts of measurable faces differ by two
    EXPECT_EQ(Clusterer::cluster({a, b}, o), (Groups{{0}, {1}}));

    b.faceCount = 1;
    b.mainFaceSide = 0.1f; // a prominent face is not a small-face case
    EXPECT_EQ(Clusterer::cluster({a, b}, o), (Groups{{0}, {1}}));
}

TEST(Grouping, GroupsAscendingAndOrderedByFirstPhoto)
{
    // Scenes interleave in time: 0, 2, 4 show one thing, 1, 3 another.
    ClusterOptions o;
    o.autoCalibrate = false;
    std::vector<Photo> photos;
    for (int k = 0; k < 5; ++k)
        photos.push_back(shot(k, 60.0 * k, k % 2 ? towards(1, 2, 0.01 * k) : towards(0, 3, 0.01 * k)));
    EXPECT_EQ(Clusterer::cluster(photos, o), (Groups{{0, 2, 4}, {1, 3}}));
}

TEST(Grouping, ProgressEndsAtOne)
{
    std::vector<double> reported;
    Clusterer::run({shot(1, 0, axis(0)), shot(2, 1, axis(0))}, {},
                   [&](double p) { reported.push_back(p); });
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(reported.back(), 1.0);
    for (double p : reported)
        EXPECT_TRUE(p >= 0.0 && p <= 1.0);
}

TEST(Grouping, TinyMaxGroupSizeStillAllowsPairs)
{
    ClusterOptions o;
    o.maxGroupSize = 0;
    const std::vector<Photo> photos{shot(1, 0, axis(0)), shot(2, 0.2, axis(0)),
                                    shot(3, 0.4, axis(0))};
    EXPECT_EQ(Clusterer::cluster(photos, o), (Groups{{0, 1}, {2}}));
}

TEST(Grouping, BadValuesDoNotBreakGrouping)
{
    Photo a = shot(1, 0, std::vector<float>(16, std::nanf("")));
    Photo b = shot(2, 5, axis(0));
    Photo c = shot(3, std::nan(""), axis(0));
    a.mainFaceSide = std::nanf("");
    a.faceCount = 1;
    const auto groups = Clusterer::cluster({a, b, c});
    size_t members = 0;
    for (const auto &g : groups)
        members += g.size();
    EXPECT_EQ(members, 3u);
}
