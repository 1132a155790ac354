// The review screen's key map in both modes, boundary hints and moves between groups.

#include "review_fixture.h"

#include "ui/review/reviewbars.h"

#include "ui/review/pill.h"

#include <QAction>
#include <QToolButton>
#include <QLabel>

using namespace mendral;
using namespace mendral::test;

namespace {

TEST(ReviewKeys, ArrowsStepWithinTheGroupAndHintAtBothEnds)
{
    ReviewFixture f;
    f.fill({3});
    f.open(0);
    f.key(Qt::Key_Left);
    EXPECT_EQ(f.view->cursor(), 0);
    EXPECT_EQ(f.view->boundaryHint(), QStringLiteral("已经是本组最前 1 张"));
    f.key(Qt::Key_Right);
    f.key(Qt::Key_Right);
    EXPECT_EQ(f.view->cursor(), 2);
    f.key(Qt::Key_Right);
    EXPECT_EQ(f.view->cursor(), 2); // never wraps
    EXPECT_EQ(f.view->boundaryHint(), QStringLiteral("已经是本组最后 1 张"));
}

TEST(ReviewKeys, CommandArrowsReachTheMenuWhilePlainArrowsMoveTheCursor)
{
    ReviewFixture f;
    f.fill({3});
    f.open(0);
    int hides = 0;
    auto *hide = new QAction(f.window.get());
    hide->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Right));
    QObject::connect(hide, &QAction::triggered, [&hides] { ++hides; });
    f.window->addAction(hide);

    f.key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(hides, 1);
    EXPECT_EQ(f.view->cursor(), 0);
    f.key(Qt::Key_Right);
    EXPECT_EQ(hides, 1);
    EXPECT_EQ(f.view->cursor(), 1);
}

TEST(ReviewKeys, ReturnTogglesThePickOfTheCursor)
{
    ReviewFixture f;
    f.fill({3});
    f.open(0);
    f.key(Qt::Key_Right);
    f.key(Qt::Key_Return);
    EXPECT_EQ(f.group(0).picks, std::set<int>({1}));
    f.key(Qt::Key_Enter);
    EXPECT_TRUE(f.group(0).picks.empty());
}

TEST(ReviewKeys, CAndTabFlipCompareAndClear100Percent)
{
    ReviewFixture f;
    f.fill({4});
    f.open(0);
    f.key(Qt::Key_Space);
    EXPECT_TRUE(f.view->actualSize());
    f.key(Qt::Key_C);
    EXPECT_TRUE(f.view->compare());
    EXPECT_FALSE(f.view->actualSize());
    f.key(Qt::Key_Tab);
    EXPECT_FALSE(f.view->compare());
    EXPECT_TRUE(f.view->hasFocus()); // Tab did not move the focus away
    f.key(Qt::Key_Tab);
    EXPECT_TRUE(f.view->compare());
}

TEST(ReviewKeys, CompareNeedsTwoPhotos)
{
    ReviewFixture f;
    f.fill({1, 2});
    f.open(0);
    f.key(Qt::Key_C);
    EXPECT_FALSE(f.view->compare());
    EXPECT_TRUE(f.view->hasFocus());
}

TEST(ReviewKeys, SpaceInCompareLeavesItFor100Percent)
{
    ReviewFixture f;
    f.fill({3});
    f.open(0);
    f.key(Qt::Key_Tab);
    ASSERT_TRUE(f.view->compare());
    f.key(Qt::Key_Space);
    EXPECT_FALSE(f.view->compare());
    EXPECT_TRUE(f.view->actualSize());
    f.key(Qt::Key_Space);
    EXPECT_FALSE(f.view->actualSize());
}

TEST(ReviewKeys, The100PercentButtonInCompareIsUndoneByLeavingCompare)
{
    ReviewFixture f;
    f.fill({3});
    f.open(0);
    f.key(Qt::Key_Tab);
    auto *top = f.view->findChild<ReviewTopBar *>();
    ASSERT_TRUE(top);
    top->actualSizeButton()->click();
    EXPECT_TRUE(f.view->actualSize());
    EXPECT_TRUE(f.view->compare()); // only the icon and the hint change
    f.key(Qt::Key_Tab);
    EXPECT_FALSE(f.view->compare());
    EXPECT_FALSE(f.view->actualSize());
}

TEST(ReviewKeys, UpAndDownChangeGroupAndResetTheScreenButKeepCompare)
{
    ReviewFixture f;
    f.fill({3, 2, 4});
    f.open(0);
    f.key(Qt::Key_Right);
    f.key(Qt::Key_Right);
    f.key(Qt::Key_Tab);
    f.key(Qt::Key_Tab); // back to single view with the cursor on 2
    f.key(Qt::Key_Space);
    f.key(Qt::Key_Down);
    EXPECT_EQ(f.store->reviewGroupID(), 1);
    EXPECT_EQ(f.view->groupID(), 1);
    EXPECT_EQ(f.view->cursor(), 0);
    EXPECT_FALSE(f.view->actualSize());
    f.key(Qt::Key_Up);
    f.key(Qt::Key_Up); // wraps to the last group
    EXPECT_EQ(f.store->reviewGroupID(), 2);

    f.key(Qt::Key_C);
    ASSERT_TRUE(f.view->compare());
    f.store->goNext(true); // any change of the reviewed group
    EXPECT_EQ(f.view->groupID(), 0);
    EXPECT_TRUE(f.view->compare());
    EXPECT_TRUE(f.view->compareSel().empty());
}

TEST(ReviewKeys, EscapeClosesTheReview)
{
    ReviewFixture f;
    f.fill({2});
    f.open(0);
    f.key(Qt::Key_Escape);
    EXPECT_FALSE(f.store->reviewGroupID().has_value());
}

