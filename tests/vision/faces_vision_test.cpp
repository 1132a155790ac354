// The program's vision component as the analysis sees it: null input, packed prints, and the
// faces standing without the people model.

#include "testphotos.h"

#include "vision/dlibvision.h"
#include "vision/neural.h"
#include "vision/scenecolor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

using namespace mendral;

TEST(DefaultVision, NullImagesFailEveryOperation)
{
    const Vision &v = defaultVision();
    EXPECT_FALSE(v.sceneFeaturePrint(QImage()).has_value());
    EXPECT_FALSE(v.faceFeaturePrint(QImage()).has_value());
    EXPECT_FALSE(v.detectFacesAndHumans(QImage()).has_value());
    EXPECT_FALSE(v.detectLandmarks(QImage()).has_value());
}

TEST(DefaultVision, BlankImageHasNoFacesButSucceeds)
{
    QImage blank(640, 480, QImage::Format_RGB32);
    blank.fill(qRgb(120, 130, 140));
    const auto found = defaultVision().detectFacesAndHumans(blank);
    ASSERT_TRUE(found.has_value());
    EXPECT_TRUE(found->faces.empty());
    EXPECT_EQ(found->humanCount, 0);
    const auto marks = defaultVision().detectLandmarks(blank);
    ASSERT_TRUE(marks.has_value());
    EXPECT_TRUE(marks->empty());
}

TEST(DefaultVision, PrintsArePackedAs32BitFloats)
{
    const FeaturePrint p = packFeaturePrint({0.6f, -0.8f});
    EXPECT_EQ(p.elementType, 1);
    EXPECT_EQ(p.elementCount, 2);
    ASSERT_EQ(p.data.size(), 8);
    float back[2];
    std::memcpy(back, p.data.constData(), 8);
    EXPECT_EQ(back[0], 0.6f);
    EXPECT_EQ(back[1], -0.8f);
    EXPECT_EQ(packFeaturePrint({}).elementCount, 0);
}

TEST(DefaultVision, ScenePrintFollowsTheModels)
{
    QImage image(300, 300, QImage::Format_RGB32);
    image.fill(qRgb(30, 160, 90));
    const auto print = defaultVision().sceneFeaturePrint(image);
    if (!neural::modelsAvailable()) {
        EXPECT_FALSE(print.has_value());
        return;
    }
    ASSERT_TRUE(print.has_value());
    EXPECT_GT(print->elementCount, 0);
    EXPECT_EQ(print->data.size(), qsizetype(print->elementCount) * 4);
}

TEST(SceneColours, HistogramIgnoresExposureAndDarkness)
{
    EXPECT_TRUE(chromaHistogram(QImage()).empty());
    // Left half orange, right half blue; the darker copy keeps the colours, the black frame
    // (no pixel with a colour) counts as grey, like a grey frame.
    QImage two(200, 100, QImage::Format_RGB32);
    two.fill(qRgb(40, 60, 200));
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            two.setPixel(x, y, qRgb(230, 140, 40));
    QImage dark = two;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) {
            const QRgb p = two.pixel(x, y);
            dark.setPixel(x, y, qRgb(qRed(p) / 2, qGreen(p) / 2, qBlue(p) / 2));
        }
    QImage black(50, 50, QImage::Format_RGB888), grey(50, 50, QImage::Format_RGB888);
    black.fill(Qt::black);
    grey.fill(QColor(128, 128, 128));
    const std::vector<float> h = chromaHistogram(two), d = chromaHistogram(dark);
    ASSERT_EQ(h.size(), 36u);
    EXPECT_NEAR(std::accumulate(h.begin(), h.end(), 0.0), 1.0, 1e-5);
    double fromGrey = 0;
    for (size_t k = 0; k < h.size(); ++k) {
        EXPECT_NEAR(h[k], d[k], 0.02) << k;
        fromGrey += std::abs(h[k] - chromaHistogram(grey)[k]) / 2;
    }
    EXPECT_GT(fromGrey, 0.9);
    EXPECT_EQ(chromaHistogram(black), chromaHistogram(grey));
    const std::vector<float> b = chromaHistogram(black);
    EXPECT_NEAR(std::accumulate(b.begin(), b.end(), 0.0), 1.0, 1e-6);
}

TEST(DefaultVision, FacesOfAGroupPhotoWithQuality)
{
    const QImage image = mendral::test::testPhoto("faces/sample6.jpg");
    if (image.isNull())
        GTEST_SKIP() << mendral::test::missingPhotosReason().toStdString();
    const auto found = defaultVision().detectFacesAndHumans(image);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->faces.size(), 4u);
    for (const FaceObservation &f : found->faces)
        EXPECT_TRUE(f.faceCaptureQuality.has_value());
    if (neural::modelsAvailable()) {
        EXPECT_GE(found->humanCount, 3);
        EXPECT_LE(found->humanCount, 5);
    }
}
