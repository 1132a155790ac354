// Whole-folder scans: listing rules, pairing, ordering, progress, cancellation, bad input.

#include "analysis/renditions_files.h"
#include "platform/filepath.h"
#include "scan/scanner.h"
#include "support/testfiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace mendral;

namespace {

class ScanFolder : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString root() const { return tmp.path(); }
    QString path(const QString &rel) const { return root() + "/" + rel; }

    void image(const QString &rel, int w = 16, int h = 12, const char *date = nullptr)
    {
        ASSERT_TRUE(test::writeImage(path(rel), w, h));
        if (date) {
            ASSERT_TRUE(test::writeExif(path(rel), {QString(date), std::nullopt, std::nullopt, std::nullopt}));
        }
    }
    void bytes(const QString &rel, qsizetype n)
    {
        ASSERT_TRUE(test::writeBytes(path(rel), QByteArray(n, 'x')));
    }
    void dir(const QString &rel) { ASSERT_TRUE(test::makeDirectory(path(rel))); }

    std::vector<Photo> scan(bool recursive = true, std::vector<double> *progress = nullptr,
                            std::function<bool()> cancel = [] { return false; })
    {
        return Scanner::scan(root(), recursive, [progress](double f) {
            if (progress)
                progress->push_back(f);
        }, cancel);
    }

    static QStringList names(const std::vector<Photo> &photos)
    {
        QStringList out;
        for (const Photo &p : photos)
            out << p.name();
        return out;
    }
};

} // namespace

TEST_F(ScanFolder, EmptyFolderAndNonImagesReportOnlyCompletion)
{
    std::vector<double> progress;
    EXPECT_TRUE(scan(true, &progress).empty());
    EXPECT_EQ(progress, std::vector<double>{1.0});

    bytes("notes.txt", 10);
    bytes("A.xmp", 10);
    progress.clear();
    EXPECT_TRUE(scan(true, &progress).empty());
    EXPECT_EQ(progress, std::vector<double>{1.0});
}

TEST_F(ScanFolder, UnreadableFolderGivesNothingWithoutProgress)
{
    std::vector<double> progress;
    const auto photos = Scanner::scan(root() + "/missing", true, [&](double f) { progress.push_back(f); });
    EXPECT_TRUE(photos.empty());
    EXPECT_TRUE(progress.empty());
    const auto top = Scanner::scan(root() + "/missing", false, [](double) {});
    EXPECT_TRUE(top.empty());
}

TEST_F(ScanFolder, PairsRawWithTwinAcrossCase)
{
    image("A.JPG", 30, 20, "2024:05:01 10:00:00");
    bytes("a.cr2", 5000);
    bytes("A.xmp", 100);
    bytes("B.CR3", 300);
    bytes("C.NEF", 200);
    bytes("C.DNG", 400);
    image("D.jpg");
    bytes("D.heic", 50);
    const auto photos = scan();
    ASSERT_EQ(photos.size(), 4u);
    for (const Photo &p : photos) {
        if (p.name() == "A.JPG") {
            EXPECT_EQ(p.companions, QStringList{path("a.cr2")});
            EXPECT_FALSE(p.isRAW);
            EXPECT_EQ(p.pixelWidth, 30);
            EXPECT_EQ(p.allFiles().size(), 2);
        } else if (p.name() == "B.CR3") {
            EXPECT_TRUE(p.isRAW);
            EXPECT_TRUE(p.companions.isEmpty());
            EXPECT_EQ(p.fileSize, 300);
        } else if (p.name() == "C.DNG") {
            EXPECT_EQ(p.companions, QStringList{path("C.NEF")});
            EXPECT_TRUE(p.isRAW);
        } else if (p.name() == "D.jpg") {
            EXPECT_EQ(p.companions, QStringList{path("D.heic")});
        } else {
            ADD_FAILURE() << "unexpected photo " << p.name().toStdString();
        }
        EXPECT_EQ(p.id, p.url);
    }
}

