// The window around the content: content by phase, dropping folders, the error alert, menus.

#include "ui/emptystate.h"
#include "ui/groupgridview.h"
#include "ui/mainwindow.h"
#include "ui/rootview.h"
#include "ui/statusbar.h"
#include "ui/widgets.h"
#include "ui/workingview.h"
#include "uitestsupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QDropEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

using namespace mendral;

namespace {

struct RootViewTest : ::testing::Test, test::WindowFixture {
    QTemporaryDir folders;

    /** Sends a drop of `mime` onto the view; returns whether it was accepted. */
    static bool drop(RootView &view, QMimeData *mime)
    {
        const QPointF at(view.width() / 2.0, view.height() / 2.0);
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&view, &enter);
        QDropEvent event(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&view, &event);
        return event.isAccepted();
    }
};

TEST_F(RootViewTest, ContentFollowsPhaseThenPhotos)
{
    RootView view(*store, images.get());
    EXPECT_EQ(view.currentContent(), view.emptyState());
    AppStoreTestAccess::setPhase(*store, Phase::scanning);
    EXPECT_EQ(view.currentContent(), view.workingView());
    fill(2); // photos and groups, then ready
    EXPECT_EQ(view.currentContent(), view.overview());
    AppStoreTestAccess::setPhase(*store, Phase::analyzing);
    EXPECT_EQ(view.currentContent(), view.workingView()) << "an import beats existing photos";
    AppStoreTestAccess::setPhase(*store, Phase::idle);
    EXPECT_EQ(view.currentContent(), view.overview());
    AppStoreTestAccess::setContent(*store, {}, {});
    EXPECT_EQ(view.currentContent(), view.emptyState());
}

TEST_F(RootViewTest, DroppingTwoFoldersImportsOnlyTheFirst)
{
    ASSERT_TRUE(QDir(folders.path()).mkpath("first"));
    ASSERT_TRUE(QDir(folders.path()).mkpath("second"));
    RootView view(*store, images.get());
    view.resize(800, 600);
    view.show();
    auto *mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(folders.path() + "/first"), QUrl::fromLocalFile(folders.path() + "/second")});
    EXPECT_TRUE(drop(view, mime));
    EXPECT_FALSE(view.dropTargeted()) << "a drop ends the hover";
    ASSERT_TRUE(test::waitUntil([&] { return store->sourceFolder().has_value(); }));
    EXPECT_EQ(*store->sourceFolder(), folders.path() + "/first");
    // The folder holds no photos: the import ends with a message rather than a crash.
    ASSERT_TRUE(test::waitUntil([&] { return store->errorText().has_value(); }));
    delete mime;
}

TEST_F(RootViewTest, DropOfSomethingElseIsIgnoredAndNothingIsNotAccepted)
{
    RootView view(*store, images.get());
    view.resize(800, 600);
    auto *web = new QMimeData;
    web->setUrls({QUrl("https://example.org/photo.jpg")});
    EXPECT_TRUE(drop(view, web)) << "an item came, so the drop counts as taken";
    auto *empty = new QMimeData;
    empty->setUrls({});
    EXPECT_FALSE(drop(view, empty));
    QCoreApplication::processEvents();
    EXPECT_FALSE(store->sourceFolder().has_value());
    EXPECT_EQ(store->phase(), Phase::idle);
    delete web;
    delete empty;
}

