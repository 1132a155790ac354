#include "ui/review/navigator.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace mendral {

namespace {
constexpr int frame = 3; // dark margin around the small photo
}

Navigator::Navigator(QSizeF imageSize, QWidget *parent) : QWidget(parent), m_imageSize(imageSize)
{
    setCursor(Qt::PointingHandCursor);
    setToolTip(QStringLiteral("点击移到这里"));
    resize(sizeHint());
}

QSize Navigator::sizeHint() const
{
    const qreal w = std::max<qreal>(m_imageSize.width(), 1), h = std::max<qreal>(m_imageSize.height(), 1);
    const qreal s = side / std::max(w, h);
    return QSize(std::max(1, qRound(w * s)) + 2 * frame, std::max(1, qRound(h * s)) + 2 * frame);
}

QRectF Navigator::pictureRect() const
{
    return QRectF(rect()).adjusted(frame, frame, -frame, -frame);
}

void Navigator::setThumbnail(const QImage &thumbnail)
{
    m_thumbnail = thumbnail;
    update();
}

void Navigator::setVisibleRect(const QRectF &visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    update();
}

void Navigator::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 150));
    p.drawRoundedRect(QRectF(rect()), 5, 5);
    const QRectF picture = pictureRect();
    if (!m_thumbnail.isNull()) {
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(picture, m_thumbnail);
    }
    if (m_visible.isEmpty())
        return;
    // The part on screen: the rest is dimmed, the part itself outlined.
    const QRectF shown(picture.x() + m_visible.x() * picture.width(), picture.y() + m_visible.y() * picture.height(),
                       m_visible.width() * picture.width(), m_visible.height() * picture.height());
    QPainterPath outside;
    outside.addRect(picture);
    QPainterPath inside;
    inside.addRect(shown);
    p.fillPath(outside.subtracted(inside), QColor(0, 0, 0, 90));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 0, 0, 160), 3));
    p.drawRect(shown);
    p.setPen(QPen(Qt::white, 1.5));
    p.drawRect(shown);
}

void Navigator::request(QPointF at)
{
    const QRectF picture = pictureRect();
    if (picture.isEmpty())
        return;
    const QPointF spot((at.x() - picture.x()) / picture.width(), (at.y() - picture.y()) / picture.height());
    Q_EMIT moveRequested(QPointF(std::clamp(spot.x(), 0.0, 1.0), std::clamp(spot.y(), 0.0, 1.0)));
}

void Navigator::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        request(event->position());
}

void Navigator::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() & Qt::LeftButton)
        request(event->position());
}

void Navigator::mouseDoubleClickEvent(QMouseEvent *event)
{
    // Not a double click on the photo (which would toggle its pick): just another move.
    if (event->button() == Qt::LeftButton)
        request(event->position());
}

} // namespace mendral
