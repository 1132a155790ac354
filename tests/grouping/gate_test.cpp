// The merge gates, seen through whole grouping runs of a few photos. Thresholds are fixed
// (no calibration): loose 0.38, strict 0.323.
#include "fixtures.h"
#include "grouping/clusterer.h"
#include "grouping/gate.h"

#include <gtest/gtest.h>

using namespace mendral;
using namespace mendral::test;
using Groups = std::vector<std::vector<int>>;
using Clusterer::distance;

namespace {

ClusterOptions fixedThresholds()
{
    ClusterOptions o;
    o.autoCalibrate = false;
    return o;
}

class Gates : public ::testing::Test {
protected:
    void SetUp() override { Clusterer::trace = QStringList(); }
    void TearDown() override { Clusterer::trace.reset(); }

    Groups group(const std::vector<Photo> &photos)
    {
        const auto result = Clusterer::run(photos, fixedThresholds());
        EXPECT_FLOAT_EQ(result.threshold, 0.38f);
        return result.groups;
    }
    QString onlyTraceLine()
    {
        EXPECT_EQ(Clusterer::trace->size(), 1);
        return Clusterer::trace->value(0);
    }
};

const Groups together{{0, 1}};
const Groups apart{{0}, {1}};

// Two photos dt apart, print distance d, each with one prominent face; faces at distance fd.
std::vector<Photo> twoFaces(double dt, double d, double fd)
{
    Photo a = shot(1, 1000, axis(0));
    Photo b = shot(2, 1000 + dt, towards(0, 1, d));
    withFace(a, 0.1f, axis(4));
    withFace(b, 0.1f, towards(4, 5, fd));
    return {a, b};
}

} // namespace

TEST_F(Gates, FacelessFramesMergeHoursApart)
{
    const std::vector<Photo> photos{shot(1, 0, axis(0)), shot(2, 3 * 3600, towards(0, 1, 0.3))};
    EXPECT_EQ(group(photos), together);
    EXPECT_EQ(onlyTraceLine(),
              "merge IMG_0001.JPG+IMG_0002.JPG d=0.300 dt=10800s scale 0.00/0.00 人 0/0 | "
              "双方无脸 纯画面");
}

TEST_F(Gates, LoosePassStopsAtTheThreshold)
{
    const std::vector<Photo> photos{shot(1, 0, axis(0)), shot(2, 3600, towards(0, 1, 0.40))};
    EXPECT_EQ(group(photos), apart);
}

TEST_F(Gates, ProminentFaceAgainstFacelessNeedsTheSameMoment)
{
    auto photos = twoFaces(6, 0.3, 0);
    photos[1].faceCount = 0;
    photos[1].mainFaceSide = 0;
    photos[1].facePrints.clear();
    EXPECT_EQ(group(photos), apart); // 0.3 > 0.7 × strict and 6 s apart

    photos[1].captureDate = photos[0].captureDate + 4;
    EXPECT_EQ(group(photos), together);
    EXPECT_EQ(onlyTraceLine(),
              "merge IMG_0001.JPG+IMG_0002.JPG d=0.300 dt=4s scale 0.10/0.00 人 1/0 | "
              "时间窗内 可靠");
}

TEST_F(Gates, SamePersonBySingleFaceHasNoTimeLimit)
{
    EXPECT_EQ(group(twoFaces(7200, 0.2, 0.15)), together);
    EXPECT_TRUE(onlyTraceLine().endsWith("人 1/1 | 指纹极近 0.150 确认同人(补拍)"));
}

TEST_F(Gates, UncertainSingleFaceMergesOnlyWithinTheWindow)
{
    EXPECT_EQ(group(twoFaces(7200, 0.2, 0.25)), apart);
    EXPECT_EQ(group(twoFaces(100, 0.2, 0.25)), together);
    EXPECT_TRUE(onlyTraceLine().endsWith("| 时间窗内 可靠"));
    EXPECT_EQ(group(twoFaces(151, 0.2, 0.25)), apart);
}

namespace {

// Two photos of two people each; matching faces at fd, the others far apart.
std::vector<Photo> twoCasts(double dt, double fd)
{
    Photo a = shot(1, 0, axis(0));
    Photo b = shot(2, dt, towards(0, 1, 0.1));
    a.faceCount = b.faceCount = 2;
    a.mainFaceSide = b.mainFaceSide = 0.12f;
    a.facePrints = {axis(4), axis(8)};
    b.facePrints = {towards(8, 9, fd), towards(4, 5, fd)};
    return {a, b};
}

} // namespace

TEST_F(Gates, CastWithinReachMergesInsideTheCastWindow)
{
    EXPECT_EQ(group(twoCasts(200, 0.3)), together);
    EXPECT_TRUE(onlyTraceLine().endsWith("人 2/2 | 全员核对通过 dmax=0.300"));
    EXPECT_EQ(group(twoCasts(400, 0.3)), apart);
}

TEST_F(Gates, DifferentCastsNeverMerge)
{
    EXPECT_EQ(group(twoCasts(10, 0.4)), apart);
    // One person in both, the other different: a face unmatched on each side.
    auto photos = twoCasts(10, 0.1);
    photos[1].facePrints[0] = axis(12);
    EXPECT_EQ(group(photos), apart);
}