TEST_F(RootViewTest, HoverWithFileShowsTheHighlightAndLeavingClearsIt)
{
    RootView view(*store, images.get());
    view.resize(800, 600);
    view.show();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(folders.path())});
    QDragEnterEvent enter(QPoint(10, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_TRUE(view.dropTargeted());
    QDragLeaveEvent leave;
    QApplication::sendEvent(&view, &leave);
    EXPECT_FALSE(view.dropTargeted());

    QMimeData text;
    text.setText("not a file");
    QDragEnterEvent plain(QPoint(10, 100), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    plain.setAccepted(false);
    QApplication::sendEvent(&view, &plain);
    EXPECT_FALSE(plain.isAccepted());
    EXPECT_FALSE(view.dropTargeted());
}

TEST_F(RootViewTest, AlertShowsErrorAndItsButtonClearsIt)
{
    RootView view(*store, images.get());
    view.resize(800, 600);
    view.show();
    EXPECT_EQ(view.alert(), nullptr);
    store->setErrorText(QStringLiteral("导出失败：磁盘已满"));
    QMessageBox *alert = view.alert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->windowTitle(), "出错了");
    EXPECT_EQ(alert->text(), "导出失败：磁盘已满");
    ASSERT_EQ(alert->buttons().size(), 1);
    EXPECT_EQ(alert->buttons().front()->text(), "知道了");
    QTest::mouseClick(alert->buttons().front(), Qt::LeftButton);
    EXPECT_FALSE(store->errorText().has_value());
    EXPECT_EQ(view.alert(), nullptr);

    store->setErrorText(QStringLiteral("导出失败：磁盘已满")); // the same text again shows again
    ASSERT_NE(view.alert(), nullptr);
    QTest::keyClick(view.alert(), Qt::Key_Escape);
    EXPECT_FALSE(store->errorText().has_value()) << "any dismissal clears it";
}

TEST_F(RootViewTest, MissingModelsAreAlertedOnceAndStayInTheStatusLine)
{
    RootView view(*store, images.get());
    view.resize(1100, 700);
    view.show();
    EXPECT_EQ(view.modelAlert(), nullptr);
    EXPECT_FALSE(view.statusBar()->modelNoticeLabel()->isVisibleTo(&view));

    AppStoreTestAccess::noteMissingModels(*store, {"缺少人脸识别模型 /m/face.json"});
    QMessageBox *alert = view.modelAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->windowTitle(), "识别模型不全");
    EXPECT_EQ(alert->text(), store->modelNotice());
    EXPECT_TRUE(alert->text().contains("/m/face.json"));
    EXPECT_EQ(view.alert(), nullptr) << "not an error: the photos are still analysed";
    EXPECT_TRUE(view.statusBar()->modelNoticeLabel()->isVisibleTo(&view));
    EXPECT_EQ(view.statusBar()->modelNoticeLabel()->text(), store->modelNotice());
    QTest::mouseClick(alert->buttons().front(), Qt::LeftButton);
    EXPECT_EQ(view.modelAlert(), nullptr);

    // Later imports of the run find the same: no second alert, the status line keeps it.
    AppStoreTestAccess::noteMissingModels(*store, {"缺少人脸识别模型 /m/face.json"});
    store->setErrorText(QStringLiteral("导出失败"));
    EXPECT_EQ(view.modelAlert(), nullptr);
    EXPECT_TRUE(view.statusBar()->modelNoticeLabel()->isVisibleTo(&view));
}

TEST_F(RootViewTest, ErrorClearedByTheStoreClosesTheAlert)
{
    RootView view(*store, images.get());
    view.show();
    store->setErrorText(QStringLiteral("一"));
    store->setErrorText(QStringLiteral("二"));
    ASSERT_NE(view.alert(), nullptr);
    EXPECT_EQ(view.alert()->text(), "二") << "one alert, showing the newest text";
    store->setErrorText(std::nullopt);
    EXPECT_EQ(view.alert(), nullptr);
}

TEST_F(RootViewTest, EmptyStateButtonAsksForAFolder)
{
    RootView view(*store, images.get());
    view.show();
    storeFixture.dialogs.importChoice.reset(); // the user cancels
    QTest::mouseClick(view.emptyState()->chooseButton(), Qt::LeftButton);
    EXPECT_TRUE(storeFixture.dialogs.askedImport);
    EXPECT_EQ(store->phase(), Phase::idle);
}

struct MenuTest : ::testing::Test, test::WindowFixture {
    std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>(*store, images.get());
    bool enabled(MainWindow::Command c) const { return window->action(c)->isEnabled(); }
    void TearDown() override { window.reset(); }
};

using C = MainWindow::Command;

TEST_F(MenuTest, WindowTitleAndSizes)
{
    EXPECT_EQ(window->windowTitle(), "DorvaniPhoto");
    EXPECT_EQ(window->minimumSize(), QSize(1040, 700));
    EXPECT_EQ(window->size(), QSize(1280, 840));
    EXPECT_EQ(window->action(C::importFolder)->text(), "导入文件夹…");
    EXPECT_EQ(window->action(C::importFolder)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_I));
    EXPECT_EQ(window->action(C::revealDestination)->shortcut(), QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(window->action(C::hideDecidedPane)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Right));
    EXPECT_TRUE(window->action(C::deleteDuplicates)->shortcut().isEmpty());
}

TEST_F(MenuTest, AtStartOnlyImportIsEnabled)
{
    EXPECT_TRUE(enabled(C::importFolder));
    for (C c : {C::exportPicked, C::regroup, C::undo, C::revealDestination, C::hideDecidedPane, C::showDecidedPane,
                C::deleteDuplicates})
        EXPECT_FALSE(enabled(c)) << int(c);
}

