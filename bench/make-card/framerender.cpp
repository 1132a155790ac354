#include "framerender.h"

#include "frameblur.h"

#include <QImageReader>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace mendral::card {

namespace {

// Room left around the frame for crops and shifts (see the limits in the plan).
constexpr double kMargin = 1.16;

// Under-exposed frames lose their darkest tones as a sensor does: about 12/255 at normal
// exposure (linear 0.0015) is its black level.
constexpr double kBlackLevel = 0.0015;

// The blurred region around a face: its box enlarged this much about the centre, so hair and
// ears go soft with it.
constexpr double kFaceGrow = 1.3;

// A colour of `image` at a point between pixel centres.
QRgb sampleAt(const QImage &image, QPointF p)
{
    const double x = std::clamp(p.x() - 0.5, 0.0, image.width() - 1.0);
    const double y = std::clamp(p.y() - 0.5, 0.0, image.height() - 1.0);
    const int x0 = int(x), y0 = int(y);
    const int x1 = std::min(x0 + 1, image.width() - 1), y1 = std::min(y0 + 1, image.height() - 1);
    const double fx = x - x0, fy = y - y0;
    const QRgb c00 = image.pixel(x0, y0), c10 = image.pixel(x1, y0), c01 = image.pixel(x0, y1),
               c11 = image.pixel(x1, y1);
    const auto mix = [&](int (*channel)(QRgb)) {
        return int(std::lround((channel(c00) * (1 - fx) + channel(c10) * fx) * (1 - fy)
                               + (channel(c01) * (1 - fx) + channel(c11) * fx) * fy));
    };
    return qRgb(mix(qRed), mix(qGreen), mix(qBlue));
}

} // namespace

QSize frameSize(QSize sourceSize, int longSide)
{
    const int shortSide = longSide * 3 / 4;
    return sourceSize.height() > sourceSize.width() ? QSize(shortSide, longSide)
                                                    : QSize(longSide, shortSide);
}

Base loadBase(const QString &path, int longSide, double room)
{
    Base base;
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage source = reader.read();
    if (source.isNull())
        return base;
    base.frame = frameSize(source.size(), longSide);
    base.room = room;
    const QSize cover = (QSizeF(base.frame) * (kMargin * room)).toSize();
    base.image = source.scaled(cover, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation)
                     .convertToFormat(QImage::Format_RGB32);
    return base;
}

QImage renderFrame(const Base &base, const Frame &frame, Applied *applied)
{
    const QSize size = base.frame;
    const int bw = base.image.width(), bh = base.image.height();
    // The crop in base pixels: the frame's field of view, narrowed by the zoom.
    const int cw = std::min(bw, int(size.width() * base.room / frame.zoom));
    const int ch = std::min(bh, int(size.height() * base.room / frame.zoom));
    const double unit = base.room; // base pixels per frame pixel at zoom 1
    double cx = bw / 2.0 + frame.shiftX * size.width() * unit;
    const double cy = bh / 2.0 + frame.shiftY * size.height() * unit;
    if (frame.faceEdge > 0 && !base.faces.empty()) {
        // Put the main face near the side it is already on; the base may lack room for it.
        const QRectF &face = base.faces.front();
        cx += face.center().x() < bw / 2.0 ? face.left() - frame.faceEdge * cw + cw / 2.0 - bw / 2.0
                                           : face.right() + frame.faceEdge * cw - cw / 2.0 - bw / 2.0;
    }
    const int left = std::clamp(int(std::lround(cx - cw / 2.0)), 0, bw - cw);
    const int top = std::clamp(int(std::lround(cy - ch / 2.0)), 0, bh - ch);
    QImage image = base.image.copy(left, top, cw, ch);
    bool eyesShut = false;
    if (frame.eyesShut)
        for (std::array<QPointF, 6> eye : base.mainEyes) {
            for (QPointF &p : eye)
                p -= QPointF(left, top);
            eyesShut = shutEye(image, eye) || eyesShut;
        }
    if (image.size() != size)
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image = image.convertToFormat(QImage::Format_RGB32);
    applyGain(image, frame.gain, frame.badlyExposed && frame.gain < 1 ? kBlackLevel : 0.0);

    // The faces in frame pixels.
    const double sx = double(size.width()) / cw, sy = double(size.height()) / ch;
    std::vector<QRectF> faces;
    for (const QRectF &f : base.faces)
        faces.emplace_back((f.left() - left) * sx, (f.top() - top) * sy, f.width() * sx, f.height() * sy);

    Applied done;
    done.eyesShut = eyesShut;
    if (!faces.empty()) {
        const QRectF &main = faces.front();
        done.faceEdge = std::min(main.left(), size.width() - main.right()) / size.width();
    }
    switch (frame.blur) {
    case BlurKind::None:
        break;
    case BlurKind::Motion:
        done.motionLength = motionBlur(image, frame.motionLength, frame.motionAngle);
        done.blur = BlurKind::Motion;
        break;
    case BlurKind::Face: {
        std::vector<QRectF> regions;
        for (const QRectF &f : faces) {
            const QPointF c = f.center();
            const QSizeF s = f.size() * kFaceGrow;
            regions.emplace_back(c.x() - s.width() / 2, c.y() - s.height() / 2, s.width(), s.height());
        }
        if (blurEllipses(image, regions, frame.faceSigma)) {
            done.blur = BlurKind::Face;
            done.sigma = frame.faceSigma;
            break;
        }
        // No face in the frame: the focus missed everything instead.
        [[fallthrough]];
    }
    case BlurKind::Gauss:
        done.sigma = blur(image, frame.blurSigma);
        done.blur = done.sigma > 0 ? BlurKind::Gauss : BlurKind::None;
        break;
    }
    if (applied)
        *applied = done;
    return image;
}

