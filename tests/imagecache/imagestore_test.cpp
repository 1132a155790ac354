#include "imagecache/imagestore.h"
#include "platform/filepath.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>

using namespace mendral;

namespace {

// Stands in for the real decoder: a flat image of the asked size, counting its calls.
struct CountingDecoder {
    std::shared_ptr<std::atomic<int>> calls = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<QSemaphore> gate; // when set, each decode waits for one permit

    ImageStore::Decoder decoder() const
    {
        return [calls = calls, gate = gate](const QString &url, int maxPixel) {
            ++*calls;
            if (gate)
                gate->acquire();
            if (!QFile::exists(url) || url.endsWith(".bad"))
                return QImage();
            QImage img(maxPixel, maxPixel / 2, QImage::Format_RGB32);
            img.fill(QColor(40, 120, 200));
            return img;
        };
    }
};

QImage await(QFuture<QImage> f)
{
    f.waitForFinished();
    return f.result();
}

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}

class Store : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_photo = m_src.path() + "/a.jpg";
        ASSERT_TRUE(test::writeImage(m_photo, 64, 48));
        m_cache = m_tmp.path() + "/cache/Mendral/thumbs";
    }
    QTemporaryDir m_src, m_tmp;
    QString m_photo, m_cache;
    CountingDecoder m_decode;
};

} // namespace

TEST(ImageStoreKeys, StampIsSizeAndShortestExactTime)
{
    QTemporaryDir dir;
    const QString f = dir.path() + "/f.jpg";
    ASSERT_TRUE(test::writeBytes(f, QByteArray(1234567, 'x')));
    ASSERT_TRUE(test::setModificationTime(f, 1700000000.25));
    EXPECT_EQ(ImageStore::fileStamp(f), "1234567-1700000000.25");
    ASSERT_TRUE(test::setModificationTime(f, 1700000000));
    EXPECT_EQ(ImageStore::fileStamp(f), "1234567-1700000000.0");
    ASSERT_TRUE(test::setModificationTime(f, 1700000000.1));
    // The nearest double to the nanosecond time, printed without noise digits.
    EXPECT_EQ(ImageStore::fileStamp(f), "1234567-1700000000.1");
    EXPECT_EQ(ImageStore::fileStamp(dir.path() + "/missing.jpg"), "0-0.0");
}

TEST(ImageStoreKeys, KeysAndDigest)
{
    EXPECT_EQ(ImageStore::thumbnailKey("/no/such.jpg", 420), "/no/such.jpg|420|0-0.0");
    EXPECT_EQ(ImageStore::displayKey("/no/such.jpg"), "/no/such.jpg|display|0-0.0");
    // SHA-256 of "abc", first 24 bytes.
    EXPECT_EQ(ImageStore::digest("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9c");
    // Names that are not UTF-8 hash their own bytes: two such names never share a file.
    EXPECT_NE(ImageStore::digest(pathFromBytes("/p/\xe9.jpg")), ImageStore::digest(pathFromBytes("/p/\xe8.jpg")));
}

TEST_F(Store, DecodesOnceThenServesFromMemoryAndDisk)
{
    {
        ImageStore store(m_cache, m_decode.decoder());
        EXPECT_EQ(await(store.thumbnail(m_photo, 420)).size(), QSize(420, 210));
        EXPECT_EQ(await(store.thumbnail(m_photo, 420)).size(), QSize(420, 210));
        EXPECT_EQ(*m_decode.calls, 1);
        const QString name = ImageStore::digest(ImageStore::thumbnailKey(m_photo, 420)) + "_420.jpg";
        EXPECT_EQ(entries(m_cache), QStringList{name});
    }
    // A new store (as after a restart) finds the JPEG on disk.
    ImageStore again(m_cache, m_decode.decoder());
    const QImage fromDisk = await(again.thumbnail(m_photo, 420));
    EXPECT_EQ(fromDisk.size(), QSize(420, 210));
    EXPECT_EQ(*m_decode.calls, 1);
}

TEST_F(Store, TwoSizesAreTwoEntries)
{
    ImageStore store(m_cache, m_decode.decoder());
    EXPECT_EQ(await(store.thumbnail(m_photo, 420)).width(), 420);
    EXPECT_EQ(await(store.thumbnail(m_photo, 220)).width(), 220);
    EXPECT_EQ(*m_decode.calls, 2);
    const QStringList files = entries(m_cache);
    ASSERT_EQ(files.size(), 2);
    EXPECT_TRUE(files[0].endsWith("_220.jpg") || files[1].endsWith("_220.jpg"));
}

TEST_F(Store, RewrittenFileGetsAFreshThumbnail)
{
    ImageStore store(m_cache, m_decode.decoder());
    ASSERT_TRUE(test::setModificationTime(m_photo, 1600000000));
    await(store.thumbnail(m_photo, 220));
    ASSERT_TRUE(test::setModificationTime(m_photo, 1600000001.5));
    await(store.thumbnail(m_photo, 220));
    EXPECT_EQ(*m_decode.calls, 2);
    EXPECT_EQ(entries(m_cache).size(), 2); // the old file stays
}

TEST_F(Store, DamagedDiskFileIsMadeAgainAndRewritten)
{
    {
        ImageStore store(m_cache, m_decode.decoder());
        await(store.thumbnail(m_photo, 220));
    }
    const QString file = m_cache + "/" + entries(m_cache).value(0);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray whole = f.readAll();
    f.close();
    // Cut off the end, as a crash mid-write by another program might.
    ASSERT_TRUE(test::writeBytes(file, whole.left(whole.size() / 2)));

    ImageStore store(m_cache, m_decode.decoder());
    EXPECT_EQ(await(store.thumbnail(m_photo, 220)).size(), QSize(220, 110));
    EXPECT_EQ(*m_decode.calls, 2);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().size(), whole.size());
    EXPECT_EQ(entries(m_cache).size(), 1); // no temporary files left behind
}

