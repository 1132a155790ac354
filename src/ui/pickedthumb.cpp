#include "ui/pickedthumb.h"

#include "model/photo.h"
#include "ui/theme.h"

#include <QMouseEvent>
#include <QPainter>

namespace mendral {

namespace {

constexpr qreal kRadius = 8;

void drawTag(QPainter &p, const QString &text, const QFont &font, QPointF corner, Qt::Corner which)
{
    const QFontMetricsF fm(font);
    const QSizeF size(fm.horizontalAdvance(text) + 8, fm.height() + 2);
    QRectF r(corner, size);
    if (which == Qt::BottomRightCorner)
        r.moveBottomRight(corner);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 165));
    p.drawRoundedRect(r, 3, 3);
    p.setPen(Qt::white);
    p.setFont(font);
    p.drawText(r, Qt::AlignCenter, text);
}

} // namespace

PickedThumb::PickedThumb(ImageStore &images, QWidget *parent) : ThumbWidget(images, parent)
{
    setCursor(Qt::PointingHandCursor);
}

void PickedThumb::setItem(const Item &item, const Photo &photo)
{
    m_item = item;
    setPhotoUrl(photo.url);
    setToolTip(photo.name() + QStringLiteral(" · 第 ") + QString::number(item.groupNo) + QStringLiteral(" 组"));
    update();
}

void PickedThumb::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    update();
}

void PickedThumb::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    paintThumbnail(p, frame, kRadius);
    drawTag(p, QStringLiteral("第 ") + QString::number(m_item.groupNo) + QStringLiteral(" 组"),
            theme::font(9, QFont::Medium), frame.topLeft() + QPointF(5, 5), Qt::TopLeftCorner);
    if (m_item.total >= 2)
        drawTag(p, QString::number(m_item.nth) + QLatin1Char('/') + QString::number(m_item.total),
                theme::font(9, QFont::DemiBold), frame.bottomRight() - QPointF(5, 5), Qt::BottomRightCorner);
    if (m_selected) {
        p.setPen(QPen(theme::accent(), 2.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(frame, kRadius, kRadius);
    }
}

void PickedThumb::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        Q_EMIT clicked(m_item.id());
        event->accept();
        return;
    }
    ThumbWidget::mousePressEvent(event);
}

void PickedThumb::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        Q_EMIT doubleClicked(m_item.id());
        event->accept();
        return;
    }
    ThumbWidget::mouseDoubleClickEvent(event);
}

} // namespace mendral
