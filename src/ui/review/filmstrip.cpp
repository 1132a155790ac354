#include "ui/review/filmstrip.h"

#include "store/appstore.h"
#include "ui/review/reviewview.h"
#include "ui/theme.h"

#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QScrollBar>

namespace mendral {

FilmStrip::FilmStrip(ReviewView &view, QWidget *parent)
    : QScrollArea(parent), m_view(view), m_row(new QWidget), m_scroll(new QPropertyAnimation(this))
{
    setFixedHeight(height);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::NoFocus);
    setWidgetResizable(false);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, theme::barBackground());
    setPalette(pal);
    setBackgroundRole(QPalette::Window);
    m_row->setAutoFillBackground(false);
    m_row->installEventFilter(this);
    viewport()->installEventFilter(this);
    viewport()->setAutoFillBackground(true);
    viewport()->setPalette(pal);
    setWidget(m_row);
    m_scroll->setTargetObject(horizontalScrollBar());
    m_scroll->setPropertyName("value");
    m_scroll->setDuration(150);
    m_scroll->setEasingCurve(QEasingCurve::OutCubic);
}

void FilmStrip::sync()
{
    const PhotoGroup *group = m_view.group();
    const auto &photos = m_view.store().photos();
    const int n = group ? group->count() : 0;
    const bool newGroup = !group || group->id != m_groupID;
    m_groupID = group ? group->id : -1;

    // Cells are kept by position; only their photo and state change with the group.
    while (int(m_cells.size()) > n) {
        delete m_cells.back();
        m_cells.pop_back();
    }
    for (int p = 0; p < n; ++p) {
        const int index = group->indices[size_t(p)];
        const Photo photo = (index >= 0 && size_t(index) < photos.size()) ? photos[size_t(index)] : Photo();
        FilmCellState state;
        state.position = p;
        state.isCursor = p == m_view.cursor();
        state.isPicked = group->picks.count(p) > 0;
        state.isDuplicate = size_t(p) < group->duplicates.size() && group->duplicates[size_t(p)];
        state.isRecommended = p == group->recommended;
        state.isMultiSelected = m_view.compareSel().count(p) > 0;
        state.hasMultiSelection = !m_view.compareSel().empty();
        if (p < int(m_cells.size())) {
            m_cells[size_t(p)]->setPhoto(photo);
            m_cells[size_t(p)]->setState(state);
            continue;
        }
        auto *cell = new FilmCell(m_view.images(), photo, state, [this, p] {
            if (const PhotoGroup *g = m_view.group())
                m_view.store().togglePick(g->id, p);
        }, m_row);
        connect(cell, &FilmCell::clicked, &m_view, &ReviewView::clickPhoto);
        connect(cell, &FilmCell::doubleClicked, &m_view, [this](int position) {
            m_view.setCursor(position);
            m_view.togglePick();
        });
        cell->move(padH + p * (FilmCell::side + spacing), padV);
        cell->show();
        m_cells.push_back(cell);
    }
    const int width = n ? 2 * padH + n * FilmCell::side + (n - 1) * spacing : 0;
    m_row->resize(std::max(width, viewport()->width()), height);
    if (newGroup || m_cursor != m_view.cursor()) {
        m_cursor = m_view.cursor();
        scrollToCursor(!newGroup);
    }
}

int FilmStrip::centredScrollValue(int position) const
{
    const int centre = padH + position * (FilmCell::side + spacing) + FilmCell::side / 2;
    const int value = centre - viewport()->width() / 2;
    return std::clamp(value, 0, std::max(0, m_row->width() - viewport()->width()));
}

void FilmStrip::scrollToCursor(bool animated)
{
    if (m_cursor < 0 || m_cursor >= int(m_cells.size()))
        return;
    const int target = centredScrollValue(m_cursor);
    m_scroll->stop();
    if (!animated || !isVisible()) {
        horizontalScrollBar()->setValue(target);
        return;
    }
    m_scroll->setStartValue(horizontalScrollBar()->value());
    m_scroll->setEndValue(target);
    m_scroll->start();
}

void FilmStrip::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    sync();
    scrollToCursor(false);
}

bool FilmStrip::eventFilter(QObject *watched, QEvent *event)
{
    // Presses that reach the row or the viewport missed every cell.
    if ((watched == m_row || watched == viewport()) && event->type() == QEvent::MouseButtonPress) {
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            m_view.clearMultiSelection();
        return true;
    }
    return QScrollArea::eventFilter(watched, event);
}

} // namespace mendral
