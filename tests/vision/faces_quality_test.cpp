// Capture quality: each measured part must move the score the right way, on constructed faces.

#include "vision/facequality.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <random>

using namespace mendral;

namespace {

FaceQualityParts goodParts()
{
    return {0.8, 0.9, 0.9, 0.9, 0.8};
}

// A textured "face": random grey blocks around a mid tone, so it has detail to lose.
QImage texturedFace(int side, int meanGrey)
{
    QImage image(side, side, QImage::Format_RGB32);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> d(-40, 40);
    for (int y = 0; y < side; y += 4)
        for (int x = 0; x < side; x += 4) {
            const int g = std::clamp(meanGrey + d(rng), 0, 255);
            for (int yy = y; yy < std::min(side, y + 4); ++yy)
                for (int xx = x; xx < std::min(side, x + 4); ++xx)
                    image.setPixel(xx, yy, qRgb(g, g, g));
        }
    return image;
}

QImage blurred(const QImage &image)
{
    return image.scaled(image.width() / 8, image.height() / 8, Qt::IgnoreAspectRatio,
                        Qt::SmoothTransformation)
        .scaled(image.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// 68 points with the nose tip at fraction t between the jaw's ends and the eyes `open` high.
FaceShape shapeWith(double t, double eyeHeight)
{
    FaceShape s;
    s.fill(QPointF(50, 50));
    s[shape68::jawFirst] = QPointF(0, 40);
    s[shape68::jawLast] = QPointF(100, 40);
    s[shape68::noseTip] = QPointF(100 * t, 55);
    for (int first : {shape68::rightEyeFirst, shape68::leftEyeFirst}) {
        const double cx = first == shape68::rightEyeFirst ? 30 : 70;
        s[first + 0] = QPointF(cx - 10, 30);
        s[first + 1] = QPointF(cx - 3, 30 - eyeHeight / 2);
        s[first + 2] = QPointF(cx + 3, 30 - eyeHeight / 2);
        s[first + 3] = QPointF(cx + 10, 30);
        s[first + 4] = QPointF(cx + 3, 30 + eyeHeight / 2);
        s[first + 5] = QPointF(cx - 3, 30 + eyeHeight / 2);
    }
    return s;
}

} // namespace

TEST(FaceQuality, BoundsOfTheCombination)
{
    EXPECT_DOUBLE_EQ(combineFaceQuality({1, 1, 1, 1, 1}), 1.0);
    EXPECT_DOUBLE_EQ(combineFaceQuality({0, 0, 0, 0, 0}), 0.0);
    // Out-of-range parts are clamped, not extrapolated.
    EXPECT_DOUBLE_EQ(combineFaceQuality({5, -3, 1, 1, 1}), combineFaceQuality({1, 0, 1, 1, 1}));
}

TEST(FaceQuality, EveryPartLowersTheScoreOnItsOwn)
{
    const double base = combineFaceQuality(goodParts());
    for (int part = 0; part < 5; ++part) {
        FaceQualityParts p = goodParts();
        double *field[] = {&p.sharpness, &p.exposure, &p.frontality, &p.eyes, &p.confidence};
        *field[part] -= 0.3;
        EXPECT_LT(combineFaceQuality(p), base) << "part " << part;
    }
}

TEST(FaceQuality, PartsAreMonotone)
{
    EXPECT_EQ(sharpnessPart(0), 0.0);
    EXPECT_EQ(sharpnessPart(-5), 0.0);
    EXPECT_LT(sharpnessPart(50), sharpnessPart(400));
    EXPECT_LT(sharpnessPart(400), 1.0);

    // Darker than mid grey: strictly lower; clipping costs on its own.
    EXPECT_LT(exposurePart(0.35, 0), exposurePart(0.45, 0));
    EXPECT_LT(exposurePart(0.1, 0), exposurePart(0.35, 0));
    EXPECT_LT(exposurePart(0.9, 0), exposurePart(0.6, 0));
    EXPECT_LT(exposurePart(0.5, 0.2), exposurePart(0.5, 0));
    EXPECT_GE(exposurePart(0.0, 1.0), 0.0);

    EXPECT_EQ(confidencePart(-1), 0.0);
    EXPECT_LT(confidencePart(0.2), confidencePart(2.0));
}

TEST(FaceQuality, FrontalityFromTheNose)
{
    EXPECT_NEAR(frontalityPart(shapeWith(0.5, 8)), 1.0, 1e-12);
    EXPECT_NEAR(frontalityPart(shapeWith(0.25, 8)), 1.0 / 3.0, 1e-12);
    EXPECT_NEAR(frontalityPart(shapeWith(0.75, 8)), 1.0 / 3.0, 1e-12);
    EXPECT_EQ(frontalityPart(shapeWith(1.2, 8)), 0.0); // nose past the jaw: full profile
    FaceShape flat;
    flat.fill(QPointF(4, 4));
    EXPECT_EQ(frontalityPart(flat), 0.5); // no jaw to measure against
}

TEST(FaceQuality, EyesPartFollowsTheLessOpenEye)
{
    EXPECT_EQ(eyesPart(shapeWith(0.5, 10)), 1.0); // ratio 0.5: wide open
    EXPECT_EQ(eyesPart(shapeWith(0.5, 2)), 0.0);  // ratio 0.1: shut
    FaceShape oneShut = shapeWith(0.5, 10);
    for (int i : {1, 2, 4, 5})
        oneShut[shape68::leftEyeFirst + i].setY(30);
    EXPECT_EQ(eyesPart(oneShut), 0.0);
}

TEST(FaceQuality, BlurDarknessAndShutEyesScoreLower)
{
    const QImage face = texturedFace(200, 128);
    const QRectF box(20, 20, 160, 160);
    const FaceShape open = shapeWith(0.5, 8);
    const double original = combineFaceQuality(measureFaceQuality(face, box, open, 1.0));

    EXPECT_LT(combineFaceQuality(measureFaceQuality(blurred(face), box, open, 1.0)), original);
    EXPECT_LT(combineFaceQuality(measureFaceQuality(texturedFace(200, 50), box, open, 1.0)),
              original);
    EXPECT_LT(combineFaceQuality(measureFaceQuality(face, box, shapeWith(0.5, 1), 1.0)), original);
}

TEST(FaceQuality, ABlurredFaceIsAPoorCaptureButASmallFaceIsNotJudgedByItsEnlargement)
{
    const FaceShape open = shapeWith(0.5, 8);
    // Well lit, open-eyed and frontal, but blurred: below the 0.35 of a poor face.
    const QImage face = texturedFace(200, 128);
    const FaceQualityParts sharp = measureFaceQuality(face, QRectF(20, 20, 160, 160), open, 1.0);
    const FaceQualityParts soft = measureFaceQuality(blurred(face), QRectF(20, 20, 160, 160), open, 1.0);
    EXPECT_TRUE(sharp.sharpnessAtFullScale && soft.sharpnessAtFullScale);
    EXPECT_GT(combineFaceQuality(sharp), 0.7);
    EXPECT_LT(combineFaceQuality(soft), 0.35);
    // A sharp face of 24 pixels is enlarged to be measured and reads soft; that is not blur.
    const QImage small = face.scaled(24, 24, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const FaceQualityParts enlarged = measureFaceQuality(small, QRectF(0, 0, 24, 24), open, 1.0);
    EXPECT_FALSE(enlarged.sharpnessAtFullScale);
    EXPECT_GT(combineFaceQuality(enlarged), 0.35) << enlarged.sharpness;
}

TEST(FaceQuality, BoxOutsideTheImageKeepsOnlyWhatCanBeMeasured)
{
    const QImage face = texturedFace(100, 128);
    const FaceQualityParts p = measureFaceQuality(face, QRectF(500, 500, 50, 50), std::nullopt, 1.0);
    EXPECT_EQ(p.sharpness, 0.0);
    EXPECT_EQ(p.exposure, 0.0);
    EXPECT_EQ(p.eyes, 0.5);
    EXPECT_GT(p.confidence, 0.0);
    // A null image neither crashes nor scores detail.
    EXPECT_EQ(measureFaceQuality(QImage(), QRectF(0, 0, 10, 10), std::nullopt, 1.0).sharpness, 0.0);
}
