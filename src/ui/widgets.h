#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

class QTimer;

/** Small building blocks shared by the window's views. */
namespace mendral {

/** A text label with the given pixel size, weight and colour. */
QLabel *makeLabel(const QString &text, qreal size, QFont::Weight weight, const QColor &color,
                  QWidget *parent = nullptr);

/** A label showing a tinted symbol at `size` pixels. */
QLabel *makeSymbol(const char *symbolName, int size, const QColor &color, QWidget *parent = nullptr);

/** Gives a push button the filled accent look of a window's main action. */
void makeProminent(QPushButton *button, bool large = false);

/** A borderless button that shows a symbol (and optionally text) in a colour. */
QPushButton *makePlainButton(const char *symbolName, int symbolSize, const QColor &color,
                             const QString &text = QString(), QWidget *parent = nullptr);

/** A one-pixel separator line, horizontal or vertical. */
class Divider : public QWidget {
public:
    explicit Divider(Qt::Orientation orientation, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *) override;

private:
    Qt::Orientation m_orientation;
};

/** A one-line label that shortens its text in the middle when it does not fit. */
class ElidedLabel : public QWidget {
public:
    explicit ElidedLabel(QWidget *parent = nullptr);
    void setText(const QString &text);
    QString text() const { return m_text; }
    void setColor(const QColor &color);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QString m_text;
    QColor m_color;
};

/** A small spinning activity indicator; it turns only while visible. */
class Spinner : public QWidget {
public:
    explicit Spinner(int size, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *) override;
    void showEvent(QShowEvent *) override;
    void hideEvent(QHideEvent *) override;

private:
    QTimer *m_timer;
    int m_step = 0;
};

} // namespace mendral