TEST_F(MenuTest, AfterImportUndoWaitsForTheFirstDecision)
{
    fill(3);
    EXPECT_TRUE(enabled(C::exportPicked));
    EXPECT_TRUE(enabled(C::regroup));
    EXPECT_TRUE(enabled(C::deleteDuplicates));
    EXPECT_FALSE(enabled(C::undo));
    EXPECT_FALSE(enabled(C::revealDestination)) << "nothing exported in this run";
    store->togglePick(1, 0);
    EXPECT_TRUE(enabled(C::undo));
    window->action(C::undo)->trigger();
    EXPECT_FALSE(enabled(C::undo));
    EXPECT_TRUE(store->group(1)->picks.empty());
}

TEST_F(MenuTest, DuringAScanEverythingButImportIsOff)
{
    fill(3);
    AppStoreTestAccess::setPhase(*store, Phase::scanning);
    EXPECT_FALSE(enabled(C::deleteDuplicates));
    EXPECT_TRUE(enabled(C::importFolder)) << "a new import may replace a running one";
    AppStoreTestAccess::setContent(*store, {}, {}); // an import empties the photos first
    for (C c : {C::exportPicked, C::regroup, C::hideDecidedPane, C::showDecidedPane, C::deleteDuplicates})
        EXPECT_FALSE(enabled(c)) << int(c);
    AppStoreTestAccess::setPhase(*store, Phase::analyzing);
    EXPECT_FALSE(enabled(C::deleteDuplicates));
}

TEST_F(MenuTest, DecidedPaneCommandsSwapAfterShortcut)
{
    store->setShowDecidedPane(true);
    fill(3);
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    EXPECT_TRUE(enabled(C::hideDecidedPane));
    EXPECT_FALSE(enabled(C::showDecidedPane));
    QTest::keyClick(window.get(), Qt::Key_Right, Qt::ControlModifier);
    EXPECT_FALSE(store->showDecidedPane());
    EXPECT_FALSE(enabled(C::hideDecidedPane));
    EXPECT_TRUE(enabled(C::showDecidedPane));
    QTest::keyClick(window.get(), Qt::Key_Left, Qt::ControlModifier);
    EXPECT_TRUE(store->showDecidedPane());
}

TEST_F(MenuTest, DuplicateRemovalRunsAfterTheMenuReturns)
{
    fill(2);
    bool finished = false;
    QObject::connect(store.get(), &AppStore::duplicateRemovalFinished, [&] { finished = true; });
    window->action(C::deleteDuplicates)->trigger();
    EXPECT_FALSE(finished) << "the search starts from the event loop, not inside the menu";
    ASSERT_TRUE(test::waitUntil([&] { return finished; }));
    EXPECT_EQ(store->statusText(), "没有发现内容完全一致的图片");
    EXPECT_EQ(storeFixture.dialogs.confirmations, 0);
}

TEST_F(MenuTest, AcceptAllRecommendationsAsksThenOneUndoTakesItBack)
{
    fill(3);
    EXPECT_FALSE(enabled(C::acceptAllRecommendations)) << "every group still needs a look";
    std::vector<PhotoGroup> groups = store->groups();
    groups[0].needsReview = groups[2].needsReview = false;
    groups[0].recommended = groups[2].recommended = 1;
    AppStoreTestAccess::setContent(*store, store->photos(), groups);
    EXPECT_EQ(window->action(C::acceptAllRecommendations)->text(), "采纳全部推荐（不含需确认的组）");
    ASSERT_TRUE(enabled(C::acceptAllRecommendations));
    window->action(C::acceptAllRecommendations)->trigger();
    ASSERT_TRUE(test::waitUntil([&] { return storeFixture.dialogs.confirmations == 1; }));
    EXPECT_EQ(storeFixture.dialogs.confirmMessage, "采纳 2 组的推荐照片？");
    EXPECT_EQ(store->group(0)->picks, (std::set<int>{1}));
    EXPECT_EQ(store->group(2)->picks, (std::set<int>{1}));
    EXPECT_EQ(store->group(1)->status(), GroupStatus::pending);
    EXPECT_FALSE(enabled(C::acceptAllRecommendations)) << "nothing left to take";
    window->action(C::undo)->trigger();
    EXPECT_TRUE(store->group(0)->picks.empty());
    EXPECT_TRUE(store->group(2)->picks.empty());
    EXPECT_FALSE(enabled(C::undo));
}

} // namespace
