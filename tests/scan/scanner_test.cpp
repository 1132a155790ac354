// Primary choice, name ordering and metadata reading of single files.

#include "platform/imagemeta.h"
#include "scan/scanner.h"
#include "analysis/renditions_files.h"
#include "support/testfiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace mendral;
using Scanner::Entry;

namespace {

Entry entry(const QString &url, int64_t size)
{
    Entry e;
    e.url = url;
    e.size = size;
    return e;
}

} // namespace

TEST(PickPrimary, PreferenceOrderThenLargestThenEarliest)
{
    EXPECT_FALSE(Scanner::pickPrimary({}).has_value());
    EXPECT_EQ(Scanner::pickPrimary({entry("/a/B.CR3", 5)})->url, "/a/B.CR3");
    // A JPEG beats a RAW file whatever their sizes.
    EXPECT_EQ(Scanner::pickPrimary({entry("/a/a.cr2", 900), entry("/a/A.JPG", 10)})->url, "/a/A.JPG");
    // jpg before heic, whatever the reading order.
    EXPECT_EQ(Scanner::pickPrimary({entry("/a/D.heic", 9), entry("/a/D.jpg", 1)})->url, "/a/D.jpg");
    EXPECT_EQ(Scanner::pickPrimary({entry("/a/E.TIF", 9), entry("/a/E.png", 1)})->url, "/a/E.png");
    // No preferred extension: largest wins, equal sizes keep the first read.
    EXPECT_EQ(Scanner::pickPrimary({entry("/a/C.NEF", 10), entry("/a/C.DNG", 20)})->url, "/a/C.DNG");
    EXPECT_EQ(Scanner::pickPrimary({entry("/a/C.NEF", 20), entry("/a/C.DNG", 20)})->url, "/a/C.NEF");
    // webp is not preferred over a larger RAW.
    EXPECT_EQ(Scanner::pickPrimary({entry("/a/E.webp", 5), entry("/a/E.arw", 50)})->url, "/a/E.arw");
    EXPECT_EQ(Scanner::pickPrimary({entry("/a/E.webp", 50), entry("/a/E.arw", 5)})->url, "/a/E.webp");
}

TEST(ScalarOrder, CaseSensitiveNonNumericScalarOrder)
{
    EXPECT_TRUE(Scanner::scalarLess("IMG_10.JPG", "IMG_9.JPG"));
    EXPECT_TRUE(Scanner::scalarLess("Z.jpg", "a.jpg"));
    EXPECT_TRUE(Scanner::scalarLess("a", "ab"));
    EXPECT_FALSE(Scanner::scalarLess("ab", "a"));
    EXPECT_FALSE(Scanner::scalarLess("a", "a"));
    // U+1F4F7 (a surrogate pair in UTF-16) orders after U+FF01 by scalar value.
    EXPECT_TRUE(Scanner::scalarLess(QStringLiteral("\uFF01"), QString::fromUtf8("\xF0\x9F\x93\xB7")));
}

TEST(ExifDate, FormatIsStrictLocalTime)
{
    EXPECT_EQ(Scanner::parseExifDate("2024:05:01 10:00:00"), test::localTime(2024, 5, 1, 10, 0, 0));
    EXPECT_FALSE(Scanner::parseExifDate("2024-05-01 10:00:00").has_value());
    EXPECT_FALSE(Scanner::parseExifDate("    :  :     :  :  ").has_value());
    EXPECT_FALSE(Scanner::parseExifDate("").has_value());
}

class ReadMetadata : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.path() + "/" + name; }
};

TEST_F(ReadMetadata, SizeAsStoredAndDateWithFraction)
{
    const QString p = path("a.jpg");
    ASSERT_TRUE(test::writeImage(p, 64, 48));
    ASSERT_TRUE(test::writeExif(p, {"2024:05:01 10:00:00", "5", std::nullopt, 6}));
    const auto meta = Scanner::readMetadata(p);
    EXPECT_EQ(meta.width, 64); // orientation 6 does not swap the stored size
    EXPECT_EQ(meta.height, 48);
    ASSERT_TRUE(meta.date.has_value());
    EXPECT_DOUBLE_EQ(*meta.date, test::localTime(2024, 5, 1, 10, 0, 0) + 0.5);

    ASSERT_TRUE(test::writeExif(p, {std::nullopt, "57", std::nullopt, std::nullopt}));
    EXPECT_DOUBLE_EQ(*Scanner::readMetadata(p).date, test::localTime(2024, 5, 1, 10, 0, 0) + 0.57);
}

TEST_F(ReadMetadata, TiffDateOnlyWhenOriginalAbsent)
{
    const QString a = path("tiffdate.jpg");
    ASSERT_TRUE(test::writeImage(a, 16, 16));
    ASSERT_TRUE(test::writeExif(a, {std::nullopt, std::nullopt, "2023:01:02 03:04:05", std::nullopt}));
    EXPECT_EQ(Scanner::readMetadata(a).date, test::localTime(2023, 1, 2, 3, 4, 5));

    // An original date that does not parse is not replaced by the TIFF date.
    const QString b = path("baddate.jpg");
    ASSERT_TRUE(test::writeImage(b, 16, 16));
    ASSERT_TRUE(test::writeExif(b, {"2024-05-01 10:00:00", std::nullopt, "2023:01:02 03:04:05", std::nullopt}));
    const auto meta = Scanner::readMetadata(b);
    EXPECT_FALSE(meta.date.has_value());
    EXPECT_EQ(meta.width, 16);
}

