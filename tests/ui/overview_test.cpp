// The overview: layout arithmetic, keyboard and mouse movement, flat mode, thumbnails on demand.

#include "ui/decidedrail.h"
#include "ui/groupcard.h"
#include "ui/groupgridview.h"
#include "ui/grouppane.h"
#include "ui/pickedthumb.h"
#include "uitestsupport.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

using namespace mendral;
using Kind = GroupPane::Kind;

namespace {

TEST(OverviewLayout, ColumnCountsFromPaneWidth)
{
    // A 600-wide window with the decided pane hidden leaves 570 for the pending pane.
    EXPECT_EQ(GroupGridView::leftWidthFor(600, 0), 570);
    EXPECT_EQ(GroupPane::columnsFor(570, Kind::pending), 3);
    EXPECT_EQ(GroupGridView::leftWidthFor(600, 1), 360);
    EXPECT_EQ(GroupPane::columnsFor(360, Kind::pending), 1);
    EXPECT_EQ(GroupPane::columnsFor(600, Kind::decided), 3);
    EXPECT_EQ(GroupPane::columnsFor(0, Kind::pending), 1) << "narrower than a pitch: one column";
    EXPECT_EQ(GroupPane::columnsFor(-5, Kind::decided), 1);
    EXPECT_EQ(GroupPane::columnsFor(28 + 4 * 182 - 14, Kind::pending), 4) << "exactly four pitches";
    EXPECT_EQ(GroupPane::columnsFor(28 + 4 * 182 - 15, Kind::pending), 3);
    EXPECT_EQ(GroupPane::flatColumnsFor(0), 1);
    EXPECT_EQ(GroupPane::flatColumnsFor(600), 3);
    EXPECT_EQ(GroupPane::flatColumnsFor(28 + 288), 2);
}

struct PaneTest : ::testing::Test, test::WindowFixture {
    std::unique_ptr<GroupPane> pending, decided;

    void make(int width = 570, int height = 500)
    {
        pending = std::make_unique<GroupPane>(*store, Kind::pending, *images);
        decided = std::make_unique<GroupPane>(*store, Kind::decided, *images);
        for (GroupPane *p : {pending.get(), decided.get()}) {
            p->resize(width, height);
            p->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(p));
        }
        QCoreApplication::processEvents();
    }
    void key(GroupPane &pane, Qt::Key k) { QTest::keyClick(pane.scrollArea(), k); }
    int selected() const { return store->selectedGroupID().value_or(-100); }
    /** The pane's scroll area holds its window's focus (windows here are not all active). */
    static bool focused(GroupPane &pane) { return pane.focusWidget() == pane.scrollArea(); }
    void TearDown() override
    {
        pending.reset();
        decided.reset();
    }
};

TEST_F(PaneTest, ArrowsMoveByOneAndByAColumnAndStopAtTheEnds)
{
    fill(10);
    make(570); // three columns
    ASSERT_EQ(pending->columns(), 3);
    key(*pending, Qt::Key_Right);
    EXPECT_EQ(selected(), 0) << "from no selection, one step lands on the first group";
    EXPECT_FALSE(store->selectionInDecidedPane());
    key(*pending, Qt::Key_Down);
    EXPECT_EQ(selected(), 3);
    key(*pending, Qt::Key_Right);
    EXPECT_EQ(selected(), 4);
    key(*pending, Qt::Key_Up);
    EXPECT_EQ(selected(), 1);
    key(*pending, Qt::Key_Up);
    EXPECT_EQ(selected(), 0) << "clamped at the first group";
    key(*pending, Qt::Key_Left);
    EXPECT_EQ(selected(), 0);
    for (int i = 0; i < 5; ++i)
        key(*pending, Qt::Key_Down);
    EXPECT_EQ(selected(), 9) << "clamped at the last group";
    EXPECT_TRUE(pending->cards()[9]->isSelected());
    EXPECT_FALSE(pending->cards()[0]->isSelected());
}

TEST_F(PaneTest, ReturnOpensTheSelectedGroupOfThisPaneOnly)
{
    fill(4);
    pick(2, {0});
    make();
    store->setSelectedGroupID(2);
    store->setSelectionInDecidedPane(false); // group 2 chosen in the pending pane
    key(*decided, Qt::Key_Return);
    EXPECT_FALSE(store->reviewGroupID().has_value()) << "the selection belongs to the other pane";
    key(*pending, Qt::Key_Return);
    EXPECT_EQ(store->reviewGroupID().value_or(-1), 2);
}

