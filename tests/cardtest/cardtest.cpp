#include "cardfiles.h"
#include "cardplan.h"
#include "frameblur.h"
#include "framerender.h"
#include "makecard.h"

#include "scan/scanner.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>
#include <set>

using namespace mendral;
using namespace mendral::card;

namespace {

std::vector<Source> fakeSources(int n)
{
    std::vector<Source> s;
    for (int i = 0; i < n; ++i)
        s.push_back({QStringLiteral("/nonexistent/%1.jpg").arg(i), i % 4 == 3});
    return s;
}

// Spread of a blurred impulse along one row: the standard deviation of its weights.
double rowSpread(const QImage &image, int y)
{
    double sum = 0, mean = 0, var = 0;
    for (int x = 0; x < image.width(); ++x)
        sum += qRed(image.pixel(x, y));
    for (int x = 0; x < image.width(); ++x)
        mean += x * qRed(image.pixel(x, y)) / sum;
    for (int x = 0; x < image.width(); ++x)
        var += (x - mean) * (x - mean) * qRed(image.pixel(x, y)) / sum;
    return std::sqrt(var);
}

} // namespace

// ---- The plan ------------------------------------------------------------------------------

TEST(CardPlan, EverySceneHasOneSharpWellExposedKeeper)
{
    for (uint32_t seed : {1u, 2u, 3u, 99u}) {
        CardOptions o;
        o.seed = seed;
        o.scenes = 16;
        const CardPlan plan = planCard(fakeSources(16), o);
        ASSERT_EQ(plan.scenes.size(), 16u);
        int blinks = 0;
        for (const Scene &s : plan.scenes) {
            int keepers = 0;
            for (int i : s.frames) {
                const Frame &f = plan.frames[size_t(i)];
                keepers += f.keeper;
                blinks += f.eyesShut;
                if (f.keeper || f.badlyExposed || f.eyesShut) {
                    EXPECT_EQ(f.blur, BlurKind::None) << "badly exposed frames and blinks are sharp";
                    EXPECT_FALSE(f.keeper && f.badlyExposed);
                    EXPECT_FALSE(f.eyesShut && (f.keeper || f.badlyExposed || !s.source.people));
                } else {
                    EXPECT_NE(f.blur, BlurKind::None) << "a second sharp frame makes the keeper ambiguous";
                }
                // Face-only blur falls back to a whole-frame blur, so both must be there.
                if (f.blur == BlurKind::Face) {
                    EXPECT_TRUE(s.source.people);
                    EXPECT_GT(f.faceSigma, 0.0);
                    EXPECT_GT(f.blurSigma, 0.0);
                }
                if (f.faceEdge > 0) {
                    EXPECT_TRUE(s.source.people);
                    EXPECT_LE(f.zoom, kPeopleRoom) << "an edge run must not enlarge the crop";
                }
            }
            EXPECT_EQ(keepers, 1) << "seed " << seed << " scene " << s.id;
        }
        EXPECT_GT(blinks, 0) << "seed " << seed;
    }
}

TEST(CardPlan, TimesFollowBurstsRetakesAndWalks)
{
    CardOptions o;
    o.scenes = 24;
    const CardPlan plan = planCard(fakeSources(24), o);
    for (size_t i = 1; i < plan.frames.size(); ++i) {
        const Frame &a = plan.frames[i - 1], &b = plan.frames[i];
        EXPECT_EQ(b.number, a.number + 1);
        const double dt = b.time - a.time;
        if (a.scene != b.scene) {
            EXPECT_GE(dt, 40.0) << "different subjects must not look like one burst";
        } else {
            EXPECT_TRUE((dt >= 0.099 && dt <= 0.701) || (dt >= 10.0 && dt <= 120.0)) << dt;
        }
        EXPECT_DOUBLE_EQ(b.time, std::round(b.time * 1000) / 1000) << "EXIF keeps milliseconds";
    }
    int retakes = 0, bad = 0;
    for (const Scene &s : plan.scenes) {
        retakes += s.kind == "retake" || s.kind == "people";
        for (int i : s.frames)
            bad += plan.frames[size_t(i)].badlyExposed;
        if (s.kind == "single") {
            EXPECT_EQ(s.frames.size(), 1u);
        }
    }
    EXPECT_GT(retakes, 0);
    EXPECT_GT(bad, 0);
}