TEST_F(ReadMetadata, UnreadableFilesGiveDefaults)
{
    const QString random = path("random.jpg");
    QByteArray junk(4096, '\0');
    for (int i = 0; i < junk.size(); ++i)
        junk[i] = char((i * 7919) % 251);
    ASSERT_TRUE(test::writeBytes(random, junk));
    for (const QString &p : {random, path("missing.jpg"), path("random.cr2")}) {
        if (p.endsWith("cr2")) {
            ASSERT_TRUE(test::writeBytes(p, junk));
        }
        const auto meta = Scanner::readMetadata(p);
        EXPECT_FALSE(meta.date.has_value()) << p.toStdString();
        EXPECT_EQ(meta.width, 0);
        EXPECT_EQ(meta.height, 0);
    }
}

TEST_F(ReadMetadata, CorruptExifBlockDoesNotThrow)
{
    const QString p = path("corrupt.jpg");
    ASSERT_TRUE(test::writeImage(p, 32, 32));
    ASSERT_TRUE(test::writeExif(p, {"2024:05:01 10:00:00", std::nullopt, std::nullopt, 1}));
    QFile f(p);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    f.close();
    // Overwrite the TIFF header and IFD inside the APP1 segment with garbage.
    const qsizetype exif = bytes.indexOf("Exif");
    ASSERT_GT(exif, 0);
    for (qsizetype i = exif + 6; i < exif + 40; ++i)
        bytes[i] = char(0xEE);
    ASSERT_TRUE(test::writeBytes(p, bytes));
    const auto meta = Scanner::readMetadata(p);
    EXPECT_FALSE(meta.date.has_value());
}

TEST_F(ReadMetadata, HeicDateFromItsExifItem)
{
    // Debian's exiv2 finds no EXIF in HEIF files; the EXIF item libheif holds gives the time.
    const QString dated = path("dated.heic");
    const QByteArray exif = test::exifBlock({"2024:06:15 14:03:07", "25", std::nullopt, 6});
    ASSERT_FALSE(exif.isEmpty());
    ASSERT_TRUE(test::writeHeic(dated, test::quadrants(160, 96), 1, {}, exif));
    const auto meta = Scanner::readMetadata(dated);
    ASSERT_TRUE(meta.date.has_value());
    EXPECT_DOUBLE_EQ(*meta.date, test::localTime(2024, 6, 15, 14, 3, 7) + 0.25);
    EXPECT_EQ(meta.width, 160);
    EXPECT_EQ(meta.height, 96);

    // Without the "Exif\0\0" prefix, the TIFF header straight after the offset.
    const QString bare = path("bare.heic");
    ASSERT_TRUE(test::writeHeic(bare, test::quadrants(160, 96), 1, {}, exif.mid(6)));
    ASSERT_TRUE(Scanner::readMetadata(bare).date.has_value());
    EXPECT_DOUBLE_EQ(*Scanner::readMetadata(bare).date, *meta.date);

    const QString plain = path("plain.heic");
    ASSERT_TRUE(test::writeHeic(plain, test::quadrants(128, 128)));
    EXPECT_FALSE(Scanner::readMetadata(plain).date.has_value());
    EXPECT_EQ(Scanner::readMetadata(plain).width, 128);

    // A damaged EXIF item (a TIFF signature, then garbage) leaves the date absent.
    const QString bad = path("bad.heic");
    QByteArray garbage("MM\0*", 4);
    for (int i = 0; i < 200; ++i)
        garbage.append(char((i * 37) % 256));
    ASSERT_TRUE(test::writeHeic(bad, test::quadrants(128, 128), 1, {}, garbage));
    const auto badMeta = Scanner::readMetadata(bad);
    EXPECT_FALSE(badMeta.date.has_value());
    EXPECT_EQ(badMeta.width, 128);
}

TEST(HeifExifItem, OffsetHeaderThenTiff)
{
    // Parsed directly, as for HEIC files whose EXIF exiv2 cannot find itself.
    const QByteArray tiff = test::exifBlock({"2024:06:15 14:03:07", "25", std::nullopt, 6}).mid(6);
    auto item = [&](quint32 offset, const QByteArray &gap) {
        const char header[4] = {char(offset >> 24), char(offset >> 16), char(offset >> 8), char(offset)};
        return QByteArray(header, 4) + gap + tiff;
    };
    ImageProperties withPrefix, direct;
    readHeifExifItem(item(6, QByteArray("Exif\0\0", 6)), withPrefix);
    readHeifExifItem(item(0, {}), direct);
    for (const ImageProperties &p : {withPrefix, direct}) {
        EXPECT_EQ(p.dateTimeOriginal, QString("2024:06:15 14:03:07"));
        EXPECT_EQ(p.subSecTimeOriginal, QString("25"));
        EXPECT_EQ(p.orientation, 6);
    }
    // Offsets past the end, a missing TIFF signature, truncation: nothing taken, nothing read
    // out of bounds.
    for (const QByteArray &bad : {item(0xFFFFFFFFu, {}), item(uint32_t(tiff.size()), {}), item(2, {}),
                                  item(0, {}).left(11), item(0, {}).left(40), QByteArray()}) {
        ImageProperties p;
        readHeifExifItem(bad, p);
        EXPECT_FALSE(p.dateTimeOriginal.has_value());
    }
}