TEST_F(Gates, RetakeMissingOneFaceMerges)
{
    // A third person is found in the first frame only (turned away or blurred in the second).
    auto photos = twoCasts(60, 0.1);
    photos[0].faceCount = 3;
    photos[0].facePrints.push_back(axis(12));
    EXPECT_EQ(group(photos), together);
    EXPECT_TRUE(onlyTraceLine().endsWith("人 3/2 | 全员核对通过 dmax=0.100"));

    // A lone face is not a re-take of a cast: the cast's other face is unmatched.
    photos = twoCasts(60, 0.1);
    photos[1].faceCount = 1;
    photos[1].facePrints.pop_back();
    EXPECT_EQ(group(photos), apart);
}

TEST_F(Gates, CastWithoutFacePrintsFallsBackToTheWindow)
{
    auto photos = twoCasts(100, 0.1);
    photos[1].facePrints.clear();
    EXPECT_EQ(group(photos), together);
    EXPECT_TRUE(onlyTraceLine().endsWith("| 多人但缺指纹 时间窗内"));
    photos[1].captureDate = 200;
    EXPECT_EQ(group(photos), apart);
}

TEST_F(Gates, HeadCountsTrustedOnlyForMeasurableFaces)
{
    Photo a = shot(1, 0, axis(0));
    Photo b = shot(2, 60, towards(0, 1, 0.2));
    a.faceCount = 1;
    b.humanCount = 3;
    a.mainFaceSide = b.mainFaceSide = 0.05f;
    EXPECT_EQ(group({a, b}), apart);

    a.mainFaceSide = 0.03f;
    EXPECT_EQ(group({a, b}), together);
    EXPECT_TRUE(onlyTraceLine().endsWith("人 1/3 | 时间窗内 小脸"));
}

namespace {

std::vector<Photo> dressed(double dt, double fd, bool sameClothes)
{
    auto photos = twoFaces(dt, 0.2, fd);
    photos[0].hairPrint = colour(0);
    photos[0].torsoPrint = colour(10);
    photos[1].hairPrint = colour(sameClothes ? 0 : 1);
    photos[1].torsoPrint = colour(sameClothes ? 10 : 11);
    return photos;
}

} // namespace

TEST_F(Gates, DifferentClothesNeedTheSameFace)
{
    EXPECT_EQ(group(dressed(10, 0.25, true)), together);
    EXPECT_EQ(group(dressed(10, 0.35, false)), apart);
    EXPECT_EQ(group(dressed(7200, 0.15, false)), together); // the face confirms
}

TEST_F(Gates, BurstJoinsEvenDifferentClothes)
{
    EXPECT_EQ(group(dressed(0.5, 0.35, false)), together);
    EXPECT_TRUE(Clusterer::trace->isEmpty()); // the burst pass records nothing
}

TEST_F(Gates, OneMatchingOutfitInTheGroupIsEnough)
{
    // Photos 0 and 1 merge first; 1 wears what 2 wears, 0 does not.
    auto photos = dressed(10, 0.35, false);
    Photo first = photos[0];
    first.captureDate -= 0.5;
    first.url = first.id = "/card/DCIM/IMG_0000.JPG";
    photos[0].hairPrint = photos[1].hairPrint;
    photos[0].torsoPrint = photos[1].torsoPrint;
    photos.insert(photos.begin(), first);
    EXPECT_EQ(group(photos), (Groups{{0, 1, 2}}));
}

TEST_F(Gates, ComparableColoursOnlyCount)
{
    // Hair prints of different lengths cannot be compared: nothing is recorded, no dress test.
    auto photos = dressed(10, 0.35, false);
    photos[1].hairPrint = std::vector<float>(32, 0.0f);
    EXPECT_EQ(group(photos), together);
}

TEST_F(Gates, OnlyFourteenFacesPerSideAreCompared)
{
    // A's fifteenth face matches nobody in B; it lies beyond the cap and is not looked at.
    // B's second face is not in A, so A's faces must all be found in B.
    auto photos = twoCasts(10, 0.1);
    photos[0].facePrints.assign(14, axis(4));
    photos[0].facePrints.push_back(axis(10));
    photos[1].facePrints = {towards(4, 5, 0.1), axis(12)};
    EXPECT_EQ(group(photos), together);
    photos[0].facePrints.erase(photos[0].facePrints.begin());
    EXPECT_EQ(group(photos), apart);
}

TEST(FaceSets, FarthestIsOneSidedAndHandlesEmptySets)
{
    const auto e0 = axis(0), e1 = axis(1), near0 = towards(0, 2, 0.1);
    const Clusterer::FaceSet a{&e0, &e1}, b{&near0}, none;
    EXPECT_NEAR(Clusterer::farthest(b, a), 0.1f, 1e-5);           // b's face is in a
    EXPECT_NEAR(Clusterer::farthest(a, b), distance(e1, near0), 1e-6); // a's second is not
    EXPECT_EQ(Clusterer::farthest(none, a), 0.0f);
    EXPECT_EQ(Clusterer::farthest(a, none), Clusterer::noDistance);
}
