#include "ui/review/comparegrid.h"

#include "model/photogroup.h"
#include "platform/whendone.h"
#include "store/appstore.h"
#include "ui/icons.h"
#include "ui/review/actualsizecanvas.h"
#include "ui/review/overlay.h"
#include "ui/review/photocanvas.h"
#include "ui/review/pill.h"
#include "ui/review/reviewcanvas.h"
#include "ui/review/reviewgeometry.h"
#include "ui/review/reviewview.h"
#include "ui/theme.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QtConcurrent/QtConcurrentRun>

namespace mendral {

namespace {
constexpr qreal cellRadius = 4;

Pill selectionCountPill(int k)
{
    Pill pill;
    pill.text = QStringLiteral("已多选 %1 张").arg(k);
    pill.symbol = "checkmark.circle.fill";
    pill.font = theme::font(11, QFont::DemiBold);
    pill.foreground = Qt::white;
    pill.fill = theme::accent();
    pill.padH = 8;
    pill.padV = 4;
    return pill;
}

Pill secondaryText(const QString &text)
{
    Pill pill;
    pill.text = text;
    pill.font = theme::font(10);
    pill.foreground = theme::secondary();
    return pill;
}
} // namespace

CompareCell::CompareCell(ReviewView &view, const Photo &photo, QWidget *parent)
    : QWidget(parent), m_view(view), m_photo(photo)
{
    m_canvas = new PhotoCanvas(view.images(), photo, false, maxPixel, this);
    m_canvas->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_marks = new Overlay([this](QPainter &p, const QRect &r) { paintMarks(p, r); }, this);
    m_marks->raise();
}

void CompareCell::setZoom(std::optional<QPointF> spot)
{
    if (!spot) {
        delete m_zoomed;
        m_zoomed = nullptr;
        m_canvas->show();
        return;
    }
    if (m_zoomed) {
        setZoomSpot(*spot);
        return;
    }
    // The same large copy as the single view's 100 %, so both show the same pixels.
    m_zoomed = new PhotoCanvas(m_view.images(), m_photo, true, ReviewCanvas::maxPixel, this);
    m_zoomed->setActualSizeExtras(false, false);
    m_zoomed->setStartSpot(spot); // before it is shown: no face search of its own
    m_zoomed->setGeometry(rect());
    connect(m_zoomed, &PhotoCanvas::spotMoved, this, &CompareCell::zoomPanned);
    connect(m_zoomed, &PhotoCanvas::actualSizeClicked, this, [this] { m_view.clickPhoto(m_state.index); });
    // The fitted photo stays until the large one is there.
    auto reveal = [this] {
        m_zoomed->show();
        m_canvas->hide();
        m_marks->raise();
    };
    if (m_zoomed->hasImage())
        reveal();
    else
        connect(m_zoomed, &PhotoCanvas::imageLoaded, this, reveal);
}

void CompareCell::setZoomSpot(QPointF spot)
{
    if (!m_zoomed)
        return;
    m_zoomed->setStartSpot(spot);
    if (ActualSizeCanvas *actual = m_zoomed->actualSizeCanvas())
        actual->setSpot(spot);
}

void CompareCell::setState(const CompareCellState &state)
{
    if (state == m_state)
        return;
    m_state = state;
    m_marks->update();
}

CompareCell::Border CompareCell::border() const
{
    if (m_state.isSelected)
        return {theme::accent(), 3};
    if (m_state.isCursor)
        return {m_state.hasSelection ? QColor(Qt::white) : theme::accent(), 3};
    if (m_state.isPicked)
        return {theme::green(), 2};
    return {theme::primary(0.18), 1};
}

void CompareCell::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_canvas->setGeometry(rect());
    if (m_zoomed)
        m_zoomed->setGeometry(rect());
    m_marks->setGeometry(rect());
}

void CompareCell::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_view.clickPhoto(m_state.index);
}

void CompareCell::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int p = m_state.index;
    m_view.setCursor(p);
    if (m_view.compareSel().size() < 2)
        m_view.togglePick();
    else
        m_view.commitCompareSelection(p);
}