TEST_F(PaneTest, JSelectsTheFirstPendingGroup)
{
    fill(5);
    pick(0, {1});
    store->skip(1);
    make();
    store->setSelectedGroupID(0);
    store->setSelectionInDecidedPane(true);
    key(*pending, Qt::Key_J);
    EXPECT_EQ(selected(), 2);
    EXPECT_FALSE(store->selectionInDecidedPane());
    key(*decided, Qt::Key_J);
    EXPECT_EQ(selected(), 2) << "j belongs to the pending pane";
}

TEST_F(PaneTest, JWithNothingPendingChangesNothing)
{
    fill(2);
    pick(0, {0});
    store->skip(1);
    make();
    store->setSelectedGroupID(0);
    store->setSelectionInDecidedPane(true);
    key(*pending, Qt::Key_J);
    EXPECT_EQ(selected(), 0);
    EXPECT_TRUE(store->selectionInDecidedPane());
}

TEST_F(PaneTest, DecidedPaneListsPickedGroupsOnly)
{
    fill(5);
    pick(1, {0});
    pick(3, {0, 1});
    store->skip(4);
    make();
    std::vector<int> ids;
    for (GroupCard *c : decided->cards())
        ids.push_back(c->groupID());
    EXPECT_EQ(ids, (std::vector<int>{1, 3}));
    EXPECT_EQ(pending->cards().size(), 5u);
    EXPECT_EQ(decided->countLabel()->text(), "2 组");
    EXPECT_EQ(decided->progressLabel()->text(), "· 共选 3 张");
    EXPECT_EQ(pending->progressLabel()->text(), "· 待选 2 组");
    // Movement in the decided pane walks its own list.
    key(*decided, Qt::Key_Right);
    EXPECT_EQ(selected(), 1);
    EXPECT_TRUE(store->selectionInDecidedPane());
    key(*decided, Qt::Key_Right);
    EXPECT_EQ(selected(), 3);
    EXPECT_FALSE(pending->cards()[3]->isSelected()) << "selected in the other pane";
    EXPECT_TRUE(decided->cards()[1]->isSelected());
}

TEST_F(PaneTest, HeadersWhenEverythingIsDone)
{
    fill(2);
    make();
    EXPECT_FALSE(decided->progressLabel()->isVisible()) << "no picks: no total";
    EXPECT_EQ(decided->emptyState()->isVisible(), true);
    store->skip(0);
    pick(1, {1});
    EXPECT_EQ(pending->progressLabel()->text(), "· 全部处理完");
    EXPECT_TRUE(decided->progressLabel()->isVisible());
    EXPECT_FALSE(decided->emptyState()->isVisible());
}

TEST_F(PaneTest, CardShowsFirstPickNotTheRecommendation)
{
    fill(2, 4);
    std::vector<PhotoGroup> groups = store->groups();
    groups[0].recommended = 2;
    groups[0].picks = {3, 1};
    AppStoreTestAccess::setContent(*store, store->photos(), groups);
    make();
    const GroupCard *card = pending->cards()[0];
    EXPECT_EQ(card->shownPhotoIndex(), groups[0].indices[1]);
    EXPECT_EQ(card->photoUrl(), store->photos()[size_t(groups[0].indices[1])].url);
    EXPECT_EQ(card->captionText(), "第 1 组·已选 2 张");
    EXPECT_EQ(card->toolTip(), "第 1 组 · 4 张");
    const GroupCard *plain = pending->cards()[1];
    EXPECT_EQ(plain->shownPhotoIndex(), groups[1].indices[0]);
    EXPECT_EQ(plain->captionText(), "第 2 组·4 张");
}

TEST_F(PaneTest, PendingCardThatNeedsALookCarriesAMarkWithTheReason)
{
    fill(3, 2);
    std::vector<PhotoGroup> groups = store->groups();
    groups[0].reason = "可能有人闭眼"; // needs review, pending
    groups[1].needsReview = false;
    groups[1].reason = "组内综合最佳";
    groups[2].reason = "两张太接近，得你来定";
    groups[2].picks = {0}; // decided: its status badge, no mark
    AppStoreTestAccess::setContent(*store, store->photos(), groups);
    make();
    const GroupCard *flagged = pending->cards()[0];
    const QRectF mark = flagged->reviewMarkRect();
    ASSERT_FALSE(mark.isEmpty());
    EXPECT_EQ(flagged->toolTipAt(mark.center().toPoint()), "可能有人闭眼");
    EXPECT_EQ(flagged->toolTipAt(QPoint(20, 60)), "第 1 组 · 2 张");
    EXPECT_TRUE(pending->cards()[1]->reviewMarkRect().isEmpty());
    EXPECT_TRUE(pending->cards()[2]->reviewMarkRect().isEmpty());
    // Drawn in orange where a decided group's badge would be.
    const QImage image = pending->cards()[0]->grab().toImage();
    const QColor c = image.pixelColor(mark.toRect().topLeft() + QPoint(4, 8));
    EXPECT_GT(c.red(), c.blue() + 80);
}

