// analyze(): which fields each face configuration fills, through a fake vision backend.

#include "analyzer_fake.h"

#include "analysis/analyzer.h"

#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

using namespace mendral;
using mendral::test::FakeVision;
using mendral::test::faceAt;

namespace {

class AnalyzeRecord : public ::testing::Test {
protected:
    QTemporaryDir dir;

    // A PNG of w × h in a mid grey with a pattern, so it has statistics to measure.
    QString photo(int w, int h, const std::function<void(QPainter &)> &paint = {})
    {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(qRgb(128, 120, 110));
        QPainter p(&image);
        p.fillRect(w / 4, h / 4, w / 2, h / 2, QColor(60, 90, 160));
        if (paint)
            paint(p);
        p.end();
        const QString path = dir.filePath(QString("photo%1.png").arg(++m_count));
        EXPECT_TRUE(image.save(path));
        return path;
    }

private:
    int m_count = 0;
};

void expectNoFaceFields(const PhotoAnalysis &a)
{
    EXPECT_EQ(a.faceQuality, 0.0f);
    EXPECT_EQ(a.eyeOpen, -1.0f);
    EXPECT_TRUE(a.facePrints.empty());
    EXPECT_FALSE(a.hairPrint.has_value());
    EXPECT_FALSE(a.torsoPrint.has_value());
}

} // namespace

TEST_F(AnalyzeRecord, PhotoWithoutFaces)
{
    FakeVision vision;
    vision.found = FacesAndHumans{{}, 2};
    const auto a = Analyzer::analyze(photo(1000, 800), vision);
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->faceCount, 0);
    EXPECT_EQ(a->mainFaceSide, 0.0f);
    expectNoFaceFields(*a);
    EXPECT_EQ(a->humanCount, 2);
    ASSERT_TRUE(a->featurePrint.has_value());
    EXPECT_FLOAT_EQ((*a->featurePrint)[0], 0.6f);
    EXPECT_FLOAT_EQ((*a->featurePrint)[1], 0.8f);
    EXPECT_GT(a->sharpness, 0.0f);
    // Faces, people and the scene print on the large rendition.
    ASSERT_EQ(vision.detectSizes.size(), 1u);
    EXPECT_EQ(vision.detectSizes[0], QSize(1000, 800));
    ASSERT_EQ(vision.sceneSizes.size(), 1u);
    EXPECT_EQ(vision.sceneSizes[0], QSize(1000, 800));

    // A print read in the pass that found the people is the one kept, and not asked for again.
    FakeVision onePass;
    onePass.found = FacesAndHumans{{}, 2, test::floats({1.0f, 0.0f})};
    const auto b = Analyzer::analyze(photo(1000, 800), onePass);
    ASSERT_TRUE(b && b->featurePrint);
    EXPECT_EQ(*b->featurePrint, (std::vector<float>{1.0f, 0.0f}));
    EXPECT_TRUE(onePass.sceneSizes.empty());
}

TEST_F(AnalyzeRecord, CrowdMeasuresOnlyTheSixLargest)
{
    FakeVision vision;
    FacesAndHumans crowd;
    // Ten faces from 0.05 to 0.095 wide in a row; the smallest has the worst quality, which
    // must not count because it is not among the six measured.
    for (int i = 0; i < 10; ++i) {
        const double side = 0.05 + 0.005 * i;
        crowd.faces.push_back(faceAt(0.05 + 0.095 * i, 0.6, side, side, i == 0 ? 0.1f : 0.5f + 0.01f * i));
    }
    vision.found = crowd;
    const auto a = Analyzer::analyze(photo(2000, 1000), vision);
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->faceCount, 10);
    EXPECT_FLOAT_EQ(a->mainFaceSide, 0.095f);
    EXPECT_EQ(vision.landmarkSizes.size(), 6u);
    ASSERT_EQ(a->facePrints.size(), 6u);
    EXPECT_FLOAT_EQ(a->faceQuality, 0.54f); // faces 4…9: the lowest is face 4
    // Largest first: each print's crop is no larger than the one before.
    for (size_t i = 1; i < vision.facePrintSizes.size(); ++i)
        EXPECT_LE(vision.facePrintSizes[i].width(), vision.facePrintSizes[i - 1].width());
    EXPECT_GT(vision.facePrintSizes[0].width(), vision.facePrintSizes[5].width());
}

