#include "ui/review/filmcell.h"

#include "imagecache/imagestore.h"
#include "platform/whendone.h"
#include "ui/icons.h"
#include "ui/review/pill.h"
#include "ui/theme.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

namespace mendral {

namespace {
constexpr qreal radius = 6;
constexpr qreal inset = 3;
constexpr qreal buttonSide = 20;

// Keeps a tenth of the colour: the grey level plus 0.1 of each channel's distance from it.
QImage desaturated(const QImage &source)
{
    QImage img = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < img.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = line[x];
            const int grey = qGray(c);
            auto mix = [grey](int v) { return grey + (v - grey) / 10; };
            line[x] = qRgba(mix(qRed(c)), mix(qGreen(c)), mix(qBlue(c)), qAlpha(c));
        }
    }
    return img;
}
} // namespace

FilmCell::FilmCell(ImageStore &images, const Photo &photo, const FilmCellState &state,
                   std::function<void()> onTogglePick, QWidget *parent)
    : QWidget(parent), m_images(images), m_photo(photo), m_state(state), m_onTogglePick(std::move(onTogglePick))
{
    setFixedSize(side, side);
    setAttribute(Qt::WA_Hover);
    setMouseTracking(true);
    load();
}

void FilmCell::setPhoto(const Photo &photo)
{
    const bool reload = photo.url != m_photo.url;
    m_photo = photo;
    if (reload) {
        m_thumb = {};
        m_washed = {};
        load();
    }
    update();
}

void FilmCell::setState(const FilmCellState &state)
{
    if (state == m_state)
        return;
    m_state = state;
    update();
}

void FilmCell::load()
{
    const QString url = m_photo.url;
    QFuture<QImage> f = m_images.thumbnail(url, thumbPixel);
    auto take = [this, url](const QImage &img) {
        if (url != m_photo.url || img.isNull())
            return;
        m_thumb = img;
        m_washed = desaturated(img);
        update();
    };
    if (f.isFinished())
        take(f.resultCount() ? f.result() : QImage());
    else
        whenDone(
            this, f, [take](const QFuture<QImage> &done) { take(done.resultCount() ? done.result() : QImage()); },
            IfReceiverGoes::cancel);
}

FilmCell::Border FilmCell::border() const
{
    if (m_state.isMultiSelected)
        return {theme::accent(), 3, false};
    if (m_state.isCursor)
        return {m_state.hasMultiSelection ? QColor(Qt::white) : theme::accent(), 3, m_state.hasMultiSelection};
    if (m_state.isPicked)
        return {theme::green(), 3, false};
    return {theme::primary(0.10), 1, false};
}

QRectF FilmCell::pickButtonRect() const
{
    return {side - inset - buttonSide, inset, buttonSide, buttonSide};
}

QString FilmCell::toolTipAt(QPointF point) const
{
    if (m_onTogglePick && pickButtonRect().contains(point))
        return m_state.isPicked ? QStringLiteral("取消选中这张") : QStringLiteral("选中这张");
    return m_photo.name();
}

bool FilmCell::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ToolTip: {
        auto *help = static_cast<QHelpEvent *>(event);
        QToolTip::showText(help->globalPos(), toolTipAt(help->pos()), this);
        return true;
    }
    case QEvent::HoverEnter:
        m_hovering = true;
        update();
        break;
    case QEvent::HoverLeave:
        m_hovering = false;
        update();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void FilmCell::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_onTogglePick && pickButtonRect().contains(event->position())) {
        m_onTogglePick();
        return;
    }
    Q_EMIT clicked(m_state.position);
}

void FilmCell::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_onTogglePick && pickButtonRect().contains(event->position())) {
        m_onTogglePick(); // each press on the button is one toggle
        return;
    }
    Q_EMIT doubleClicked(m_state.position);
}

