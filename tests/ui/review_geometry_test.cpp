#include "ui/review/reviewgeometry.h"

#include <gtest/gtest.h>

using namespace mendral;
using namespace mendral::reviewgeometry;

namespace {

TEST(CompareGridShape, FollowsTheTableAtEveryBoundary)
{
    const std::pair<int, GridShape> cases[] = {
        {0, {1, 1}},  {1, {1, 1}},  {2, {2, 1}},  {3, {2, 2}},  {4, {2, 2}},  {5, {3, 2}},
        {6, {3, 2}},  {7, {3, 3}},  {9, {3, 3}},  {10, {4, 3}}, {12, {4, 3}}, {13, {5, 4}},
        {20, {5, 4}}, {21, {5, 5}}, {25, {5, 5}}, {26, {5, 6}}, {-3, {1, 1}},
    };
    for (const auto &[n, shape] : cases) {
        EXPECT_EQ(compareGrid(n).cols, shape.cols) << n;
        EXPECT_EQ(compareGrid(n).rows, shape.rows) << n;
    }
}

TEST(CompareGridLayout, TwoPhotosShareOneRow)
{
    const auto frames = compareCellFrames(2, QSizeF(808, 404));
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_DOUBLE_EQ(frames[0].width(), 398);  // (808 - 8 - 4) / 2
    EXPECT_DOUBLE_EQ(frames[0].height(), 396); // 404 - 8
    EXPECT_DOUBLE_EQ(frames[0].top(), frames[1].top());
    EXPECT_DOUBLE_EQ(frames[1].left(), 4 + 398 + 4);
}

TEST(CompareGridLayout, FivePhotosLeaveTheSixthSlotEmpty)
{
    const QSizeF canvas(908, 608);
    const auto frames = compareCellFrames(5, canvas);
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_DOUBLE_EQ(frames[3].left(), 4);       // second row starts at the left
    EXPECT_GT(frames[3].top(), frames[2].bottom()); // below the first row
    // Nothing stands where the sixth cell would be.
    const QPointF sixth(frames[4].right() + 4 + frames[4].width() / 2, frames[4].center().y());
    for (const QRectF &f : frames)
        EXPECT_FALSE(f.contains(sixth));
    EXPECT_FALSE(compareGridScrolls(5));
}

TEST(CompareGridLayout, TwentyOnePhotosScrollWithCellsSizedForFourRows)
{
    const QSizeF canvas(1000, 600);
    EXPECT_TRUE(compareGridScrolls(21));
    EXPECT_FALSE(compareGridScrolls(20));
    const QSizeF cell = compareCellSize(21, canvas);
    EXPECT_DOUBLE_EQ(cell.height(), (600 - 8 - 3 * 4) / 4.0);
    EXPECT_DOUBLE_EQ(cell.width(), (1000 - 8 - 4 * 4) / 5.0);
    // Five rows: the grid is taller than the canvas by about one row.
    const QSizeF grid = compareGridSize(21, canvas);
    EXPECT_DOUBLE_EQ(grid.height(), 8 + 5 * cell.height() + 4 * 4);
    EXPECT_GT(grid.height(), canvas.height());
    const auto frames = compareCellFrames(21, canvas);
    EXPECT_DOUBLE_EQ(frames[20].left(), 4); // the 21st photo opens the fifth row alone
    EXPECT_GT(frames[20].bottom(), canvas.height());
}

TEST(CompareGridLayout, TinyCanvasKeepsCellsAtSixty)
{
    const QSizeF cell = compareCellSize(12, QSizeF(100, 50));
    EXPECT_DOUBLE_EQ(cell.width(), 60);
    EXPECT_DOUBLE_EQ(cell.height(), 60);
    // Only the small side is raised to the floor.
    const QSizeF mixed = compareCellSize(2, QSizeF(100, 500));
    EXPECT_DOUBLE_EQ(mixed.width(), 60);
    EXPECT_DOUBLE_EQ(mixed.height(), 492);
}

TEST(CompareGridLayout, GapsBetweenCellsBelongToNoCell)
{
    const auto frames = compareCellFrames(4, QSizeF(408, 408));
    const QPointF gap(frames[0].right() + 2, frames[0].center().y());
    for (const QRectF &f : frames)
        EXPECT_FALSE(f.contains(gap));
    EXPECT_TRUE(frames[1].contains(QPointF(frames[0].right() + 4.5, frames[0].center().y())));
}

TEST(FittedPhoto, LeavesMarginsOnTheLongerSideOfTheArea)
{
    const QRectF r = fittedRect(QSizeF(3000, 2000), QSizeF(1000, 400));
    EXPECT_DOUBLE_EQ(r.height(), 400);
    EXPECT_DOUBLE_EQ(r.width(), 600);
    EXPECT_DOUBLE_EQ(r.left(), 200);
    EXPECT_TRUE(fittedRect(QSizeF(0, 2000), QSizeF(1000, 400)).isNull());
    EXPECT_TRUE(fittedRect(QSizeF(3000, 2000), QSizeF(1000, 0)).isNull());
}

TEST(ActualSizeClamp, SmallImageIsCentredAndNotPannable)
{
    const QSizeF image(300, 200), view(800, 600);
    EXPECT_FALSE(isPannable(image, view));
    EXPECT_EQ(clampOffset(QPointF(-500, 900), image, view), QPointF(250, 200));
}

TEST(ActualSizeClamp, WideImagePansOnlyHorizontally)
{
    const QSizeF image(2000, 500), view(800, 600);
    EXPECT_TRUE(isPannable(image, view));
    EXPECT_EQ(clampOffset(QPointF(-5000, -70), image, view), QPointF(-1200, 50));
    EXPECT_EQ(clampOffset(QPointF(40, 0), image, view), QPointF(0, 50));
    EXPECT_EQ(clampOffset(QPointF(-300, 0), image, view), QPointF(-300, 50));
}

TEST(ActualSizeClamp, OnePointOverhangIsNotPannable)
{
    EXPECT_FALSE(isPannable(QSizeF(801, 600), QSizeF(800, 600)));
    EXPECT_FALSE(isPannable(QSizeF(800, 601), QSizeF(800, 600)));
    EXPECT_TRUE(isPannable(QSizeF(801.5, 600), QSizeF(800, 600)));
    EXPECT_TRUE(isPannable(QSizeF(800, 601.5), QSizeF(800, 600)));
    // Still clamped so the image covers the view: one point of play.
    EXPECT_EQ(clampOffset(QPointF(-7, 0), QSizeF(801, 600), QSizeF(800, 600)), QPointF(-1, 0));
}

TEST(FaceCentring, SettlesOnTheLargerFace)
{
    const QSizeF image(4000, 3000), view(1000, 800);
    const std::vector<NormRect> faces{{0.1, 0.6, 0.05, 0.05}, {0.6, 0.2, 0.2, 0.2}};
    const QPointF o = faceOffset(faces, image, view);
    // Centre of the larger face: (0.7, 0.3) from the bottom left, so y from the top is 0.7.
    EXPECT_DOUBLE_EQ(o.x(), 500 - 0.7 * 4000);
    EXPECT_DOUBLE_EQ(o.y(), 400 - 0.7 * 3000);
}

TEST(FaceCentring, EqualFacesTakeTheFirstReported)
{
    const std::vector<NormRect> faces{{0.2, 0.4, 0.1, 0.1}, {0.7, 0.4, 0.1, 0.1}};
    const QPointF o = faceOffset(faces, QSizeF(1000, 1000), QSizeF(500, 500));
    EXPECT_DOUBLE_EQ(o.x(), 250 - 0.25 * 1000);
}

TEST(FaceCentring, FaceAtTheFarLeftIsClampedToTheImageEdge)
{
    const QSizeF image(3600, 1200), view(1000, 700);
    const std::vector<NormRect> faces{{0.0, 0.45, 0.04, 0.1}};
    const QPointF raw = faceOffset(faces, image, view);
    EXPECT_GT(raw.x(), 0); // would pull the image right, off its edge
    const QPointF c = clampOffset(raw, image, view);
    EXPECT_EQ(c.x(), 0);
    EXPECT_GE(c.y(), 700 - 1200);
    EXPECT_LE(c.y(), 0);
}

TEST(FaceCentring, NoFaceOrNoSizeStaysCentred)
{
    const QSizeF view(800, 600);
    EXPECT_EQ(faceOffset({}, QSizeF(2000, 1000), view), centredOffset(QSizeF(2000, 1000), view));
    EXPECT_EQ(faceOffset({{0.5, 0.5, 0.1, 0.1}}, QSizeF(0, 1000), view),
              centredOffset(QSizeF(0, 1000), view));
}

} // namespace