void CompareCell::paintMarks(QPainter &p, const QRect &rect) const
{
    const QRectF r(rect);
    if (m_state.isSelected) {
        p.setPen(Qt::NoPen);
        p.setBrush(theme::withAlpha(theme::accent(), 0.14));
        p.drawRoundedRect(r, cellRadius, cellRadius);
    }
    p.save();
    p.setClipRect(r);
    Pill number;
    number.text = QString::number(m_state.index + 1);
    number.font = theme::font(11, QFont::Bold);
    number.foreground = Qt::white;
    number.fill = theme::accent();
    number.padH = 2;
    number.minWidth = 18;
    number.minHeight = 18;
    const QSizeF ns = number.size();
    number.paint(p, QRectF(QPointF(6, 6), ns));
    qreal x = 6 + ns.width() + 4;
    if (m_state.isPicked) {
        Pill picked;
        picked.text = QStringLiteral("已选");
        picked.symbol = "checkmark";
        picked.font = theme::font(10, QFont::DemiBold);
        picked.foreground = Qt::white;
        picked.fill = theme::green();
        picked.padH = 6;
        picked.padV = 2;
        const QSizeF ps = picked.size();
        picked.paint(p, QRectF(QPointF(x, 6 + (ns.height() - ps.height()) / 2), ps));
        x += ps.width() + 4;
    }
    if (m_state.isRecommended) {
        Pill best;
        best.text = QStringLiteral("推荐");
        best.font = theme::font(10, QFont::Medium);
        best.foreground = Qt::white;
        best.fill = QColor(0, 0, 0, 128);
        best.padH = 6;
        best.padV = 2;
        const QSizeF bs = best.size();
        best.paint(p, QRectF(QPointF(x, 6 + (ns.height() - bs.height()) / 2), bs));
    }
    p.restore();

    const Border b = border();
    p.setPen(QPen(b.colour, b.width));
    p.setBrush(Qt::NoBrush);
    const qreal h = b.width / 2;
    p.drawRoundedRect(r.adjusted(h, h, -h, -h), cellRadius, cellRadius);

    if (m_state.isSelected) {
        const QRectF mark(r.right() - 5 - 18, r.top() + 5, 18, 18);
        p.setBrush(theme::accent());
        p.setPen(QPen(Qt::white, 1.5));
        p.drawEllipse(mark.adjusted(0.75, 0.75, -0.75, -0.75));
        const QPixmap check = icons::pixmap("checkmark", 10, Qt::white, p.device()->devicePixelRatioF());
        p.drawPixmap(QRectF(mark.center() - QPointF(5, 5), QSizeF(10, 10)), check, check.rect());
    }
}

CompareGrid::CompareGrid(ReviewView &view, QWidget *parent)
    : QWidget(parent), m_view(view), m_scroll(new QScrollArea(this)), m_board(new QWidget)
{
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setWidgetResizable(false);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->viewport()->setAutoFillBackground(false);
    m_scroll->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"));
    m_board->setAutoFillBackground(false);
    m_scroll->setWidget(m_board);
    m_scroll->verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
    connect(m_scroll->verticalScrollBar(), &QScrollBar::valueChanged, this, &CompareGrid::reportFrames);
    m_tip = new Overlay([this](QPainter &p, const QRect &r) { paintTip(p, r); }, this);
}

void CompareGrid::sync()
{
    const PhotoGroup *group = m_view.group();
    const auto &photos = m_view.store().photos();
    std::vector<QString> ids;
    std::vector<Photo> shown;
    if (group) {
        for (int index : group->indices) {
            const Photo photo = (index >= 0 && size_t(index) < photos.size()) ? photos[size_t(index)] : Photo();
            ids.push_back(photo.id);
            shown.push_back(photo);
        }
    }
    if (ids != m_photoIDs) {
        // A cell keeps its canvas only while it shows the same photo.
        for (CompareCell *cell : m_cells)
            delete cell;
        m_cells.clear();
        for (const Photo &photo : shown) {
            auto *cell = new CompareCell(m_view, photo, m_board);
            connect(cell, &CompareCell::zoomPanned, this, [this, cell](QPointF spot) { moveZoomSpot(spot, cell); });
            cell->show();
            m_cells.push_back(cell);
        }
        m_photoIDs = ids;
        m_zoomSpot.reset();
        relayout();
    }
    for (size_t i = 0; i < m_cells.size(); ++i) {
        CompareCellState s;
        s.index = int(i);
        s.isCursor = int(i) == m_view.cursor();
        s.isPicked = group && group->picks.count(int(i)) > 0;
        s.isRecommended = group && group->recommended == int(i);
        s.isSelected = m_view.compareSel().count(int(i)) > 0;
        s.hasSelection = !m_view.compareSel().empty();
        m_cells[i]->setState(s);
    }
    syncZoom();
    m_tip->update();
}

