#include "ui/review/reviewview.h"

#include "imagecache/imagestore.h"
#include "model/photogroup.h"
#include "platform/whendone.h"
#include "store/appstore.h"
#include "ui/review/filmstrip.h"
#include "ui/review/fittedcache.h"
#include "ui/review/reviewbars.h"
#include "ui/review/reviewcanvas.h"
#include "ui/review/reviewgeometry.h"
#include "ui/theme.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace mendral {

namespace {

QWidget *divider(QWidget *parent)
{
    auto *line = new QWidget(parent);
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette p = line->palette();
    p.setColor(QPalette::Window, theme::separator());
    line->setPalette(p);
    return line;
}

bool commandHeld(Qt::KeyboardModifiers mods)
{
    return mods & Qt::ControlModifier;
}

} // namespace

ReviewView::ReviewView(AppStore &store, QWidget *parent, ImageStore *images)
    : QWidget(parent), m_store(store), m_images(images ? *images : ImageStore::shared())
{
    setFocusPolicy(Qt::StrongFocus);
    if (m_store.reviewGroupID())
        m_groupID = *m_store.reviewGroupID();

    m_fitted = new FittedCache(this);
    m_hintTimer = new QTimer(this);
    m_hintTimer->setSingleShot(true);
    m_hintTimer->setInterval(hintMilliseconds);
    connect(m_hintTimer, &QTimer::timeout, this, [this] {
        m_boundaryHint.reset();
        refresh();
    });

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    m_content = new QWidget(this);
    auto *column = new QVBoxLayout(m_content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_topBar = new ReviewTopBar(*this, m_content);
    m_canvas = new ReviewCanvas(*this, m_content);
    m_strip = new FilmStrip(*this, m_content);
    m_actionBar = new ReviewActionBar(*this, m_content);
    column->addWidget(m_topBar);
    column->addWidget(divider(m_content));
    column->addWidget(m_canvas, 1);
    column->addWidget(divider(m_content));
    column->addWidget(m_strip);
    column->addWidget(divider(m_content));
    column->addWidget(m_actionBar);
    outer->addWidget(m_content);

    m_emptyState = new QWidget(this);
    auto *empty = new QVBoxLayout(m_emptyState);
    empty->setSpacing(10);
    empty->addStretch(1);
    auto *gone = new QLabel(QStringLiteral("这一组已经不在当前筛选里了"), m_emptyState);
    gone->setFont(theme::font(13));
    gone->setAlignment(Qt::AlignCenter);
    empty->addWidget(gone, 0, Qt::AlignHCenter);
    auto *back = new QPushButton(QStringLiteral("返回总览"), m_emptyState);
    back->setFocusPolicy(Qt::NoFocus);
    connect(back, &QPushButton::clicked, this, [this] { m_store.closeReview(); });
    empty->addWidget(back, 0, Qt::AlignHCenter);
    empty->addStretch(1);
    outer->addWidget(m_emptyState);

    connect(&m_store, &AppStore::groupsChanged, this, &ReviewView::refresh);
    connect(&m_store, &AppStore::photosChanged, this, &ReviewView::refresh);
    connect(&m_store, &AppStore::settingsChanged, this, &ReviewView::refresh);
    connect(&m_store, &AppStore::selectionChanged, this, &ReviewView::followStore);
    refresh();
}

ReviewView::~ReviewView()
{
    removeMonitor();
}

// ---- state ---------------------------------------------------------------------------------

void ReviewView::setGroupID(int id)
{
    if (id == m_groupID)
        return;
    m_groupID = id;
    m_cursor = startPosition();
    m_actualSize = false;
    m_compareZoom = false;
    m_spot.reset();
    m_compareSel.clear();
    m_cellFrames.clear();
    takeFocus();
    refresh();
    prepareNeighbours();
}

void ReviewView::followStore()
{
    if (const auto id = m_store.reviewGroupID())
        setGroupID(*id);
    refresh(); // the group's place among the visible groups may have changed
}

void ReviewView::setCursor(int position)
{
    if (position == m_cursor)
        return;
    m_cursor = position;
    refresh();
    prepareNeighbours();
}

void ReviewView::setActualSize(bool on)
{
    if (on == m_actualSize)
        return;
    m_actualSize = on;
    if (!on)
        m_spot.reset();
    refresh();
}

void ReviewView::setCellFrames(std::vector<QRectF> frames)
{
    m_cellFrames = std::move(frames);
}

const PhotoGroup *ReviewView::group() const
{
    return m_store.group(m_groupID);
}

const Photo *ReviewView::currentPhoto() const
{
    const PhotoGroup *g = group();
    if (!g || m_cursor < 0 || m_cursor >= g->count())
        return nullptr;
    const int index = g->indices[size_t(m_cursor)];
    const auto &photos = m_store.photos();
    if (index < 0 || size_t(index) >= photos.size())
        return nullptr;
    return &photos[size_t(index)];
}

int ReviewView::startPosition() const
{
    const PhotoGroup *g = group();
    return g && g->recommended >= 0 && g->recommended < g->count() ? g->recommended : 0;
}

int ReviewView::gridColumns() const
{
    const PhotoGroup *g = group();
    return g ? reviewgeometry::compareGrid(g->count()).cols : 1;
}

void ReviewView::takeFocus()
{
    if (isVisible())
        setFocus(Qt::OtherFocusReason);
}

void ReviewView::refresh()
{
    const PhotoGroup *g = group();
    const bool usable = g && g->count() > 0;
    m_content->setVisible(usable);
    m_emptyState->setVisible(!usable);
    if (usable) {
        m_topBar->sync();
        m_canvas->sync();
        m_strip->sync();
        m_actionBar->sync();
    }
    Q_EMIT stateChanged();
}

void ReviewView::prepareNeighbours()
{
    // Warm the cache around the cursor (and the next group's first photo) so that stepping on
    // shows the photo at once. The current photo's request was queued first by the canvas.
    const PhotoGroup *g = group();
    if (!g || !isVisible())
        return;
    // Warm-ups for where the cursor was and no longer is are dropped if they have not started:
    // flicking through sixty groups queued three decodes a step, and the group reached waited
    // for all of them.
    delete m_warming;
    m_warming = new QObject(this);
    const auto &photos = m_store.photos();
    const QSizeF area(m_canvas->size());
    // Decoded into memory, then reduced to the size the canvas will show it at.
    auto warm = [this, &photos, area](int index) {
        if (index < 0 || size_t(index) >= photos.size())
            return;
        const QString url = photos[size_t(index)].url;
        auto fit = [this, url, area](const QImage &image) {
            if (!image.isNull() && !m_compare)
                m_fitted->prepare(url, image, reviewgeometry::fittedRect(QSizeF(image.size()), area).size().toSize());
        };
        QFuture<QImage> load = m_images.thumbnail(url, ReviewCanvas::maxPixel);
        if (load.isFinished())
            fit(load.resultCount() ? load.result() : QImage());
        else
            whenDone(
                m_warming, load,
                [fit](const QFuture<QImage> &done) { fit(done.resultCount() ? done.result() : QImage()); },
                IfReceiverGoes::cancel);
    };
    for (int p : {m_cursor + 1, m_cursor - 1})
        if (p >= 0 && p < g->count())
            warm(g->indices[size_t(p)]);
    const auto visible = m_store.visibleGroups();
    for (size_t i = 0; i < visible.size(); ++i)
        if (visible[i].id == g->id) {
            const PhotoGroup &next = visible[(i + 1) % visible.size()];
            if (next.id != g->id && next.count() > 0)
                warm(next.indices.front());
            break;
        }
}

// ---- operations ----------------------------------------------------------------------------

void ReviewView::togglePick()
{
    const PhotoGroup *g = group();
    if (!g || m_cursor < 0 || m_cursor >= g->count())
        return;
    m_store.togglePick(g->id, m_cursor);
    takeFocus();
}

void ReviewView::commitCompareSelection(int fallback)
{
    const PhotoGroup *g = group();
    if (!g)
        return;
    const int id = g->id, size = g->count(); // the group may be replaced by each decision
    std::vector<int> positions;
    if (m_compareSel.size() >= 2)
        positions.assign(m_compareSel.begin(), m_compareSel.end()); // ascending
    else
        positions = {fallback};
    for (int p : positions)
        if (p >= 0 && p < size)
            m_store.choose(id, p);
    if (positions.size() > 1)
        m_compareSel.clear();
    showHint(QStringLiteral("已选入 %1 张").arg(positions.size()));
}

void ReviewView::moveCursor(int step)
{
    const PhotoGroup *g = group();
    if (!g)
        return;
    int t = m_cursor + step;
    // A cursor left beyond a group that shrank comes back in from the end, rather than being
    // stuck out there with a "last photo" hint.
    if (step < 0 && m_cursor >= g->count() && g->count() > 0)
        t = std::min(t, g->count() - 1);
    if (t < 0) {
        showHint(QStringLiteral("已经是本组最前 1 张"));
    } else if (t <= g->count() - 1) {
        setCursor(t);
        takeFocus();
    } else {
        showHint(QStringLiteral("已经是本组最后 1 张"));
    }
}

void ReviewView::moveInGrid(int step)
{
    const PhotoGroup *g = group();
    if (!g)
        return;
    const int t = m_cursor + step;
    if (t >= 0 && t < g->count()) {
        setCursor(t);
        takeFocus();
    } else {
        showHint(step < 0 ? QStringLiteral("已经是第一张") : QStringLiteral("已经是最后一张"));
    }
}

void ReviewView::clickPhoto(int position)
{
    m_lastCellClick.start();
    const bool command = m_clickHadCommand || commandHeld(QGuiApplication::queryKeyboardModifiers());
    if (command) {
        const bool wasSelected = m_compareSel.count(position) > 0;
        m_compareSel.insert(m_cursor); // the photo being looked at joins the selection
        if (wasSelected)
            m_compareSel.erase(position);
        else
            m_compareSel.insert(position);
        if (m_compareSel.empty())
            m_compareSel.insert(position);
    }
    m_cursor = position;
    takeFocus();
    refresh();
    prepareNeighbours();
}

void ReviewView::clearMultiSelection()
{
    if (m_lastCellClick.isValid() && m_lastCellClick.elapsed() < cellClickGraceMilliseconds)
        return; // the same click already reached a cell
    if (!m_compareSel.empty()) {
        m_compareSel.clear();
        showHint(QStringLiteral("已取消多选"));
    }
    m_cursor = 0;
    takeFocus();
    refresh();
    prepareNeighbours();
}

void ReviewView::showHint(const QString &text)
{
    m_hintTimer->stop();
    m_boundaryHint = text;
    m_hintTimer->start();
    takeFocus();
    refresh();
}

bool ReviewView::isBlankPoint(QPointF point, QSizeF size) const
{
    const PhotoGroup *g = group();
    if (m_compare && g && g->count() > 1) {
        if (m_cellFrames.empty())
            return false;
        return std::none_of(m_cellFrames.begin(), m_cellFrames.end(),
                            [point](const QRectF &f) { return f.contains(point); });
    }
    const Photo *photo = currentPhoto();
    if (!photo)
        return true;
    if (photo->pixelWidth <= 0 || photo->pixelHeight <= 0 || size.width() <= 0 || size.height() <= 0)
        return true;
    return !reviewgeometry::fittedRect(QSizeF(photo->pixelWidth, photo->pixelHeight), size).contains(point);
}

void ReviewView::toggleCompare()
{
    const PhotoGroup *g = group();
    if (!g || g->count() < 2)
        return;
    m_compare = !m_compare;
    m_actualSize = false;
    m_compareZoom = false;
    m_spot.reset();
    takeFocus();
    refresh();
}

void ReviewView::toggleCompareZoom()
{
    const PhotoGroup *g = group();
    if (!m_compare || !g || g->count() < 2)
        return;
    m_compareZoom = !m_compareZoom;
    m_spot.reset(); // the grid starts on the cursor photo's face
    takeFocus();
    refresh();
}

void ReviewView::acceptRecommendation()
{
    const PhotoGroup *g = group();
    if (!g)
        return;
    const int id = g->id;
    m_store.acceptRecommendation(id);
    m_store.advance(id);
    takeFocus();
}

void ReviewView::skipGroup()
{
    const PhotoGroup *g = group();
    if (!g)
        return;
    const int id = g->id;
    m_store.skip(id);
    m_store.advance(id);
    takeFocus();
}

} // namespace mendral
