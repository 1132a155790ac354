#include "framerender.h"

#include "frameblur.h"

#include <QImageReader>

#include <algorithm>
#include <cmath>

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
