#include "analysis/analyzer.h"
#include "analysis/focus.h"
#include "analysis/imagestats.h"

#include <QImage>

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

using namespace mendral;

namespace {

QImage grayImage(int w, int h, int level)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor(level, level, level));
    return img;
}

// Fills the rows of a 100-column image with levels in the given shares (rows of 100 pixels).
QImage bands(std::initializer_list<std::pair<int, int>> rowsAndLevels)
{
    int rows = 0;
    for (const auto &[n, level] : rowsAndLevels)
        rows += n;
    QImage img(100, rows, QImage::Format_RGB32);
    int y = 0;
    for (const auto &[n, level] : rowsAndLevels)
        for (int i = 0; i < n; ++i, ++y)
            for (int x = 0; x < 100; ++x)
                img.setPixel(x, y, qRgb(level, level, level));
    return img;
}

} // namespace

TEST(GrayStats, UniformMidGreyIsFlatAndWellExposed)
{
    const auto s = Analyzer::grayStats(grayImage(200, 150, 128));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->laplacianVariance, 0.0f);
    EXPECT_EQ(s->exposureScore, 1.0f);
}

TEST(GrayStats, AllBlackClampsToZero)
{
    const auto s = Analyzer::grayStats(grayImage(64, 64, 0));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->exposureScore, 0.0f);
}

TEST(GrayStats, TenPercentClippedHighlightsCostPointTwoTwo)
{
    // 10 % at 255, 60 % at 113, 30 % at 114: mean exactly 127.5, so only clipping counts.
    const auto s = Analyzer::grayStats(bands({{10, 255}, {60, 113}, {30, 114}}));
    ASSERT_TRUE(s);
    EXPECT_NEAR(s->exposureScore, 0.78f, 1e-5);
}

TEST(GrayStats, DarkMeanCostsMidTonePenalty)
{
    // Mean 25.5 = brightness 0.1, nothing at or below 5: d = 0.06.
    const auto s = Analyzer::grayStats(bands({{50, 25}, {50, 26}}));
    ASSERT_TRUE(s);
    EXPECT_NEAR(s->exposureScore, 0.868f, 1e-5);
}

TEST(GrayStats, ClipThresholdsAreInclusive)
{
    // 5 and 250 count as clipped, 6 and 249 do not; the mean stays mid-range.
    const auto clipped = Analyzer::grayStats(bands({{20, 5}, {20, 250}, {60, 128}}));
    const auto kept = Analyzer::grayStats(bands({{20, 6}, {20, 249}, {60, 128}}));
    ASSERT_TRUE(clipped && kept);
    EXPECT_NEAR(clipped->exposureScore, 1.0f - 2.2f * 0.4f, 1e-5);
    EXPECT_EQ(kept->exposureScore, 1.0f);
    // The two sides are kept apart for comparing a frame with its siblings.
    EXPECT_NEAR(clipped->highlights, 0.2f, 1e-5);
    EXPECT_NEAR(clipped->shadows, 0.2f, 1e-5);
    EXPECT_EQ(kept->highlights + kept->shadows, 0.0f);
}

TEST(GrayStats, WhiteIsPenalisedAsMuchAsBlack)
{
    const auto s = Analyzer::grayStats(grayImage(50, 50, 255));
    ASSERT_TRUE(s);
    EXPECT_EQ(s->exposureScore, 0.0f);
    // Bright but unclipped: brightness 240/255, d = 0.16 - (1 - 0.941…).
    const auto bright = Analyzer::grayStats(grayImage(50, 50, 240));
    ASSERT_TRUE(bright);
    EXPECT_NEAR(bright->exposureScore, 1.0f - 2.2f * (0.16f - 15.0f / 255.0f), 1e-5);
}

TEST(GrayStats, TooSmallGivesNothing)
{
    EXPECT_FALSE(Analyzer::grayStats(grayImage(8, 100, 128)));
    EXPECT_FALSE(Analyzer::grayStats(grayImage(100, 8, 128)));
    EXPECT_FALSE(Analyzer::grayStats(QImage()));
    EXPECT_TRUE(Analyzer::grayStats(grayImage(9, 9, 128)));
}

TEST(GrayStats, GreySizeTruncatesAndKeepsEightPixelFloor)
{
    EXPECT_EQ(Analyzer::grayCopy(grayImage(9, 4000, 128)).size(), QSize(8, 320));
    EXPECT_EQ(Analyzer::grayCopy(grayImage(4000, 3000, 128)).size(), QSize(320, 240));
    EXPECT_EQ(Analyzer::grayCopy(grayImage(300, 200, 128)).size(), QSize(300, 200));
    // 1000 × 333: 0.32 × 333 = 106.56 truncates to 106.
    EXPECT_EQ(Analyzer::grayCopy(grayImage(1000, 333, 128)).size(), QSize(320, 106));
}