TEST_F(AnalyzeRecord, FaceBelowTheAreaThresholdIsCountedNotMeasured)
{
    FakeVision vision;
    vision.found = FacesAndHumans{{faceAt(0.5, 0.5, 0.03, 0.03)}, 0};
    const auto a = Analyzer::analyze(photo(1000, 800), vision);
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->faceCount, 1);
    EXPECT_FLOAT_EQ(a->mainFaceSide, 0.03f);
    expectNoFaceFields(*a);
    EXPECT_TRUE(vision.landmarkSizes.empty());
    EXPECT_TRUE(vision.facePrintSizes.empty());
}

TEST_F(AnalyzeRecord, HairAndTorsoOnlyForAMainFaceOfSideAtLeast009)
{
    FakeVision vision;
    vision.found = FacesAndHumans{{faceAt(0.5, 0.6, 0.08, 0.1)}, 1};
    auto a = Analyzer::analyze(photo(1000, 800), vision);
    ASSERT_TRUE(a.has_value());
    EXPECT_FLOAT_EQ(a->mainFaceSide, 0.1f);
    EXPECT_TRUE(a->hairPrint.has_value());
    EXPECT_TRUE(a->torsoPrint.has_value());
    EXPECT_EQ(a->facePrints.size(), 1u);
    EXPECT_FLOAT_EQ(a->faceQuality, 0.8f);

    vision.found = FacesAndHumans{{faceAt(0.5, 0.6, 0.06, 0.08)}, 1};
    a = Analyzer::analyze(photo(1000, 800), vision);
    ASSERT_TRUE(a.has_value());
    EXPECT_FLOAT_EQ(a->mainFaceSide, 0.08f);
    EXPECT_FALSE(a->hairPrint.has_value());
    EXPECT_FALSE(a->torsoPrint.has_value());
    EXPECT_EQ(a->facePrints.size(), 1u); // still considered
}

TEST_F(AnalyzeRecord, FaceAtTheTopHasNoHairBand)
{
    FakeVision vision;
    vision.found = FacesAndHumans{{faceAt(0.5, 0.94, 0.1, 0.12)}, 1}; // top edge at 1.0
    const auto a = Analyzer::analyze(photo(1000, 800), vision);
    ASSERT_TRUE(a.has_value());
    EXPECT_FALSE(a->hairPrint.has_value());
    EXPECT_TRUE(a->torsoPrint.has_value());
}

TEST_F(AnalyzeRecord, TheLessOpenFaceDecidesTheEyes)
{
    FakeVision vision;
    // Two faces; the one on the left sits on red, where the fake finds shut eyes.
    vision.found = FacesAndHumans{{faceAt(0.25, 0.5, 0.1, 0.12), faceAt(0.75, 0.5, 0.1, 0.12)}, 2};
    const auto a = Analyzer::analyze(photo(1000, 800, [](QPainter &p) {
        p.fillRect(150, 300, 200, 200, Qt::red);
        p.fillRect(650, 300, 200, 200, Qt::green);
    }), vision);
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->eyeOpen, 0.0f);

    vision.landmarkSizes.clear();
    const auto open = Analyzer::analyze(photo(1000, 800), vision);
    ASSERT_TRUE(open.has_value());
    EXPECT_EQ(open->eyeOpen, 1.0f);
}

