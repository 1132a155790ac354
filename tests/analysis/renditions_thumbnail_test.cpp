#include "analysis/renditions_files.h"
#include "analysis/thumbnail.h"
#include "platform/filepath.h"
#include "support/testfiles.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

#include <sys/stat.h>

using namespace mendral;

namespace {

// Colour families of the quadrant picture, tolerant of JPEG and HEVC noise.
char family(QColor c)
{
    const int r = c.red(), g = c.green(), b = c.blue();
    if (r > 150 && g > 150 && b < 120)
        return 'Y';
    if (r > 150 && g < 120 && b < 120)
        return 'R';
    if (g > 150 && r < 120 && b < 120)
        return 'G';
    if (b > 150 && r < 120 && g < 120)
        return 'B';
    return '?';
}

// Quadrant colours of an image read clockwise from the top left.
QString corners(const QImage &img)
{
    const int w = img.width(), h = img.height();
    return QString() + family(img.pixelColor(w / 4, h / 4)) + family(img.pixelColor(3 * w / 4, h / 4)) +
           family(img.pixelColor(3 * w / 4, 3 * h / 4)) + family(img.pixelColor(w / 4, 3 * h / 4));
}

QByteArray encoded(const QImage &img, const char *format)
{
    QByteArray data;
    QBuffer buf(&data);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format);
    return data;
}

class Thumbnail : public ::testing::Test {
protected:
    QString file(const QString &name) const { return m_dir.path() + "/" + name; }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(Thumbnail, JpegOrientationsComeBackUpright)
{
    // The stored picture of each orientation is what a camera held that way would write; read
    // upright it always shows red, green, yellow, blue clockwise from the top left.
    const QImage upright = test::quadrants(600, 400);
    const std::pair<int, QTransform> cases[] = {
        {1, QTransform()},
        {3, QTransform().rotate(180)},
        {6, QTransform().rotate(-90)},
        {8, QTransform().rotate(90)},
    };
    for (const auto &[orientation, storedTurn] : cases) {
        const QString path = file(QString("o%1.jpg").arg(orientation));
        ASSERT_TRUE(test::writeBytes(path, encoded(upright.transformed(storedTurn), "JPG")));
        ASSERT_TRUE(test::writeExif(path, {std::nullopt, std::nullopt, std::nullopt, orientation}));
        const QImage t = Analyzer::thumbnailImage(path, 300);
        EXPECT_EQ(t.size(), QSize(300, 200)) << "orientation " << orientation;
        EXPECT_EQ(corners(t), "RGYB") << "orientation " << orientation;
    }
}

TEST_F(Thumbnail, JpegDecodedAtLibjpegScaleKeepsSizeAndPixels)
{
    // Decoded at libjpeg's nearest scale above the bound (5/8 here) and resampled the rest of
    // the way: the size and, on a textured picture, nearly the pixels of Qt's own scaled read
    // (mean grey difference about 1; a shift by one pixel gives about 9).
    QImage src(1001, 751, QImage::Format_RGB32);
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x) {
            const double a = std::sin(x / 4.0) * std::cos(y / 5.0), b = std::sin((x + 2 * y) / 7.0);
            src.setPixel(x, y, qRgb(int(128 + 100 * a), int(128 + 90 * b), int(128 + 50 * (a - b))));
        }
    const QString path = file("texture.jpg");
    ASSERT_TRUE(test::writeBytes(path, encoded(src, "JPG")));
    for (const int bound : {600, 540}) {
        const QImage t = Analyzer::thumbnailImage(path, bound);
        const QSize size = Analyzer::boundedSize(src.size(), bound);
        ASSERT_EQ(t.size(), size) << bound;
        QImageReader reader(path);
        reader.setScaledSize(size);
        const QImage reference = reader.read();
        double sum = 0;
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                sum += std::abs(qGray(t.pixel(x, y)) - qGray(reference.pixel(x, y)));
        EXPECT_LT(sum / (size.width() * size.height()), 2.5) << bound;
    }
}

