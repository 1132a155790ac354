#include "export/exportservice.h"
#include "platform/fileops.h"
#include "platform/filepath.h"
#include "support/testfiles.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace mendral;

namespace {

class Export : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    ExportService service;
    QString src() const { return tmp.path() + "/card"; }
    QString dest() const { return tmp.path() + "/out/精选_card"; }

    void SetUp() override { ASSERT_TRUE(test::makeDirectory(src())); }

    QString file(const QString &rel, const QByteArray &bytes)
    {
        const QString p = src() + "/" + rel;
        QDir().mkpath(QFileInfo(p).path());
        EXPECT_TRUE(test::writeBytes(p, bytes));
        return p;
    }
    static Photo photo(const QString &url, QStringList companions = {})
    {
        return Photo(url, companions, 0, 1, 0, 0, false);
    }
    static PhotoGroup group(int id, std::vector<int> indices, std::set<int> picks)
    {
        PhotoGroup g;
        g.id = id;
        g.indices = std::move(indices);
        g.picks = std::move(picks);
        return g;
    }
    QStringList destFiles() const
    {
        return QDir(dest()).entryList(QDir::Files, QDir::Name);
    }
    ExportService::Result sync(const PhotoGroup &g, const std::vector<Photo> &photos)
    {
        return service.sync(g, photos, dest()).result();
    }
};

} // namespace

TEST_F(Export, UniqueTargetNamesAndContentEquality)
{
    const QString a = file("a/IMG_0001.JPG", "aaaa");
    const QString readme = file("README", "text");
    ASSERT_TRUE(test::makeDirectory(tmp.path() + "/d"));
    const QString d = tmp.path() + "/d";
    EXPECT_EQ(ExportService::uniqueTarget(a, d), d + "/IMG_0001.JPG");
    ASSERT_TRUE(test::writeBytes(d + "/IMG_0001.JPG", "aaaa"));
    EXPECT_EQ(ExportService::uniqueTarget(a, d), d + "/IMG_0001.JPG"); // already exported
    ASSERT_TRUE(test::writeBytes(d + "/IMG_0001.JPG", "bbbb"));        // same size, other bytes
    EXPECT_EQ(ExportService::uniqueTarget(a, d), d + "/IMG_0001-2.JPG");
    ASSERT_TRUE(test::writeBytes(d + "/README", "other"));
    ASSERT_TRUE(test::writeBytes(d + "/README-2", "other"));
    EXPECT_EQ(ExportService::uniqueTarget(readme, d), d + "/README-3");
}

TEST_F(Export, CopiesEveryFileOfPickedPhotosAndKeepsSourceIntact)
{
    const QString jpg = file("IMG_1.JPG", QByteArray(5000, 'j'));
    const QString raw = file("IMG_1.CR2", QByteArray(9000, 'r'));
    const QString other = file("IMG_2.JPG", QByteArray(10, 'o'));
    const auto before = md5OfFile(jpg);
    const std::vector<Photo> photos{photo(jpg, {raw}), photo(other)};
    const auto r = sync(group(0, {0, 1}, {0}), photos);
    EXPECT_FALSE(r.error.has_value());
    EXPECT_EQ(r.added, 2);
    EXPECT_EQ(destFiles(), QStringList({"IMG_1.CR2", "IMG_1.JPG"}));
    EXPECT_EQ(service.writtenCount().result(), 2);
    EXPECT_TRUE(sameContents(jpg, dest() + "/IMG_1.JPG"));
    EXPECT_EQ(md5OfFile(jpg), before);
    // Exporting again copies nothing.
    EXPECT_EQ(sync(group(0, {0, 1}, {0}), photos).added, 0);
}

TEST_F(Export, SameNameDifferentFilesBothExported)
{
    const QString a = file("A/IMG_0001.JPG", QByteArray(100, 'a'));
    const QString b = file("B/IMG_0001.JPG", QByteArray(100, 'b')); // same size, other photo
    const QString c = file("C/IMG_0001.JPG", QByteArray(100, 'a')); // identical to a
    const std::vector<Photo> photos{photo(a), photo(b), photo(c)};
    const auto r = sync(group(0, {0, 1, 2}, {0, 1, 2}), photos);
    EXPECT_EQ(r.added, 2);
    EXPECT_EQ(destFiles(), QStringList({"IMG_0001-2.JPG", "IMG_0001.JPG"}));
    EXPECT_TRUE(sameContents(b, dest() + "/IMG_0001-2.JPG"));
    EXPECT_EQ(service.writtenCount().result(), 2);
}