TEST(CardPlan, BadExposureIsClearlyOffTheRestOfItsScene)
{
    int under = 0, over = 0;
    for (uint32_t seed : {1u, 2u, 3u, 4u, 5u}) {
        CardOptions o;
        o.seed = seed;
        o.scenes = 24;
        const CardPlan plan = planCard(fakeSources(24), o);
        for (const Scene &s : plan.scenes)
            for (int i : s.frames) {
                const Frame &bad = plan.frames[size_t(i)];
                if (!bad.badlyExposed)
                    continue;
                double sum = 0;
                for (int j : s.frames)
                    if (j != i)
                        sum += std::log2(plan.frames[size_t(j)].gain);
                const double off = std::log2(bad.gain) - sum / double(s.frames.size() - 1);
                EXPECT_GE(std::abs(off), 0.4 - 1e-9);
                EXPECT_LE(std::abs(off), 1.0 + 1e-9);
                (off < 0 ? under : over)++;
            }
    }
    EXPECT_GT(under, 0);
    EXPECT_GT(over, 0);
}

TEST(CardPlan, SameSeedSamePlanOtherSeedOtherPlan)
{
    CardOptions o;
    o.scenes = 10;
    const CardPlan a = planCard(fakeSources(10), o), b = planCard(fakeSources(10), o);
    o.seed = 7;
    const CardPlan c = planCard(fakeSources(10), o);
    ASSERT_EQ(a.frames.size(), b.frames.size());
    for (size_t i = 0; i < a.frames.size(); ++i) {
        EXPECT_EQ(a.frames[i].time, b.frames[i].time);
        EXPECT_EQ(a.frames[i].primaryExt, b.frames[i].primaryExt);
    }
    bool differs = a.frames.size() != c.frames.size();
    for (size_t i = 0; !differs && i < a.frames.size(); ++i)
        differs = a.frames[i].time != c.frames[i].time;
    EXPECT_TRUE(differs);
}

TEST(CardPlan, LaterDaysRepeatTheSubjectsMoreThanADayLater)
{
    CardOptions o;
    o.scenes = 8;
    o.days = 3;
    const CardPlan plan = planCard(fakeSources(8), o);
    ASSERT_EQ(plan.scenes.size(), 24u);
    for (int day = 1; day < 3; ++day) {
        const Scene &first = plan.scenes[size_t(day * 8)], &lastBefore = plan.scenes[size_t(day * 8 - 1)];
        EXPECT_EQ(first.source.path, plan.scenes[0].source.path);
        EXPECT_EQ(first.id, day * 8) << "scene ids stay unique across days";
        EXPECT_GT(plan.frames[size_t(first.frames.front())].time,
                  plan.frames[size_t(lastBefore.frames.back())].time + 86400.0);
    }
    std::set<int> numbers;
    for (const Frame &f : plan.frames)
        numbers.insert(f.number);
    EXPECT_EQ(numbers.size(), plan.frames.size());
}

TEST(CardPlan, FewerSourcesThanScenesUsesEachOnce)
{
    CardOptions o;
    o.scenes = 50;
    const CardPlan plan = planCard(fakeSources(3), o);
    EXPECT_EQ(plan.scenes.size(), 3u);
    EXPECT_TRUE(planCard({}, o).frames.empty());
}

// ---- Pixels --------------------------------------------------------------------------------

TEST(CardPixels, BlurSpreadsAnImpulseBySigma)
{
    // Below a pixel too: the frames differ by that little.
    for (double sigma : {0.6, 1.1, 1.5, 3.0, 6.0}) {
        QImage image(101, 9, QImage::Format_RGB32);
        image.fill(Qt::black);
        image.setPixel(50, 4, qRgb(255, 255, 255));
        // Make the impulse strong enough to survive 8-bit rounding.
        for (int y = 0; y < 9; ++y)
            image.setPixel(50, y, qRgb(255, 255, 255));
        EXPECT_EQ(blur(image, sigma), sigma);
        EXPECT_NEAR(rowSpread(image, 4), sigma, 0.1 + 0.03 * sigma) << sigma;
    }
}

