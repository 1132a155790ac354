// 100 % across photos: the spot kept while stepping within a group, the compare grid zoomed with
// linked panning, and the navigator.

#include "review_fixture.h"

#include "ui/review/actualsizecanvas.h"
#include "ui/review/comparegrid.h"
#include "ui/review/navigator.h"
#include "ui/review/photocanvas.h"
#include "ui/review/reviewcanvas.h"

using namespace mendral;
using namespace mendral::test;

namespace {

ActualSizeCanvas *singleActual(ReviewFixture &f)
{
    PhotoCanvas *photo = f.view->findChild<ReviewCanvas *>()->photoCanvas();
    return photo ? photo->actualSizeCanvas() : nullptr;
}

void drag(QWidget *w, QPoint from, QPoint to)
{
    QTest::mousePress(w, Qt::LeftButton, {}, from);
    QTest::mouseMove(w, from + (to - from) / 2);
    QTest::mouseMove(w, to);
    QTest::mouseRelease(w, Qt::LeftButton, {}, to);
}

/** The 100 % view of the photo at a position, once it is there. */
ActualSizeCanvas *actualAt(ReviewFixture &f, int position)
{
    PhotoCanvas *photo = f.view->findChild<ReviewCanvas *>()->photoCanvas();
    const QString &id = f.store->photos()[size_t(f.group(f.view->groupID()).indices[size_t(position)])].id;
    return photo && photo->photo().id == id ? photo->actualSizeCanvas() : nullptr;
}

bool near(QPointF a, QPointF b, double tolerance = 1e-3)
{
    return std::abs(a.x() - b.x()) < tolerance && std::abs(a.y() - b.y()) < tolerance;
}

TEST(ReviewZoom, StepsWithinAGroupKeepTheSpotANewGroupStartsOnTheFaceAgain)
{
    ReviewFixture f;
    f.fill({3, 2}, QSize(2400, 1600));
    f.open(0);
    f.key(Qt::Key_Space);
    ASSERT_TRUE(waitUntil([&] { return singleActual(f) && singleActual(f)->faceSearchDone(); }, 60000));
    QTest::qWait(ActualSizeCanvas::glideMilliseconds + 100);
    ActualSizeCanvas *first = singleActual(f);
    drag(first, QPoint(500, 250), QPoint(700, 150)); // towards the top-left of the picture
    const QPointF spot = first->spot();
    ASSERT_FALSE(near(spot, QPointF(0.5, 0.5)));

    f.key(Qt::Key_Right);
    ASSERT_TRUE(waitUntil([&] { return actualAt(f, 1); }, 30000));
    ActualSizeCanvas *second = actualAt(f, 1);
    EXPECT_TRUE(near(second->spot(), spot)) << second->spot().x() << "," << second->spot().y();
    QTest::qWait(ActualSizeCanvas::glideMilliseconds + 100);
    EXPECT_FALSE(second->faceSearchDone()) << "no search for a face: the spot is the user's";
    EXPECT_TRUE(near(second->spot(), spot));
    f.key(Qt::Key_Left);
    ASSERT_TRUE(waitUntil([&] { return actualAt(f, 0); }, 30000));
    EXPECT_TRUE(near(actualAt(f, 0)->spot(), spot));

    f.key(Qt::Key_Down); // a new group: fitted, and its 100 % view starts on the face (none: centred)
    EXPECT_FALSE(f.view->actualSize());
    f.key(Qt::Key_Space);
    ASSERT_TRUE(waitUntil([&] { return singleActual(f) && singleActual(f)->faceSearchDone(); }, 60000));
    QTest::qWait(ActualSizeCanvas::glideMilliseconds + 100);
    EXPECT_TRUE(near(singleActual(f)->spot(), QPointF(0.5, 0.5)));
}

TEST(ReviewZoom, ZInTheGridShowsEveryCellAt100AndOneDragPansThemAll)
{
    ReviewFixture f;
    f.fill({3}, QSize(2400, 1600));
    f.open(0);
    f.key(Qt::Key_Tab);
    auto *grid = f.view->findChild<CompareGrid *>();
    ASSERT_TRUE(grid);
    f.key(Qt::Key_Z);
    EXPECT_TRUE(f.view->compareZoom());
    auto zoomed = [&](size_t i) {
        PhotoCanvas *c = grid->cells()[i]->zoomedCanvas();
        return c ? c->actualSizeCanvas() : nullptr;
    };
    ASSERT_TRUE(waitUntil([&] { return zoomed(0) && zoomed(1) && zoomed(2); }, 60000));
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(zoomed(i)->imageSize(), QSizeF(2400, 1600)) << "one image pixel per point, as in the single view";
        EXPECT_TRUE(near(zoomed(i)->spot(), QPointF(0.5, 0.5))) << i;
    }
    drag(zoomed(1), QPoint(60, 60), QPoint(160, 110));
    const QPointF moved = zoomed(1)->spot();
    EXPECT_FALSE(near(moved, QPointF(0.5, 0.5)));
    EXPECT_TRUE(near(zoomed(0)->spot(), moved));
    EXPECT_TRUE(near(zoomed(2)->spot(), moved));
    EXPECT_EQ(f.view->cursor(), 0) << "a drag is not a click";

    // A click without a drag still moves the cursor.
    QTest::mouseClick(zoomed(2), Qt::LeftButton, {}, QPoint(40, 40));
    EXPECT_EQ(f.view->cursor(), 2);

    f.key(Qt::Key_Z);
    EXPECT_FALSE(f.view->compareZoom());
    for (CompareCell *cell : grid->cells())
        EXPECT_FALSE(cell->zoomedCanvas());
    EXPECT_TRUE(f.view->compare());
}

TEST(ReviewZoom, ANavigatorClickMovesTheViewAndNothingElse)
{
    ReviewFixture f;
    f.fill({3}, QSize(2400, 1600));
    f.open(0);
    f.key(Qt::Key_Right);
    f.key(Qt::Key_Space);
    ASSERT_TRUE(waitUntil([&] { return singleActual(f) && singleActual(f)->faceSearchDone(); }, 60000));
    QTest::qWait(ActualSizeCanvas::glideMilliseconds + 100);
    ActualSizeCanvas *actual = singleActual(f);
    Navigator *nav = actual->navigator();
    ASSERT_TRUE(nav && nav->isVisible());
    // In the bottom-right corner of the view.
    EXPECT_LT(actual->width() - nav->geometry().right(), 20);
    EXPECT_LT(actual->height() - nav->geometry().bottom(), 20);
    EXPECT_TRUE(nav->visibleRect().contains(QPointF(0.5, 0.5)));

    const QRectF picture = nav->pictureRect();
    const QPoint at = (picture.topLeft() + QPointF(0.7 * picture.width(), 0.6 * picture.height())).toPoint();
    QTest::mouseClick(nav, Qt::LeftButton, {}, at);
    const QPointF expected((at.x() - picture.x()) / picture.width(), (at.y() - picture.y()) / picture.height());
    EXPECT_TRUE(near(actual->spot(), expected)) << actual->spot().x() << "," << actual->spot().y();
    EXPECT_TRUE(nav->visibleRect().contains(expected));
    EXPECT_FALSE(nav->visibleRect().contains(QPointF(0.3, 0.3)));
    QTest::qWait(ReviewView::cellClickGraceMilliseconds + 50);
    QTest::mouseDClick(nav, Qt::LeftButton, {}, at);
    QCoreApplication::processEvents();
    EXPECT_EQ(f.view->cursor(), 1) << "not a click on a blank point";
    EXPECT_TRUE(f.group(0).picks.empty()) << "not a double click on the photo";
}

} // namespace
