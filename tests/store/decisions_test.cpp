// Decisions, undo and review navigation over a fixed list of groups.

#include "storetestsupport.h"

#include <gtest/gtest.h>

using namespace mendral;

namespace {

class Decisions : public ::testing::Test {
protected:
    test::StoreFixture fx;
    std::unique_ptr<AppStore> store = fx.make();

    // n groups of two photos each, ids 0…n-1.
    void makeGroups(int n)
    {
        std::vector<Photo> photos;
        std::vector<PhotoGroup> groups;
        for (int i = 0; i < n; ++i) {
            for (int k = 0; k < 2; ++k)
                photos.emplace_back(QString("/c/%1_%2.jpg").arg(i).arg(k), QStringList{}, i * 100.0 + k, 10, 0, 0, false);
            PhotoGroup g;
            g.id = i;
            g.indices = {2 * i, 2 * i + 1};
            g.recommended = 1;
            groups.push_back(g);
        }
        AppStoreTestAccess::setContent(*store, photos, groups);
    }
    const PhotoGroup &g(int id) { return *store->group(id); }
    std::optional<int> review() { return store->reviewGroupID(); }
};

} // namespace

TEST_F(Decisions, OperationsChangeOnlyTheirGroupAndPushUndo)
{
    makeGroups(3);
    store->choose(0, 1);
    EXPECT_EQ(g(0).picks, (std::set<int>{1}));
    store->chooseOnly(0, 0);
    EXPECT_EQ(g(0).picks, (std::set<int>{0}));
    store->acceptRecommendation(1);
    EXPECT_EQ(g(1).picks, (std::set<int>{1}));
    store->resetGroup(1);
    EXPECT_EQ(g(1).status(), GroupStatus::pending);
    EXPECT_EQ(store->undoDepth(), 4);
    // An unknown group does nothing, not even an undo record.
    store->choose(42, 0);
    store->skip(42);
    EXPECT_EQ(store->undoDepth(), 4);
    // Positions outside the group are stored and count for the status.
    store->choose(2, 9);
    EXPECT_EQ(g(2).status(), GroupStatus::picked);
    EXPECT_EQ(store->pickedCount(), 2);
    const auto s = store->stats();
    EXPECT_EQ(s.photos, 6);
    EXPECT_EQ(s.picked, 2);
    EXPECT_EQ(s.pending, 1);
}

TEST_F(Decisions, SkipUndoAndToggleOnSkipped)
{
    makeGroups(1);
    store->choose(0, 0);
    store->choose(0, 2);
    store->skip(0);
    EXPECT_EQ(g(0).status(), GroupStatus::skipped);
    EXPECT_TRUE(g(0).picks.empty());
    store->undo();
    EXPECT_EQ(g(0).picks, (std::set<int>{0, 2}));
    EXPECT_FALSE(g(0).skipped);

    // Toggling a picked position off a skipped group leaves it skipped.
    PhotoGroup odd = g(0);
    odd.skipped = true;
    odd.picks = {1};
    AppStoreTestAccess::setContent(*store, store->photos(), {odd});
    store->togglePick(0, 1);
    EXPECT_TRUE(g(0).picks.empty());
    EXPECT_TRUE(g(0).skipped);
    store->togglePick(0, 1);
    EXPECT_FALSE(g(0).skipped);
}

TEST_F(Decisions, UndoKeepsOnlyTheLast80)
{
    makeGroups(1);
    for (int i = 0; i < 85; ++i)
        store->togglePick(0, i % 2);
    EXPECT_EQ(store->undoDepth(), 80);
    int undone = 0;
    while (store->canUndo()) {
        store->undo();
        ++undone;
    }
    EXPECT_EQ(undone, 80);
    // The oldest 5 decisions cannot be undone: the group is as after decision 5.
    EXPECT_EQ(g(0).picks, (std::set<int>{0}));
    store->undo(); // empty stack: nothing
}

TEST_F(Decisions, UndoDoesNotWriteBackNeedsReviewOrMoveReview)
{
    makeGroups(2);
    store->openReview(1);
    store->choose(0, 0);
    PhotoGroup changed = g(0);
    changed.needsReview = false;
    AppStoreTestAccess::setContent(*store, store->photos(), {changed, g(1)});
    store->undo();
    EXPECT_FALSE(g(0).needsReview);
    EXPECT_TRUE(g(0).picks.empty());
    EXPECT_EQ(review(), 1);
}

TEST_F(Decisions, PaneFlagFollowsSelectedGroupStatus)
{
    makeGroups(2);
    store->setSelectedGroupID(0);
    store->choose(0, 0);
    EXPECT_TRUE(store->selectionInDecidedPane());
    store->skip(0); // a skipped group is not in the decided pane
    EXPECT_FALSE(store->selectionInDecidedPane());
    store->undo();
    EXPECT_TRUE(store->selectionInDecidedPane());
    // accept and reset do not refresh the flag
    store->resetGroup(0);
    EXPECT_TRUE(store->selectionInDecidedPane());
}

TEST_F(Decisions, VisibleGroupsFollowTheFilter)
{
    makeGroups(3);
    store->choose(0, 0);
    store->skip(1);
    store->setFilter(GroupFilter::pending);
    ASSERT_EQ(store->visibleGroups().size(), 1u);
    EXPECT_EQ(store->visibleGroups()[0].id, 2);
    store->setFilter(GroupFilter::decided);
    ASSERT_EQ(store->visibleGroups().size(), 2u); // skipped groups count as decided
    store->setSelectedGroupID(1);
    store->togglePick(1, 5);
    store->skip(1);
    EXPECT_FALSE(store->selectionInDecidedPane());
}