TEST(ReviewKeys, GridArrowsStepByColumnsWithoutWrapping)
{
    ReviewFixture f;
    f.fill({7});
    f.open(0);
    f.key(Qt::Key_Tab);
    ASSERT_EQ(f.view->gridColumns(), 3);
    f.key(Qt::Key_Down);
    EXPECT_EQ(f.view->cursor(), 3);
    f.view->setCursor(5);
    f.key(Qt::Key_Down);
    EXPECT_EQ(f.view->cursor(), 5);
    EXPECT_EQ(f.view->boundaryHint(), QStringLiteral("已经是最后一张"));
    f.view->setCursor(1);
    f.key(Qt::Key_Up);
    EXPECT_EQ(f.view->cursor(), 1);
    EXPECT_EQ(f.view->boundaryHint(), QStringLiteral("已经是第一张"));
    f.key(Qt::Key_Left);
    EXPECT_EQ(f.view->cursor(), 0);
    f.key(Qt::Key_Left);
    EXPECT_EQ(f.view->boundaryHint(), QStringLiteral("已经是第一张"));
    EXPECT_EQ(f.store->reviewGroupID(), 0); // ↑ and ↓ stay in the group while comparing
}

TEST(ReviewKeys, PendingFilterKeepsAPickedGroupOnScreenButStopsGroupMoves)
{
    ReviewFixture f;
    f.fill({3, 2});
    f.store->setFilter(GroupFilter::pending);
    f.open(0);
    auto *top = f.view->findChild<ReviewTopBar *>();
    EXPECT_TRUE(top->positionLabel()->isVisible());
    EXPECT_EQ(top->positionLabel()->text(), QStringLiteral("（1 / 2）"));
    f.key(Qt::Key_Return);
    EXPECT_EQ(f.view->groupID(), 0); // found among all groups, still shown
    EXPECT_FALSE(top->positionLabel()->isVisible());
    EXPECT_EQ(top->badge()->pill().text, QStringLiteral("已选定 1 张"));
    f.key(Qt::Key_Down);
    f.key(Qt::Key_Up);
    EXPECT_EQ(f.store->reviewGroupID(), 0);
    f.key(Qt::Key_Right);
    EXPECT_EQ(f.view->cursor(), 1);
}

TEST(ReviewKeys, OtherKeysPassThrough)
{
    ReviewFixture f;
    f.fill({2});
    f.open(0);
    int undos = 0;
    auto *undo = new QAction(f.window.get());
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    QObject::connect(undo, &QAction::triggered, [&undos] { ++undos; });
    f.window->addAction(undo);
    f.key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(undos, 1);
    f.key(Qt::Key_C, Qt::ControlModifier); // not the compare key
    EXPECT_FALSE(f.view->compare());
}

TEST(ReviewHints, ANewerHintReplacesTheOlderAndGetsItsOwnTime)
{
    ReviewFixture f;
    f.fill({2});
    f.open(0);
    f.key(Qt::Key_Left);
    QTest::qWait(1000);
    f.key(Qt::Key_Right);
    f.key(Qt::Key_Right);
    EXPECT_EQ(f.view->boundaryHint(), QStringLiteral("已经是本组最后 1 张"));
    // Well past the first hint's end, well before the second's.
    QTest::qWait(800);
    EXPECT_EQ(f.view->boundaryHint(), QStringLiteral("已经是本组最后 1 张"));
    EXPECT_TRUE(waitUntil([&] { return !f.view->boundaryHint().has_value(); }, 5000));
}

TEST(ReviewGone, AMissingGroupShowsTheGoneStateAndHandlesNoKeys)
{
    ReviewFixture f;
    f.fill({2, 2});
    f.open(1);
    // A rebuild leaves only one group: the reviewed id is gone.
    std::vector<Photo> photos = f.store->photos();
    PhotoGroup only;
    only.id = 0;
    only.indices = {0, 1};
    AppStoreTestAccess::setContent(*f.store, photos, {only});
    EXPECT_EQ(f.view->group(), nullptr);
    auto *gone = f.view->findChild<QLabel *>();
    bool shown = false;
    for (QLabel *l : f.view->findChildren<QLabel *>())
        if (l->text() == QStringLiteral("这一组已经不在当前筛选里了"))
            shown = l->isVisible();
    EXPECT_TRUE(gone);
    EXPECT_TRUE(shown);
    f.key(Qt::Key_Escape);
    EXPECT_EQ(f.store->reviewGroupID(), 1); // not handled here
    f.key(Qt::Key_Right);
    EXPECT_EQ(f.view->cursor(), 0);
}

TEST(ReviewGone, ACursorBeyondAShrunkGroupShowsNoPhotoAndPicksNothing)
{
    ReviewFixture f;
    f.fill({4});
    f.open(0);
    f.view->setCursor(3);
    std::vector<Photo> photos = f.store->photos();
    PhotoGroup shrunk;
    shrunk.id = 0;
    shrunk.indices = {0, 1};
    AppStoreTestAccess::setContent(*f.store, photos, {shrunk});
    EXPECT_EQ(f.view->currentPhoto(), nullptr);
    f.key(Qt::Key_Return);
    EXPECT_TRUE(f.group(0).picks.empty());
    f.key(Qt::Key_Left); // back in at the group's end, not stuck beyond it
    EXPECT_EQ(f.view->cursor(), 1);
    EXPECT_NE(f.view->currentPhoto(), nullptr);
    f.view->setCursor(5);
    f.key(Qt::Key_Right); // still beyond: the end hint, the cursor stays
    EXPECT_EQ(f.view->cursor(), 5);
    EXPECT_EQ(f.view->boundaryHint(), QStringLiteral("已经是本组最后 1 张"));
}

} // namespace
