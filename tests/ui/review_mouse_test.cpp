// Clicks on the review screen: Command-click multi-selection, committing it, blank points.

#include "review_fixture.h"

#include "ui/review/comparegrid.h"
#include "ui/review/filmstrip.h"
#include "ui/review/reviewcanvas.h"

using namespace mendral;
using namespace mendral::test;

namespace {

FilmCell *cell(ReviewFixture &f, int position)
{
    return f.view->findChild<FilmStrip *>()->cells().at(size_t(position));
}

void commandClick(ReviewFixture &f, int position)
{
    QTest::mouseClick(cell(f, position), Qt::LeftButton, Qt::ControlModifier, QPoint(30, 50));
}

void plainClick(ReviewFixture &f, int position)
{
    QTest::mouseClick(cell(f, position), Qt::LeftButton, Qt::NoModifier, QPoint(30, 50));
}

/** Lets the grace period after a cell click run out, as a later click would. */
void afterGrace()
{
    QTest::qWait(ReviewView::cellClickGraceMilliseconds + 50);
}

TEST(ReviewMultiSelection, CommandClicksFollowTheSelectionRules)
{
    ReviewFixture f;
    f.fill({5});
    f.open(0);
    f.view->setCursor(1);
    commandClick(f, 3);
    EXPECT_EQ(f.view->compareSel(), std::set<int>({1, 3}));
    EXPECT_EQ(f.view->cursor(), 3);
    EXPECT_TRUE(f.view->clickHadCommand());
    commandClick(f, 3);
    EXPECT_EQ(f.view->compareSel(), std::set<int>({1}));
    EXPECT_EQ(f.view->cursor(), 3);
    commandClick(f, 1); // the cursor 3 joins before 1 leaves
    EXPECT_EQ(f.view->compareSel(), std::set<int>({3}));
    EXPECT_EQ(f.view->cursor(), 1);
}

TEST(ReviewMultiSelection, CommandClickingTheCursorNeverEmptiesTheSelection)
{
    ReviewFixture f;
    f.fill({3});
    f.open(0);
    f.view->setCursor(2);
    commandClick(f, 2);
    EXPECT_EQ(f.view->compareSel(), std::set<int>({2}));
    commandClick(f, 2);
    EXPECT_EQ(f.view->compareSel(), std::set<int>({2}));
}

TEST(ReviewMultiSelection, PlainClicksMoveTheCursorOnly)
{
    ReviewFixture f;
    f.fill({4});
    f.open(0);
    commandClick(f, 2);
    plainClick(f, 3);
    EXPECT_FALSE(f.view->clickHadCommand());
    EXPECT_EQ(f.view->compareSel(), std::set<int>({0, 2}));
    EXPECT_EQ(f.view->cursor(), 3);
}

TEST(ReviewMultiSelection, ReturnWithTwoSelectedPicksBothAndEmptiesTheSelection)
{
    ReviewFixture f;
    f.fill({5});
    f.open(0);
    f.view->setCursor(1);
    commandClick(f, 3);
    f.key(Qt::Key_Return);
    EXPECT_EQ(f.group(0).picks, std::set<int>({1, 3}));
    EXPECT_TRUE(f.view->compareSel().empty());
    EXPECT_EQ(f.view->boundaryHint(), QStringLiteral("已选入 2 张"));
}

TEST(ReviewMultiSelection, ReturnWithOneSelectedTogglesTheCursorInstead)
{
    ReviewFixture f;
    f.fill({5});
    f.open(0);
    commandClick(f, 0); // {0}, cursor 0
    plainClick(f, 4);   // cursor 4, selection unchanged
    f.key(Qt::Key_Return);
    EXPECT_EQ(f.group(0).picks, std::set<int>({4}));
    EXPECT_EQ(f.view->compareSel(), std::set<int>({0}));
}

TEST(ReviewMultiSelection, CommitSkipsPositionsOutsideTheGroupButCountsThem)
{
    ReviewFixture f;
    f.fill({3});
    f.open(0);
    f.view->commitCompareSelection(7); // a fallback beyond the group
    EXPECT_TRUE(f.group(0).picks.empty());
    EXPECT_EQ(f.view->boundaryHint(), QStringLiteral("已选入 1 张"));
}

TEST(ReviewStrip, DoubleClickMovesTheCursorAndTogglesItsPick)
{
    ReviewFixture f;
    f.fill({4});
    f.open(0);
    QTest::mouseDClick(cell(f, 2), Qt::LeftButton, Qt::NoModifier, QPoint(30, 50));
    EXPECT_EQ(f.view->cursor(), 2);
    EXPECT_EQ(f.group(0).picks, std::set<int>({2}));
}

TEST(ReviewStrip, ThePickButtonTogglesWithoutMovingTheCursor)
{
    ReviewFixture f;
    f.fill({4});
    f.open(0);
    FilmCell *c = cell(f, 3);
    QTest::mouseClick(c, Qt::LeftButton, Qt::NoModifier, c->pickButtonRect().center().toPoint());
    EXPECT_EQ(f.group(0).picks, std::set<int>({3}));
    EXPECT_EQ(f.view->cursor(), 0);
    EXPECT_TRUE(c->state().isPicked);
    EXPECT_EQ(c->toolTipAt(c->pickButtonRect().center()), QStringLiteral("取消选中这张"));
    EXPECT_EQ(c->toolTipAt(QPointF(20, 60)), c->photo().name());
}

TEST(ReviewStrip, AClickBesideTheCellsClearsTheSelection)
{
    ReviewFixture f;
    f.fill({3});
    f.open(0);
    commandClick(f, 2);
    afterGrace();
    auto *strip = f.view->findChild<FilmStrip *>();
    QTest::mouseClick(strip->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(strip->viewport()->width() - 20, 40));
    EXPECT_TRUE(f.view->compareSel().empty());
    EXPECT_EQ(f.view->cursor(), 0);
    EXPECT_EQ(f.view->boundaryHint(), QStringLiteral("已取消多选"));
}

TEST(ReviewBlankPoints, SingleViewMarginIsBlankAndThePhotoIsNot)
{
    ReviewFixture f;
    f.fill({3}, QSize(600, 400));
    f.open(0);
    const QSizeF canvas(900, 500);
    // 600 × 400 in 900 × 500: 750 × 500 centred, margins of 75 on each side.
    EXPECT_TRUE(f.view->isBlankPoint(QPointF(40, 250), canvas));
    EXPECT_FALSE(f.view->isBlankPoint(QPointF(100, 250), canvas));
    EXPECT_TRUE(f.view->isBlankPoint(QPointF(860, 250), canvas));
    EXPECT_TRUE(f.view->isBlankPoint(QPointF(450, 250), QSizeF(0, 500)));
}

TEST(ReviewBlankPoints, PhotoWithoutPixelSizeIsAllBlank)
{
    ReviewFixture f;
    f.fill({2});
    std::vector<Photo> photos = f.store->photos();
    photos[0].pixelWidth = 0;
    std::vector<PhotoGroup> groups = f.store->groups();
    AppStoreTestAccess::setContent(*f.store, photos, groups);
    f.open(0);
    EXPECT_TRUE(f.view->isBlankPoint(QPointF(450, 250), QSizeF(900, 500)));
}

TEST(ReviewBlankPoints, ClickOnTheMarginResetsCursorAndSelection)
{
    ReviewFixture f;
    f.fill({4}, QSize(300, 600)); // tall photos leave wide side margins
    f.open(0);
    f.view->setCursor(1);
    commandClick(f, 3);
    afterGrace();
    auto *canvas = f.view->findChild<ReviewCanvas *>();
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(10, canvas->height() / 2));
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.view->compareSel().empty());
    EXPECT_EQ(f.view->cursor(), 0);
    EXPECT_EQ(f.view->boundaryHint(), QStringLiteral("已取消多选"));

    // A click on the photo itself changes nothing.
    f.view->setCursor(2);
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, canvas->rect().center());
    QCoreApplication::processEvents();
    EXPECT_EQ(f.view->cursor(), 2);
}