TEST_F(ScanFolder, CompanionsLargestFirstAndOnlyWithinOneFolder)
{
    image("E.jpg");
    bytes("E.arw", 100);
    bytes("E.dng", 900);
    bytes("E.tif", 500); // a TIFF outranks nothing here: jpg is primary
    dir("sub");
    image("sub/E.jpg");
    const auto photos = scan();
    ASSERT_EQ(photos.size(), 2u);
    const Photo &top = photos[0].url == path("E.jpg") ? photos[0] : photos[1];
    EXPECT_EQ(top.companions, QStringList({path("E.dng"), path("E.tif"), path("E.arw")}));
}

TEST_F(ScanFolder, OrdersByCaptureDateThenName)
{
    image("late.jpg", 8, 8, "2024:05:01 10:00:02");
    image("IMG_9.JPG", 8, 8, "2024:05:01 10:00:01");
    image("IMG_10.JPG", 8, 8, "2024:05:01 10:00:01");
    image("a.jpg", 8, 8, "2024:05:01 10:00:01");
    image("early.jpg", 8, 8, "2024:05:01 09:00:00");
    EXPECT_EQ(names(scan()), QStringList({"early.jpg", "IMG_10.JPG", "IMG_9.JPG", "a.jpg", "late.jpg"}));
}

TEST_F(ScanFolder, FileDatesWhenNoExif)
{
    // A copied card keeps modification times and gets new birth times: the older one wins.
    image("noexif.jpg");
    image("dated.jpg", 8, 8, "2000:01:01 00:00:00");
    ASSERT_TRUE(test::setModificationTime(path("noexif.jpg"), 1.0e9));
    const auto photos = scan();
    ASSERT_EQ(photos.size(), 2u);
    EXPECT_EQ(photos[0].name(), "dated.jpg");
    EXPECT_DOUBLE_EQ(photos[1].captureDate, 1.0e9);
}

TEST_F(ScanFolder, EarlierBirthTimeBeatsLaterModification)
{
    image("edited.png");
    const auto st = statFile(path("edited.png"));
    ASSERT_TRUE(st.has_value());
    if (!st->birthTime)
        GTEST_SKIP() << "this file system reports no birth times";
    ASSERT_TRUE(test::setModificationTime(path("edited.png"), *st->birthTime + 86400.0));
    const auto photos = scan();
    ASSERT_EQ(photos.size(), 1u);
    EXPECT_DOUBLE_EQ(photos[0].captureDate, *st->birthTime);
}

TEST_F(ScanFolder, HeicTwinOfRawGivesThePhotoItsTime)
{
    const QByteArray exif = test::exifBlock({"2024:06:15 14:03:07", "5", std::nullopt, std::nullopt});
    ASSERT_TRUE(test::writeHeic(path("IMG_7.HEIC"), test::quadrants(48, 32), 1, {}, exif));
    ASSERT_TRUE(test::writeDng(path("IMG_7.DNG"), test::quadrants(48, 32), 48, 32));
    ASSERT_TRUE(test::writeExif(path("IMG_7.DNG"), {"2020:01:01 00:00:00", std::nullopt, std::nullopt, std::nullopt}));
    ASSERT_TRUE(test::writeHeic(path("bare.heic"), test::quadrants(16, 16)));
    ASSERT_TRUE(test::setModificationTime(path("bare.heic"), 1.0e9));
    const auto photos = scan();
    ASSERT_EQ(photos.size(), 2u);
    EXPECT_EQ(photos[0].name(), "bare.heic"); // no EXIF: its modification time
    EXPECT_DOUBLE_EQ(photos[0].captureDate, 1.0e9);
    EXPECT_EQ(photos[1].name(), "IMG_7.HEIC");
    EXPECT_EQ(photos[1].companions, QStringList{path("IMG_7.DNG")});
    EXPECT_DOUBLE_EQ(photos[1].captureDate, test::localTime(2024, 6, 15, 14, 3, 7) + 0.5);
}

