#include "fixtures.h"
#include "grouping/clusterer.h"
#include "grouping/split.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace mendral;
using namespace mendral::test;
using Groups = std::vector<std::vector<int>>;

namespace {

std::vector<int> range(int from, int to)
{
    std::vector<int> r(size_t(to - from));
    std::iota(r.begin(), r.end(), from);
    return r;
}

Groups split(const std::vector<Photo> &photos, int maxSize, double timeGap = 30.0,
             float simThreshold = 0.38f)
{
    Groups out;
    Clusterer::splitOversized(range(0, int(photos.size())), photos, maxSize, simThreshold,
                              timeGap, 0, out);
    return out;
}

} // namespace

TEST(Splitting, GroupAtTheLimitIsKept)
{
    std::vector<Photo> photos;
    for (int k = 0; k < 20; ++k)
        photos.push_back(shot(k, k, axis(k % 2)));
    EXPECT_EQ(split(photos, 20), (Groups{range(0, 20)}));
}

TEST(Splitting, InseparableGroupIsCutIntoRuns)
{
    std::vector<Photo> photos;
    for (int k = 0; k < 21; ++k)
        photos.push_back(shot(k, 0.1 * k, towards(0, 1, 0.001 * k)));
    EXPECT_EQ(split(photos, 20), (Groups{range(0, 20), {20}}));
}

TEST(Splitting, VisualPartsFirstThenRuns)
{
    std::vector<Photo> photos;
    for (int k = 0; k < 45; ++k)
        photos.push_back(shot(k, 0.5 * k, k < 30 ? axis(0) : axis(1)));
    EXPECT_EQ(split(photos, 20), (Groups{range(0, 20), range(20, 30), range(30, 45)}));
}

TEST(Splitting, BurstWindowIsThreeTenthsOfTheTimeGap)
{
    // Photos 0 and 1 at 0.7 × simThreshold: joined only inside the burst window. Photo 2 is
    // another scene and makes the group oversized.
    const float sim = 0.38f;
    auto photos = [&](double dt) {
        return std::vector<Photo>{shot(0, 0, axis(0)), shot(1, dt, towards(0, 1, 0.7 * sim)),
                                  shot(2, dt + 1, axis(5))};
    };
    const Groups joined{{0, 1}, {2}};
    const Groups separate{{0}, {1}, {2}};
    EXPECT_EQ(split(photos(1), 2, 30.0), joined);
    EXPECT_EQ(split(photos(8.5), 2, 30.0), joined);   // within 9 s
    EXPECT_EQ(split(photos(20), 2, 30.0), separate);  // 0.7 > 0.6 × simThreshold
    EXPECT_EQ(split(photos(1.5), 2, 5.0), joined);    // 1.5 s inside the 2 s minimum
    EXPECT_EQ(split(photos(3), 2, 5.0), separate);
}

TEST(Splitting, VeryCloseFramesJoinAtAnyTime)
{
    const std::vector<Photo> photos{shot(0, 0, axis(0)), shot(1, 3600, towards(0, 1, 0.2)),
                                    shot(2, 3601, axis(5))};
    EXPECT_EQ(split(photos, 2), (Groups{{0, 1}, {2}})); // 0.2 ≤ 0.6 × 0.38
}

TEST(Splitting, PhotosWithoutPrintsFallApart)
{
    std::vector<Photo> photos;
    for (int k = 0; k < 5; ++k)
        photos.push_back(shot(k, k));
    photos[2].featurePrint = std::vector<float>{}; // an empty print is no better
    EXPECT_EQ(split(photos, 2), (Groups{{0}, {1}, {2}, {3}, {4}}));
}

TEST(Splitting, ChunkPieces)
{
    Groups out;
    Clusterer::chunk({}, 3, out);
    EXPECT_TRUE(out.empty());
    Clusterer::chunk({4, 5, 6, 7, 8, 9, 10}, 3, out);
    EXPECT_EQ(out, (Groups{{4, 5, 6}, {7, 8, 9}, {10}}));
}

TEST(Splitting, RunSplitsOversizedGroupsAndKeepsOrder)
{
    // 25 photos of one scene in a burst, then 3 of another: the burst is chunked.
    std::vector<Photo> photos;
    for (int k = 0; k < 25; ++k)
        photos.push_back(shot(k, 0.3 * k, axis(0)));
    for (int k = 25; k < 28; ++k)
        photos.push_back(shot(k, 100 + k, axis(1)));
    EXPECT_EQ(Clusterer::cluster(photos), (Groups{range(0, 20), range(20, 25), range(25, 28)}));
}