TEST(ReviewBlankPoints, ABlankClickRightAfterACellClickBelongsToTheCell)
{
    ReviewFixture f;
    f.fill({4});
    f.open(0);
    commandClick(f, 2);
    f.view->clearMultiSelection(); // the same click, seen as empty space
    EXPECT_EQ(f.view->compareSel(), std::set<int>({0, 2}));
    EXPECT_EQ(f.view->cursor(), 2);
}

TEST(ReviewBlankPoints, DoubleClickOnTheCanvasTogglesOnlyInTheSingleView)
{
    ReviewFixture f;
    f.fill({3});
    f.open(0);
    f.view->setCursor(1);
    auto *canvas = f.view->findChild<ReviewCanvas *>();
    QTest::mouseDClick(canvas, Qt::LeftButton, Qt::NoModifier, canvas->rect().center());
    EXPECT_EQ(f.group(0).picks, std::set<int>({1}));
}

TEST(ReviewCompareClicks, GapsAndEmptySlotsAreBlankCellsAreNot)
{
    ReviewFixture f;
    f.fill({5});
    f.open(0);
    f.key(Qt::Key_Tab);
    QCoreApplication::processEvents();
    auto *canvas = f.view->findChild<ReviewCanvas *>();
    const auto &frames = f.view->cellFrames();
    ASSERT_EQ(frames.size(), 5u);
    const QSizeF size(canvas->size());
    EXPECT_FALSE(f.view->isBlankPoint(frames[1].center(), size));
    EXPECT_TRUE(f.view->isBlankPoint(QPointF(frames[0].right() + 2, frames[0].center().y()), size));
    const QPointF sixthSlot(frames[2].center().x(), frames[4].center().y());
    EXPECT_TRUE(f.view->isBlankPoint(sixthSlot, size));

    // Clicking the empty slot clears a selection; clicking a cell selects.
    auto *grid = f.view->findChild<CompareGrid *>();
    CompareCell *fourth = grid->cells().at(3);
    QTest::mouseClick(fourth, Qt::LeftButton, Qt::ControlModifier, QPoint(20, 20));
    EXPECT_EQ(f.view->compareSel(), std::set<int>({0, 3}));
    afterGrace();
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, sixthSlot.toPoint());
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.view->compareSel().empty());
}