TEST_F(PaneTest, CardForBrokenGroupsDoesNotCrash)
{
    fill(1, 2);
    PhotoGroup empty;
    empty.id = 1;
    PhotoGroup outside;
    outside.id = 2;
    outside.indices = {0, 99}; // an index past the photo list
    outside.picks = {1, 7};    // a pick past the group
    AppStoreTestAccess::setContent(*store, store->photos(), {store->groups()[0], empty, outside});
    make();
    ASSERT_EQ(pending->cards().size(), 3u);
    EXPECT_EQ(pending->cards()[1]->shownPhotoIndex(), -1);
    EXPECT_TRUE(pending->cards()[1]->photoUrl().isEmpty());
    EXPECT_TRUE(pending->cards()[2]->photoUrl().isEmpty()) << "photo 99 does not exist";
    store->setDecidedFlatMode(true);
    EXPECT_TRUE(decided->thumbs().empty()) << "no picked photo that exists";
    key(*decided, Qt::Key_Down);
    key(*pending, Qt::Key_Return);
}

TEST_F(PaneTest, ClicksSelectFocusAndOpen)
{
    fill(6);
    make();
    GroupCard *card = pending->cards()[4];
    QTest::mouseClick(card, Qt::LeftButton, {}, card->rect().center());
    EXPECT_EQ(selected(), 4);
    EXPECT_TRUE(focused(*pending));
    EXPECT_FALSE(store->reviewGroupID().has_value());
    QTest::mouseDClick(pending->cards()[5], Qt::LeftButton, {}, card->rect().center());
    EXPECT_EQ(store->reviewGroupID().value_or(-1), 5);
    EXPECT_EQ(selected(), 5);
}

TEST_F(PaneTest, FlatModeWalksEveryPickAcrossGroups)
{
    fill(4, 3);
    pick(0, {2, 0});
    pick(2, {1});
    store->setDecidedFlatMode(true);
    make(600);
    const auto items = decided->pickedItems();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].id(), "0-0");
    EXPECT_EQ(items[1].id(), "0-2");
    EXPECT_EQ(items[1].nth, 2);
    EXPECT_EQ(items[1].total, 2);
    EXPECT_EQ(items[2].id(), "2-1");
    EXPECT_EQ(items[2].groupNo, 3);
    ASSERT_EQ(decided->thumbs().size(), 3u);
    EXPECT_EQ(decided->thumbs()[2]->toolTip(), "IMG_0007.jpg · 第 3 组");

    key(*decided, Qt::Key_Right);
    EXPECT_EQ(decided->flatCursor().value_or(""), "0-0");
    key(*decided, Qt::Key_Right);
    EXPECT_EQ(decided->flatCursor().value_or(""), "0-2") << "a step within one group";
    EXPECT_EQ(selected(), 0);
    EXPECT_TRUE(decided->thumbs()[1]->isSelected());
    EXPECT_FALSE(decided->thumbs()[0]->isSelected());
    key(*decided, Qt::Key_Right);
    EXPECT_EQ(decided->flatCursor().value_or(""), "2-1");
    EXPECT_EQ(selected(), 2);
    EXPECT_TRUE(store->selectionInDecidedPane());
    key(*decided, Qt::Key_Right);
    EXPECT_EQ(decided->flatCursor().value_or(""), "2-1") << "clamped";
    key(*decided, Qt::Key_Up); // three columns at 600: up by three clamps to the first
    EXPECT_EQ(decided->flatCursor().value_or(""), "0-0");
    key(*decided, Qt::Key_Return);
    EXPECT_EQ(store->reviewGroupID().value_or(-1), 0);
}

