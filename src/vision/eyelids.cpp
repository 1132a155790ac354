#include "vision/eyelids.h"

#include "vision/neural.h"
#include "vision/tfjsmodels.h"

#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace mendral {

namespace {

// The network was made for crops about twice and a bit the eye's width, the eye in the middle.
constexpr double kCropPerEyeWidth = 2.3;

} // namespace

std::optional<double> lidGapOf(const QImage &image, const EyePoints &eye, bool subjectsLeftEye)
{
    const QPointF d = eye[3] - eye[0];
    const double width = std::hypot(d.x(), d.y());
    if (image.isNull() || !(width >= 2.0))
        return std::nullopt;
    QPointF centre;
    for (const QPointF &p : eye)
        centre += p / double(eye.size());
    // The corners may come in either order: the angle of the line through them, kept within ±90°.
    double angle = std::atan2(d.y(), d.x()) * 180.0 / M_PI;
    if (angle > 90)
        angle -= 180;
    else if (angle < -90)
        angle += 180;
    const int side = tfjs::eyeNetInputSize;
    QImage crop(side, side, QImage::Format_RGB32);
    crop.fill(Qt::black);
    QPainter painter(&crop);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QTransform t;
    t.translate(side / 2.0, side / 2.0);
    t.scale(side / (kCropPerEyeWidth * width), side / (kCropPerEyeWidth * width));
    if (subjectsLeftEye) // the network reads the subject's right eye (on the image's left)
        t.scale(-1, 1);
    t.rotate(-angle);
    t.translate(-centre.x(), -centre.y());
    painter.setTransform(t);
    painter.drawImage(0, 0, image);
    painter.end();
    return neural::lidGap(crop);
}

std::optional<double> widerLidGap(const QImage &image, const EyePoints &subjectsRight,
                                  const EyePoints &subjectsLeft, double enough)
{
    const std::optional<double> right = lidGapOf(image, subjectsRight, false);
    if (!right || *right >= enough)
        return right;
    const std::optional<double> left = lidGapOf(image, subjectsLeft, true);
    return left ? std::optional<double>(std::max(*right, *left)) : std::nullopt;
}

} // namespace mendral
