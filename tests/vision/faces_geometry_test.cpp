// Box conversions and eye outlines: the geometry between dlib's pixels and the normalised,
// bottom-left-origin values the analysis reads.

#include "vision/eyeoutline.h"
#include "vision/facevision.h"
#include "vision/vision.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace mendral;

namespace {

// Bounding-box ratio of normalised points, as the analysis measures an outline.
double boxRatio(const std::vector<QPointF> &pts)
{
    double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
    for (const QPointF &p : pts) {
        minX = std::min(minX, p.x()), maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y()), maxY = std::max(maxY, p.y());
    }
    return (maxY - minY) / (maxX - minX);
}

// An eye of the 68-point layout: corners, upper lid, lower lid; 30 wide and `height` high,
// turned by `degrees` about (cx, cy). y points down as in image pixels.
EyePoints makeEye(double cx, double cy, double height, double degrees = 0)
{
    const EyePoints flat = {QPointF(-15, 0), QPointF(-5, -height / 2), QPointF(5, -height / 2),
                            QPointF(15, 0), QPointF(5, height / 2), QPointF(-5, height / 2)};
    const double a = degrees * M_PI / 180.0;
    EyePoints eye;
    for (int i = 0; i < 6; ++i) {
        const QPointF p = flat[i];
        eye[i] = QPointF(cx + p.x() * std::cos(a) - p.y() * std::sin(a),
                         cy + p.x() * std::sin(a) + p.y() * std::cos(a));
    }
    return eye;
}

} // namespace

TEST(PixelRect, FlipsYAndWidensToWholePixels)
{
    EXPECT_EQ(toPixelRect({0.1, 0.2, 0.3, 0.4}, 100, 50), QRect(10, 20, 30, 20));
    // 10.5…40.5 across and 19.5…30.5 down widen to 10…41 and 19…31.
    EXPECT_EQ(toPixelRect({0.105, 0.39, 0.3, 0.22}, 100, 50), QRect(10, 19, 31, 12));
    // Not clamped: a box reaching past the top keeps its negative origin.
    EXPECT_EQ(toPixelRect({0.0, 0.75, 0.5, 0.5}, 100, 100), QRect(0, -25, 50, 50));
}

TEST(NormRect, FlipsYAndClipsToTheImage)
{
    const NormRect r = toNormRect(QRectF(10, 20, 30, 20), 100, 50);
    EXPECT_DOUBLE_EQ(r.x, 0.1);
    EXPECT_DOUBLE_EQ(r.y, 0.2);
    EXPECT_DOUBLE_EQ(r.w, 0.3);
    EXPECT_DOUBLE_EQ(r.h, 0.4);
    // Round trip through the pixel conversion.
    EXPECT_EQ(toPixelRect(r, 100, 50), QRect(10, 20, 30, 20));

    // A detector box reaching past the left and top edges is cut at them.
    const NormRect c = toNormRect(QRectF(-20, -10, 60, 40), 200, 100);
    EXPECT_DOUBLE_EQ(c.x, 0.0);
    EXPECT_DOUBLE_EQ(c.w, 0.2);
    EXPECT_DOUBLE_EQ(c.maxY(), 1.0);
    EXPECT_DOUBLE_EQ(c.h, 0.3);

    const NormRect outside = toNormRect(QRectF(300, 10, 20, 20), 200, 100);
    EXPECT_EQ(outside.w, 0.0);
    EXPECT_EQ(toNormRect(QRectF(0, 0, 10, 10), 0, 0).w, 0.0);
}

TEST(EyeRatio, MeasuredAlongTheCornersWhateverTheTilt)
{
    const double level = eyeAspectRatio(makeEye(50, 50, 9));
    EXPECT_NEAR(level, 0.3, 1e-9);
    EXPECT_NEAR(eyeAspectRatio(makeEye(50, 50, 9, 25)), level, 1e-9);
    EXPECT_NEAR(eyeAspectRatio(makeEye(50, 50, 9, -40)), level, 1e-9);
    // Corners in the other order (the outline traced from the right).
    EXPECT_NEAR(eyeAspectRatio(makeEye(50, 50, 9, 180)), level, 1e-9);
}

TEST(EyeRatio, CoincidentCornersGiveZero)
{
    EyePoints eye;
    eye.fill(QPointF(3, 3));
    EXPECT_EQ(eyeAspectRatio(eye), 0.0);
    EXPECT_TRUE(std::isfinite(calibratedEyeOutline(eye, QRectF(0, 0, 10, 10))[0].x()));
}

TEST(EyeCalibration, MapsShutAndOpenOntoTheScoreScale)
{
    EXPECT_NEAR(calibratedEyeRatio(0.13), 0.08, 1e-12);
    EXPECT_NEAR(calibratedEyeRatio(0.33), 0.24, 1e-12);
    EXPECT_NEAR(calibratedEyeRatio(0.20), 0.136, 1e-12); // the flag line of the openness score
    EXPECT_EQ(calibratedEyeRatio(0.0), 0.0);              // never negative
    EXPECT_GT(calibratedEyeRatio(0.45), 0.24);
}

TEST(EyeOutline, NormalisedOutlineCarriesTheCalibratedRatio)
{
    // A tilted eye in a face box that is taller than wide: the normalised outline's bounding
    // box must carry the calibrated ratio, not the pixel ratio and not the box's aspect.
    const QRectF box(100, 200, 120, 180);
    const EyePoints eye = makeEye(140, 260, 8.4, 20); // pixel ratio 0.28
    const std::vector<QPointF> out = calibratedEyeOutline(eye, box);
    ASSERT_EQ(out.size(), 6u);
    EXPECT_NEAR(boxRatio(out), calibratedEyeRatio(0.28), 1e-9);
}

TEST(EyeOutline, NormalisedToTheBoxWithTheOriginBottomLeft)
{
    const QRectF box(100, 200, 100, 100);
    const std::vector<QPointF> out = calibratedEyeOutline(makeEye(130, 240, 9), box);
    // Centre of the corners at 30 % across and 40 % down: y = 0.6 from the bottom.
    EXPECT_NEAR((out[0].x() + out[3].x()) / 2, 0.3, 1e-9);
    EXPECT_NEAR((out[0].y() + out[3].y()) / 2, 0.6, 1e-9);
    // The upper lid lies above the corners, so higher in bottom-left coordinates.
    EXPECT_GT(out[1].y(), out[0].y());
    EXPECT_LT(out[4].y(), out[0].y());
    EXPECT_TRUE(calibratedEyeOutline(makeEye(130, 240, 9), QRectF()).empty());
}
