// The recommendation on the review screen: where the cursor starts, the film-strip badge, the
// quiet reason line, and the "a" key that takes the recommendation and moves on.

#include "review_fixture.h"

#include "ui/review/comparegrid.h"
#include "ui/review/filmcell.h"
#include "ui/review/filmstrip.h"
#include "ui/review/reviewbars.h"
#include "ui/review/reviewcanvas.h"

using namespace mendral;
using namespace mendral::test;

namespace {

/** Groups of the given sizes with recommendations and reasons set. */
void recommend(ReviewFixture &f, int groupID, int position, const QString &reason, bool needsReview)
{
    std::vector<PhotoGroup> groups = f.store->groups();
    for (PhotoGroup &g : groups)
        if (g.id == groupID) {
            g.recommended = position;
            g.reason = reason;
            g.needsReview = needsReview;
        }
    AppStoreTestAccess::setContent(*f.store, f.store->photos(), groups);
}

TEST(ReviewRecommendation, OpensOnTheRecommendedPhotoWithItsBadgeAndReason)
{
    ReviewFixture f;
    f.fill({4, 3, 2});
    recommend(f, 0, 2, "最清晰且居中", false);
    recommend(f, 1, 1, "可能有人闭眼", true);
    recommend(f, 2, 9, "组内综合最佳", false); // a position outside the group
    f.open(0);
    EXPECT_EQ(f.view->cursor(), 2);
    auto *canvas = f.view->findChild<ReviewCanvas *>();
    EXPECT_EQ(canvas->recommendationText(), "推荐 · 最清晰且居中");
    EXPECT_FALSE(canvas->recommendationNeedsReview());
    const auto cells = f.view->findChildren<FilmCell *>();
    int badges = 0;
    for (const FilmCell *cell : cells)
        if (cell->state().isRecommended) {
            ++badges;
            EXPECT_EQ(cell->state().position, 2);
        }
    EXPECT_EQ(badges, 1);
    f.key(Qt::Key_Tab); // the grid marks it too
    for (const CompareCell *cell : f.view->findChild<CompareGrid *>()->cells())
        EXPECT_EQ(cell->state().isRecommended, cell->state().index == 2);
    f.key(Qt::Key_Tab);
    // The line belongs to the recommended photo only.
    f.key(Qt::Key_Right);
    EXPECT_TRUE(canvas->recommendationText().isEmpty());

    f.key(Qt::Key_Down); // a new group starts on its own recommendation
    EXPECT_EQ(f.view->cursor(), 1);
    EXPECT_EQ(canvas->recommendationText(), "推荐 · 可能有人闭眼");
    EXPECT_TRUE(canvas->recommendationNeedsReview());
    f.key(Qt::Key_Down);
    EXPECT_EQ(f.view->cursor(), 0) << "an impossible recommendation falls back to the first photo";
    EXPECT_TRUE(canvas->recommendationText().isEmpty());
}

TEST(ReviewRecommendation, TheBadgeIsDrawnAtTheBottomLeft)
{
    ReviewFixture f;
    FilmCellState s;
    s.isRecommended = true;
    FilmCell cell(*f.images, f.photo(1, QSize(200, 200)), s, [] {});
    cell.show();
    ASSERT_TRUE(waitUntil([&] { return cell.hasThumbnail(); }, 20000));
    FilmCell plain(*f.images, f.photo(1, QSize(200, 200)), FilmCellState(), [] {});
    plain.show();
    ASSERT_TRUE(waitUntil([&] { return plain.hasThumbnail(); }, 20000));
    const QColor badge = cell.grab().toImage().pixelColor(6, FilmCell::side - 6);
    const QColor photo = plain.grab().toImage().pixelColor(6, FilmCell::side - 6);
    EXPECT_GT(std::abs(badge.hue() - photo.hue()) + std::abs(badge.lightness() - photo.lightness()), 30);
}

TEST(ReviewRecommendation, AKeyTakesTheRecommendationMovesOnAndUndoes)
{
    ReviewFixture f;
    f.fill({3, 2});
    recommend(f, 0, 2, "最清晰且居中", false);
    f.open(0);
    f.key(Qt::Key_Left); // looking elsewhere does not matter
    f.key(Qt::Key_A);
    EXPECT_EQ(f.group(0).picks, std::set<int>({2}));
    EXPECT_EQ(f.view->groupID(), 1);
    EXPECT_EQ(f.store->reviewGroupID(), 1);
    // Command-A is not this key.
    f.key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(f.group(1).picks.empty());
    f.store->undo();
    EXPECT_TRUE(f.group(0).picks.empty());
    EXPECT_FALSE(f.store->canUndo());

    auto *hints = f.view->findChild<ReviewKeyHints *>();
    EXPECT_TRUE(hints->words(0).contains("采纳推荐"));
    EXPECT_TRUE(hints->words(1).contains("采纳推荐"));
}

} // namespace
