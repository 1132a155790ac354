#include "ui/review/pill.h"

#include "ui/icons.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace mendral {

namespace {
constexpr qreal iconGap = 3;

qreal iconSide(const QFont &font)
{
    return std::round(font.pixelSize() > 0 ? font.pixelSize() : QFontMetricsF(font).height() * 0.8);
}
} // namespace

QSizeF Pill::size() const
{
    const QFontMetricsF fm(font);
    qreal w = text.isEmpty() ? 0 : fm.horizontalAdvance(text);
    qreal h = fm.height();
    if (symbol) {
        w += iconSide(font) + (text.isEmpty() ? 0 : iconGap);
        h = std::max(h, iconSide(font));
    }
    return {std::ceil(std::max(w + 2 * padH, minWidth)), std::ceil(std::max(h + 2 * padV, minHeight))};
}

void Pill::paint(QPainter &painter, const QRectF &rect) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (fill.alpha() > 0) {
        const qreal r = radius < 0 ? rect.height() / 2 : radius;
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(rect, r, r);
    }
    const QFontMetricsF fm(font);
    const qreal textW = text.isEmpty() ? 0 : fm.horizontalAdvance(text);
    const qreal side = symbol ? iconSide(font) : 0;
    const qreal contentW = textW + (symbol ? side + (text.isEmpty() ? 0 : iconGap) : 0);
    qreal x = rect.center().x() - contentW / 2;
    if (symbol) {
        const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        const QPixmap pm = icons::pixmap(symbol, int(side), foreground, dpr);
        painter.drawPixmap(QRectF(x, rect.center().y() - side / 2, side, side), pm, pm.rect());
        x += side + iconGap;
    }
    if (!text.isEmpty()) {
        painter.setFont(font);
        painter.setPen(foreground);
        painter.drawText(QRectF(x, rect.top(), textW + 1, rect.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         text);
    }
    painter.restore();
}

PillLabel::PillLabel(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PillLabel::setPill(const Pill &pill)
{
    m_pill = pill;
    updateGeometry();
    update();
}

QSize PillLabel::sizeHint() const
{
    return m_pill.size().toSize();
}

void PillLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QSizeF s = m_pill.size();
    m_pill.paint(p, QRectF(QPointF(0, (height() - s.height()) / 2), QSizeF(width(), s.height())));
}

} // namespace mendral
