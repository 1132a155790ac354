#include "ui/widgets.h"

#include "ui/icons.h"
#include "ui/theme.h"

#include <QPainter>
#include <QPainterPath>
#include <QTimer>

namespace mendral {

QLabel *makeLabel(const QString &text, qreal size, QFont::Weight weight, const QColor &color, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(theme::font(size, weight));
    theme::setForeground(label, color);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel *makeSymbol(const char *symbolName, int size, const QColor &color, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setPixmap(icons::pixmap(symbolName, size, color, label->devicePixelRatioF()));
    label->setFixedSize(size, size);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

void makeProminent(QPushButton *button, bool large)
{
    const QColor accent = theme::accent();
    const QString style = QStringLiteral(
        "QPushButton { background-color: %1; color: white; border: none; border-radius: %2px;"
        " padding: %3px %4px; }"
        "QPushButton:hover { background-color: %5; }"
        "QPushButton:pressed { background-color: %6; }"
        "QPushButton:disabled { background-color: %7; color: rgba(255,255,255,170); }")
        .arg(accent.name())
        .arg(large ? 7 : 5)
        .arg(large ? 7 : 4)
        .arg(large ? 18 : 11)
        .arg(accent.lighter(110).name())
        .arg(accent.darker(115).name())
        .arg(theme::withAlpha(accent, 0.4).name(QColor::HexArgb));
    button->setStyleSheet(style);
    button->setFont(theme::font(large ? 14 : 13, QFont::Medium));
    button->setCursor(Qt::PointingHandCursor);
}

QPushButton *makePlainButton(const char *symbolName, int symbolSize, const QColor &color,
                             const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setFlat(true);
    if (symbolName) {
        button->setIcon(icons::icon(symbolName, color));
        button->setIconSize(QSize(symbolSize, symbolSize));
    }
    button->setStyleSheet(QStringLiteral(
        "QPushButton { border: none; background: transparent; padding: 2px 3px; color: %1; }"
        "QPushButton:hover { background: %2; border-radius: 4px; }"
        "QPushButton:disabled { color: %3; }")
        .arg(color.name(QColor::HexArgb), theme::primary(0.07).name(QColor::HexArgb),
             theme::withAlpha(color, 0.35).name(QColor::HexArgb)));
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

Divider::Divider(Qt::Orientation orientation, QWidget *parent) : QWidget(parent), m_orientation(orientation)
{
    if (orientation == Qt::Horizontal)
        setFixedHeight(1);
    else
        setFixedWidth(1);
}

void Divider::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), theme::separator());
}

ElidedLabel::ElidedLabel(QWidget *parent) : QWidget(parent), m_color(theme::secondary())
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void ElidedLabel::setText(const QString &text)
{
    if (m_text == text)
        return;
    m_text = text;
    updateGeometry();
    update();
}

void ElidedLabel::setColor(const QColor &color)
{
    m_color = color;
    update();
}

QSize ElidedLabel::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(m_text), fm.height());
}

QSize ElidedLabel::minimumSizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(QStringLiteral("…")) * 3, fm.height());
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setPen(m_color);
    p.setFont(font());
    const QString shown = fontMetrics().elidedText(m_text, Qt::ElideMiddle, width());
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, shown);
}

Spinner::Spinner(int size, QWidget *parent) : QWidget(parent), m_timer(new QTimer(this))
{
    setFixedSize(size, size);
    m_timer->setInterval(80);
    QObject::connect(m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % 12;
        update();
    });
}

void Spinner::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal r = width() / 2.0;
    p.translate(r, r);
    for (int i = 0; i < 12; ++i) {
        // The spoke at the current step is darkest; the others fade behind it.
        const int age = (m_step - i + 12) % 12;
        QColor c = theme::primary(0.15 + 0.6 * (1.0 - age / 12.0));
        p.setPen(QPen(c, std::max(1.5, r / 5.0), Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(0, -r * 0.45), QPointF(0, -r * 0.9));
        p.rotate(30);
    }
}

void Spinner::showEvent(QShowEvent *)
{
    m_timer->start();
}

void Spinner::hideEvent(QHideEvent *)
{
    m_timer->stop();
}

} // namespace mendral
