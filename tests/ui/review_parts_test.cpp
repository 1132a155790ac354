// The parts of the review screen: film cells, the compare grid, the 100 % view, and the bars.

#include "review_fixture.h"

#include "platform/whendone.h"
#include "ui/review/actualsizecanvas.h"
#include "ui/review/comparegrid.h"
#include "ui/review/filmstrip.h"
#include "ui/review/photocanvas.h"
#include "ui/review/pill.h"
#include "ui/review/reviewbars.h"
#include "ui/review/reviewcanvas.h"
#include "ui/theme.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <QToolButton>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <chrono>

using namespace mendral;
using namespace mendral::test;

namespace {

// ---- film cells ----------------------------------------------------------------------------

FilmCell::Border borderOf(FilmCellState s)
{
    ImageStore images(QDir::tempPath() + "/mendral-review-cells");
    FilmCell cell(images, Photo(), s, [] {});
    return cell.border();
}

TEST(FilmCellBorder, CursorComesBeforePicked)
{
    FilmCellState s;
    s.isCursor = true;
    s.isPicked = true;
    const auto b = borderOf(s);
    EXPECT_EQ(b.colour, theme::accent());
    EXPECT_EQ(b.width, 3);
    EXPECT_FALSE(b.shadow);
}

TEST(FilmCellBorder, WithASelectionTheCursorIsWhiteWithShadowAndSelectedCellsAccent)
{
    FilmCellState cursor;
    cursor.isCursor = true;
    cursor.hasMultiSelection = true;
    const auto c = borderOf(cursor);
    EXPECT_EQ(c.colour, QColor(Qt::white));
    EXPECT_TRUE(c.shadow);

    FilmCellState selected = cursor;
    selected.isMultiSelected = true; // selected and cursor: the selection rule is first
    selected.isPicked = true;
    const auto s = borderOf(selected);
    EXPECT_EQ(s.colour, theme::accent());
    EXPECT_FALSE(s.shadow);
}

TEST(FilmCellBorder, PickedIsGreenAndPlainIsThin)
{
    FilmCellState picked;
    picked.isPicked = true;
    EXPECT_EQ(borderOf(picked).colour, theme::green());
    EXPECT_EQ(borderOf(picked).width, 3);
    const auto plain = borderOf(FilmCellState());
    EXPECT_EQ(plain.width, 1);
    EXPECT_EQ(plain.colour, theme::primary(0.10));
}

TEST(FilmCellLook, DuplicatesAreWashedOutAndLabelled)
{
    ReviewFixture f;
    Photo p = f.photo(1, QSize(200, 200));
    FilmCellState s;
    s.isDuplicate = true;
    FilmCell cell(*f.images, p, s, [] {});
    cell.show();
    ASSERT_TRUE(waitUntil([&] { return cell.hasThumbnail(); }, 20000));
    const QImage shot = cell.grab().toImage();
    // The middle of the cell is far greyer than the photo's own colour.
    const QColor middle = shot.pixelColor(37, 40);
    EXPECT_LT(middle.hsvSaturation(), 60);
    // A grey "重复" capsule sits at the bottom right.
    const QColor label = shot.pixelColor(74 - 3 - 3, 74 - 3 - 5);
    EXPECT_LT(std::abs(label.red() - label.blue()), 20);

    FilmCellState plain;
    FilmCell normal(*f.images, p, plain, [] {});
    normal.show();
    ASSERT_TRUE(waitUntil([&] { return normal.hasThumbnail(); }, 20000));
    EXPECT_GT(normal.grab().toImage().pixelColor(37, 40).hsvSaturation(), 100);
}

TEST(FilmCellLook, HoverRaisesThePickButton)
{
    ReviewFixture f;
    FilmCell cell(*f.images, f.photo(2), FilmCellState(), [] {});
    cell.show();
    const QRect button = cell.pickButtonRect().toRect();
    const QColor before = cell.grab().toImage().pixelColor(button.center());
    QEvent enter(QEvent::HoverEnter);
    QCoreApplication::sendEvent(&cell, &enter);
    EXPECT_TRUE(cell.hovering());
    const QColor after = cell.grab().toImage().pixelColor(button.center());
    EXPECT_LT(after.lightness(), before.lightness()); // a darker, fully opaque face
}

// ---- compare grid --------------------------------------------------------------------------

struct GridCase {
    int n, cols, rows;
};

class CompareGridShapes : public ::testing::TestWithParam<GridCase> {};

TEST_P(CompareGridShapes, CellsAndFramesFollowTheShape)
{
    const GridCase c = GetParam();
    ReviewFixture f;
    f.fill({c.n}, QSize(120, 80));
    f.open(0);
    f.key(Qt::Key_Tab);
    auto *grid = f.view->findChild<CompareGrid *>();
    ASSERT_TRUE(grid);
    ASSERT_EQ(int(grid->cells().size()), c.n);
    const auto &frames = f.view->cellFrames();
    ASSERT_EQ(int(frames.size()), c.n);
    std::set<double> columns, rows;
    for (const QRectF &r : frames) {
        columns.insert(r.left());
        rows.insert(r.top());
    }
    EXPECT_EQ(int(columns.size()), std::min(c.cols, c.n));
    EXPECT_EQ(int(rows.size()), c.rows);
    const bool scrolls = c.rows > 4;
    EXPECT_EQ(grid->scrollArea()->verticalScrollBarPolicy(),
              scrolls ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    auto *canvas = f.view->findChild<ReviewCanvas *>();
    if (scrolls) // four rows fill the canvas; the fifth is below it
        EXPECT_GT(frames.back().bottom(), canvas->height());
    else
        EXPECT_LE(frames.back().bottom(), canvas->height());
}

INSTANTIATE_TEST_SUITE_P(Counts, CompareGridShapes,
                         ::testing::Values(GridCase{2, 2, 1}, GridCase{5, 3, 2}, GridCase{7, 3, 3},
                                           GridCase{21, 5, 5}),
                         [](const ::testing::TestParamInfo<GridCase> &info) {
                             return "photos" + std::to_string(info.param.n);
                         });

TEST(CompareGridMarks, SelectionCursorAndPickBorders)
{
    ReviewFixture f;
    f.fill({5});
    f.store->choose(0, 4);
    f.open(0);
    f.key(Qt::Key_Tab);
    f.view->setCursor(1);
    QTest::mouseClick(f.view->findChild<CompareGrid *>()->cells().at(3), Qt::LeftButton, Qt::ControlModifier,
                      QPoint(10, 10));
    f.view->setCursor(2);
    auto *grid = f.view->findChild<CompareGrid *>();
    const auto &cells = grid->cells();
    ASSERT_EQ(f.view->compareSel(), std::set<int>({1, 3}));
    EXPECT_EQ(cells[1]->border().colour, theme::accent());
    EXPECT_EQ(cells[3]->border().colour, theme::accent());
    EXPECT_EQ(cells[2]->border().colour, QColor(Qt::white));
    EXPECT_EQ(cells[4]->border().colour, theme::green());
    EXPECT_EQ(cells[4]->border().width, 2);
    EXPECT_EQ(cells[0]->border().width, 1);
    EXPECT_EQ(grid->tipTexts().front(), QStringLiteral("已多选 2 张"));
    f.view->clearMultiSelection();
    QTest::qWait(ReviewView::cellClickGraceMilliseconds + 50);
    f.view->clearMultiSelection();
    EXPECT_EQ(grid->tipTexts(), QStringList{QStringLiteral("⌘ 点击多选（松开 ⌘ 不会丢）· Tab 回单张 · Esc 回目录")});
}

TEST(CompareGridMarks, AOnePhotoGroupShowsTheSingleViewWhileCompareStaysOn)
{
    ReviewFixture f;
    f.fill({3, 1});
    f.open(0);
    f.key(Qt::Key_Tab);
    f.store->goNext(true);
    ASSERT_EQ(f.view->groupID(), 1);
    EXPECT_TRUE(f.view->compare());
    auto *canvas = f.view->findChild<ReviewCanvas *>();
    EXPECT_EQ(canvas->compareGrid(), nullptr);
    EXPECT_NE(canvas->photoCanvas(), nullptr);
}

// ---- 100 % view ----------------------------------------------------------------------------

struct ActualSizeHost {
    QWidget host;
    ActualSizeCanvas *canvas;
    ActualSizeHost(QSize image, QSize view, ActualSizeCanvas::FaceFinder finder)
    {
        QImage img(image, QImage::Format_RGB32);
        img.fill(Qt::darkGreen);
        canvas = new ActualSizeCanvas(img, &host, std::move(finder));
        canvas->resize(view);
        host.resize(view);
        host.show();
    }
};

std::vector<NormRect> noFaces(const QImage &)
{
    return {};
}

TEST(ActualSizeView, SmallImageStaysCentredAndIgnoresDrags)
{
    ActualSizeHost h(QSize(300, 200), QSize(800, 600), noFaces);
    ASSERT_TRUE(waitUntil([&] { return h.canvas->faceSearchDone(); }, 10000));
    EXPECT_FALSE(h.canvas->isPannable());
    QTest::mousePress(h.canvas, Qt::LeftButton, {}, QPoint(400, 300));
    QTest::mouseMove(h.canvas, QPoint(300, 250));
    EXPECT_FALSE(h.canvas->isDragging());
    QTest::mouseRelease(h.canvas, Qt::LeftButton, {}, QPoint(300, 250));
    EXPECT_EQ(h.canvas->offsetInUse(), QPointF(250, 200));
    EXPECT_EQ(h.canvas->cursor().shape(), Qt::ArrowCursor);
}

TEST(ActualSizeView, DragPansWithinTheEdgesAndShowsTheClosedHand)
{
    ActualSizeHost h(QSize(2000, 500), QSize(800, 600), noFaces);
    ASSERT_TRUE(waitUntil([&] { return h.canvas->faceSearchDone(); }, 10000));
    QTest::qWait(ActualSizeCanvas::glideMilliseconds + 100);
    EXPECT_EQ(h.canvas->offsetInUse(), QPointF(-600, 50)); // centred
    QTest::mousePress(h.canvas, Qt::LeftButton, {}, QPoint(400, 300));
    QTest::mouseMove(h.canvas, QPoint(500, 100));
    EXPECT_TRUE(h.canvas->isDragging());
    EXPECT_EQ(h.canvas->cursor().shape(), Qt::ClosedHandCursor);
    EXPECT_EQ(h.canvas->offsetInUse(), QPointF(-500, 50)); // vertical stays fixed
    QTest::mouseMove(h.canvas, QPoint(790, 300));
    EXPECT_EQ(h.canvas->offsetInUse(), QPointF(-210, 50));
    QTest::mouseMove(h.canvas, QPoint(799, 300));
    QTest::mouseRelease(h.canvas, Qt::LeftButton, {}, QPoint(799, 300));
    EXPECT_FALSE(h.canvas->isDragging());
    // A second drag starts from where the first ended and stops at the right edge of the image.
    QTest::mousePress(h.canvas, Qt::LeftButton, {}, QPoint(700, 300));
    QTest::mouseMove(h.canvas, QPoint(10, 300));
    QTest::mouseMove(h.canvas, QPoint(0, 300));
    EXPECT_EQ(h.canvas->offsetInUse(), QPointF(-201 - 700, 50));
    QTest::mouseMove(h.canvas, QPoint(-400, 300));
    EXPECT_EQ(h.canvas->offsetInUse(), QPointF(-1200, 50));
    QTest::mouseRelease(h.canvas, Qt::LeftButton, {}, QPoint(-400, 300));
}

TEST(ActualSizeView, GlidesToTheLargestFaceClampedAtTheImageEdge)
{
    ActualSizeHost h(QSize(3000, 1200), QSize(1000, 600), [](const QImage &) {
        return std::vector<NormRect>{{0.5, 0.5, 0.02, 0.02}, {0.0, 0.4, 0.05, 0.2}};
    });
    ASSERT_TRUE(waitUntil([&] { return h.canvas->faceSearchDone(); }, 10000));
    // The larger face is at the far left: x clamps to 0; its centre 0.5 up → y at the middle.
    EXPECT_TRUE(waitUntil([&] { return h.canvas->offsetInUse() == QPointF(0, -300); }, 5000))
        << h.canvas->offsetInUse().x() << "," << h.canvas->offsetInUse().y();
}

TEST(ActualSizeView, AFaceResultArrivingDuringADragIsDropped)
{
    auto gate = std::make_shared<QSemaphore>(0);
    ActualSizeHost h(QSize(3000, 2000), QSize(800, 600), [gate](const QImage &) {
        gate->acquire();
        return std::vector<NormRect>{{0.9, 0.9, 0.05, 0.05}};
    });
    QTest::mousePress(h.canvas, Qt::LeftButton, {}, QPoint(400, 300));
    QTest::mouseMove(h.canvas, QPoint(450, 320));
    ASSERT_TRUE(h.canvas->isDragging());
    const QPointF dragged = h.canvas->offsetInUse();
    gate->release();
    ASSERT_TRUE(waitUntil([&] { return h.canvas->faceSearchDone(); }, 10000));
    QTest::qWait(ActualSizeCanvas::glideMilliseconds + 100);
    EXPECT_EQ(h.canvas->offsetInUse(), dragged);
    QTest::mouseRelease(h.canvas, Qt::LeftButton, {}, QPoint(450, 320));

    // A resize centres on the face again, replacing the panning.
    h.canvas->resize(700, 500);
    const QPointF face = h.canvas->clamp(QPointF(350 - 0.925 * 3000, 250 - 0.075 * 2000));
    EXPECT_TRUE(waitUntil([&] { return h.canvas->offsetInUse() == face; }, 5000));
}

TEST(ActualSizeView, OnePointOverhangShowsNoHintAndKeepsTheArrow)
{
    ActualSizeHost h(QSize(801, 600), QSize(800, 600), noFaces);
    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
    QCoreApplication::sendEvent(h.canvas, &enter);
    EXPECT_TRUE(h.canvas->isHovering());
    EXPECT_FALSE(h.canvas->isPannable());
    EXPECT_EQ(h.canvas->cursor().shape(), Qt::ArrowCursor);

    ActualSizeHost wide(QSize(900, 600), QSize(800, 600), noFaces);
    QCoreApplication::sendEvent(wide.canvas, &enter);
    EXPECT_EQ(wide.canvas->cursor().shape(), Qt::OpenHandCursor);
}

TEST(ActualSizeView, LeavingWhileTheFaceSearchEndsNeverTouchesTheClosedView)
{
    // The view is destroyed as its face search answers, the answer a little later each time, so
    // that the destruction and the delivery meet: the answer must reach a living view or none
    // (a late delivery crashed the program).
    std::atomic<int> searches{0};
    for (int i = 0; i < 2000; ++i) {
        auto go = std::make_shared<QSemaphore>();
        auto answering = std::make_shared<std::atomic<bool>>(false);
        {
            ActualSizeHost h(QSize(500, 400), QSize(400, 300), [go, answering, &searches, i](const QImage &) {
                go->acquire();
                *answering = true;
                const auto until = std::chrono::steady_clock::now() + std::chrono::nanoseconds(i % 200 * 40);
                while (std::chrono::steady_clock::now() < until) {
                }
                ++searches;
                return std::vector<NormRect>{{0.4, 0.4, 0.1, 0.1}};
            });
            go->release();
            while (!*answering)
                QThread::yieldCurrentThread();
        }
    }
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(searches.load(), 2000);

    // Directly: an answer for a receiver that is gone calls nothing; a living one gets it.
    QSemaphore gate;
    auto work = [&gate] {
        gate.acquire();
        return 7;
    };
    int got = 0;
    auto gone = std::make_unique<QObject>();
    whenResult(gone.get(), QtConcurrent::run(work), [&got](int v) { got += v; });
    gone.reset();
    QObject alive;
    whenResult(&alive, QtConcurrent::run(work), [&got](int v) { got += 10 * v; });
    gate.release(2);
    ASSERT_TRUE(waitUntil([&] { return got != 0; }, 5000));
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(got, 70);
}

// ---- single view and bars ------------------------------------------------------------------

TEST(ReviewCanvasView, PickLabelNamesThePicks)
{
    ReviewFixture f;
    f.fill({4});
    f.open(0);
    auto *canvas = f.view->findChild<ReviewCanvas *>();
    EXPECT_EQ(canvas->pickLabelText(), QString());
    f.key(Qt::Key_Return);
    EXPECT_EQ(canvas->pickLabelText(), QStringLiteral("已选定这张"));
    f.store->choose(0, 2);
    EXPECT_EQ(canvas->pickLabelText(), QStringLiteral("已选定这张（共 2 张）"));
    f.key(Qt::Key_Right);
    EXPECT_EQ(canvas->pickLabelText(), QStringLiteral("已选定：第 1、3 张"));
}

TEST(ReviewCanvasView, MissingImageKeepsTheSpinner)
{
    ReviewFixture f;
    f.fill({2});
    std::vector<Photo> photos = f.store->photos();
    photos[0].url = f.dir.path() + "/gone.jpg";
    photos[0].id = photos[0].url;
    AppStoreTestAccess::setContent(*f.store, photos, f.store->groups());
    f.open(0);
    QTest::qWait(300);
    auto *canvas = f.view->findChild<ReviewCanvas *>();
    ASSERT_TRUE(canvas->photoCanvas());
    EXPECT_FALSE(canvas->photoCanvas()->hasImage());
    EXPECT_TRUE(canvas->showsSpinner());
}

TEST(ReviewBars, TopBarCountsPositionAndBadge)
{
    ReviewFixture f;
    f.fill({2, 3});
    f.open(1);
    auto *top = f.view->findChild<ReviewTopBar *>();
    f.key(Qt::Key_Right);
    EXPECT_EQ(top->titleLabel()->text(), QStringLiteral("第 2 组"));
    EXPECT_EQ(top->countLabel()->text(), QStringLiteral("3 张 · 正在看第 2 张"));
    EXPECT_EQ(top->positionLabel()->text(), QStringLiteral("（2 / 2）"));
    EXPECT_EQ(top->badge()->pill().text, QStringLiteral("待确认"));
    f.store->skip(1);
    EXPECT_EQ(top->badge()->pill().text, QStringLiteral("已跳过"));
    f.store->togglePick(1, 0);
    f.store->togglePick(1, 2);
    EXPECT_EQ(top->badge()->pill().text, QStringLiteral("已选定 2 张"));
}

TEST(ReviewBars, CompareButtonOnlyForTwoOrMorePhotos)
{
    ReviewFixture f;
    f.fill({1, 2});
    f.open(0);
    auto *top = f.view->findChild<ReviewTopBar *>();
    EXPECT_FALSE(top->compareButton()->isVisible());
    f.key(Qt::Key_Down);
    EXPECT_TRUE(top->compareButton()->isVisible());
    top->compareButton()->click();
    EXPECT_TRUE(f.view->compare());
    EXPECT_TRUE(f.view->hasFocus());
}

TEST(ReviewBars, PaneButtonFlipsTheDecidedPane)
{
    ReviewFixture f;
    f.fill({2});
    f.store->setShowDecidedPane(true);
    f.open(0);
    auto *top = f.view->findChild<ReviewTopBar *>();
    EXPECT_EQ(top->paneButton()->toolTip(), QStringLiteral("收起右侧「已选」栏（⌘→）"));
    top->paneButton()->click();
    EXPECT_FALSE(f.store->showDecidedPane());
    EXPECT_EQ(top->paneButton()->toolTip(), QStringLiteral("展开右侧「已选」栏（⌘←）"));
}

TEST(ReviewBars, SkipDecidesAndMovesOn)
{
    ReviewFixture f;
    f.fill({2, 2, 2});
    f.store->choose(0, 1);
    f.open(0);
    auto *bar = f.view->findChild<ReviewActionBar *>();
    bar->skipButton()->click();
    EXPECT_TRUE(f.group(0).skipped);
    EXPECT_TRUE(f.group(0).picks.empty());
    EXPECT_EQ(f.store->reviewGroupID(), 1);
    EXPECT_EQ(f.view->groupID(), 1);
    EXPECT_TRUE(f.view->hasFocus());
}

TEST(ReviewBars, FileChipsAndSelectionChip)
{
    ReviewFixture f;
    f.fill({3});
    std::vector<Photo> photos = f.store->photos();
    photos[0].isRAW = true;
    photos[0].companions = {f.dir.path() + "/IMG_0000.JPG"};
    photos[1].isRAW = true;
    photos[1].fileSize = 0; // a RAW whose size is unknown shows no chip
    AppStoreTestAccess::setContent(*f.store, photos, f.store->groups());
    f.open(0);
    auto *bar = f.view->findChild<ReviewActionBar *>();
    EXPECT_TRUE(bar->rawChip()->isVisible());
    EXPECT_TRUE(bar->companionChip()->isVisible());
    EXPECT_EQ(bar->companionChip()->pill().text, QStringLiteral("+1 关联文件"));
    f.key(Qt::Key_Right);
    EXPECT_FALSE(bar->rawChip()->isVisible());
    EXPECT_FALSE(bar->companionChip()->isVisible());
    EXPECT_FALSE(bar->selectionGroup()->isVisible());
    f.view->clickPhoto(2); // no Command: only the cursor
    EXPECT_FALSE(bar->selectionGroup()->isVisible());
}

TEST(ReviewBars, KeyHintsFallBackToNarrowerLevels)
{
    ReviewKeyHints hints;
    hints.resize(hints.levelWidth(0), 20);
    EXPECT_EQ(hints.chosenLevel(), 0);
    hints.resize(hints.levelWidth(0) - 1, 20);
    EXPECT_EQ(hints.chosenLevel(), 1);
    hints.resize(hints.levelWidth(2) - 1, 20);
    EXPECT_EQ(hints.chosenLevel(), 2); // nothing fits: the shortest
    EXPECT_LT(hints.levelWidth(2), hints.levelWidth(1));
    EXPECT_EQ(hints.words(2), (QStringList{QStringLiteral("对比"), QStringLiteral("选/取消")}));
    EXPECT_EQ(hints.words(0).back(), QStringLiteral("100%"));
    hints.setActualSize(true);
    EXPECT_EQ(hints.words(0).back(), QStringLiteral("缩回"));
}

} // namespace
