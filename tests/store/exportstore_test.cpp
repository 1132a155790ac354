// Exporting from the store: names, texts, re-export after a changed pick.

#include "platform/fileops.h"
#include "storetestsupport.h"
#include "support/testfiles.h"

#include <QCryptographicHash>
#include <QDir>

#include <gtest/gtest.h>

using namespace mendral;

namespace {

class StoreExport : public ::testing::Test {
protected:
    test::StoreFixture fx;
    std::unique_ptr<AppStore> store = fx.make();
    QString card() const { return fx.dir.path() + "/Trip"; }
    QString out() const { return fx.dir.path() + "/out"; }

    void SetUp() override
    {
        QDir().mkpath(card());
        QDir().mkpath(out());
        std::vector<Photo> photos;
        for (int i = 0; i < 3; ++i) {
            const QString p = card() + QString("/IMG_%1.JPG").arg(i);
            test::writeBytes(p, QByteArray(100 + i, char('a' + i)));
            photos.emplace_back(p, QStringList{}, i, 100 + i, 0, 0, false);
        }
        const QString raw = card() + "/IMG_0.CR2";
        test::writeBytes(raw, QByteArray(500, 'r'));
        photos[0].companions = {raw};
        PhotoGroup g;
        g.id = 0;
        g.indices = {0, 1, 2};
        AppStoreTestAccess::setContent(*store, photos, {g});
        AppStoreTestAccess::setSource(*store, card());
    }
    bool exportNow()
    {
        bool done = false;
        auto c = QObject::connect(store.get(), &AppStore::exportFinished, [&] { done = true; });
        store->exportPicked();
        const bool ok = test::waitUntil([&] { return done; }, 30000);
        QObject::disconnect(c);
        return ok;
    }
};

} // namespace

TEST_F(StoreExport, NothingPickedAsksNothing)
{
    store->exportPicked();
    EXPECT_EQ(store->statusText(), "还没有选中的照片：进组把要用的照片选上，再点导出");
    EXPECT_TRUE(fx.dialogs.exportMessage.isEmpty());
}

TEST_F(StoreExport, FolderNameFromSource)
{
    EXPECT_EQ(store->exportFolderName(), "精选_Trip");
    AppStoreTestAccess::setSource(*store, "/");
    EXPECT_EQ(store->exportFolderName(), "精选");
}

TEST_F(StoreExport, ExportTwiceWithAChangedPick)
{
    store->choose(0, 0);
    store->choose(0, 1);
    fx.dialogs.exportLocation = out();
    ASSERT_TRUE(exportNow());
    EXPECT_EQ(fx.dialogs.exportMessage, "选择导出到哪个位置（已选 2 张；会自动新建「精选_Trip」）");
    EXPECT_EQ(store->destFolder(), out() + "/精选_Trip");
    EXPECT_EQ(store->syncedCount(), 3); // RAW + JPEG, and one JPEG
    EXPECT_EQ(store->statusText(), "已导出 3 个文件到「精选_Trip」");

    store->togglePick(0, 1);
    ASSERT_TRUE(exportNow());
    EXPECT_EQ(fx.dialogs.exportStart, out()); // starts in the folder holding the last export
    EXPECT_EQ(store->syncedCount(), 2);
    EXPECT_EQ(QDir(out() + "/精选_Trip").entryList(QDir::Files).size(), 2);
    EXPECT_EQ(store->statusText(), "已导出 2 个文件到「精选_Trip」");
    // The source is untouched.
    EXPECT_EQ(md5OfFile(card() + "/IMG_1.JPG"), QCryptographicHash::hash(QByteArray(101, 'b'), QCryptographicHash::Md5));
}

TEST_F(StoreExport, UncreatableFolderAndFailedCopyAreReported)
{
    store->choose(0, 0);
    test::writeBytes(out() + "/file", "x");
    fx.dialogs.exportLocation = out() + "/file";
    store->exportPicked();
    ASSERT_TRUE(store->errorText().has_value());
    EXPECT_TRUE(store->errorText()->startsWith("无法创建导出文件夹：" + out() + "/file/精选_Trip\n"));
    EXPECT_FALSE(store->destFolder().has_value());

    QFile::remove(card() + "/IMG_0.CR2"); // vanished companion
    fx.dialogs.exportLocation = out();
    ASSERT_TRUE(exportNow());
    EXPECT_TRUE(store->statusText().startsWith("导出未完成：写入失败 IMG_0.CR2："));
    EXPECT_EQ(store->errorText(), store->statusText().mid(QString("导出未完成：").size()));
}

TEST_F(StoreExport, RevealCreatesAndShowsTheFolder)
{
    store->revealDestination();
    EXPECT_TRUE(fx.dialogs.revealed.isEmpty());
    store->choose(0, 0);
    fx.dialogs.exportLocation = out();
    ASSERT_TRUE(exportNow());
    QDir(out() + "/精选_Trip").removeRecursively();
    store->revealDestination();
    EXPECT_EQ(fx.dialogs.revealed, out() + "/精选_Trip");
    EXPECT_TRUE(QDir(out() + "/精选_Trip").exists());
}