TEST_F(Thumbnail, AtLeastTakesTheHalfScaleDecodeWhenItLandsInTheRange)
{
    // Stored on its side (orientation 6): the half scale is worked out on the stored size and
    // comes back upright.
    const QImage upright = test::quadrants(1000, 750);
    const QString jpeg = file("wide.jpg");
    ASSERT_TRUE(test::writeBytes(jpeg, encoded(upright.transformed(QTransform().rotate(-90)), "JPG")));
    ASSERT_TRUE(test::writeExif(jpeg, {std::nullopt, std::nullopt, std::nullopt, 6}));
    const QImage half = Analyzer::thumbnailImageAtLeast(jpeg, 600, 500);
    EXPECT_EQ(half.size(), QSize(500, 375));
    EXPECT_EQ(corners(half), "RGYB");
    // Half size would be too small: bounded as without a minimum.
    EXPECT_EQ(Analyzer::thumbnailImageAtLeast(jpeg, 600, 520).size(), QSize(600, 450));
    // The whole picture fits the bound: never read smaller than it is.
    EXPECT_EQ(Analyzer::thumbnailImageAtLeast(jpeg, 1000, 500).size(), QSize(1000, 750));
    // Other formats have no fast scales: bounded as before.
    const QString png = file("wide.png");
    ASSERT_TRUE(test::writeBytes(png, encoded(upright, "png")));
    EXPECT_EQ(Analyzer::thumbnailImageAtLeast(png, 600, 500).size(), QSize(600, 450));
}

TEST_F(Thumbnail, AtLeastDecodesOfOneSizeKeepEachOthersPixels)
{
    // The analysis decodes one photo after another into the same buffer: a rendition still
    // held keeps its own pixels, and a decode that fails gives nothing, not the last photo.
    const QImage quads = test::quadrants(1000, 750);
    const QString first = file("first.jpg"), second = file("second.jpg"), cut = file("untabled.jpg");
    ASSERT_TRUE(test::writeBytes(first, encoded(quads, "JPG")));
    ASSERT_TRUE(test::writeBytes(second, encoded(quads.mirrored(true, false), "JPG")));
    // Without its quantisation tables the header still gives the size, and the decode fails.
    QByteArray broken = encoded(quads, "JPG");
    for (qsizetype at = 2; at + 4 <= broken.size() && uchar(broken[at + 1]) != 0xda;) {
        const qsizetype length = 2 + (uchar(broken[at + 2]) << 8 | uchar(broken[at + 3]));
        if (uchar(broken[at + 1]) == 0xdb)
            broken.remove(at, length);
        else
            at += length;
    }
    ASSERT_TRUE(test::writeBytes(cut, broken));
    const QImage a = Analyzer::thumbnailImageAtLeast(first, 600, 500);
    const QImage b = Analyzer::thumbnailImageAtLeast(second, 600, 500);
    EXPECT_EQ(corners(a), "RGYB");
    EXPECT_EQ(corners(b), "GRBY");
    EXPECT_NE(a.constBits(), b.constBits());
    EXPECT_EQ(corners(Analyzer::thumbnailImageAtLeast(first, 600, 500)), "RGYB");
    EXPECT_TRUE(Analyzer::thumbnailImageAtLeast(cut, 600, 500).isNull());
}

TEST_F(Thumbnail, NeverScalesUp)
{
    ASSERT_TRUE(test::writeImage(file("small.png"), 120, 80));
    EXPECT_EQ(Analyzer::thumbnailImage(file("small.png"), 900).size(), QSize(120, 80));
    EXPECT_EQ(Analyzer::thumbnailImage(file("small.png"), 120).size(), QSize(120, 80));
    EXPECT_EQ(Analyzer::thumbnailImage(file("small.png"), 60).size(), QSize(60, 40));
}

TEST_F(Thumbnail, PngTiffAndWebpAreBounded)
{
    const QImage src = test::quadrants(500, 1000);
    for (const char *fmt : {"png", "tiff", "webp"}) {
        const QString path = file(QString("p.") + fmt);
        ASSERT_TRUE(test::writeBytes(path, encoded(src, fmt))) << fmt;
        const QImage t = Analyzer::thumbnailImage(path, 220);
        EXPECT_EQ(t.size(), QSize(110, 220)) << fmt;
        EXPECT_EQ(corners(t), "RGYB") << fmt;
    }
}

