// What the review screen shows, checked on its rendered pixels; with REVIEW_SHOTS_DIR set the
// renderings are also saved as PNG files to look at. Also prints how long a step takes to show.

#include "review_fixture.h"

#include "ui/review/actualsizecanvas.h"
#include "ui/review/comparegrid.h"
#include "ui/review/fittedcache.h"
#include "ui/review/photocanvas.h"
#include "ui/review/reviewcanvas.h"

#include <QElapsedTimer>
#include <QPainter>

#include <iostream>

using namespace mendral;
using namespace mendral::test;

namespace {

/** A photo-like picture: a sky-to-ground gradient with a sun, hue shifted by n. */
Photo scenicPhoto(ReviewFixture &f, int n, QSize size)
{
    Photo p;
    p.url = f.dir.path() + QStringLiteral("/SCN_%1.jpg").arg(n, 4, 10, QLatin1Char('0'));
    p.id = p.url;
    p.pixelWidth = size.width();
    p.pixelHeight = size.height();
    p.fileSize = 1000;
    QImage img(size, QImage::Format_RGB32);
    QPainter painter(&img);
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, QColor::fromHsv((200 + n * 23) % 360, 120, 240));
    sky.setColorAt(0.6, QColor::fromHsv((40 + n * 23) % 360, 90, 230));
    sky.setColorAt(1, QColor::fromHsv((100 + n * 23) % 360, 140, 90));
    painter.fillRect(img.rect(), sky);
    painter.setBrush(QColor(255, 230, 120));
    painter.setPen(Qt::NoPen);
    const int r = size.height() / 8;
    painter.drawEllipse(QPoint(size.width() * (2 + n % 5) / 8, size.height() / 3), r, r);
    painter.end();
    EXPECT_TRUE(img.save(p.url, "JPG", 90));
    return p;
}

void fillScenic(ReviewFixture &f, const std::vector<int> &sizes, QSize size)
{
    std::vector<Photo> photos;
    std::vector<PhotoGroup> groups;
    for (size_t g = 0; g < sizes.size(); ++g) {
        PhotoGroup group;
        group.id = int(g);
        for (int k = 0; k < sizes[g]; ++k) {
            group.indices.push_back(int(photos.size()));
            photos.push_back(scenicPhoto(f, int(photos.size()), size));
        }
        group.duplicates.assign(size_t(sizes[g]), false);
        groups.push_back(group);
    }
    if (!groups.empty() && groups[0].count() > 3)
        groups[0].duplicates[3] = true;
    AppStoreTestAccess::setContent(*f.store, std::move(photos), std::move(groups));
    AppStoreTestAccess::setPhase(*f.store, Phase::ready);
}

QImage shot(ReviewFixture &f, const char *name)
{
    const QImage image = f.window->grab().toImage();
    const QString dir = qEnvironmentVariable("REVIEW_SHOTS_DIR");
    if (!dir.isEmpty())
        image.save(dir + "/" + name + ".png");
    return image;
}

bool allImagesIn(ReviewFixture &f)
{
    for (PhotoCanvas *c : f.view->findChildren<PhotoCanvas *>())
        if (!c->hasImage())
            return false;
    return true;
}

TEST(ReviewShots, SingleViewShowsThePhotoWithLabelAndStrip)
{
    ReviewFixture f;
    fillScenic(f, {6, 2}, QSize(1800, 1200));
    f.store->choose(0, 0);
    f.store->choose(0, 2);
    f.open(0, QSize(1100, 760));
    ASSERT_TRUE(waitUntil([&] { return allImagesIn(f); }, 30000));
    QTest::qWait(300); // thumbnails of the strip
    const QImage image = shot(f, "review-single");
    auto *canvas = f.view->findChild<ReviewCanvas *>();
    const QPoint middle = canvas->mapTo(f.window.get(), canvas->rect().center());
    // The photo fills the middle: not the light backdrop.
    EXPECT_NE(image.pixelColor(middle), canvas->palette().color(QPalette::Base));
    // The pick label's green capsule at the top left of the canvas.
    const QColor label = image.pixelColor(canvas->mapTo(f.window.get(), QPoint(16, 22)));
    EXPECT_GT(label.green(), label.red() + 40);
}