TEST(CardPixels, MotionBlurSmearsAlongItsDirectionOnly)
{
    for (double angle : {0.0, std::numbers::pi / 2}) {
        QImage image(61, 61, QImage::Format_RGB32);
        image.fill(Qt::black);
        image.setPixel(30, 30, qRgb(255, 255, 255));
        EXPECT_EQ(motionBlur(image, 12.0, angle), 12.0);
        const bool across = angle > 0;
        // A line of 12 px: a horizontal shake leaves the pixels above and below black.
        const int along = qRed(image.pixel(across ? 30 : 34, across ? 34 : 30));
        const int aside = qRed(image.pixel(across ? 33 : 30, across ? 30 : 33));
        EXPECT_GT(along, 12) << angle;
        EXPECT_EQ(aside, 0) << angle;
        EXPECT_EQ(qRed(image.pixel(across ? 30 : 40, across ? 40 : 30)), 0) << "beyond the line's end";
    }
    QImage flat(30, 20, QImage::Format_RGB32);
    flat.fill(qRgb(90, 140, 200));
    motionBlur(flat, 7.5, 0.7);
    for (int y : {0, 10, 19})
        for (int x : {0, 15, 29})
            EXPECT_EQ(flat.pixel(x, y), qRgb(90, 140, 200)) << "edges repeat, weights sum to one";
}

TEST(CardPixels, FaceBlurLeavesTheBackgroundSharp)
{
    QImage image(80, 60, QImage::Format_RGB32);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x)
            image.setPixel(x, y, (x + y) % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const QImage before = image;
    ASSERT_TRUE(blurEllipses(image, {QRectF(20, 10, 30, 30)}, 2.0));
    EXPECT_NEAR(qRed(image.pixel(35, 25)), 128, 20) << "the centre of the face is soft";
    EXPECT_EQ(image.pixel(21, 11), before.pixel(21, 11)) << "the box corner is outside the ellipse";
    EXPECT_EQ(image.pixel(60, 25), before.pixel(60, 25));
    EXPECT_FALSE(blurEllipses(image, {QRectF(200, 10, 30, 30)}, 2.0)) << "a face off the frame";
}

TEST(CardPixels, BlurKeepsFlatAreasAndEdges)
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(qRgb(100, 150, 200));
    blur(image, 4.0);
    for (int y : {0, 15, 29})
        for (int x : {0, 20, 39})
            EXPECT_EQ(image.pixel(x, y), qRgb(100, 150, 200)) << x << "," << y;
    QImage tiny(1, 1, QImage::Format_RGB32);
    tiny.fill(Qt::red);
    EXPECT_EQ(blur(tiny, 3.0), 0.0);
    EXPECT_EQ(blur(image, 0.0), 0.0);
}

TEST(CardPixels, ShutEyeCoversTheOpeningWithSkinAndALashLine)
{
    // Skin with an open eye: white with a dark iris, corners at (40, 50) and (80, 50).
    QImage image(120, 100, QImage::Format_RGB32);
    image.fill(qRgb(200, 150, 120));
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(40, 42, 40, 16));
    p.setBrush(QColor(40, 30, 20));
    p.drawEllipse(QRectF(54, 43, 12, 14));
    p.end();
    const std::array<QPointF, 6> eye{QPointF(40, 50), QPointF(52, 43), QPointF(68, 43),
                                     QPointF(80, 50), QPointF(68, 57), QPointF(52, 57)};
    ASSERT_TRUE(shutEye(image, eye));
    // Where the iris was: skin above the lash line.
    EXPECT_NEAR(qRed(image.pixel(60, 46)), 200, 12);
    EXPECT_NEAR(qGreen(image.pixel(52, 45)), 150, 12);
    // The lash line is darker than the lid, and the face around is untouched.
    int darkest = 255;
    for (int y = 44; y < 60; ++y)
        darkest = std::min(darkest, qRed(image.pixel(60, y)));
    EXPECT_LT(darkest, 130);
    EXPECT_EQ(image.pixel(10, 10), qRgb(200, 150, 120));
    EXPECT_FALSE(shutEye(image, {QPointF(500, 500), QPointF(510, 495), QPointF(520, 495), QPointF(530, 500),
                                 QPointF(520, 505), QPointF(510, 505)}))
        << "an eye outside the image";
}

