// Accepting the recommendation of every group that needs no closer look, as one undoable step.

#include "appstore.h"

#include "store/recommendations.h"

namespace mendral {

int AppStore::acceptableRecommendationCount() const
{
    return int(recommendations::acceptableGroups(m_groups).size());
}

void AppStore::acceptAllRecommendations()
{
    const std::vector<int> ids = recommendations::acceptableGroups(m_groups);
    if (ids.empty()) {
        setStatusText(QStringLiteral("没有可以直接采纳推荐的组"));
        return;
    }
    const QString message = QStringLiteral("采纳 %1 组的推荐照片？").arg(ids.size());
    const QString info = QStringLiteral("每组选入推荐的那一张；需确认的组不动。可以用 ⌘Z 一次全部撤销。");
    if (!m_dialogs || !m_dialogs->confirmAction(message, info, QStringLiteral("采纳")))
        return;
    // The dialog ran an event loop: look the groups up again, and take only those that still qualify.
    UndoStep step;
    for (int id : ids) {
        PhotoGroup *g = mutableGroup(id);
        if (!g || !recommendations::acceptable(*g))
            continue;
        step.push_back(undoRecord(*g));
        recommendations::accept(*g);
    }
    if (step.empty())
        return;
    const int changed = int(step.size());
    pushUndo(std::move(step));
    Q_EMIT groupsChanged();
    refreshSelectionPane();
    setStatusText(QStringLiteral("已采纳 %1 组的推荐照片").arg(changed));
}

} // namespace mendral
