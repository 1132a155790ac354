#include "ui/theme.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

#include <cmath>

namespace mendral::theme {

namespace {

QPalette palette()
{
    return QGuiApplication::palette();
}

} // namespace

QColor primary()
{
    return palette().color(QPalette::WindowText);
}

QColor primary(qreal opacity)
{
    return withAlpha(primary(), opacity);
}

QColor withAlpha(QColor color, qreal opacity)
{
    color.setAlphaF(float(std::clamp(opacity, 0.0, 1.0) * color.alphaF()));
    return color;
}

// The levels of secondary and tertiary text of common desktop designs: about half and a
// quarter of the primary colour's strength.
QColor secondary()
{
    return primary(0.55);
}

QColor tertiary()
{
    return primary(0.3);
}

QColor accent()
{
    return palette().color(QPalette::Highlight);
}

QColor green()
{
    return QColor(40, 167, 69);
}

QColor orange()
{
    return QColor(240, 133, 0);
}

QColor gray()
{
    return QColor(142, 142, 147);
}

QColor windowBackground()
{
    return palette().color(QPalette::Window);
}

QColor underPageBackground()
{
    return palette().color(QPalette::Window).darker(112);
}

QColor barBackground()
{
    QColor c = palette().color(QPalette::Window).lighter(103);
    c.setAlphaF(0.92f);
    return c;
}

QColor separator()
{
    return primary(0.12);
}

QStringList fontFamilies()
{
    return {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
            QStringLiteral("Noto Sans"), QStringLiteral("DejaVu Sans"), QStringLiteral("sans-serif")};
}

QFont font(qreal pixelSize, QFont::Weight weight)
{
    QFont f;
    f.setFamilies(fontFamilies());
    f.setPixelSize(std::max(1, int(std::lround(pixelSize))));
    f.setWeight(weight);
    return f;
}

void applyToApplication()
{
    QApplication::setFont(font(13));
    QPalette p = QApplication::palette();
    // A clear blue accent, as the selection outlines and prominent buttons expect.
    p.setColor(QPalette::Highlight, QColor(10, 122, 255));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(10, 122, 255));
    QApplication::setPalette(p);
}

void setForeground(QWidget *widget, const QColor &color)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, color);
    p.setColor(QPalette::ButtonText, color);
    p.setColor(QPalette::Text, color);
    widget->setPalette(p);
}

} // namespace mendral::theme