TEST_F(ScanFolder, ListingRulesAndNonPhotos)
{
    image("keep.jpg");
    bytes("zero.jpg", 0);
    image(".hidden.jpg");
    dir(".hiddendir");
    image(".hiddendir/in_hidden.jpg");
    dir("x.jpg"); // a folder with an image extension
    image("x.jpg/inside.jpg");
    dir("精选");
    image("精选/pick.jpg");
    dir("Trip_精选");
    image("Trip_精选/pick2.jpg");
    dir("精选_Trip"); // an export folder named after a source is scanned
    image("精选_Trip/exported.jpg");
    dir("sub");
    image("sub/nested.jpg");
    image("sub/照片_婚礼.jpg");

    QStringList recursive = names(scan(true));
    recursive.sort();
    EXPECT_EQ(recursive, QStringList({"exported.jpg", "inside.jpg", "keep.jpg", "nested.jpg", "照片_婚礼.jpg"}));
    EXPECT_EQ(names(scan(false)), QStringList{"keep.jpg"});
}

TEST_F(ScanFolder, SymlinkLoopDoesNotHang)
{
    dir("a");
    image("a/one.jpg");
    ASSERT_EQ(::symlink(pathToBytes(root()).constData(), pathToBytes(path("a/loop")).constData()), 0);
    ASSERT_EQ(::symlink("..", pathToBytes(path("a/up.jpg")).constData()), 0);
    const auto photos = scan(true);
    ASSERT_EQ(photos.size(), 1u);
    EXPECT_EQ(photos[0].name(), "one.jpg");
}

TEST_F(ScanFolder, NonUtf8AndChineseNamesRoundTrip)
{
    const QString odd = pathFromBytes("caf\xE9_\xFF.jpg");
    image(odd);
    image("婚礼.JPG");
    const auto photos = scan();
    ASSERT_EQ(photos.size(), 2u);
    for (const Photo &p : photos) {
        const auto st = statFile(p.url);
        ASSERT_TRUE(st.has_value()) << pathToBytes(p.url).toHex().constData();
        EXPECT_TRUE(st->isRegular);
        EXPECT_EQ(p.pixelWidth, 16); // metadata was read through the byte name too
    }
    bool found = false;
    for (const Photo &p : photos)
        found |= pathToBytes(p.id) == pathToBytes(root()) + "/caf\xE9_\xFF.jpg";
    EXPECT_TRUE(found);
}

TEST_F(ScanFolder, ProgressEvery25CandidatesThenOne)
{
    for (int i = 0; i < 60; ++i)
        bytes(QString("f%1.jpg").arg(i, 2, 10, QChar('0')), 10);
    std::vector<double> progress;
    const auto photos = scan(true, &progress);
    EXPECT_EQ(photos.size(), 60u); // undecodable files are still photos
    EXPECT_EQ(progress, (std::vector<double>{0.0, 0.9 * 25 / 60, 0.9 * 50 / 60, 1.0}));
    for (const Photo &p : photos) {
        EXPECT_EQ(p.pixelWidth, 0);
        EXPECT_EQ(p.pixelHeight, 0);
    }
}

TEST_F(ScanFolder, CancellationKeepsWhatWasReadAndPairsIt)
{
    for (int i = 0; i < 10; ++i)
        image(QString("p%1.jpg").arg(i), 8, 8, qPrintable(QString("2024:01:01 00:00:%1").arg(10 - i, 2, 10, QChar('0'))));
    int asked = 0;
    std::vector<double> progress;
    const auto photos = scan(true, &progress, [&] { return ++asked > 4; });
    EXPECT_EQ(photos.size(), 4u);
    EXPECT_EQ(progress.back(), 1.0);
    EXPECT_EQ(names(photos), QStringList({"p3.jpg", "p2.jpg", "p1.jpg", "p0.jpg"}));
}

TEST_F(ScanFolder, VanishingFileIsSkipped)
{
    for (int i = 0; i < 5; ++i)
        image(QString("v%1.jpg").arg(i));
    // Remove a file after listing, at the moment it would be read.
    int asked = 0;
    const auto photos = scan(true, nullptr, [&] {
        if (++asked == 3)
            ::unlink(pathToBytes(path("v2.jpg")).constData());
        return false;
    });
    EXPECT_EQ(names(photos).size(), 4);
    EXPECT_FALSE(names(photos).contains("v2.jpg"));
}
