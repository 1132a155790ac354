#include "analysis/analyzer.h"
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

// A textured frame (levels 60…180, like a landscape's mid-tones with detail) and the same frame
// with every level multiplied by `gain`, clipped to white as a camera clips an over-exposure.
QImage texture(double gain)
{
    QImage img(320, 240, QImage::Format_RGB32);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            const int base = 60 + (x * 37 + y * 91 + (x / 7) * (y / 5) * 13) % 121;
            const int v = std::min(255, int(base * gain + 0.5));
            img.setPixel(x, y, qRgb(v, v, v));
        }
    return img;
}

float figure(const QImage &img)
{
    return Analyzer::sharpnessFigure(*Analyzer::grayStats(img));
}

} // namespace

TEST(SharpnessFigure, FollowsFocusNotExposure)
{
    const QImage right = texture(1.0);
    const QImage over = texture(1.7);
    const QImage under = texture(0.5);
    // The raw variance rewards the over-exposed frame…
    ASSERT_GT(Analyzer::grayStats(over)->laplacianVariance, 2 * Analyzer::grayStats(right)->laplacianVariance);
    // …the figure does not: the frames are equally sharp, and clipping only removes detail.
    EXPECT_LE(figure(over), 1.02f * figure(right));
    EXPECT_GT(figure(over), 0.5f * figure(right));
    // An under-exposed frame is not raised to look as sharp as the right one.
    EXPECT_LT(figure(under), 0.8f * figure(right));
    // Blur lowers it.
    const QImage soft = right.scaled(80, 60, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .scaled(320, 240, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LT(figure(soft), 0.5f * figure(right));
}

TEST(SharpnessFigure, MidGreyKeepsTheVarianceAndDarkIsNotRaised)
{
    const auto mid = Analyzer::grayStats(bands({{50, 0}, {50, 255}}));
    ASSERT_TRUE(mid);
    EXPECT_NEAR(mid->brightness, 0.5f, 0.01f);
    EXPECT_NEAR(Analyzer::sharpnessFigure(*mid), mid->laplacianVariance, 0.03f * mid->laplacianVariance);
    QImage black = grayImage(100, 100, 0);
    black.setPixel(50, 50, qRgb(3, 3, 3));
    const auto dark = Analyzer::grayStats(black);
    ASSERT_TRUE(dark);
    EXPECT_TRUE(std::isfinite(Analyzer::sharpnessFigure(*dark)));
    EXPECT_LE(Analyzer::sharpnessFigure(*dark), 2 * dark->laplacianVariance);
}
