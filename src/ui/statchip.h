#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace mendral {

/** One figure of the header: a tinted value and a label on a faint rounded background. */
class StatChip : public QWidget {
    Q_OBJECT

public:
    StatChip(const QString &label, QWidget *parent = nullptr);

    void setValue(int value, const QColor &tint);
    QString value() const { return m_value; }
    QString label() const { return m_label; }
    QColor tint() const { return m_tint; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QString m_value;
    QString m_label;
    QColor m_tint;
};

} // namespace mendral