TEST(ReviewCompareClicks, EmptyFramesMeanNothingIsBlank)
{
    ReviewFixture f;
    f.fill({3});
    f.open(0);
    f.key(Qt::Key_Tab);
    f.view->setCellFrames({});
    EXPECT_FALSE(f.view->isBlankPoint(QPointF(1, 1), QSizeF(500, 500)));
}

TEST(ReviewCompareClicks, DoubleClickPicksOneOrCommitsTheSelection)
{
    ReviewFixture f;
    f.fill({5});
    f.open(0);
    f.key(Qt::Key_Tab);
    auto *grid = f.view->findChild<CompareGrid *>();
    QTest::mouseDClick(grid->cells().at(2), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    EXPECT_EQ(f.group(0).picks, std::set<int>({2}));
    EXPECT_EQ(f.view->cursor(), 2);

    QTest::mouseClick(grid->cells().at(4), Qt::LeftButton, Qt::ControlModifier, QPoint(20, 20));
    ASSERT_EQ(f.view->compareSel(), std::set<int>({2, 4}));
    QTest::mouseDClick(grid->cells().at(0), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    // The double click's first press moved the cursor to 0; the selection is what is picked.
    EXPECT_EQ(f.group(0).picks, std::set<int>({2, 4}));
    EXPECT_TRUE(f.view->compareSel().empty());
}

} // namespace
