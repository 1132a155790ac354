#include "ui/statchip.h"

#include "ui/theme.h"

#include <QPainter>

namespace mendral {

namespace {

constexpr int kPadX = 7, kPadY = 3, kSpacing = 3;

QFont valueFont()
{
    return theme::font(12, QFont::DemiBold);
}

QFont labelFont()
{
    return theme::font(11);
}

// Digits of equal advance, so a changing count does not make the chip jitter.
int digitsWidth(const QString &value)
{
    const QFontMetrics fm(valueFont());
    int widest = 0;
    for (QChar d = u'0'; d <= u'9'; d = QChar(d.unicode() + 1))
        widest = std::max(widest, fm.horizontalAdvance(d));
    return widest * int(value.size());
}

} // namespace

StatChip::StatChip(const QString &label, QWidget *parent)
    : QWidget(parent), m_value(QStringLiteral("0")), m_label(label), m_tint(theme::primary())
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void StatChip::setValue(int value, const QColor &tint)
{
    const QString text = QString::number(value);
    if (text == m_value && tint == m_tint)
        return;
    m_value = text;
    m_tint = tint;
    updateGeometry();
    update();
}

QSize StatChip::sizeHint() const
{
    const QFontMetrics lf(labelFont());
    const QFontMetrics vf(valueFont());
    const int w = kPadX + digitsWidth(m_value) + kSpacing + lf.horizontalAdvance(m_label) + kPadX;
    const int h = kPadY + std::max(vf.height(), lf.height()) + kPadY;
    return QSize(w, h);
}

void StatChip::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(theme::primary(0.05));
    p.drawRoundedRect(QRectF(rect()), 6, 6);

    const int valueWidth = digitsWidth(m_value);
    QRect valueRect(kPadX, 0, valueWidth, height());
    p.setFont(valueFont());
    p.setPen(m_tint);
    // Each digit in its own equal cell, centred.
    const int cell = m_value.isEmpty() ? 0 : valueWidth / int(m_value.size());
    for (int i = 0; i < m_value.size(); ++i)
        p.drawText(QRect(valueRect.x() + i * cell, 0, cell, height()), Qt::AlignCenter, m_value.mid(i, 1));

    p.setFont(labelFont());
    p.setPen(theme::secondary());
    p.drawText(QRect(valueRect.right() + 1 + kSpacing, 0, width(), height()), Qt::AlignLeft | Qt::AlignVCenter,
               m_label);
}

} // namespace mendral
