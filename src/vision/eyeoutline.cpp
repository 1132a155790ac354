#include "vision/eyeoutline.h"

#include <algorithm>
#include <cmath>

namespace mendral {

namespace {

// dlib's ratios, landmarks on the face scaled to 240 px: on 21 labelled faces, shut and nearly
// shut eyes 0.12-0.18, downcast and squinting ones about 0.22, open ones 0.25-0.44. Rechecked on
// the 20 faces of the test photos (the less open eye of each): open 0.23-0.40, the two looking
// down 0.14 and 0.15. Mapped so that 0.13 is shut and 0.33 fully open: the openness flag (0.35)
// then falls at ratio 0.20, and the least open of the open faces scores about 0.5-0.6.
constexpr double kShutRatio = 0.13, kOpenRatio = 0.33;
constexpr double kScaleShut = 0.08, kScaleOpen = 0.24; // what the openness score expects

struct Frame {
    QPointF mid;
    QPointF along; // unit vector from the first corner to the second
    QPointF up;    // unit normal pointing up in the image (y down)
    bool valid = false;
};

Frame eyeFrame(const EyePoints &eye)
{
    Frame f;
    const QPointF d = eye[3] - eye[0];
    const double len = std::hypot(d.x(), d.y());
    f.mid = (eye[0] + eye[3]) / 2.0;
    if (len < 1e-9)
        return f;
    f.along = d / len;
    // Corners may come in either order; keep "along" pointing right so "up" points up.
    if (f.along.x() < 0)
        f.along = -f.along;
    f.up = QPointF(f.along.y(), -f.along.x());
    f.valid = true;
    return f;
}

double dot(const QPointF &a, const QPointF &b) { return a.x() * b.x() + a.y() * b.y(); }

} // namespace

double eyeAspectRatio(const EyePoints &eye)
{
    const Frame f = eyeFrame(eye);
    if (!f.valid)
        return 0;
    double minA = 0, maxA = 0, minB = 0, maxB = 0;
    for (const QPointF &p : eye) {
        const double a = dot(p - f.mid, f.along), b = dot(p - f.mid, f.up);
        minA = std::min(minA, a), maxA = std::max(maxA, a);
        minB = std::min(minB, b), maxB = std::max(maxB, b);
    }
    const double width = maxA - minA;
    return width > 1e-9 ? (maxB - minB) / width : 0;
}

double calibratedEyeRatio(double dlibRatio)
{
    const double t = (dlibRatio - kShutRatio) / (kOpenRatio - kShutRatio);
    return std::max(0.0, kScaleShut + t * (kScaleOpen - kScaleShut));
}

std::vector<QPointF> calibratedEyeOutline(const EyePoints &eye, const QRectF &faceBox)
{
    std::vector<QPointF> out;
    if (faceBox.width() <= 0 || faceBox.height() <= 0)
        return out;
    const Frame f = eyeFrame(eye);
    const double ratio = eyeAspectRatio(eye);
    // Vertical factor in box units: target ratio over measured ratio, corrected for the box's
    // aspect so the normalised outline carries the target ratio.
    const double vertical = ratio > 1e-9
        ? calibratedEyeRatio(ratio) / ratio * faceBox.height() / faceBox.width()
        : 0.0;
    const double midX = (f.mid.x() - faceBox.left()) / faceBox.width();
    const double midY = (faceBox.bottom() - f.mid.y()) / faceBox.height();
    out.reserve(eye.size());
    for (const QPointF &p : eye) {
        const double a = f.valid ? dot(p - f.mid, f.along) : 0.0;
        const double b = f.valid ? dot(p - f.mid, f.up) : 0.0;
        out.emplace_back(midX + a / faceBox.width(), midY + b * vertical / faceBox.height());
    }
    return out;
}

} // namespace mendral