TEST(ReviewShots, CompareGridOfFiveAndOfTwentyOne)
{
    ReviewFixture f;
    fillScenic(f, {5, 21}, QSize(1200, 800));
    f.open(0, QSize(1100, 760));
    f.key(Qt::Key_Tab);
    f.view->setCursor(1);
    QTest::mouseClick(f.view->findChild<CompareGrid *>()->cells().at(3), Qt::LeftButton, Qt::ControlModifier,
                      QPoint(30, 30));
    f.view->setCursor(2); // {1, 3} selected, the cursor between them
    f.store->choose(0, 4);
    ASSERT_TRUE(waitUntil([&] { return allImagesIn(f); }, 30000));
    QImage image = shot(f, "review-compare-5");
    const auto frames = f.view->cellFrames();
    ASSERT_EQ(frames.size(), 5u);
    auto *canvas = f.view->findChild<ReviewCanvas *>();
    // The sixth slot is empty backdrop, like the padding at the grid's corner.
    const QPoint sixth = canvas->mapTo(f.window.get(), QPointF(frames[2].center().x(), frames[4].center().y()).toPoint());
    const QPoint corner = canvas->mapTo(f.window.get(), QPoint(1, canvas->height() - 2));
    EXPECT_EQ(image.pixelColor(sixth).rgb(), image.pixelColor(corner).rgb());
    // The cursor's cell between two selected ones has a white border, theirs are accent.
    const QPoint cursorEdge = canvas->mapTo(f.window.get(), QPointF(frames[2].center().x(), frames[2].bottom() - 1).toPoint());
    EXPECT_EQ(image.pixelColor(cursorEdge).rgb(), QColor(Qt::white).rgb());

    f.store->goNext(true);
    ASSERT_TRUE(waitUntil([&] { return allImagesIn(f) && f.view->cellFrames().size() == 21; }, 60000));
    image = shot(f, "review-compare-21");
    EXPECT_GT(f.view->cellFrames().back().bottom(), canvas->height());
}

TEST(ReviewShots, HundredPercentViewAndHint)
{
    ReviewFixture f;
    fillScenic(f, {3}, QSize(3000, 2000));
    f.open(0, QSize(1100, 760));
    ASSERT_TRUE(waitUntil([&] { return allImagesIn(f); }, 30000));
    f.key(Qt::Key_Space);
    auto *actual = f.view->findChild<ActualSizeCanvas *>();
    ASSERT_TRUE(actual);
    QElapsedTimer search;
    search.start();
    ASSERT_TRUE(waitUntil([&] { return actual->faceSearchDone(); }, 60000));
    std::cout << "face search for the 100 % view of a 3000x2000 image: " << search.elapsed() << " ms\n";
    QTest::qWait(ActualSizeCanvas::glideMilliseconds + 100);
    f.key(Qt::Key_Left); // a boundary hint over the canvas
    QTest::qWait(300);
    const QImage image = shot(f, "review-100");
    EXPECT_TRUE(actual->isPannable());
    EXPECT_EQ(actual->imageSize(), QSizeF(3000, 2000));
    // The dark hint capsule near the bottom middle of the canvas.
    auto *canvas = f.view->findChild<ReviewCanvas *>();
    int darkest = 255;
    for (int dx = -60; dx <= 60; ++dx) {
        const QPoint at = canvas->mapTo(f.window.get(), QPoint(canvas->width() / 2 + dx, canvas->height() - 18 - 4));
        darkest = std::min(darkest, image.pixelColor(at).lightness());
    }
    EXPECT_LT(darkest, 110);
}

double paintAfterKey(ReviewFixture &f, int key)
{
    QElapsedTimer t;
    t.start();
    f.key(key);
    f.window->repaint(); // paints synchronously, as the next frame would
    return t.nsecsElapsed() / 1e6;
}

