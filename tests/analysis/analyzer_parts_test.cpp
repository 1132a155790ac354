// The measuring functions of the analysis: prints, eye openness, regions and colour prints.

#include "analyzer_fake.h"

#include "analysis/analyzer.h"
#include "analysis/colordistance.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>

using namespace mendral;
using mendral::test::eyeOutline;
using mendral::test::FakeVision;
using mendral::test::faceAt;

namespace {

template <typename T>
FeaturePrint printOf(const std::vector<T> &values)
{
    FeaturePrint p;
    p.elementType = sizeof(T) == 4 ? 1 : 2;
    p.elementCount = int(values.size());
    p.data = QByteArray(reinterpret_cast<const char *>(values.data()), qsizetype(values.size() * sizeof(T)));
    return p;
}

QImage filled(int w, int h, QColor colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

} // namespace

TEST(AnalyzerVector, UnitLengthFromEitherElementType)
{
    const auto singles = Analyzer::vector(printOf<float>({3, 0, 4}));
    const auto doubles = Analyzer::vector(printOf<double>({3, 0, 4}));
    ASSERT_TRUE(singles && doubles);
    EXPECT_EQ(*singles, *doubles);
    EXPECT_FLOAT_EQ((*singles)[0], 0.6f);
    EXPECT_FLOAT_EQ((*singles)[2], 0.8f);
}

TEST(AnalyzerVector, EdgeCases)
{
    EXPECT_FALSE(Analyzer::vector(printOf<float>({})).has_value());
    // A zero vector cannot be made unit length: it is returned as it is.
    const auto zero = Analyzer::vector(printOf<float>({0, 0}));
    ASSERT_TRUE(zero.has_value());
    EXPECT_EQ(*zero, (std::vector<float>{0, 0}));
    // A count larger than the data would read past it.
    FeaturePrint shortData = printOf<float>({1, 2});
    shortData.elementCount = 3;
    EXPECT_FALSE(Analyzer::vector(shortData).has_value());
    FeaturePrint claimsDoubles = printOf<float>({1, 2});
    claimsDoubles.elementType = 2;
    EXPECT_FALSE(Analyzer::vector(claimsDoubles).has_value());
    // A broken model output must not poison every distance measured against it.
    EXPECT_FALSE(Analyzer::vector(printOf<float>({1, std::numeric_limits<float>::quiet_NaN()})).has_value());
    EXPECT_FALSE(Analyzer::vector(printOf<double>({1e300, 1})).has_value()); // inf as float
}

TEST(AnalyzerOpenness, RatiosOfTheOutline)
{
    const std::vector<QPointF> tenByTwo = {QPointF(0, 0), QPointF(5, 1), QPointF(10, 0), QPointF(5, -1)};
    EXPECT_FLOAT_EQ(Analyzer::openness(tenByTwo), 0.75f);
    EXPECT_FLOAT_EQ(Analyzer::openness(eyeOutline(0.05)), 0.0f);
    EXPECT_FLOAT_EQ(Analyzer::openness(eyeOutline(0.3)), 1.0f);
    EXPECT_FLOAT_EQ(Analyzer::openness(eyeOutline(0.16)), 0.5f);
    EXPECT_FLOAT_EQ(Analyzer::openness({QPointF(0, 0), QPointF(1, 1), QPointF(2, 0)}), 0.5f);
    // Width at most 0.0001: shut, however tall.
    EXPECT_FLOAT_EQ(Analyzer::openness({QPointF(0, 0), QPointF(0.00005, 1), QPointF(0, 2), QPointF(0, 3)}), 0.0f);
}

TEST(AnalyzerRegions, HairAboveAndTorsoBelowTheFace)
{
    const NormRect face{0.4, 0.5, 0.2, 0.2};
    const NormRect hair = Analyzer::hairRegion(face);
    EXPECT_DOUBLE_EQ(hair.x, 0.39);
    EXPECT_DOUBLE_EQ(hair.y, 0.7);
    EXPECT_DOUBLE_EQ(hair.w, 0.22);
    EXPECT_DOUBLE_EQ(hair.h, 0.11);
    const NormRect torso = Analyzer::torsoRegion(face);
    EXPECT_DOUBLE_EQ(torso.x, 0.33);
    EXPECT_NEAR(torso.y, 0.14, 1e-12);
    EXPECT_DOUBLE_EQ(torso.w, 0.34);
    EXPECT_DOUBLE_EQ(torso.h, 0.36);
}

TEST(AnalyzerColorPrint, SingleColoursFillOneBin)
{
    const auto red = Analyzer::colorPrint({0.25, 0.25, 0.5, 0.5}, filled(100, 100, Qt::red));
    ASSERT_TRUE(red.has_value());
    ASSERT_EQ(red->size(), 64u);
    EXPECT_FLOAT_EQ((*red)[48], 1.0f); // R 255 → 3 × 16
    const auto blue = Analyzer::colorPrint({0.25, 0.25, 0.5, 0.5}, filled(100, 100, Qt::blue));
    ASSERT_TRUE(blue.has_value());
    EXPECT_FLOAT_EQ((*blue)[3], 1.0f);
    EXPECT_FLOAT_EQ(*Analyzer::colorDistance(red, blue), 1.0f);
    EXPECT_FLOAT_EQ(*Analyzer::colorDistance(red, red), 0.0f);
    EXPECT_FALSE(Analyzer::colorDistance(red, std::nullopt).has_value());
}

TEST(AnalyzerColorPrint, MixturesSumToOne)
{
    QImage image = filled(200, 100, Qt::white);
    QPainter p(&image);
    p.fillRect(0, 0, 100, 100, QColor(10, 200, 90));
    p.end();
    const auto print = Analyzer::colorPrint({0, 0, 1, 1}, image);
    ASSERT_TRUE(print.has_value());
    EXPECT_NEAR(std::accumulate(print->begin(), print->end(), 0.0), 1.0, 1e-6);
    EXPECT_NEAR((*print)[63], 0.5, 1.0 / 16); // white
    EXPECT_NEAR((*print)[0 * 16 + 3 * 4 + 1], 0.5, 1.0 / 16);
}

TEST(AnalyzerColorPrint, RegionIsClampedToTheImage)
{
    // Left half red: a region reaching far past the left edge sees only red.
    QImage image = filled(200, 100, Qt::blue);
    QPainter p(&image);
    p.fillRect(0, 0, 100, 100, Qt::red);
    p.end();
    const auto print = Analyzer::colorPrint({-0.5, 0.0, 0.9, 1.0}, image);
    ASSERT_TRUE(print.has_value());
    EXPECT_FLOAT_EQ((*print)[48], 1.0f);
}

TEST(AnalyzerColorPrint, TooSmallOrOutsideGivesNothing)
{
    const QImage image = filled(100, 100, Qt::red);
    EXPECT_FALSE(Analyzer::colorPrint({0.5, 0.5, 0.119, 0.5}, image).has_value()); // 11.9 px wide
    EXPECT_TRUE(Analyzer::colorPrint({0.5, 0.5, 0.12, 0.12}, image).has_value());
    EXPECT_FALSE(Analyzer::colorPrint({0.0, 0.95, 0.5, 0.5}, image).has_value()); // 5 px inside
    EXPECT_FALSE(Analyzer::colorPrint({1.2, 0.2, 0.5, 0.5}, image).has_value());
    EXPECT_FALSE(Analyzer::colorPrint({0, 0, 1, 1}, QImage()).has_value());
}

TEST(AnalyzerEyes, SquareUnder24PixelsIsNotMeasured)
{
    FakeVision vision;
    const QImage small = filled(100, 100, Qt::gray);
    // 1.9 × 0.11 of 100 px: 39.55…60.45, whole pixels 39…61, 22 wide.
    EXPECT_FALSE(Analyzer::eyeOpenScore(faceAt(0.5, 0.5, 0.11, 0.11), small, vision).has_value());
    EXPECT_TRUE(vision.landmarkSizes.empty());
    // 1.9 × 0.12: 38.6…61.4 is only 22.8 wide, but widened to whole pixels it is 24.
    EXPECT_TRUE(Analyzer::eyeOpenScore(faceAt(0.5, 0.5, 0.12, 0.12), small, vision).has_value());
    ASSERT_EQ(vision.landmarkSizes.size(), 1u);
    EXPECT_EQ(vision.landmarkSizes[0], QSize(24, 24));
}

TEST(AnalyzerEyes, NoFaceOrTooFewEyePointsIsNotMeasured)
{
    FakeVision failing;
    failing.landmarksFail = true;
    const QImage small = filled(400, 300, Qt::gray);
    EXPECT_FALSE(Analyzer::eyeOpenScore(faceAt(0.5, 0.5, 0.2, 0.2), small, failing).has_value());

    class ThreePointEyes : public FakeVision {
    public:
        std::optional<std::vector<FaceLandmarks>> detectLandmarks(const QImage &) const override
        {
            FaceLandmarks m;
            m.leftEye = eyeOutline(0.3);
            m.rightEye = std::vector<QPointF>{QPointF(0, 0), QPointF(1, 1), QPointF(2, 0)};
            return std::vector<FaceLandmarks>{m, FaceLandmarks{}};
        }
    } threePoints;
    EXPECT_FALSE(Analyzer::eyeOpenScore(faceAt(0.5, 0.5, 0.2, 0.2), small, threePoints).has_value());

    class NoFaces : public FakeVision {
    public:
        std::optional<std::vector<FaceLandmarks>> detectLandmarks(const QImage &) const override
        {
            return std::vector<FaceLandmarks>{};
        }
    } none;
    EXPECT_FALSE(Analyzer::eyeOpenScore(faceAt(0.5, 0.5, 0.2, 0.2), small, none).has_value());
}

TEST(AnalyzerEyes, LidsReadShutOutweighOutlinesThatLookOpenOrDisagree)
{
    class Lids : public FakeVision {
    public:
        std::optional<float> gap;
        bool steady = true;
        std::optional<std::vector<FaceLandmarks>> detectLandmarks(const QImage &) const override
        {
            FaceLandmarks m;
            m.leftEye = eyeOutline(0.3);
            m.rightEye = eyeOutline(0.3);
            m.eyesSteady = steady;
            m.lidGap = gap;
            return std::vector<FaceLandmarks>{m};
        }
    } vision;
    const QImage small = filled(400, 300, Qt::gray);
    const auto score = [&](std::optional<float> gap, bool steady) {
        vision.gap = gap;
        vision.steady = steady;
        return Analyzer::eyeOpenScore(faceAt(0.5, 0.5, 0.2, 0.2), small, vision);
    };
    const std::optional<float> open = score(std::nullopt, true);
    ASSERT_TRUE(open.has_value());
    EXPECT_GE(*open, 0.5f);
    EXPECT_EQ(score(0.3f, true), open); // lids apart: the outline decides
    EXPECT_FALSE(score(0.3f, false).has_value());
    EXPECT_FALSE(score(std::nullopt, false).has_value());
    // Shut lids are closed eyes, flagged, whether the outline looks open or is unsteady.
    for (const bool steady : {true, false}) {
        ASSERT_TRUE(score(0.19f, steady).has_value());
        EXPECT_LT(*score(0.19f, steady), 0.35f);
        EXPECT_EQ(score(0.1f, steady), 0.0f);
    }
    EXPECT_LT(*score(0.15f, false), *score(0.2f, false)); // the wider gap reads more open
}

TEST(AnalyzerFacePrint, FaceAtTheEdgeKeepsItsWholeSquare)
{
    FakeVision vision;
    const QImage large = filled(1000, 1000, Qt::gray);
    // Half the square lies left of the image: the crop keeps the whole square (edge pixels
    // repeated), so that the face stays in its middle.
    const auto print = Analyzer::facePrint(faceAt(0.0, 0.5, 0.1, 0.1), large, vision);
    ASSERT_TRUE(print.has_value());
    ASSERT_EQ(vision.facePrintSizes.size(), 1u);
    EXPECT_NEAR(vision.facePrintSizes[0].width(), 118, 1);
    EXPECT_NEAR(vision.facePrintSizes[0].height(), 118, 1);
    // Wholly outside: nothing is cut and nothing is printed.
    EXPECT_FALSE(Analyzer::facePrint(faceAt(1.5, 0.5, 0.1, 0.1), large, vision).has_value());
    EXPECT_EQ(vision.facePrintSizes.size(), 1u);
}
