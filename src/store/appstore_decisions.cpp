// Decisions about groups, undo, and walking through the groups under review.

#include "appstore.h"

#include "store/recommendations.h"

namespace mendral {

std::vector<PhotoGroup> AppStore::visibleGroups() const
{
    std::vector<PhotoGroup> out;
    for (const PhotoGroup &g : m_groups) {
        const GroupStatus s = g.status();
        if (m_filter == GroupFilter::all || (m_filter == GroupFilter::pending && s == GroupStatus::pending) ||
            (m_filter == GroupFilter::decided && s != GroupStatus::pending))
            out.push_back(g);
    }
    return out;
}

const PhotoGroup *AppStore::group(int id) const
{
    for (const PhotoGroup &g : m_groups)
        if (g.id == id)
            return &g;
    return nullptr;
}

PhotoGroup *AppStore::mutableGroup(int id)
{
    return const_cast<PhotoGroup *>(std::as_const(*this).group(id));
}

std::optional<PhotoGroup> AppStore::currentGroup() const
{
    if (!m_reviewGroupID)
        return std::nullopt;
    if (const PhotoGroup *g = group(*m_reviewGroupID))
        return *g;
    return std::nullopt;
}

std::optional<int> AppStore::currentGroupPosition() const
{
    if (!m_reviewGroupID)
        return std::nullopt;
    const auto visible = visibleGroups();
    for (size_t i = 0; i < visible.size(); ++i)
        if (visible[i].id == *m_reviewGroupID)
            return int(i);
    return std::nullopt;
}

AppStore::Stats AppStore::stats() const
{
    Stats s;
    s.photos = int(m_photos.size());
    s.groups = int(m_groups.size());
    for (const PhotoGroup &g : m_groups) {
        switch (g.status()) {
        case GroupStatus::pending: ++s.pending; break;
        case GroupStatus::picked: ++s.picked; break;
        case GroupStatus::skipped: ++s.skipped; break;
        }
    }
    return s;
}

AppStore::UndoRecord AppStore::undoRecord(const PhotoGroup &g)
{
    return {g.id, g.picks, g.skipped, g.needsReview};
}

void AppStore::pushUndo(const PhotoGroup &g)
{
    pushUndo(UndoStep{undoRecord(g)});
}

void AppStore::pushUndo(UndoStep step)
{
    m_undoStack.push_back(std::move(step));
    while (m_undoStack.size() > size_t(kMaxUndo))
        m_undoStack.pop_front();
}

template <typename F>
void AppStore::decide(int groupID, bool refreshPane, F change)
{
    PhotoGroup *g = mutableGroup(groupID);
    if (!g)
        return;
    pushUndo(*g);
    change(*g);
    Q_EMIT groupsChanged();
    if (refreshPane)
        refreshSelectionPane();
}

void AppStore::choose(int groupID, int position)
{
    decide(groupID, true, [&](PhotoGroup &g) {
        g.picks.insert(position);
        g.skipped = false;
    });
}

void AppStore::chooseOnly(int groupID, int position)
{
    decide(groupID, true, [&](PhotoGroup &g) {
        g.picks = {position};
        g.skipped = false;
    });
}

void AppStore::togglePick(int groupID, int position)
{
    decide(groupID, true, [&](PhotoGroup &g) {
        if (g.picks.erase(position) == 0) {
            g.picks.insert(position);
            g.skipped = false;
        }
    });
}

void AppStore::skip(int groupID)
{
    decide(groupID, true, [](PhotoGroup &g) {
        g.skipped = true;
        g.picks.clear();
    });
}

void AppStore::acceptRecommendation(int groupID)
{
    decide(groupID, false, [](PhotoGroup &g) { recommendations::accept(g); });
}

void AppStore::resetGroup(int groupID)
{
    decide(groupID, false, [](PhotoGroup &g) {
        g.picks.clear();
        g.skipped = false;
    });
}

void AppStore::undo()
{
    if (m_undoStack.empty())
        return;
    const UndoStep step = std::move(m_undoStack.back());
    m_undoStack.pop_back();
    bool changed = false;
    for (const UndoRecord &r : step) {
        if (PhotoGroup *g = mutableGroup(r.groupID)) {
            g->picks = r.picks;
            g->skipped = r.skipped;
            changed = true;
        }
    }
    if (changed) {
        Q_EMIT groupsChanged();
        refreshSelectionPane();
    }
}

void AppStore::refreshSelectionPane()
{
    if (!m_selectedGroupID)
        return;
    if (const PhotoGroup *g = group(*m_selectedGroupID))
        setSelectionInDecidedPane(g->status() == GroupStatus::picked);
}

void AppStore::syncSelectionToReview()
{
    if (!m_reviewGroupID)
        return;
    setSelectedGroupID(m_reviewGroupID);
    if (const PhotoGroup *g = group(*m_reviewGroupID))
        setSelectionInDecidedPane(g->status() == GroupStatus::picked);
}

void AppStore::openReview(int groupID)
{
    m_reviewOriginInDecidedPane = m_selectionInDecidedPane;
    setReviewGroupID(groupID);
    setSelectedGroupID(groupID);
    if (const PhotoGroup *g = group(groupID))
        setSelectionInDecidedPane(g->status() == GroupStatus::picked);
}

void AppStore::closeReview()
{
    if (m_reviewGroupID) {
        if (const PhotoGroup *g = group(*m_reviewGroupID)) {
            setSelectedGroupID(g->id);
            setSelectionInDecidedPane(m_reviewOriginInDecidedPane &&
                                      g->status() == GroupStatus::picked);
        }
    }
    setReviewGroupID(std::nullopt);
}

void AppStore::reviewAt(const std::vector<PhotoGroup> &visible, size_t position)
{
    setReviewGroupID(visible[position].id);
}

void AppStore::goNext(bool loop)
{
    const auto k = currentGroupPosition();
    if (!k)
        return;
    const auto visible = visibleGroups();
    if (size_t(*k) + 1 < visible.size())
        reviewAt(visible, size_t(*k) + 1);
    else if (loop)
        reviewAt(visible, 0);
    syncSelectionToReview();
}

void AppStore::goPrev()
{
    const auto k = currentGroupPosition();
    if (!k)
        return;
    const auto visible = visibleGroups();
    reviewAt(visible, *k > 0 ? size_t(*k) - 1 : visible.size() - 1);
    syncSelectionToReview();
}

void AppStore::advance(int afterGroupID)
{
    const auto visible = visibleGroups();
    if (visible.empty()) {
        setReviewGroupID(std::nullopt);
        return;
    }
    std::optional<size_t> k;
    for (size_t i = 0; i < visible.size(); ++i)
        if (visible[i].id == afterGroupID)
            k = i;
    if (k) {
        reviewAt(visible, *k + 1 < visible.size() ? *k + 1 : 0);
    } else {
        size_t target = 0;
        for (size_t i = 0; i < visible.size(); ++i) {
            if (visible[i].status() == GroupStatus::pending) {
                target = i;
                break;
            }
        }
        reviewAt(visible, target);
    }
    syncSelectionToReview();
}

void AppStore::jumpToNextPending()
{
    const auto visible = visibleGroups();
    if (visible.empty())
        return;
    if (const auto k = currentGroupPosition()) {
        for (size_t i = size_t(*k) + 1; i < visible.size(); ++i) {
            if (visible[i].status() == GroupStatus::pending) {
                reviewAt(visible, i);
                syncSelectionToReview();
                return;
            }
        }
    }
    std::optional<size_t> first;
    for (size_t i = 0; i < visible.size() && !first; ++i)
        if (visible[i].status() == GroupStatus::pending)
            first = i;
    if (first)
        reviewAt(visible, *first);
    else
        setReviewGroupID(std::nullopt);
    syncSelectionToReview();
}

} // namespace mendral