TEST(ReviewTiming, StepsOnAWarmCacheShowThePhotoInTheSameFrame)
{
    ReviewFixture f;
    fillScenic(f, {6, 4}, QSize(4000, 3000));
    f.open(0, QSize(1100, 760));
    auto *canvas = f.view->findChild<ReviewCanvas *>();
    ASSERT_TRUE(waitUntil([&] { return canvas->photoCanvas() && canvas->photoCanvas()->hasImage(); }, 30000));
    const auto &photos = f.store->photos();
    // Warm: decoded in memory and reduced to the canvas's size.
    auto warm = [&](int index) {
        const QString &url = photos[size_t(index)].url;
        return f.images->thumbnail(url, ReviewCanvas::maxPixel).isFinished() && f.view->fittedCache().holds(url);
    };
    // The neighbour and the next group's first photo are prepared without being shown.
    ASSERT_TRUE(waitUntil([&] { return warm(1) && warm(6); }, 60000));

    const double right = paintAfterKey(f, Qt::Key_Right);
    EXPECT_TRUE(canvas->photoCanvas()->hasImage());
    EXPECT_FALSE(canvas->showsSpinner());

    // Walk the group with warm neighbours, timing each step.
    std::vector<double> steps;
    for (int i = 2; i < 6; ++i) {
        ASSERT_TRUE(waitUntil([&] { return warm(f.store->group(0)->indices[size_t(i)]); }, 60000));
        steps.push_back(paintAfterKey(f, Qt::Key_Right));
        EXPECT_TRUE(canvas->photoCanvas()->hasImage()) << i;
    }
    const double down = paintAfterKey(f, Qt::Key_Down);
    EXPECT_EQ(f.view->groupID(), 1);
    EXPECT_TRUE(canvas->photoCanvas()->hasImage());
    std::sort(steps.begin(), steps.end());
    std::cout << "key to painted, warm cache, 4000x3000 sources, 1100x760 window: "
              << "first right " << right << " ms, median right " << steps[steps.size() / 2]
              << " ms, down to next group " << down << " ms\n";
}

TEST(ReviewTiming, StepsAt100ShowTheNextFrameOnTheSameSpot)
{
    ReviewFixture f;
    fillScenic(f, {6}, QSize(4000, 3000));
    f.open(0, QSize(1100, 760));
    auto *canvas = f.view->findChild<ReviewCanvas *>();
    ASSERT_TRUE(waitUntil([&] { return canvas->photoCanvas() && canvas->photoCanvas()->hasImage(); }, 30000));
    f.key(Qt::Key_Space);
    ActualSizeCanvas *actual = canvas->photoCanvas()->actualSizeCanvas();
    ASSERT_TRUE(actual);
    QElapsedTimer search;
    search.start();
    ASSERT_TRUE(waitUntil([&] { return actual->faceSearchDone(); }, 60000));
    const qint64 searchMs = search.elapsed();
    QTest::qWait(ActualSizeCanvas::glideMilliseconds + 100);
    actual->setSpot(QPointF(0.3, 0.4));
    f.view->setActualSizeSpot(actual->spot());
    const auto &photos = f.store->photos();
    auto warm = [&](int position) {
        const QString &url = photos[size_t(f.group(0).indices[size_t(position)])].url;
        return f.images->thumbnail(url, ReviewCanvas::maxPixel).isFinished();
    };
    std::vector<double> steps;
    for (int i = 1; i < 6; ++i) {
        ASSERT_TRUE(waitUntil([&] { return warm(i); }, 60000));
        steps.push_back(paintAfterKey(f, Qt::Key_Right));
        ActualSizeCanvas *next = canvas->photoCanvas()->actualSizeCanvas();
        ASSERT_TRUE(next) << "the 100 % view is there in the frame painted after the key";
        EXPECT_NEAR(next->spot().x(), 0.3, 1e-3);
        EXPECT_NEAR(next->spot().y(), 0.4, 1e-3);
    }
    if (qEnvironmentVariableIsSet("REVIEW_SHOTS_DIR"))
        shot(f, "review-100-step");
    std::sort(steps.begin(), steps.end());
    std::cout << "100 % view, 4000x3000 sources (3600 px copies), 1100x760 window: face search " << searchMs
              << " ms on entry; key to painted next frame, warm cache: median " << steps[steps.size() / 2]
              << " ms, slowest " << steps.back() << " ms\n";
}

} // namespace