TEST_F(Decisions, NextPrevWrapRules)
{
    makeGroups(3);
    store->openReview(2);
    store->goNext(false);
    EXPECT_EQ(review(), 2);
    store->goNext(true);
    EXPECT_EQ(review(), 0);
    EXPECT_EQ(store->selectedGroupID(), 0);
    store->goPrev();
    EXPECT_EQ(review(), 2);
    store->goPrev();
    EXPECT_EQ(review(), 1);
    EXPECT_EQ(store->currentGroupPosition(), 1);
    EXPECT_EQ(store->currentGroup()->id, 1);
}

TEST_F(Decisions, AdvanceAfterDecisionUnderPendingFilter)
{
    makeGroups(4);
    store->setFilter(GroupFilter::pending);
    store->openReview(1);
    store->choose(1, 0); // group 1 leaves the visible list
    store->advance(1);
    EXPECT_EQ(review(), 0); // the first pending visible group
    store->advance(3);      // last visible wraps to the first
    EXPECT_EQ(review(), 0);
    store->advance(0);
    EXPECT_EQ(review(), 2);
    // Nothing visible: review closes and the selection stays.
    for (int id : {0, 2, 3})
        store->skip(id);
    const auto selected = store->selectedGroupID();
    store->advance(2);
    EXPECT_FALSE(review().has_value());
    EXPECT_EQ(store->selectedGroupID(), selected);
}

TEST_F(Decisions, JumpToNextPending)
{
    makeGroups(4);
    store->choose(2, 0);
    store->openReview(1);
    store->jumpToNextPending();
    EXPECT_EQ(review(), 3);
    store->jumpToNextPending(); // none after: first pending from the start
    EXPECT_EQ(review(), 0);
    for (int id : {0, 1, 3})
        store->skip(id);
    store->jumpToNextPending(); // none pending at all: review closes
    EXPECT_FALSE(review().has_value());
}

TEST_F(Decisions, CloseReviewRestoresPaneOrigin)
{
    makeGroups(2);
    store->setSelectedGroupID(0);
    store->openReview(0); // opened from the pending pane
    store->choose(0, 0);
    store->closeReview();
    EXPECT_FALSE(review().has_value());
    EXPECT_EQ(store->selectedGroupID(), 0);
    EXPECT_FALSE(store->selectionInDecidedPane());

    store->setSelectionInDecidedPane(true); // now opened from the decided pane
    store->openReview(0);
    store->closeReview();
    EXPECT_TRUE(store->selectionInDecidedPane());
}

TEST_F(Decisions, AcceptAllRecommendationsIsOneConfirmedUndoStep)
{
    makeGroups(6);
    std::vector<PhotoGroup> groups = store->groups();
    for (PhotoGroup &x : groups)
        x.needsReview = false;
    groups[1].needsReview = true;  // flagged: left for the user
    groups[2].picks = {0};         // decided already
    groups[3].skipped = true;      // skipped counts as decided
    groups[4].recommended = 7;     // a recommendation outside the group is not taken
    AppStoreTestAccess::setContent(*store, store->photos(), groups);
    EXPECT_EQ(store->acceptableRecommendationCount(), 2); // groups 0 and 5

    fx.dialogs.confirm = false;
    store->acceptAllRecommendations();
    EXPECT_EQ(fx.dialogs.confirmations, 1);
    EXPECT_TRUE(fx.dialogs.confirmMessage.contains("2 组"));
    EXPECT_FALSE(store->canUndo());
    EXPECT_TRUE(g(0).picks.empty());

    store->choose(1, 0); // an earlier decision, under the bulk step
    fx.dialogs.confirm = true;
    store->acceptAllRecommendations();
    EXPECT_EQ(g(0).picks, (std::set<int>{1}));
    EXPECT_EQ(g(5).picks, (std::set<int>{1}));
    EXPECT_TRUE(g(4).picks.empty());
    EXPECT_EQ(g(3).status(), GroupStatus::skipped);
    EXPECT_EQ(store->undoDepth(), 2);

    store->undo(); // the whole bulk step at once, nothing older
    EXPECT_TRUE(g(0).picks.empty());
    EXPECT_TRUE(g(5).picks.empty());
    EXPECT_EQ(g(1).picks, (std::set<int>{0}));
    EXPECT_EQ(store->undoDepth(), 1);

    // With nothing left to take, no question is asked.
    store->acceptAllRecommendations(); // asked a third time, and taken
    EXPECT_EQ(fx.dialogs.confirmations, 3);
    EXPECT_EQ(store->acceptableRecommendationCount(), 0);
    store->acceptAllRecommendations();
    EXPECT_EQ(fx.dialogs.confirmations, 3);
    EXPECT_EQ(store->statusText(), QStringLiteral("没有可以直接采纳推荐的组"));
}

TEST_F(Decisions, AStepOfManyGroupsCountsOnceAgainstTheUndoLimit)
{
    makeGroups(3);
    std::vector<PhotoGroup> groups = store->groups();
    for (PhotoGroup &x : groups)
        x.needsReview = false;
    AppStoreTestAccess::setContent(*store, store->photos(), groups);
    store->acceptAllRecommendations();
    EXPECT_EQ(store->undoDepth(), 1);
    for (int i = 0; i < AppStore::kMaxUndo - 1; ++i)
        store->togglePick(0, 0);
    EXPECT_EQ(store->undoDepth(), AppStore::kMaxUndo); // the bulk step is still the oldest
    store->togglePick(0, 0);                           // and now it falls off, as one
    EXPECT_EQ(store->undoDepth(), AppStore::kMaxUndo);
    EXPECT_EQ(AppStoreTestAccess::undoStack(*store).front().size(), 1u);
}