TEST(GrayStats, CornerPixelIsOutsideTheLaplacian)
{
    QImage img = grayImage(100, 100, 255);
    img.setPixel(0, 0, qRgb(0, 0, 0));
    const auto corner = Analyzer::grayStats(img);
    ASSERT_TRUE(corner);
    EXPECT_EQ(corner->laplacianVariance, 0.0f);

    img.setPixel(0, 0, qRgb(255, 255, 255));
    img.setPixel(1, 1, qRgb(0, 0, 0));
    const auto inner = Analyzer::grayStats(img);
    ASSERT_TRUE(inner);
    // L = 1020 at (1,1) and -255 at its two neighbours off the border (the other two are
    // border entries and stay 0): sum = 1020 - 2·255, squares = 1020² + 2·255², over 10 000.
    const float mean = (1020.0f - 510.0f) / 10000.0f;
    const float meanSquare = (1020.0f * 1020.0f + 2 * 255.0f * 255.0f) / 10000.0f;
    EXPECT_NEAR(inner->laplacianVariance, meanSquare - mean * mean, 1e-2);
}

TEST(GrayStats, TransparentPixelsCountAsBlack)
{
    QImage img(50, 50, QImage::Format_ARGB32);
    img.fill(QColor(255, 255, 255, 0));
    const auto s = Analyzer::grayStats(img);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->exposureScore, 0.0f);
}