TEST(CardPixels, GainDarkensAndClips)
{
    QImage image(3, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(0, 0, 0));
    image.setPixel(1, 0, qRgb(128, 128, 128));
    image.setPixel(2, 0, qRgb(250, 250, 250));
    QImage dark = image, bright = image;
    applyGain(dark, 0.25);
    applyGain(bright, 8.0);
    EXPECT_EQ(qRed(dark.pixel(0, 0)), 0);
    EXPECT_NEAR(qRed(dark.pixel(1, 0)), 128 * std::pow(0.25, 1 / 2.2), 1.0); // two stops down
    EXPECT_EQ(qRed(bright.pixel(2, 0)), 255);
    EXPECT_EQ(qRed(bright.pixel(1, 0)), 255) << "three stops over a mid grey is beyond white";
    EXPECT_EQ(qAlpha(dark.pixel(2, 0)), 255);
    // Half a stop under with a black level: deep shadows crush, mid tones barely move.
    QImage shadows(2, 1, QImage::Format_RGB32);
    shadows.setPixel(0, 0, qRgb(12, 12, 12));
    shadows.setPixel(1, 0, qRgb(128, 128, 128));
    applyGain(shadows, std::pow(2.0, -0.5), 0.0015);
    EXPECT_EQ(qRed(shadows.pixel(0, 0)), 0);
    EXPECT_NEAR(qRed(shadows.pixel(1, 0)), 128 * std::pow(2.0, -0.5 / 2.2), 2.0);
}

TEST(CardPixels, FrameSizeFollowsTheSourceOrientation)
{
    EXPECT_EQ(frameSize({5120, 2880}, 4000), QSize(4000, 3000));
    EXPECT_EQ(frameSize({600, 900}, 4000), QSize(3000, 4000));
}

TEST(CardPixels, ExifTimeKeepsMillisecondsAndLocalTime)
{
    const double t = QDateTime(QDate(2024, 6, 15), QTime(9, 0, 7)).toSecsSinceEpoch() + 0.045;
    const ExifTime e = exifTime(t);
    EXPECT_EQ(e.dateTime, "2024:06:15 09:00:07");
    EXPECT_EQ(e.subSec, "045");
}

// ---- A whole card, scanned -----------------------------------------------------------------

class CardScan : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        // Three kinds of picture the scan cannot tell apart by name.
        for (int i = 0; i < 6; ++i) {
            QImage src(480, 360, QImage::Format_RGB32);
            src.fill(QColor::fromHsv(i * 60, 160, 200));
            QPainter p(&src);
            p.setBrush(QColor::fromHsv((i * 60 + 180) % 360, 200, 120));
            p.drawEllipse(40 + i * 20, 60, 200, 160);
            p.end();
            const QString path = m_dir.filePath(QStringLiteral("src%1.png").arg(i));
            ASSERT_TRUE(src.save(path));
            m_sources.push_back({path, i == 5});
        }
        CardOptions o;
        o.longSide = 320;
        o.scenes = 6;
        o.heic = canWriteHeic();
        m_plan = planCard(m_sources, o);
        m_root = m_dir.filePath("card");
        QString error;
        m_truth = makeCard(m_root, m_plan, &error);
        ASSERT_FALSE(m_truth.isEmpty()) << error.toStdString();
    }

    QTemporaryDir m_dir;
    std::vector<Source> m_sources;
    CardPlan m_plan;
    QString m_root;
    QJsonObject m_truth;
};