TEST_F(Store, UnwritableCacheStillGivesTheImage)
{
    ASSERT_TRUE(test::writeBytes(m_tmp.path() + "/blocker", "x"));
    ImageStore store(m_tmp.path() + "/blocker/thumbs", m_decode.decoder());
    EXPECT_EQ(await(store.thumbnail(m_photo, 220)).size(), QSize(220, 110));
    EXPECT_EQ(await(store.thumbnail(m_photo, 220)).size(), QSize(220, 110));
    EXPECT_EQ(*m_decode.calls, 1); // kept in memory
}

TEST_F(Store, MemoryHoldsThumbnailsWithinItsByteBudget)
{
    // No disk cache, so a thumbnail pushed out of memory must be decoded again. Ten 3600-px
    // images (26 MB each) do not fit in 220 MB; the most recent ones do.
    ASSERT_TRUE(test::writeBytes(m_tmp.path() + "/blocker", "x"));
    ImageStore store(m_tmp.path() + "/blocker/thumbs", m_decode.decoder());
    QStringList photos;
    for (int i = 0; i < 10; ++i) {
        photos << m_src.path() + QString("/big%1.jpg").arg(i);
        ASSERT_TRUE(test::writeImage(photos.last(), 10, 10));
        await(store.thumbnail(photos.last(), 3600));
    }
    EXPECT_EQ(*m_decode.calls, 10);
    await(store.thumbnail(photos[9], 3600));
    EXPECT_EQ(*m_decode.calls, 10);
    await(store.thumbnail(photos[0], 3600));
    EXPECT_EQ(*m_decode.calls, 11);
}

TEST_F(Store, UndecodableSourceIsNotCached)
{
    const QString bad = m_src.path() + "/x.bad";
    ASSERT_TRUE(test::writeBytes(bad, "nothing"));
    ImageStore store(m_cache, m_decode.decoder());
    EXPECT_TRUE(await(store.thumbnail(bad, 220)).isNull());
    EXPECT_TRUE(await(store.thumbnail(bad, 220)).isNull());
    EXPECT_EQ(*m_decode.calls, 2);
    EXPECT_TRUE(entries(m_cache).isEmpty());
}

TEST_F(Store, SameKeyRequestedTwiceWhileDecodingIsDecodedOnce)
{
    m_decode.gate = std::make_shared<QSemaphore>(0);
    ImageStore store(m_cache, m_decode.decoder());
    QFuture<QImage> first = store.thumbnail(m_photo, 420);
    QFuture<QImage> second = store.thumbnail(m_photo, 420);
    // The calls came back while the decode is held: the caller never waits for it.
    EXPECT_FALSE(first.isFinished());
    EXPECT_FALSE(second.isFinished());
    m_decode.gate->release(2);
    EXPECT_EQ(await(first).size(), QSize(420, 210));
    EXPECT_EQ(await(second).size(), QSize(420, 210));
    EXPECT_EQ(*m_decode.calls, 1);
}

TEST_F(Store, DisplayImagesStayInMemoryOnlyAndKeepTheLastThree)
{
    ImageStore store(m_cache, m_decode.decoder());
    QStringList photos;
    for (int i = 0; i < 4; ++i) {
        photos << m_src.path() + QString("/d%1.jpg").arg(i);
        ASSERT_TRUE(test::writeImage(photos.last(), 10, 10));
    }
    for (const QString &p : photos)
        EXPECT_EQ(await(store.displayImage(p)).width(), ImageStore::displayMaxPixel);
    EXPECT_EQ(*m_decode.calls, 4);
    await(store.displayImage(photos[3])); // still held
    EXPECT_EQ(*m_decode.calls, 4);
    await(store.displayImage(photos[0])); // pushed out by the fourth
    EXPECT_EQ(*m_decode.calls, 5);
    EXPECT_TRUE(entries(m_cache).isEmpty());
}

TEST_F(Store, ClearDiskCacheRemovesTheFolder)
{
    ImageStore store(m_cache, m_decode.decoder());
    await(store.thumbnail(m_photo, 220));
    store.clearDiskCache().waitForFinished();
    EXPECT_FALSE(QDir(m_cache).exists());
    // Asked for again, the folder comes back.
    EXPECT_TRUE(QDir(store.cacheDir()).exists());
}

TEST_F(Store, SharedStoreUsesTheUserCacheFolderAndTheRealDecoder)
{
    qputenv("XDG_CACHE_HOME", pathToBytes(m_tmp.path() + "/xdg"));
    EXPECT_EQ(ImageStore::standardCacheDir(), m_tmp.path() + "/xdg/Mendral/thumbs");
    ASSERT_TRUE(test::writeExif(m_photo, {std::nullopt, std::nullopt, std::nullopt, 6}));
    const QStringList before = entries(m_src.path());
    const QImage img = await(ImageStore::shared().thumbnail(m_photo, 32));
    EXPECT_EQ(img.size(), QSize(24, 32)); // upright
    EXPECT_EQ(entries(m_tmp.path() + "/xdg/Mendral/thumbs").size(), 1);
    EXPECT_EQ(entries(m_src.path()), before); // the photo folder is only read
}
