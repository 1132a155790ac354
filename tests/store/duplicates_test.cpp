// Finding byte-identical photos and moving the extra copies to the Trash.

#include "storetestsupport.h"
#include "support/testfiles.h"

#include <QDir>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace mendral;

namespace {

class Duplicates : public ::testing::Test {
protected:
    test::StoreFixture fx;
    std::unique_ptr<AppStore> store = fx.make();
    QString card() const { return fx.dir.path() + "/card"; }
    std::vector<Photo> photos;

    void SetUp() override
    {
        QDir().mkpath(card());
    }
    void add(const QString &name, const QByteArray &bytes, QStringList companions = {})
    {
        const QString p = card() + "/" + name;
        ASSERT_TRUE(test::writeBytes(p, bytes));
        // An hour apart: every photo stays a group of its own when the groups are rebuilt.
        photos.emplace_back(p, companions, 3600.0 * double(photos.size()), bytes.size(), 0, 0, false);
    }
    // One group per photo, ready for removal.
    void load(std::set<int> pickedPhotos = {})
    {
        std::vector<PhotoGroup> groups;
        for (int i = 0; i < int(photos.size()); ++i) {
            PhotoGroup g;
            g.id = i;
            g.indices = {i};
            if (pickedPhotos.count(i))
                g.picks = {0};
            groups.push_back(g);
        }
        AppStoreTestAccess::setContent(*store, photos, groups);
        AppStoreTestAccess::setPhase(*store, Phase::ready);
    }
    bool run()
    {
        bool done = false;
        auto c = QObject::connect(store.get(), &AppStore::duplicateRemovalFinished, [&] { done = true; });
        store->deleteExactDuplicates();
        const bool ok = test::waitUntil([&] { return done; }, 30000);
        QObject::disconnect(c);
        return ok;
    }
    QStringList names() const
    {
        QStringList out;
        for (const Photo &p : store->photos())
            out << p.name();
        return out;
    }
};

} // namespace

TEST_F(Duplicates, KeepsThePickedCopyAndSkipsEqualSizedDifferentFiles)
{
    add("a.jpg", "same-bytes");
    add("b.jpg", "same-bytes");
    add("c.jpg", "same-bytes");
    add("d.jpg", "diff-bytes"); // same size, different content
    const auto found = AppStore::findExactDuplicates(photos, [&] {
        std::vector<PhotoGroup> gs(1);
        gs[0].indices = {0, 1, 2, 3};
        gs[0].picks = {1};
        return gs;
    }());
    QStringList n;
    for (const Photo &p : found)
        n << p.name();
    EXPECT_EQ(n, QStringList({"a.jpg", "c.jpg"}));
}

TEST_F(Duplicates, LargeFilesOfOneSizeAreComparedWholeNotByTheirStart)
{
    const QByteArray head(100 * 1024, 'h');
    add("copy1.dng", head + QByteArray(50 * 1024, 't'));
    add("copy2.dng", head + QByteArray(50 * 1024, 't'));
    add("othertail.dng", head + QByteArray(50 * 1024, 'u')); // same start, other end
    add("otherhead.dng", QByteArray(100 * 1024, 'x') + QByteArray(50 * 1024, 't'));
    const auto found = AppStore::findExactDuplicates(photos, {});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].name(), "copy2.dng");
}

TEST_F(Duplicates, NothingFoundOnlySetsTheStatus)
{
    add("a.jpg", "one");
    add("b.jpg", "two");
    load();
    ASSERT_TRUE(run());
    EXPECT_EQ(store->statusText(), "没有发现内容完全一致的图片");
    EXPECT_EQ(fx.dialogs.confirmations, 0);
}

TEST_F(Duplicates, CancelChangesNothing)
{
    add("a.jpg", "same");
    add("b.jpg", "same");
    load();
    store->choose(0, 0);
    fx.dialogs.confirm = false;
    ASSERT_TRUE(run());
    EXPECT_EQ(fx.dialogs.confirmations, 1);
    EXPECT_EQ(fx.dialogs.confirmMessage, "发现 1 张完全重复的图片");
    EXPECT_EQ(fx.dialogs.confirmInfo,
              "这些文件内容字节级一致，每组只保留一张，其余将移到废纸篓（不会彻底删除）：\n· b.jpg");
    EXPECT_EQ(store->photos().size(), 2u);
    EXPECT_TRUE(store->canUndo());
    EXPECT_TRUE(QFile::exists(card() + "/b.jpg"));
}

TEST_F(Duplicates, NineDuplicatesListEightThenTheCount)
{
    for (int i = 0; i < 10; ++i)
        add(QString("d%1.jpg").arg(i), "dup");
    load();
    fx.dialogs.confirm = false;
    ASSERT_TRUE(run());
    const QStringList lines = fx.dialogs.confirmInfo.split('\n');
    EXPECT_EQ(lines.size(), 1 + 8 + 1);
    EXPECT_EQ(lines.last(), "… 等共 9 张");
}

TEST_F(Duplicates, RawPlusJpegGoesToTrashWithItsCompanion)
{
    add("early.jpg", "unique-early");
    add("x.jpg", "dup-jpeg");
    const QString raw = card() + "/y.cr2";
    ASSERT_TRUE(test::writeBytes(raw, "raw-of-y"));
    add("y.jpg", "dup-jpeg", {raw});
    add("z.jpg", "unique-late");
    load({0, 3});
    ASSERT_TRUE(run());
    EXPECT_FALSE(QFile::exists(card() + "/y.jpg"));
    EXPECT_FALSE(QFile::exists(raw));
    EXPECT_TRUE(QFile::exists(card() + "/x.jpg"));
    const QString trash = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME")) + "/Trash/files";
    EXPECT_TRUE(QFile::exists(trash + "/y.jpg"));
    EXPECT_TRUE(QFile::exists(trash + "/y.cr2"));
    EXPECT_EQ(names(), QStringList({"early.jpg", "x.jpg", "z.jpg"}));
    EXPECT_FALSE(store->canUndo());
    EXPECT_TRUE(store->statusText().startsWith("已把 1 张完全重复的图片移到废纸篓，共 3 张 · "));
    // Groups whose members are untouched keep their picks, although indices shifted.
    ASSERT_EQ(store->groups().size(), 3u);
    EXPECT_EQ(store->groups()[0].picks, (std::set<int>{0})); // early.jpg, index unchanged
    EXPECT_EQ(store->groups()[2].picks, (std::set<int>{0})); // z.jpg, moved from index 3 to 2
}

TEST_F(Duplicates, NotReadyDoesNothing)
{
    add("a.jpg", "same");
    add("b.jpg", "same");
    load();
    AppStoreTestAccess::setPhase(*store, Phase::analyzing);
    store->deleteExactDuplicates();
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(fx.dialogs.confirmations, 0);
}