TEST_F(Thumbnail, NonPositiveBoundGivesNothing)
{
    ASSERT_TRUE(test::writeImage(file("a.jpg"), 50, 50));
    EXPECT_TRUE(Analyzer::thumbnailImage(file("a.jpg"), 0).isNull());
    EXPECT_TRUE(Analyzer::thumbnailImage(file("a.jpg"), -5).isNull());
}

TEST_F(Thumbnail, FileNameThatIsNotUtf8)
{
    const QString path = m_dir.path() + "/" + pathFromBytes(QByteArray("caf\xe9.jpg"));
    ASSERT_TRUE(test::writeBytes(path, encoded(test::quadrants(80, 60), "JPG")));
    EXPECT_EQ(Analyzer::thumbnailImage(path, 40).size(), QSize(40, 30));
}

TEST_F(Thumbnail, BadFilesGiveNothingOrWhatTheDecoderCanGive)
{
    EXPECT_TRUE(Analyzer::thumbnailImage(file("missing.jpg"), 100).isNull());

    QByteArray noise(20000, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 13) % 251);
    ASSERT_TRUE(test::writeBytes(file("noise.jpg"), noise));
    EXPECT_TRUE(Analyzer::thumbnailImage(file("noise.jpg"), 100).isNull());

    ASSERT_TRUE(test::writeBytes(file("empty.jpg"), QByteArray()));
    EXPECT_TRUE(Analyzer::thumbnailImage(file("empty.jpg"), 100).isNull());

    // A truncated JPEG: nothing, or a partial picture, but never larger than asked.
    const QByteArray jpeg = encoded(test::quadrants(800, 600), "JPG");
    ASSERT_TRUE(test::writeBytes(file("cut.jpg"), jpeg.left(jpeg.size() / 2)));
    const QImage cut = Analyzer::thumbnailImage(file("cut.jpg"), 200);
    if (!cut.isNull()) {
        EXPECT_EQ(cut.size(), QSize(200, 150));
    }
}

TEST_F(Thumbnail, OnlyRegularFilesAreOpened)
{
    ASSERT_EQ(::mkfifo(pathToBytes(file("pipe.jpg")).constData(), 0644), 0);
    EXPECT_TRUE(Analyzer::thumbnailImage(file("pipe.jpg"), 100).isNull()); // returns, does not hang
    ASSERT_EQ(::mkfifo(pathToBytes(file("pipe.dng")).constData(), 0644), 0);
    EXPECT_TRUE(Analyzer::thumbnailImage(file("pipe.dng"), 100).isNull());
    ASSERT_TRUE(test::makeDirectory(file("folder.jpg")));
    EXPECT_TRUE(Analyzer::thumbnailImage(file("folder.jpg"), 100).isNull());
}

TEST_F(Thumbnail, HugeDeclaredPngIsRefusedBeforeDecoding)
{
    // A valid 1 × 1 PNG whose header claims 100000 × 100000 (CRC fixed up).
    QByteArray png = encoded(QImage(1, 1, QImage::Format_RGB32), "png");
    const QByteArray dims = QByteArray::fromHex("000186a0000186a0");
    png.replace(16, 8, dims);
    const quint32 crc = [&] {
        // IHDR CRC covers "IHDR" and its 13 data bytes.
        quint32 c = 0xFFFFFFFFu;
        for (int i = 12; i < 29; ++i) {
            c ^= uchar(png[i]);
            for (int k = 0; k < 8; ++k)
                c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
        }
        return ~c;
    }();
    for (int i = 0; i < 4; ++i)
        png[29 + i] = char((crc >> (24 - 8 * i)) & 0xFF);
    ASSERT_TRUE(test::writeBytes(file("bomb.png"), png));
    EXPECT_TRUE(Analyzer::thumbnailImage(file("bomb.png"), 220).isNull());
}