void FilmCell::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF r(0, 0, side, side);
    QPainterPath clip;
    clip.addRoundedRect(r, radius, radius);
    p.save();
    p.setClipPath(clip);
    if (m_thumb.isNull()) {
        p.fillPath(clip, theme::primary(0.06));
    } else {
        // Fill the square, cropping what overhangs.
        const QImage &img = m_state.isDuplicate ? m_washed : m_thumb;
        const qreal s = std::max(side / qreal(img.width()), side / qreal(img.height()));
        const QSizeF shown(img.width() * s, img.height() * s);
        p.setOpacity(m_state.isDuplicate ? 0.55 : 1.0);
        p.drawImage(QRectF(QPointF((side - shown.width()) / 2, (side - shown.height()) / 2), shown), img);
        p.setOpacity(1);
    }
    if (m_state.isMultiSelected)
        p.fillRect(r, theme::withAlpha(theme::accent(), 0.18));
    p.restore();

    const Border b = border();
    const QRectF edge = r.adjusted(b.width / 2, b.width / 2, -b.width / 2, -b.width / 2);
    if (b.shadow) {
        // A soft dark line just outside the white border, so it reads on light photos.
        QPen shade(QColor(0, 0, 0, 140), b.width + 3);
        p.setPen(shade);
        p.setBrush(Qt::NoBrush);
        p.save();
        p.setClipPath(clip);
        p.drawRoundedRect(edge, radius, radius);
        p.restore();
    }
    p.setPen(QPen(b.colour, b.width));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(edge, radius - b.width / 2, radius - b.width / 2);

    Pill number;
    number.text = QString::number(m_state.position + 1);
    number.font = theme::font(9, QFont::DemiBold);
    number.foreground = Qt::white;
    number.fill = QColor(0, 0, 0, 128);
    number.padH = 4;
    number.padV = 1;
    number.paint(p, QRectF(QPointF(inset, inset), number.size()));

    if (m_state.isDuplicate) {
        Pill dup;
        dup.text = QStringLiteral("重复");
        dup.font = theme::font(8, QFont::Medium);
        dup.foreground = Qt::white;
        dup.fill = theme::withAlpha(theme::gray(), 0.85);
        dup.padH = 4;
        dup.padV = 1;
        const QSizeF s = dup.size();
        dup.paint(p, QRectF(QPointF(side - inset - s.width(), side - inset - s.height()), s));
    }
    if (m_state.isRecommended) {
        Pill best;
        best.text = QStringLiteral("推荐");
        best.font = theme::font(8, QFont::Medium);
        best.foreground = Qt::white;
        best.fill = theme::withAlpha(theme::accent(), 0.9);
        best.padH = 4;
        best.padV = 1;
        const QSizeF s = best.size();
        best.paint(p, QRectF(QPointF(inset, side - inset - s.height()), s));
    }
    paintPickControl(p);
}

void FilmCell::paintPickControl(QPainter &p) const
{
    const QRectF b = pickButtonRect();
    const bool picked = m_state.isPicked;
    p.save();
    if (m_onTogglePick) {
        p.setOpacity(picked || m_hovering ? 1.0 : 0.5);
        const QColor face = picked ? theme::green() : QColor(0, 0, 0, m_hovering ? 128 : 56);
        const qreal ring = picked ? 1.5 : (m_hovering ? 1.0 : 0.0);
        p.setBrush(face);
        p.setPen(ring > 0 ? QPen(Qt::white, ring) : QPen(Qt::NoPen));
        p.drawEllipse(b.adjusted(ring / 2, ring / 2, -ring / 2, -ring / 2));
    } else if (picked) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 77));
        p.drawEllipse(b.translated(0, 1).adjusted(-1, -1, 1, 1));
        p.setBrush(theme::green());
        p.setPen(QPen(Qt::white, 1.5));
        p.drawEllipse(b.adjusted(0.75, 0.75, -0.75, -0.75));
    } else {
        p.restore();
        return;
    }
    const QPixmap check = icons::pixmap("checkmark", 10, Qt::white, p.device()->devicePixelRatioF());
    p.drawPixmap(QRectF(b.center() - QPointF(5, 5), QSizeF(10, 10)), check, check.rect());
    p.restore();
}

} // namespace mendral