TEST_F(AnalyzeRecord, EyesOfAFaceOutOfFocusInASharpFrameAreNotMeasured)
{
    // Fine grain all over, as a sharp photo has; `soft` is the same grain blurred.
    std::mt19937 random(7);
    QImage grain(1000, 800, QImage::Format_RGB32);
    for (int y = 0; y < grain.height(); ++y)
        for (int x = 0; x < grain.width(); ++x) {
            const int v = 60 + int(random() % 140);
            grain.setPixel(x, y, qRgb(v, v, v));
        }
    const QImage soft = grain.scaled(250, 200, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .scaled(1000, 800, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QRect face(400, 320, 200, 160); // faceAt(0.5, 0.5, 0.2, 0.2) on 1000 × 800
    FakeVision vision;
    vision.found = FacesAndHumans{{faceAt(0.5, 0.5, 0.2, 0.2)}, 1};
    auto eyes = [&](const QImage &frame, const QImage &onFace) {
        std::vector<Analyzer::FaceReport> report;
        const auto a = Analyzer::analyze(photo(1000, 800, [&](QPainter &p) {
            p.drawImage(0, 0, frame);
            p.drawImage(face, onFace, face);
        }), vision, report);
        EXPECT_TRUE(a.has_value());
        EXPECT_EQ(report.size(), 1u);
        // The record and the face report agree.
        EXPECT_EQ(a ? a->eyeOpen : 0.0f, report.empty() ? 0.0f : report[0].eyeOpen.value_or(-1.0f));
        return a ? a->eyeOpen : 0.0f;
    };
    EXPECT_EQ(eyes(grain, grain), 1.0f);
    EXPECT_EQ(eyes(grain, soft), -1.0f); // focus missed on the face
    EXPECT_EQ(eyes(soft, soft), 1.0f);   // a frame soft all over is still read
}

TEST_F(AnalyzeRecord, EyesAndFacePrintsFromTheLargeRendition)
{
    FakeVision vision;
    vision.found = FacesAndHumans{{faceAt(0.5, 0.5, 0.2, 0.2)}, 1};
    ASSERT_TRUE(Analyzer::analyze(photo(2000, 1000), vision).has_value());
    // 1.9 × 0.2 of the 2000 × 1000 rendition is 760 × 380, scaled to 480 × 240.
    ASSERT_EQ(vision.landmarkSizes.size(), 1u);
    EXPECT_EQ(vision.landmarkSizes[0], QSize(480, 240));
    // 1.18 × 0.2 of the 2000 × 1000 rendition, unscaled.
    ASSERT_EQ(vision.facePrintSizes.size(), 1u);
    EXPECT_EQ(vision.facePrintSizes[0], QSize(472, 236));
}

TEST_F(AnalyzeRecord, CropOf47PixelsGetsNoPrint)
{
    FakeVision vision;
    // 1.18 × side = 0.0465 of 1000 px: the square spans 476.25…522.75, 47 whole pixels.
    const double side = 0.0465 / 1.18;
    vision.found = FacesAndHumans{{faceAt(0.4995, 0.4995, side, side), faceAt(0.2, 0.7, 0.1, 0.1)}, 2};
    const auto a = Analyzer::analyze(photo(1000, 1000), vision);
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->facePrints.size(), 1u);
    ASSERT_EQ(vision.facePrintSizes.size(), 1u);
    EXPECT_EQ(vision.facePrintSizes[0], QSize(118, 118));
}

TEST_F(AnalyzeRecord, FailedFaceCallLeavesEveryFaceFieldEmpty)
{
    FakeVision vision;
    vision.found = std::nullopt;
    const auto a = Analyzer::analyze(photo(1000, 800), vision);
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->faceCount, 0);
    EXPECT_EQ(a->mainFaceSide, 0.0f);
    EXPECT_EQ(a->humanCount, 0);
    expectNoFaceFields(*a);
    EXPECT_TRUE(a->featurePrint.has_value());
}

TEST_F(AnalyzeRecord, OtherFailuresLeaveOnlyTheirFieldsEmpty)
{
    FakeVision vision;
    vision.scenePrints = false;
    vision.facePrints = false;
    vision.landmarksFail = true;
    vision.found = FacesAndHumans{{faceAt(0.5, 0.5, 0.2, 0.2, std::nullopt)}, 1};
    const auto a = Analyzer::analyze(photo(1000, 800), vision);
    ASSERT_TRUE(a.has_value());
    EXPECT_FALSE(a->featurePrint.has_value());
    EXPECT_EQ(a->faceCount, 1);
    EXPECT_EQ(a->faceQuality, 0.0f); // an absent quality counts as 0
    EXPECT_EQ(a->eyeOpen, -1.0f);
    EXPECT_TRUE(a->facePrints.empty());
    EXPECT_TRUE(a->hairPrint.has_value());
    EXPECT_EQ(a->humanCount, 1);
}

TEST_F(AnalyzeRecord, UnreadableFilesGiveNoRecord)
{
    FakeVision vision;
    EXPECT_FALSE(Analyzer::analyze(dir.filePath("missing.jpg"), vision).has_value());
    QFile text(dir.filePath("notes.jpg"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not an image at all");
    text.close();
    EXPECT_FALSE(Analyzer::analyze(text.fileName(), vision).has_value());
    EXPECT_TRUE(vision.detectSizes.empty());
}

TEST_F(AnalyzeRecord, TinyImageHasNeutralStatistics)
{
    FakeVision vision;
    const auto a = Analyzer::analyze(photo(5, 5), vision);
    ASSERT_TRUE(a.has_value());
    EXPECT_EQ(a->sharpness, 0.0f);
    EXPECT_EQ(a->exposure, 0.5f);
}