bool shutEye(QImage &image, const std::array<QPointF, 6> &eye)
{
    // Coordinates along the line between the corners (u, from the first corner) and across it
    // (v, downwards in the image).
    const QPointF a = eye[0], b = eye[3];
    const double width = std::hypot(b.x() - a.x(), b.y() - a.y());
    if (width < 4)
        return false;
    QPointF along = (b - a) / width, across(-along.y(), along.x());
    if (across.y() < 0)
        across = -across;
    const auto vOf = [&](QPointF p) { return QPointF::dotProduct(p - a, across); };
    const double upper = std::min(vOf(eye[1]), vOf(eye[2])), lower = std::max(vOf(eye[4]), vOf(eye[5]));
    const double opening = std::max(lower - upper, 0.15 * width);
    // The lids' skin covers an ellipse well beyond the opening, so that no trace of its outline
    // is left where the cover is feathered into the face.
    const double cu = width / 2, cv = (upper + lower) / 2;
    const double ru = 0.8 * width, rv = (lower - upper) / 2 + 0.7 * opening;
    const auto toImage = [&](double u, double v) { return a + along * u + across * v; };

    QRectF bounds;
    for (const double u : {cu - ru, cu + ru})
        for (const double v : {cv - rv, cv + rv})
            bounds |= QRectF(toImage(u, v), QSizeF(1, 1));
    const QRect pixels = bounds.toAlignedRect().intersected(image.rect());
    if (pixels.isEmpty())
        return false;
    // The pixels read: the ellipse, and the skin above it that is drawn down.
    const int reach = int(std::ceil(rv)) + 2;
    const QRect read = pixels.adjusted(-reach, -reach, reach, reach).intersected(image.rect());
    const QImage original = image.copy(read);
    const QPointF origin = read.topLeft();
    for (int y = pixels.top(); y <= pixels.bottom(); ++y)
        for (int x = pixels.left(); x <= pixels.right(); ++x) {
            const QPointF p(x + 0.5, y + 0.5);
            const double u = QPointF::dotProduct(p - a, along), v = vOf(p);
            const double du = (u - cu) / ru, dv = (v - cv) / rv;
            const double r = std::sqrt(du * du + dv * dv);
            if (r >= 1)
                continue;
            // The lids meet on a line sagging a little below the corners' line. Above it, the
            // upper lid: the skin above the ellipse drawn down over it, the rows nearer the rim
            // first (so the skin keeps some of its texture); below it, the lower lid drawn up
            // from the skin below, so the cover matches the face on both sides.
            const double half = rv * std::sqrt(std::max(0.0, 1 - du * du));
            const double meet = u > 0 && u < width ? 0.45 * lower * std::sin(std::numbers::pi * u / width) : 0.0;
            const QPointF from = v < meet ? toImage(u, cv - half - 1 - 0.25 * (v - (cv - half)))
                                          : toImage(u, cv + half + 1 + 0.25 * ((cv + half) - v));
            const QRgb lid = sampleAt(original, from - origin);
            double rgb[3] = {double(qRed(lid)), double(qGreen(lid)), double(qBlue(lid))};
            // Lashes where the lids meet.
            if (u > 0 && u < width) {
                const double d = (v - meet) / (0.06 * opening + 0.6);
                const double dark = 0.55 * std::sin(std::numbers::pi * u / width) * std::exp(-d * d);
                for (double &c : rgb)
                    c *= 1 - dark;
            }
            // Feathered into the face over the ellipse's outer 30 %.
            const double w = std::clamp((1 - r) / 0.3, 0.0, 1.0);
            const QRgb was = original.pixel(x - read.left(), y - read.top());
            image.setPixel(x, y, qRgb(int(std::lround(rgb[0] * w + qRed(was) * (1 - w))),
                                      int(std::lround(rgb[1] * w + qGreen(was) * (1 - w))),
                                      int(std::lround(rgb[2] * w + qBlue(was) * (1 - w)))));
        }
    return true;
}

void applyGain(QImage &image, double gain, double black)
{
    if (std::abs(gain - 1.0) < 1e-9 && black <= 0)
        return;
    uchar table[256];
    for (int v = 0; v < 256; ++v) {
        const double linear = std::max(0.0, (std::pow(v / 255.0, 2.2) * gain - black) / (1.0 - black));
        table[v] = uchar(std::lround(255.0 * std::pow(std::min(linear, 1.0), 1.0 / 2.2)));
    }
    image = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        uchar *row = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x)
            for (int c = 0; c < 3; ++c) // the fourth byte stays opaque
                row[x * 4 + c] = table[row[x * 4 + c]];
    }
}

} // namespace mendral::card