TEST_F(Export, UnpickRemovesThatPhotosFilesSkipKeepsThem)
{
    const QString a = file("a.jpg", "A");
    const QString b = file("b.jpg", "BB");
    const std::vector<Photo> photos{photo(a), photo(b)};
    auto all = service.syncAll({group(0, {0, 1}, {0, 1})}, photos, dest()).result();
    EXPECT_EQ(all.writtenCount, 2);
    // Un-pick b: its file goes, a's stays.
    const auto r = sync(group(0, {0, 1}, {0}), photos);
    EXPECT_EQ(r.removed, 1);
    EXPECT_EQ(destFiles(), QStringList{"a.jpg"});
    // Skipping the group: syncAll passes over it, the earlier file stays.
    PhotoGroup skipped = group(0, {0, 1}, {0});
    skipped.skipped = true;
    all = service.syncAll({skipped}, photos, dest()).result();
    EXPECT_EQ(destFiles(), QStringList{"a.jpg"});
    EXPECT_FALSE(all.lastError.has_value());
}

TEST_F(Export, RenumberedGroupsNeverDeleteStillPickedFiles)
{
    const QString a = file("a.jpg", "A");
    const QString b = file("b.jpg", "B");
    const QString c = file("c.jpg", "C");
    const std::vector<Photo> photos{photo(a), photo(b), photo(c)};
    // Before a regroup: group 0 = {a}, group 1 = {b, c} with b picked.
    service.syncAll({group(0, {0}, {0}), group(1, {1, 2}, {0})}, photos, dest()).waitForFinished();
    EXPECT_EQ(destFiles(), QStringList({"a.jpg", "b.jpg"}));
    // After: ids swap. Group 0 = {b, c} (b still picked), group 1 = {a} (a still picked).
    const auto all = service.syncAll({group(0, {1, 2}, {0}), group(1, {0}, {0})}, photos, dest()).result();
    EXPECT_EQ(destFiles(), QStringList({"a.jpg", "b.jpg"}));
    EXPECT_EQ(all.writtenCount, 2);
}

TEST_F(Export, NewDestinationForgetsTheOldRecord)
{
    const QString a = file("a.jpg", "A");
    const std::vector<Photo> photos{photo(a)};
    service.syncAll({group(0, {0}, {0})}, photos, dest()).waitForFinished();
    const QString other = tmp.path() + "/elsewhere";
    const auto r = service.syncAll({group(0, {0}, {0})}, photos, other).result();
    EXPECT_EQ(r.writtenCount, 1);
    EXPECT_EQ(destFiles(), QStringList{"a.jpg"}); // the old folder is left alone
}

TEST_F(Export, FailuresAreReportedNotSwallowed)
{
    const QString a = file("a.jpg", "A");
    const std::vector<Photo> photos{photo(a), photo(src() + "/vanished.jpg")};
    // A source that vanished: the copy fails with its name and the record is unchanged.
    const auto r = sync(group(0, {0, 1}, {0, 1}), photos);
    ASSERT_TRUE(r.error.has_value());
    EXPECT_TRUE(r.error->startsWith("写入失败 vanished.jpg："));
    EXPECT_EQ(r.added, 1);

    // A destination that cannot be created.
    ASSERT_TRUE(test::writeBytes(tmp.path() + "/blocker", "x"));
    const auto blocked = service.sync(group(0, {0}, {0}), photos, tmp.path() + "/blocker/sub").result();
    ASSERT_TRUE(blocked.error.has_value());
    EXPECT_TRUE(blocked.error->startsWith("无法创建精选目录："));
}

TEST_F(Export, PicksOutsideTheListArePassedOver)
{
    const QString a = file("a.jpg", "A");
    const std::vector<Photo> photos{photo(a)};
    const auto r = sync(group(0, {0, 7}, {0, 1, 5}), photos);
    EXPECT_FALSE(r.error.has_value());
    EXPECT_EQ(destFiles(), QStringList{"a.jpg"});
}

TEST_F(Export, AKilledExportsPartialCopyIsRemovedAndNothingElse)
{
    const QString a = file("IMG_1.JPG", QByteArray(3000, 'a'));
    ASSERT_TRUE(QDir().mkpath(dest()));
    // What a killed export leaves, and names of the user's that only look alike.
    ASSERT_TRUE(test::writeBytes(partialCopyPath(dest() + "/IMG_1.JPG"), QByteArray(1000, 'a')));
    ASSERT_TRUE(test::writeBytes(dest() + "/IMG_1.JPG.mendral-part", "mine"));
    ASSERT_TRUE(test::writeBytes(dest() + "/.IMG_9.JPG.part", "mine"));
    const auto r = service.syncAll({group(0, {0}, {0})}, {photo(a)}, dest()).result();
    EXPECT_FALSE(r.lastError.has_value());
    EXPECT_EQ(QDir(dest()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              QStringList({".IMG_9.JPG.part", "IMG_1.JPG", "IMG_1.JPG.mendral-part"}));
    EXPECT_TRUE(sameContents(a, dest() + "/IMG_1.JPG"));

    // A copy never replaces a file that is there, and leaves nothing behind when it fails.
    ASSERT_TRUE(test::writeBytes(dest() + "/taken.JPG", "mine"));
    EXPECT_TRUE(copyFile(a, dest() + "/taken.JPG").has_value());
    EXPECT_EQ(QFileInfo(dest() + "/taken.JPG").size(), 4);
    EXPECT_FALSE(QFileInfo::exists(partialCopyPath(dest() + "/taken.JPG")));
}
