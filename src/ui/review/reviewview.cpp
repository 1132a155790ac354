#include "ui/review/reviewview.h"

#include "store/appstore.h"

#include <QKeyEvent>

namespace mendral {

ReviewView::ReviewView(AppStore &store, QWidget *parent) : QWidget(parent), m_store(store)
{
    setFocusPolicy(Qt::StrongFocus);
    if (m_store.reviewGroupID())
        m_groupID = *m_store.reviewGroupID();
}

ReviewView::~ReviewView() = default;

void ReviewView::setGroupID(int id)
{
    if (id == m_groupID)
        return;
    m_groupID = id;
    m_cursor = 0;
    m_actualSize = false;
    m_compareSel.clear();
    Q_EMIT stateChanged();
}

bool ReviewView::event(QEvent *event) { return QWidget::event(event); }
void ReviewView::keyPressEvent(QKeyEvent *event) { QWidget::keyPressEvent(event); }
bool ReviewView::eventFilter(QObject *watched, QEvent *event) { return QWidget::eventFilter(watched, event); }
void ReviewView::showEvent(QShowEvent *event) { QWidget::showEvent(event); }
void ReviewView::hideEvent(QHideEvent *event) { QWidget::hideEvent(event); }

} // namespace mendral
