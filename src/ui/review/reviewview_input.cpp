#include "ui/review/reviewview.h"

#include "model/photogroup.h"
#include "store/appstore.h"
#include "ui/review/navigator.h"
#include "ui/review/reviewcanvas.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

// Keys and mouse-downs of the review screen, and what it does when it appears and disappears.

namespace mendral {

namespace {

bool commandHeld(Qt::KeyboardModifiers mods)
{
    return mods & Qt::ControlModifier;
}

} // namespace

// ---- keys ----------------------------------------------------------------------------------

bool ReviewView::handlesKey(const QKeyEvent *event) const
{
    const PhotoGroup *g = group();
    if (!g || g->count() == 0)
        return false; // the "gone" state handles no keys
    const auto mods = event->modifiers();
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
    case Qt::Key_Space:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Escape:
        return true;
    case Qt::Key_C:
    case Qt::Key_A:
    case Qt::Key_Z:
        return !(mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    case Qt::Key_Left:
    case Qt::Key_Right:
        // With Command held these belong to the menu (show or hide the decided pane).
        return !commandHeld(mods);
    default:
        return false;
    }
}

bool ReviewView::handleKey(QKeyEvent *event)
{
    if (!handlesKey(event))
        return false;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_compareSel.size() < 2)
            togglePick();
        else
            commitCompareSelection(m_cursor);
        break;
    case Qt::Key_C:
    case Qt::Key_Tab:
        toggleCompare();
        break;
    case Qt::Key_A:
        acceptRecommendation();
        break;
    case Qt::Key_Z:
        toggleCompareZoom();
        break;
    case Qt::Key_Space:
        if (m_compare) {
            // From a zoomed grid the single view opens on the same spot.
            if (!m_compareZoom)
                m_spot.reset();
            m_compare = false;
            m_compareZoom = false;
            m_actualSize = true;
            refresh();
        } else {
            setActualSize(!m_actualSize);
        }
        break;
    case Qt::Key_Left:
        m_compare ? moveInGrid(-1) : moveCursor(-1);
        break;
    case Qt::Key_Right:
        m_compare ? moveInGrid(+1) : moveCursor(+1);
        break;
    case Qt::Key_Up:
        if (m_compare)
            moveInGrid(-gridColumns());
        else
            m_store.goPrev();
        break;
    case Qt::Key_Down:
        if (m_compare)
            moveInGrid(+gridColumns());
        else
            m_store.goNext(true);
        break;
    case Qt::Key_Escape:
        m_store.closeReview();
        break;
    }
    return true;
}

bool ReviewView::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        // Keys this screen handles are not menu shortcuts while it has focus.
        if (handlesKey(static_cast<QKeyEvent *>(event))) {
            event->accept();
            return true;
        }
    } else if (event->type() == QEvent::KeyPress) {
        // Before QWidget's own handling, which would spend Tab on moving focus.
        if (handleKey(static_cast<QKeyEvent *>(event))) {
            event->accept();
            return true;
        }
        event->ignore();
        return false;
    }
    return QWidget::event(event);
}

void ReviewView::keyPressEvent(QKeyEvent *event)
{
    if (!handleKey(event))
        QWidget::keyPressEvent(event);
}

// ---- mouse-down monitor and lifecycle ------------------------------------------------------

bool ReviewView::eventFilter(QObject *watched, QEvent *event)
{
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick)
        return QWidget::eventFilter(watched, event);
    auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton)
        return QWidget::eventFilter(watched, event);
    // One click reaches the window, then its widget, then (when ignored) the widget's parents:
    // look at it once.
    const QPointF global = mouse->globalPosition();
    const MouseSeen seen{type, mouse->timestamp(), global};
    if (seen == m_lastMouse)
        return QWidget::eventFilter(watched, event);
    m_lastMouse = seen;

    if (type == QEvent::MouseButtonPress)
        m_clickHadCommand = commandHeld(mouse->modifiers());
    QWidget *hit = watched->isWidgetType() ? static_cast<QWidget *>(watched)
                                           : QApplication::widgetAt(global.toPoint());
    // The navigator's clicks move the 100 % view and nothing else.
    for (QWidget *w = hit; w; w = w->parentWidget())
        if (qobject_cast<Navigator *>(w))
            return QWidget::eventFilter(watched, event);
    if (m_content->isVisible() && hit && (hit == m_canvas || m_canvas->isAncestorOf(hit))) {
        const QPointF point = m_canvas->mapFromGlobal(global);
        if (type == QEvent::MouseButtonPress) {
            // After the cells have had the click: a cell click just before wins.
            QTimer::singleShot(0, this, [this, point] {
                if (isBlankPoint(point, QSizeF(m_canvas->size())))
                    clearMultiSelection();
            });
        } else if (!m_compare) {
            togglePick();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ReviewView::installMonitor()
{
    if (m_monitorInstalled)
        return;
    qApp->installEventFilter(this);
    m_monitorInstalled = true;
}

void ReviewView::removeMonitor()
{
    if (!m_monitorInstalled)
        return;
    qApp->removeEventFilter(this);
    m_monitorInstalled = false;
}

void ReviewView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return; // the window came back, the screen did not newly appear
    m_cursor = startPosition();
    installMonitor();
    refresh();
    takeFocus();
    prepareNeighbours();
}

void ReviewView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;
    removeMonitor();
    m_compare = false;
    m_compareZoom = false;
    m_actualSize = false;
    m_spot.reset();
    m_compareSel.clear();
    // Nothing is rebuilt while hidden (the window may be going away); showing refreshes.
}


} // namespace mendral
