#pragma once

#include <QWidget>

#include <functional>

namespace mendral {

/** A child widget that only paints, with a function, over its siblings; it takes no clicks. */
class Overlay : public QWidget {
    Q_OBJECT

public:
    using Painter = std::function<void(QPainter &, const QRect &)>;
    explicit Overlay(Painter painter, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Painter m_painter;
};

} // namespace mendral
