// analyze() with the program's own vision component on real photos.

#include "vision/testphotos.h"

#include "analysis/analyzer.h"
#include "analysis/colordistance.h"
#include "vision/neural.h"

#include <QImage>
#include <QTemporaryDir>

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

namespace {

// The photo blurred by about one pixel: two passes of a 3 x 3 box.
QImage softened(QImage image)
{
    image = image.convertToFormat(QImage::Format_RGB32);
    for (int pass = 0; pass < 2; ++pass) {
        const QImage in = image;
        for (int y = 1; y < image.height() - 1; ++y) {
            auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
            for (int x = 1; x < image.width() - 1; ++x) {
                int r = 0, g = 0, b = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const QRgb c = in.pixel(x + dx, y + dy);
                        r += qRed(c), g += qGreen(c), b += qBlue(c);
                    }
                out[x] = qRgb(r / 9, g / 9, b / 9);
            }
        }
    }
    return image;
}

} // namespace

TEST(AnalyzePhotos, BurstOfOneGroupReadsItsFocusAndEyesSteadily)
{
    const QString path = photoPath("faces/sample6.jpg");
    if (path.isEmpty())
        GTEST_SKIP() << mendral::test::missingPhotosReason().toStdString();
    // Frames of a hand-held burst: the photo, moved by 1 %, a stop brighter, and out of focus.
    const QImage photo(path);
    ASSERT_FALSE(photo.isNull());
    const int w = photo.width(), h = photo.height();
    QImage brighter = photo.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto *row = reinterpret_cast<QRgb *>(brighter.scanLine(y));
        for (int x = 0; x < w; ++x) {
            auto up = [](int v) { return std::min(255, int(255.0 * std::pow(std::min(1.0, 2.0 * std::pow(v / 255.0, 2.2)), 1 / 2.2))); };
            row[x] = qRgb(up(qRed(row[x])), up(qGreen(row[x])), up(qBlue(row[x])));
        }
    }
    const QImage frames[] = {photo, photo.copy(w / 100, h / 100, w - w / 50, h - h / 50).scaled(w, h),
                             brighter, softened(photo)};
    QTemporaryDir dir;
    std::vector<PhotoAnalysis> results;
    std::vector<std::vector<Analyzer::FaceReport>> faces;
    for (int i = 0; i < 4; ++i) {
        const QString file = dir.filePath(QStringLiteral("%1.jpg").arg(i));
        ASSERT_TRUE(frames[i].save(file, "JPG", 92));
        std::vector<Analyzer::FaceReport> report;
        const auto a = Analyzer::analyze(file, defaultVision(), report);
        ASSERT_TRUE(a.has_value());
        results.push_back(*a);
        faces.push_back(report);
    }
    // The blurred frame is the least sharp by far; moving and brightening barely count.
    EXPECT_LT(results[3].sharpness, 0.8f * results[0].sharpness);
    EXPECT_NEAR(results[1].sharpness, results[0].sharpness, 0.1f * results[0].sharpness);
    EXPECT_NEAR(results[2].sharpness, results[0].sharpness, 0.15f * results[0].sharpness);
    // Every face of the first frame reads its eyes within 0.15 in the frames it is found in.
    int compared = 0;
    for (const Analyzer::FaceReport &f : faces[0]) {
        if (!f.eyeOpen)
            continue;
        for (int i = 1; i < 4; ++i)
            for (const Analyzer::FaceReport &g : faces[i])
                if (g.eyeOpen && std::abs(g.box.x - f.box.x) < 0.03 && std::abs(g.box.y - f.box.y) < 0.03) {
                    EXPECT_NEAR(*g.eyeOpen, *f.eyeOpen, 0.15f) << "frame " << i;
                    ++compared;
                }
    }
    EXPECT_GE(compared, 6);
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
