#include "ui/review/overlay.h"

#include <QPainter>

namespace mendral {

Overlay::Overlay(Painter painter, QWidget *parent) : QWidget(parent), m_painter(std::move(painter))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
}

void Overlay::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    m_painter(p, rect());
}

} // namespace mendral