TEST_F(PaneTest, FlatModeStartsAtTheSelectedGroupsFirstPick)
{
    fill(3, 2);
    pick(0, {0});
    pick(1, {0, 1});
    store->setDecidedFlatMode(true);
    make(600);
    store->setSelectedGroupID(1);
    store->setSelectionInDecidedPane(true);
    EXPECT_TRUE(decided->thumbs()[1]->isSelected());
    key(*decided, Qt::Key_Right);
    EXPECT_EQ(decided->flatCursor().value_or(""), "1-1");
    QTest::mouseClick(decided->thumbs()[0], Qt::LeftButton);
    EXPECT_EQ(decided->flatCursor().value_or(""), "0-0");
    EXPECT_EQ(selected(), 0);
    QTest::mouseDClick(decided->thumbs()[2], Qt::LeftButton);
    EXPECT_EQ(store->reviewGroupID().value_or(-1), 1);
}

TEST_F(PaneTest, ModeButtonsSwitchFlatMode)
{
    fill(2);
    pick(1, {0});
    store->setDecidedFlatMode(false);
    make();
    EXPECT_TRUE(decided->gridModeButton()->isChecked());
    QTest::mouseClick(decided->flatModeButton(), Qt::LeftButton);
    EXPECT_TRUE(store->decidedFlatMode());
    EXPECT_TRUE(decided->flatModeButton()->isChecked());
    EXPECT_FALSE(decided->gridModeButton()->isChecked());
    EXPECT_EQ(decided->thumbs().size(), 1u);
    EXPECT_TRUE(decided->cards().empty());
    QTest::mouseClick(decided->gridModeButton(), Qt::LeftButton);
    EXPECT_FALSE(store->decidedFlatMode());
    EXPECT_EQ(decided->cards().size(), 1u);
}

TEST_F(PaneTest, FocusGoesToThePendingPaneWithoutSelection)
{
    fill(3);
    make();
    pending->applyFocusRules();
    decided->applyFocusRules();
    EXPECT_TRUE(focused(*pending));
    EXPECT_FALSE(focused(*decided));
    pick(2, {0});
    store->setSelectedGroupID(2);
    store->setSelectionInDecidedPane(true);
    pending->applyFocusRules();
    decided->applyFocusRules();
    EXPECT_FALSE(focused(*pending)) << "the selection is in the other pane";
    EXPECT_TRUE(focused(*decided));
    store->openReview(1);
    decided->applyFocusRules();
    EXPECT_FALSE(focused(*decided)) << "the review screen keeps the keys";
}

TEST_F(PaneTest, ThumbnailsOnlyForCardsOnOrNearTheScreen)
{
    fill(200);
    make(570, 400); // three columns, about two rows on screen
    ASSERT_TRUE(test::waitUntil([&] { return pending->visibleThumbnailsLoaded(); }));
    const int first = decodes->load();
    EXPECT_GT(first, 0);
    EXPECT_LT(first, 40) << "only cards on or near the screen ask for images";
    EXPECT_TRUE(pending->cards()[0]->isLoaded());
    EXPECT_FALSE(pending->cards()[199]->hasRequested());

    pending->scrollArea()->verticalScrollBar()->setValue(pending->scrollArea()->verticalScrollBar()->maximum());
    EXPECT_TRUE(pending->cards()[199]->hasRequested());
    ASSERT_TRUE(test::waitUntil([&] { return pending->cards()[199]->isLoaded(); }));
    EXPECT_FALSE(pending->cards()[100]->hasRequested()) << "the middle was never on screen";
}

TEST_F(PaneTest, CardShowsPlaceholderUntilItsImageArrives)
{
    fill(1, 3);
    holdDecoding->store(true);
    make();
    GroupCard *card = pending->cards()[0];
    ASSERT_TRUE(card->hasRequested());
    QCoreApplication::processEvents();
    EXPECT_FALSE(card->isLoaded());
    EXPECT_TRUE(card->thumbnail().isNull()) << "the placeholder is painted meanwhile";
    EXPECT_FALSE(pending->visibleThumbnailsLoaded());
    holdDecoding->store(false);
    ASSERT_TRUE(test::waitUntil([&] { return card->isLoaded(); }));
    EXPECT_TRUE(pending->visibleThumbnailsLoaded());
    EXPECT_TRUE(shows(card->thumbnail(), card->photoUrl()));
}

TEST_F(PaneTest, ALateImageOfThePreviousPhotoIsNotShown)
{
    fill(1, 3);
    const QString picked = store->photos()[2].url;
    images->thumbnail(picked, ThumbWidget::thumbnailPixels).waitForFinished(); // in memory: answered at once
    holdDecoding->store(true);
    make();
    GroupCard *card = pending->cards()[0];
    const QString first = card->photoUrl();
    ASSERT_NE(first, picked);
    pick(0, {2}); // the card now shows the picked photo while the first image is still coming
    ASSERT_EQ(card->photoUrl(), picked);
    ASSERT_TRUE(test::waitUntil([&] { return card->isLoaded(); }));
    holdDecoding->store(false);
    ASSERT_TRUE(test::waitUntil([&] { return *decodes >= 2; })); // the first image is done too
    images->thumbnail(first, ThumbWidget::thumbnailPixels).waitForFinished();
    QCoreApplication::processEvents();
    EXPECT_TRUE(shows(card->thumbnail(), picked));
    EXPECT_FALSE(shows(card->thumbnail(), first));
}