TEST(GrayStats, SharpEdgesScoreHigherThanBlurredOnes)
{
    QImage sharp = grayImage(200, 200, 60);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; x += 2)
            sharp.setPixel(x, y, qRgb(190, 190, 190));
    const QImage soft = sharp.scaled(20, 20, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .scaled(200, 200, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_GT(Analyzer::grayStats(sharp)->laplacianVariance, 10 * Analyzer::grayStats(soft)->laplacianVariance);
}

TEST(Resized, NeverScalesUp)
{
    const QImage img = grayImage(100, 80, 50);
    const QImage out = Analyzer::resized(img, 160);
    EXPECT_EQ(out.size(), QSize(100, 80));
    EXPECT_EQ(out.cacheKey(), img.cacheKey()); // the very same image
    EXPECT_EQ(Analyzer::resized(img, 100).cacheKey(), img.cacheKey());
}

TEST(Resized, TruncatesAndKeepsEightPixelFloor)
{
    EXPECT_EQ(Analyzer::resized(grayImage(400, 20, 50), 160).size(), QSize(160, 8));
    // 300 × 199 to 100: 199/3 = 66.33 truncates to 66.
    EXPECT_EQ(Analyzer::resized(grayImage(300, 199, 50), 100).size(), QSize(100, 66));
    EXPECT_EQ(Analyzer::resized(grayImage(20, 400, 50), 160).size(), QSize(8, 160));
}

TEST(Resized, GivesPremultipliedRgbaWithTheColourKept)
{
    QImage img(300, 200, QImage::Format_RGB32);
    img.fill(QColor(200, 100, 50));
    const QImage out = Analyzer::resized(img, 150);
    ASSERT_EQ(out.format(), QImage::Format_RGBA8888_Premultiplied);
    EXPECT_EQ(out.pixelColor(70, 50), QColor(200, 100, 50));
    EXPECT_TRUE(Analyzer::resized(QImage(), 10).isNull());
}

TEST(CenterSquare, LandscapeCropsTheMiddle)
{
    QImage img(1200, 900, QImage::Format_RGB32);
    img.fill(Qt::black);
    img.setPixel(150, 0, qRgb(255, 0, 0));    // first pixel of the square
    img.setPixel(1049, 899, qRgb(0, 255, 0)); // last pixel of the square
    img.setPixel(149, 0, qRgb(0, 0, 255));    // just outside
    const QImage sq = Analyzer::centerSquare(img);
    ASSERT_EQ(sq.size(), QSize(900, 900));
    EXPECT_EQ(sq.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(sq.pixel(899, 899), qRgb(0, 255, 0));
}

TEST(CenterSquare, OddMarginRoundsDownAndPortraitCropsVertically)
{
    QImage img(5, 10, QImage::Format_RGB32);
    img.fill(Qt::black);
    img.setPixel(0, 2, qRgb(255, 0, 0)); // (10 - 5) / 2 = 2
    const QImage sq = Analyzer::centerSquare(img);
    ASSERT_EQ(sq.size(), QSize(5, 5));
    EXPECT_EQ(sq.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_TRUE(Analyzer::centerSquare(QImage()).isNull());
}

namespace {

// A landscape-like frame: detail in every octave (value noise of cells 3…96 pixels, each
// octave as strong as the next), levels about 40…200, and the same frame with its light
// multiplied by `gain` and clipped, as a camera exposes it.
QImage landscape(int w, int h, double gain = 1.0, double zoom = 1.0)
{
    auto hash = [](int x, int y, int octave) {
        uint32_t v = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^ uint32_t(octave) * 83492791u;
        v ^= v >> 13, v *= 0x5bd1e995u, v ^= v >> 15;
        return double(v & 0xffff) / 65535.0 - 0.5;
    };
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double v = 0;
            for (int o = 1, cell = 3; cell <= 96; ++o, cell *= 2) {
                const double fx = (x - w / 2.0) / zoom / cell + 1000, fy = (y - h / 2.0) / zoom / cell + 1000;
                const int ix = int(fx), iy = int(fy);
                const double tx = fx - ix, ty = fy - iy;
                const double top = hash(ix, iy, o) * (1 - tx) + hash(ix + 1, iy, o) * tx;
                const double bottom = hash(ix, iy + 1, o) * (1 - tx) + hash(ix + 1, iy + 1, o) * tx;
                v += top * (1 - ty) + bottom * ty;
            }
            const double level = std::clamp(120.0 + 40.0 * v, 0.0, 255.0) / 255.0;
            const double light = std::min(1.0, std::pow(level, 2.2) * gain);
            const int g = int(std::lround(255.0 * std::pow(light, 1 / 2.2)));
            img.setPixel(x, y, qRgb(g, g, g));
        }
    return img;
}

// About a Gaussian of the given spread: three passes of a small box each way.
QImage softened(const QImage &img, int radius)
{
    QImage out = img.convertToFormat(QImage::Format_Grayscale8);
    const int w = out.width(), h = out.height();
    for (int pass = 0; pass < 6; ++pass) {
        const QImage in = out;
        const bool rows = pass < 3;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                int sum = 0;
                for (int k = -radius; k <= radius; ++k)
                    sum += in.constScanLine(rows ? y : std::clamp(y + k, 0, h - 1))[rows ? std::clamp(x + k, 0, w - 1) : x];
                out.scanLine(y)[x] = uchar(sum / (2 * radius + 1));
            }
    }
    return out;
}

float focusOf(const QImage &img, QRect region = {})
{
    return Analyzer::focusRatio(Analyzer::grayAt(img, 1200), region, 32).value_or(-1.0f);
}

} // namespace

TEST(FocusRatio, FollowsBlurNotExposureOrFraming)
{
    // Frames are made at twice their size and scaled down, as a lens and sensor smooth the
    // finest detail of a scene.
    auto frame = [](double gain, double zoom) {
        return landscape(1280, 960, gain, zoom).scaled(640, 480, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    };
    const QImage right = frame(1.0, 1.0);
    const float sharp = focusOf(right);
    ASSERT_GT(sharp, 0.0f);
    // A stop under, and a stop over with the brightest parts blown, read about the same…
    EXPECT_NEAR(focusOf(frame(0.5, 1.0)), sharp, 0.1f * sharp);
    EXPECT_NEAR(focusOf(frame(2.0, 1.0)), sharp, 0.15f * sharp);
    // …and so does a re-take framed 10 % wider, its detail finer in pixels.
    EXPECT_NEAR(focusOf(frame(1.0, 0.9)), sharp, 0.15f * sharp);
    // A blur of about one pixel is a clear drop; more blur, a larger one.
    const float soft = focusOf(softened(right, 1));
    EXPECT_LT(soft, 0.8f * sharp);
    EXPECT_LT(focusOf(softened(right, 2)), soft);
}

TEST(FocusRatio, RegionsAndFlatImages)
{
    // Sharp on the left, blurred on the right: each half reads as it is.
    QImage half = landscape(640, 480).convertToFormat(QImage::Format_Grayscale8);
    const QImage soft = softened(half, 2);
    for (int y = 0; y < 480; ++y)
        std::copy_n(soft.constScanLine(y) + 320, 320, half.scanLine(y) + 320);
    EXPECT_GT(focusOf(half, QRect(0, 0, 320, 480)), 1.5f * focusOf(half, QRect(320, 0, 320, 480)));
    // The most detailed tiles decide: the sharp half carries the whole frame.
    EXPECT_GT(focusOf(half), 0.8f * focusOf(half, QRect(0, 0, 320, 480)));
    // Nothing to tell on a flat frame, a region under two tiles, or a non-grey image.
    EXPECT_FALSE(Analyzer::focusRatio(grayImage(640, 480, 128).convertToFormat(QImage::Format_Grayscale8)));
    const QImage gray = Analyzer::grayAt(landscape(640, 480), 1200);
    EXPECT_FALSE(Analyzer::focusRatio(gray, QRect(0, 0, 63, 200), 32));
    EXPECT_FALSE(Analyzer::focusRatio(gray, QRect(700, 0, 100, 100), 32));
    EXPECT_FALSE(Analyzer::focusRatio(landscape(640, 480), {}, 32));
}

TEST(SharpnessFigure, TheSubjectsFocusOutweighsTheScene)
{
    EXPECT_EQ(Analyzer::sharpnessFigure(std::nullopt, std::nullopt), 0.0f);
    EXPECT_FLOAT_EQ(Analyzer::sharpnessFigure(0.25f, std::nullopt), 250.0f);
    EXPECT_FLOAT_EQ(Analyzer::sharpnessFigure(std::nullopt, 0.2f), 200.0f);
    // Focus missed on the face, background sharp, against the subject sharp before a soft one.
    EXPECT_LT(Analyzer::sharpnessFigure(0.30f, 0.12f), Analyzer::sharpnessFigure(0.15f, 0.20f));
}