void CompareGrid::syncZoom()
{
    if (!m_view.compareZoom()) {
        if (m_zoomSpot) {
            m_zoomSpot.reset();
            ++m_zoomGeneration;
            for (CompareCell *cell : m_cells)
                cell->setZoom(std::nullopt);
        }
        return;
    }
    if (m_zoomSpot)
        return;
    // Start on the cursor photo's face (the middle until it is found), every cell alike.
    m_zoomSpot = QPointF(0.5, 0.5);
    m_zoomMoved = false;
    const int generation = ++m_zoomGeneration;
    m_view.setActualSizeSpot(*m_zoomSpot);
    for (CompareCell *cell : m_cells)
        cell->setZoom(m_zoomSpot);
    const int cursor = m_view.cursor();
    if (cursor < 0 || cursor >= int(m_cells.size()) || !m_cells[size_t(cursor)]->canvas()->hasImage())
        return;
    whenResult(this, QtConcurrent::run(&ActualSizeCanvas::findFaces, m_cells[size_t(cursor)]->canvas()->image()),
               [this, generation](const std::vector<NormRect> &faces) {
                   if (generation != m_zoomGeneration || m_zoomMoved || faces.empty())
                       return;
                   moveZoomSpot(reviewgeometry::faceSpot(faces), nullptr);
               }, IfReceiverGoes::cancel);
}

void CompareGrid::moveZoomSpot(QPointF spot, const CompareCell *from)
{
    if (!m_zoomSpot)
        return;
    if (from)
        m_zoomMoved = true;
    m_zoomSpot = spot;
    m_view.setActualSizeSpot(spot);
    for (CompareCell *cell : m_cells)
        if (cell != from)
            cell->setZoomSpot(spot);
}

void CompareGrid::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void CompareGrid::relayout()
{
    const int n = int(m_cells.size());
    m_scroll->setGeometry(rect());
    m_tip->setGeometry(rect());
    m_tip->raise();
    const bool scrolls = reviewgeometry::compareGridScrolls(n);
    m_scroll->setVerticalScrollBarPolicy(scrolls ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    QSizeF area(size());
    if (scrolls)
        area.rwidth() -= m_scroll->verticalScrollBar()->sizeHint().width();
    const QSizeF grid = reviewgeometry::compareGridSize(n, area);
    m_board->resize(grid.toSize());
    const auto frames = reviewgeometry::compareCellFrames(n, area);
    for (int i = 0; i < n; ++i)
        m_cells[size_t(i)]->setGeometry(frames[size_t(i)].toRect());
    reportFrames();
}

void CompareGrid::reportFrames()
{
    std::vector<QRectF> frames;
    frames.reserve(m_cells.size());
    for (CompareCell *cell : m_cells)
        frames.emplace_back(QRectF(cell->mapTo(this, QPoint(0, 0)), QSizeF(cell->size())));
    m_view.setCellFrames(std::move(frames));
}

QStringList CompareGrid::tipTexts() const
{
    const size_t k = m_view.compareSel().size();
    if (m_view.compareZoom() && k == 0)
        return {QStringLiteral("100% · 拖动一起移动 · Z 回整张 · Tab 回单张")};
    if (k > 0)
        return {QStringLiteral("已多选 %1 张").arg(k), QStringLiteral("⏎ 一起选入 · Tab 回单张 · Esc 回目录")};
    return {QStringLiteral("⌘ 点击多选（松开 ⌘ 不会丢）· Tab 回单张 · Esc 回目录")};
}

void CompareGrid::paintTip(QPainter &p, const QRect &r) const
{
    std::vector<Pill> parts;
    const QStringList texts = tipTexts();
    if (texts.size() == 2)
        parts.push_back(selectionCountPill(int(m_view.compareSel().size())));
    parts.push_back(secondaryText(texts.back()));
    qreal w = 0, h = 0;
    for (const Pill &part : parts) {
        w += part.size().width();
        h = std::max(h, part.size().height());
    }
    w += 8 * (parts.size() - 1) + 20;
    h += 10;
    const QRectF capsule((r.width() - w) / 2, 8, w, h);
    p.setPen(QPen(theme::primary(0.08), 0.5));
    QColor material = palette().color(QPalette::Window);
    material.setAlphaF(0.88f);
    p.setBrush(material);
    p.drawRoundedRect(capsule, h / 2, h / 2);
    qreal x = capsule.left() + 10;
    for (const Pill &part : parts) {
        const QSizeF s = part.size();
        part.paint(p, QRectF(QPointF(x, capsule.center().y() - s.height() / 2), s));
        x += s.width() + 8;
    }
}

} // namespace mendral