TEST_F(CardScan, ScanFindsExactlyThePhotosOfTheTruthWithTheirTimes)
{
    const std::vector<Photo> photos = Scanner::scan(m_root, true, [](double) {});
    std::map<QString, const Photo *> found;
    for (const Photo &p : photos)
        found[QDir(m_root).relativeFilePath(p.url)] = &p;
    const QJsonArray truth = m_truth["photos"].toArray();
    EXPECT_EQ(photos.size(), size_t(truth.size()));
    for (const QJsonValue &v : truth) {
        const QJsonObject t = v.toObject();
        const QString file = t["file"].toString();
        ASSERT_TRUE(found.count(file)) << file.toStdString();
        const Photo &p = *found[file];
        QStringList companions;
        for (const QString &c : p.companions)
            companions << QDir(m_root).relativeFilePath(c);
        QStringList expected;
        for (const QJsonValue &c : t["companions"].toArray())
            expected << c.toString();
        EXPECT_EQ(companions, expected) << file.toStdString();
        EXPECT_NEAR(p.captureDate, t["time"].toDouble(), 0.0015) << file.toStdString();
        EXPECT_EQ(p.isRAW, t["format"].toString() == "DNG") << file.toStdString();
        EXPECT_GT(p.pixelWidth, 0) << file.toStdString();
    }
}

TEST_F(CardScan, TrapsAreOnDiskButNeverPhotos)
{
    const QJsonArray ignored = m_truth["ignored"].toArray();
    EXPECT_GE(ignored.size(), 8);
    const std::vector<Photo> photos = Scanner::scan(m_root, true, [](double) {});
    std::set<QString> urls;
    for (const Photo &p : photos)
        for (const QString &f : p.allFiles())
            urls.insert(QDir(m_root).relativeFilePath(f));
    for (const QJsonValue &v : ignored) {
        EXPECT_TRUE(QFileInfo::exists(m_root + '/' + v.toString())) << v.toString().toStdString();
        EXPECT_FALSE(urls.count(v.toString())) << v.toString().toStdString();
    }
}

TEST_F(CardScan, EveryFormatIsPresentAndTheCopyIsByteIdentical)
{
    std::set<QString> formats;
    QString copy, original;
    for (const QJsonValue &v : m_truth["photos"].toArray()) {
        const QJsonObject t = v.toObject();
        formats.insert(t["format"].toString());
        if (t.contains("copyOf")) {
            copy = t["file"].toString();
            original = t["copyOf"].toString();
        }
    }
    EXPECT_TRUE(formats.count("JPG") && formats.count("PNG") && formats.count("TIF")
                && formats.count("WEBP") && formats.count("DNG"));
    if (canWriteHeic()) {
        EXPECT_TRUE(formats.count("HEIC"));
    }
    ASSERT_FALSE(copy.isEmpty());
    QFile a(m_root + '/' + copy), b(m_root + '/' + original);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());
}

TEST_F(CardScan, RefusesToWriteIntoAFolderThatHoldsFiles)
{
    QString error;
    EXPECT_TRUE(makeCard(m_root, m_plan, &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(CardScan, BlurredFramesAreLessDetailedThanTheKeeper)
{
    for (const Scene &s : m_plan.scenes) {
        if (s.frames.size() < 2)
            continue;
        const Base base = loadBase(s.source.path, 320);
        ASSERT_FALSE(base.image.isNull());
        // Detail: mean absolute difference between neighbours, in the frame as rendered.
        auto detail = [&](const Frame &f) {
            const QImage img = renderFrame(base, f).convertToFormat(QImage::Format_Grayscale8);
            double sum = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 1; x < img.width(); ++x)
                    sum += std::abs(img.constScanLine(y)[x] - img.constScanLine(y)[x - 1]);
            return sum;
        };
        double keeper = 0;
        for (int i : s.frames)
            if (m_plan.frames[size_t(i)].keeper)
                keeper = detail(m_plan.frames[size_t(i)]);
        for (int i : s.frames) {
            const Frame &f = m_plan.frames[size_t(i)];
            if (f.blur != BlurKind::None) {
                EXPECT_LT(detail(f), keeper * 1.1) << "scene " << s.id << " frame " << f.number;
            }
        }
    }
}
