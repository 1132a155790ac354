// analyze() with the program's own vision component on real photos.

#include "vision/testphotos.h"

#include "analysis/analyzer.h"
#include "analysis/colordistance.h"
#include "vision/neural.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

using namespace mendral;

namespace {

QString photoPath(const QString &relative)
{
    const QString path = mendral::test::testPhotoDirectory() + "/" + relative;
    return QFileInfo::exists(path) ? path : QString();
}

double length(const std::vector<float> &v)
{
    return std::sqrt(std::inner_product(v.begin(), v.end(), v.begin(), 0.0));
}

} // namespace

TEST(AnalyzePhotos, Portrait)
{
    const QString path = photoPath("faces/astronaut.png");
    if (path.isEmpty())
        GTEST_SKIP() << mendral::test::missingPhotosReason().toStdString();
    const auto a = Analyzer::analyze(path);
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->faceCount, 1);
    EXPECT_GE(a->eyeOpen, 0.5f);
    EXPECT_GT(a->faceQuality, 0.5f);
    EXPECT_GT(a->mainFaceSide, 0.15f);
    EXPECT_LT(a->mainFaceSide, 0.25f);
    ASSERT_TRUE(a->hairPrint && a->torsoPrint);
    EXPECT_NEAR(std::accumulate(a->hairPrint->begin(), a->hairPrint->end(), 0.0), 1.0, 1e-5);
    // Her hair is brown and her suit orange: the two prints differ a good deal.
    EXPECT_GT(*Analyzer::colorDistance(a->hairPrint, a->torsoPrint), 0.3f);
    EXPECT_GT(a->sharpness, 0.0f);
    if (neural::modelsAvailable()) {
        ASSERT_TRUE(a->featurePrint.has_value());
        EXPECT_NEAR(length(*a->featurePrint), 1.0, 1e-4);
        ASSERT_EQ(a->facePrints.size(), 1u);
        EXPECT_NEAR(length(a->facePrints[0]), 1.0, 1e-4);
    }
}

TEST(AnalyzePhotos, GroupWithOpenEyes)
{
    const QString path = photoPath("faces/sample6.jpg");
    if (path.isEmpty())
        GTEST_SKIP() << mendral::test::missingPhotosReason().toStdString();
    const auto a = Analyzer::analyze(path);
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->faceCount, 4);
    EXPECT_GE(a->eyeOpen, 0.5f);
    EXPECT_GT(a->faceQuality, 0.4f);
    if (neural::modelsAvailable()) {
        EXPECT_EQ(a->facePrints.size(), 4u);
        EXPECT_GE(a->humanCount, 3);
    }
}

TEST(AnalyzePhotos, LandscapeHasNoFaces)
{
    const QString path = photoPath("landscapes/Wood.jpg");
    if (path.isEmpty())
        GTEST_SKIP() << mendral::test::missingPhotosReason().toStdString();
    const auto a = Analyzer::analyze(path);
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->faceCount, 0);
    EXPECT_EQ(a->eyeOpen, -1.0f);
    EXPECT_TRUE(a->facePrints.empty());
    EXPECT_FALSE(a->hairPrint.has_value());
    EXPECT_EQ(a->featurePrint.has_value(), neural::modelsAvailable());
}
