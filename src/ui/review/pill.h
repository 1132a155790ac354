#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>
#include <QWidget>

class QPainter;

namespace mendral {

/**
 * A short label drawn as an optional symbol and a text on an optional rounded fill: the
 * status badges, chips, key caps, hint bubbles and cell badges of the review screen.
 */
struct Pill {
    QString text;
    const char *symbol = nullptr; // symbol name, drawn before the text
    QFont font;
    QColor foreground;
    QColor fill = Qt::transparent; // transparent: no background
    qreal padH = 0;
    qreal padV = 0;
    qreal radius = -1; // negative: a capsule (half the height)
    qreal minWidth = 0;
    qreal minHeight = 0;

    QSizeF size() const;
    /** Draws the pill into rect (content centred). */
    void paint(QPainter &painter, const QRectF &rect) const;
};

/** A pill as a widget, for rows laid out with layouts. */
class PillLabel : public QWidget {
    Q_OBJECT

public:
    explicit PillLabel(QWidget *parent = nullptr);
    void setPill(const Pill &pill);
    const Pill &pill() const { return m_pill; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Pill m_pill;
};

} // namespace mendral