TEST_F(Thumbnail, HeicIsDecodedWithItsOwnRotation)
{
    // Stored turned a quarter anticlockwise, with irot saying to turn it back.
    const QImage stored = test::quadrants(400, 300).transformed(QTransform().rotate(-90));
    ASSERT_TRUE(test::writeHeic(file("r.heic"), stored, 6));
    const QImage t = Analyzer::thumbnailImage(file("r.heic"), 200);
    EXPECT_EQ(t.size(), QSize(200, 150));
    EXPECT_EQ(corners(t), "RGYB");
}

TEST_F(Thumbnail, HeicEmbeddedThumbnailOnlyWhenLargeEnough)
{
    // The thumbnail shows another colour than the main picture, so the source shows.
    QImage main(640, 480, QImage::Format_RGB32);
    main.fill(QColor(30, 30, 220));
    QImage thumb(320, 240, QImage::Format_RGB32);
    thumb.fill(QColor(220, 30, 30));
    ASSERT_TRUE(test::writeHeic(file("t.heic"), main, 1, thumb));
    const QImage small = Analyzer::thumbnailImage(file("t.heic"), 120);
    EXPECT_EQ(small.size(), QSize(120, 90));
    EXPECT_EQ(family(small.pixelColor(60, 45)), 'R');
    const QImage exact = Analyzer::thumbnailImage(file("t.heic"), 320);
    EXPECT_EQ(exact.size(), QSize(320, 240));
    EXPECT_EQ(family(exact.pixelColor(60, 45)), 'R');
    // Larger than the thumbnail: decoded from the picture, never the thumbnail scaled up.
    const QImage large = Analyzer::thumbnailImage(file("t.heic"), 400);
    EXPECT_EQ(large.size(), QSize(400, 300));
    EXPECT_EQ(family(large.pixelColor(200, 150)), 'B');
    EXPECT_EQ(Analyzer::thumbnailImage(file("t.heic"), 5000).size(), QSize(640, 480));
}

TEST_F(Thumbnail, HeicNamedJpgIsStillDecoded)
{
    ASSERT_TRUE(test::writeHeic(file("phone.jpg"), test::quadrants(200, 100)));
    EXPECT_EQ(Analyzer::thumbnailImage(file("phone.jpg"), 100).size(), QSize(100, 50));
}

TEST_F(Thumbnail, CorruptHeicGivesNothing)
{
    ASSERT_TRUE(test::writeHeic(file("ok.heic"), test::quadrants(256, 256)));
    QFile f;
    ASSERT_TRUE(openForReading(f, file("ok.heic")));
    QByteArray bytes = f.readAll();
    f.close();
    // Keep the container header, damage everything after it.
    for (qsizetype i = 40; i < bytes.size(); ++i)
        bytes[i] = char(bytes[i] ^ 0x5A);
    ASSERT_TRUE(test::writeBytes(file("bad.heic"), bytes));
    EXPECT_TRUE(Analyzer::thumbnailImage(file("bad.heic"), 100).isNull());
    ASSERT_TRUE(test::writeBytes(file("cut.heic"), bytes.left(30)));
    EXPECT_TRUE(Analyzer::thumbnailImage(file("cut.heic"), 100).isNull());
}

TEST_F(Thumbnail, DngWithoutPreviewIsDevelopedAtHalfSize)
{
    ASSERT_TRUE(test::writeDng(file("plain.dng"), test::quadrants(400, 300), 400, 300));
    const QImage t = Analyzer::thumbnailImage(file("plain.dng"), 1000);
    EXPECT_EQ(t.size(), QSize(200, 150)); // half size, not enlarged to the bound
    EXPECT_EQ(corners(t), "RGYB");
    EXPECT_EQ(Analyzer::thumbnailImage(file("plain.dng"), 100).size(), QSize(100, 75));
}

TEST_F(Thumbnail, DngRotationIsApplied)
{
    const QImage stored = test::quadrants(400, 300).transformed(QTransform().rotate(-90));
    ASSERT_TRUE(test::writeDng(file("rot.dng"), stored, 300, 400, 6));
    const QImage t = Analyzer::thumbnailImage(file("rot.dng"), 100);
    EXPECT_EQ(t.size(), QSize(100, 75));
    EXPECT_EQ(corners(t), "RGYB");
    // Through the preview too.
    ASSERT_TRUE(test::writeDng(file("rotp.dng"), stored, 300, 400, 6, stored.scaled(180, 240)));
    const QImage p = Analyzer::thumbnailImage(file("rotp.dng"), 100);
    EXPECT_EQ(p.size(), QSize(100, 75));
    EXPECT_EQ(corners(p), "RGYB");
}