TEST_F(PaneTest, DecodesForWidgetsAlreadyGoneAreDroppedAndTheShownPhotoDoesNotWait)
{
    // Flicking past twenty photos queues twenty decodes behind the one in progress; those whose
    // widgets are gone by their turn are dropped, so the photo shown now comes next.
    holdDecoding->store(true);
    {
        std::vector<std::unique_ptr<ThumbWidget>> passed;
        for (int i = 0; i < 20; ++i) {
            passed.push_back(std::make_unique<ThumbWidget>(*images));
            passed.back()->setPhotoUrl(photo(i).url);
            passed.back()->requestThumbnail();
        }
    }
    ThumbWidget shown(*images);
    shown.setPhotoUrl(photo(99).url);
    shown.requestThumbnail();
    holdDecoding->store(false);
    ASSERT_TRUE(test::waitUntil([&] { return shown.isLoaded(); }));
    EXPECT_TRUE(shows(shown.thumbnail(), photo(99).url));
    EXPECT_LE(decodes->load(), 2); // the one in progress (if it had started), and the one shown
}

struct GridViewTest : ::testing::Test, test::WindowFixture {
    std::unique_ptr<GroupGridView> view;
    void TearDown() override { view.reset(); }
};

TEST_F(GridViewTest, HiddenPaneLeavesARailWithThePickTotal)
{
    fill(4, 3);
    pick(0, {0, 1});
    pick(3, {2});
    store->setShowDecidedPane(false);
    view = std::make_unique<GroupGridView>(*store, images.get());
    view->resize(600, 500);
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    EXPECT_EQ(view->pendingPane()->width(), 570);
    EXPECT_EQ(view->pendingPane()->columns(), 3);
    EXPECT_TRUE(view->rail()->isVisible());
    EXPECT_FALSE(view->decidedPane()->isVisible());
    EXPECT_EQ(view->rail()->pickedTotal(), 3);
    EXPECT_EQ(view->rail()->totalLabel()->text(), "3");
    EXPECT_EQ(view->rail()->summary()->toolTip(), "已选 3 张");
    EXPECT_EQ(view->pendingPane()->toggleButton()->toolTip(), "展开右侧「已选」栏（⌘←）");

    QTest::mouseClick(view->rail()->expandButton(), Qt::LeftButton);
    EXPECT_TRUE(store->showDecidedPane());
    ASSERT_TRUE(test::waitUntil([&] { return !view->isSliding(); }));
    EXPECT_EQ(view->shownFraction(), 1.0);
    EXPECT_EQ(view->pendingPane()->width(), 360);
    EXPECT_TRUE(view->decidedPane()->isVisible());
    EXPECT_FALSE(view->rail()->isVisible());
    EXPECT_EQ(view->pendingPane()->toggleButton()->toolTip(), "收起右侧「已选」栏（⌘→）");
}

TEST_F(GridViewTest, PaneSlidesOutWhenHidden)
{
    fill(3);
    store->setShowDecidedPane(true);
    view = std::make_unique<GroupGridView>(*store, images.get());
    view->resize(1000, 500);
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    EXPECT_EQ(view->pendingPane()->width(), 600);
    QTest::mouseClick(view->pendingPane()->toggleButton(), Qt::LeftButton);
    EXPECT_FALSE(store->showDecidedPane());
    EXPECT_TRUE(view->isSliding()) << "the change is animated, not a jump";
    ASSERT_TRUE(test::waitUntil([&] { return !view->isSliding(); }));
    EXPECT_EQ(view->pendingPane()->width(), 970);
    EXPECT_TRUE(view->rail()->isVisible());
}

TEST_F(GridViewTest, RailColumnClickExpandsToo)
{
    fill(1);
    store->setShowDecidedPane(false);
    view = std::make_unique<GroupGridView>(*store, images.get());
    view->resize(700, 500);
    view->show();
    QTest::mouseClick(view->rail()->summary(), Qt::LeftButton);
    EXPECT_TRUE(store->showDecidedPane());
}

} // namespace
