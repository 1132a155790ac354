#include "platform/filepath.h"
#include "support/testfiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace mendral;

TEST(FilePath, RoundTripsAnyBytes)
{
    const QByteArray samples[] = {
        "/card/IMG_0001.JPG",
        "/照片/婚礼_001.jpg",
        "/emoji/\xF0\x9F\x93\xB7.jpg",      // 4-byte sequence
        "/latin1/caf\xE9.jpg",              // lone Latin-1 byte
        "/bad/\xFF\xFE\xC3.jpg",            // invalid lead bytes and a truncated sequence
        "/surrogate/\xED\xA0\x80.jpg",      // encoded surrogate: not valid UTF-8
        "/overlong/\xC0\xAF.jpg",
    };
    for (const QByteArray &bytes : samples) {
        const QString path = pathFromBytes(bytes);
        EXPECT_EQ(pathToBytes(path), bytes) << bytes.toHex().constData();
    }
    EXPECT_EQ(pathFromBytes("/照片/a.jpg"), QStringLiteral("/照片/a.jpg"));
}

TEST(FilePath, NamesAndExtensions)
{
    EXPECT_EQ(fileName("/a/b/IMG_1.JPG"), "IMG_1.JPG");
    EXPECT_EQ(lowerExtension("/a/b/IMG_1.JPG"), "jpg");
    EXPECT_EQ(lowerExtension("/a.b/noext"), "");
    EXPECT_EQ(lowerExtension("/a/x.tar.GZ"), "gz");
}

TEST(FilePath, StatAndOpenNonUtf8Name)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.path() + pathFromBytes("/caf\xE9.bin");
    ASSERT_TRUE(test::writeBytes(path, "hello"));
    const auto st = statFile(path);
    ASSERT_TRUE(st.has_value());
    EXPECT_TRUE(st->isRegular);
    EXPECT_EQ(st->size, 5);
    ASSERT_TRUE(st->modificationTime.has_value());
    QFile f;
    ASSERT_TRUE(openForReading(f, path));
    EXPECT_EQ(f.readAll(), "hello");
    EXPECT_FALSE(statFile(dir.path() + "/missing").has_value());
    QFile g;
    EXPECT_FALSE(openForReading(g, dir.path() + "/missing"));
}
