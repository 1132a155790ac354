#include "imagecache/jpegfile.h"
#include "platform/filepath.h"
#include "support/testfiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace mendral;

TEST(JpegFile, RoundTripAndNonUtf8Name)
{
    QTemporaryDir dir;
    QImage img(40, 30, QImage::Format_RGB32);
    img.fill(QColor(200, 50, 50));
    const QString path = dir.path() + "/" + pathFromBytes("\xff\xfe.jpg");
    ASSERT_TRUE(JpegFile::writeAtomically(path, JpegFile::encode(img, 82)));
    const QImage back = JpegFile::readComplete(path);
    ASSERT_EQ(back.size(), QSize(40, 30));
    EXPECT_NEAR(back.pixelColor(20, 15).red(), 200, 6);
}

TEST(JpegFile, TransparencyFlattensToBlack)
{
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(QColor(255, 255, 255, 0));
    QTemporaryDir dir;
    ASSERT_TRUE(JpegFile::writeAtomically(dir.path() + "/t.jpg", JpegFile::encode(img, 82)));
    EXPECT_LT(JpegFile::readComplete(dir.path() + "/t.jpg").pixelColor(8, 8).lightness(), 10);
}

TEST(JpegFile, IncompleteOrForeignFilesAreRejected)
{
    QTemporaryDir dir;
    QImage img(64, 64, QImage::Format_RGB32);
    img.fill(Qt::gray);
    const QByteArray jpeg = JpegFile::encode(img, 82);
    ASSERT_TRUE(test::writeBytes(dir.path() + "/cut.jpg", jpeg.left(jpeg.size() - 10)));
    EXPECT_TRUE(JpegFile::readComplete(dir.path() + "/cut.jpg").isNull());
    ASSERT_TRUE(test::writeImage(dir.path() + "/png.jpg", 10, 10)); // a PNG under a .jpg name
    ASSERT_TRUE(test::writeBytes(dir.path() + "/png.jpg", [] {
        QByteArray b("\x89PNG\r\n\x1a\n", 8);
        return b + QByteArray(100, '\0');
    }()));
    EXPECT_TRUE(JpegFile::readComplete(dir.path() + "/png.jpg").isNull());
    EXPECT_TRUE(JpegFile::readComplete(dir.path() + "/missing.jpg").isNull());
    EXPECT_TRUE(JpegFile::encode(QImage(), 82).isEmpty());
}

TEST(JpegFile, FailedWriteLeavesNothingBehind)
{
    QTemporaryDir dir;
    ASSERT_TRUE(test::makeDirectory(dir.path() + "/taken.jpg"));
    EXPECT_FALSE(JpegFile::writeAtomically(dir.path() + "/taken.jpg", "data"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"taken.jpg"});
    EXPECT_FALSE(JpegFile::writeAtomically(dir.path() + "/no/such/dir/x.jpg", "data"));
}

TEST(JpegFile, MakePathCreatesParentsAndRefusesFiles)
{
    QTemporaryDir dir;
    EXPECT_TRUE(JpegFile::makePath(dir.path() + "/a/b/c"));
    EXPECT_TRUE(QDir(dir.path() + "/a/b/c").exists());
    EXPECT_TRUE(JpegFile::makePath(dir.path() + "/a/b/c"));
    ASSERT_TRUE(test::writeBytes(dir.path() + "/file", "x"));
    EXPECT_FALSE(JpegFile::makePath(dir.path() + "/file"));
    EXPECT_FALSE(JpegFile::makePath(dir.path() + "/file/sub"));
}