// Sets the byte count of the first directory's strip (tag 279 of a little-endian TIFF) to
// `count`, as a writer that gets the field's type wrong does.
static bool breakFirstStripCount(const QString &path, quint32 count)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = f.readAll();
    const auto u16 = [&](qsizetype at) { return quint16(uchar(bytes[at]) | uchar(bytes[at + 1]) << 8); };
    const qsizetype ifd = 8;
    for (int i = 0; i < u16(ifd); ++i) {
        const qsizetype entry = ifd + 2 + 12 * i;
        if (u16(entry) == 279) {
            for (int b = 0; b < 4; ++b)
                bytes[entry + 8 + b] = char((count >> (8 * b)) & 0xff);
            return f.seek(0) && f.write(bytes) == bytes.size();
        }
    }
    return false;
}

TEST_F(Thumbnail, DngWithUnreadablePreviewIsStillDeveloped)
{
    const QImage image = test::quadrants(400, 300);
    ASSERT_TRUE(test::writeDng(file("badpreview.dng"), image, 400, 300, 1, image.scaled(240, 180)));
    ASSERT_TRUE(breakFirstStripCount(file("badpreview.dng"), 0x18000000));
    const QImage t = Analyzer::thumbnailImage(file("badpreview.dng"), 100);
    ASSERT_FALSE(t.isNull());
    EXPECT_EQ(t.size(), QSize(100, 75));
    EXPECT_EQ(corners(t), "RGYB");
}

TEST_F(Thumbnail, DngPreviewUsedWhenLargeEnoughElseDeveloped)
{
    // A green mosaic with a red preview, so the source of each rendition shows.
    QImage mosaicPicture(800, 600, QImage::Format_RGB32);
    mosaicPicture.fill(QColor(30, 200, 30));
    QImage preview(200, 150, QImage::Format_RGB32);
    preview.fill(QColor(220, 30, 30));
    ASSERT_TRUE(test::writeDng(file("q.dng"), mosaicPicture, 800, 600, 1, preview));
    const QImage fromPreview = Analyzer::thumbnailImage(file("q.dng"), 150);
    EXPECT_EQ(fromPreview.size(), QSize(150, 113));
    EXPECT_EQ(family(fromPreview.pixelColor(75, 56)), 'R');
    // The 200-pixel preview is too small for 300: developed at half size (400) and reduced.
    const QImage developed = Analyzer::thumbnailImage(file("q.dng"), 300);
    EXPECT_EQ(developed.size(), QSize(300, 225));
    EXPECT_EQ(family(developed.pixelColor(150, 112)), 'G');
}

TEST_F(Thumbnail, CorruptDngGivesNothing)
{
    ASSERT_TRUE(test::writeDng(file("ok.dng"), test::quadrants(64, 64), 64, 64));
    QFile f;
    ASSERT_TRUE(openForReading(f, file("ok.dng")));
    const QByteArray bytes = f.readAll();
    ASSERT_TRUE(test::writeBytes(file("cut.dng"), bytes.left(60)));
    EXPECT_TRUE(Analyzer::thumbnailImage(file("cut.dng"), 100).isNull());
    ASSERT_TRUE(test::writeBytes(file("noise.cr2"), QByteArray(5000, 'x')));
    EXPECT_TRUE(Analyzer::thumbnailImage(file("noise.cr2"), 100).isNull());
}

TEST(BoundedSize, LongSideMeetsTheBoundAndAspectIsKept)
{
    EXPECT_EQ(Analyzer::boundedSize({6000, 4000}, 900), QSize(900, 600));
    EXPECT_EQ(Analyzer::boundedSize({4000, 6000}, 900), QSize(600, 900));
    EXPECT_EQ(Analyzer::boundedSize({5000, 10}, 100), QSize(100, 1)); // never a zero side
    EXPECT_EQ(Analyzer::boundedSize({300, 200}, 900), QSize(300, 200));
}
