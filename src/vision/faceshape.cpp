#include "vision/faceshape.h"

#include "vision/dlibimage.h"

#include <dlib/image_processing/shape_predictor.h>
#include <dlib/serialize.h>

#include <QFile>

#include <cmath>
#include <memory>

namespace mendral {

namespace {

// The box is scaled to this width before the model runs.
constexpr double kTargetFaceSide = 240.0;
// Margin around the box, as a fraction of its side, so that the model sees the whole head
// outline it was trained on.
constexpr double kMargin = 0.25;

const dlib::shape_predictor *loadPredictor()
{
    // Loaded on first use; the predictor's const call is safe from several threads at once.
    static const std::unique_ptr<dlib::shape_predictor> predictor =
        []() -> std::unique_ptr<dlib::shape_predictor> {
        const QString path = faceShapeModelPath();
        if (!QFile::exists(path))
            return nullptr;
        try {
            auto p = std::make_unique<dlib::shape_predictor>();
            dlib::deserialize(QFile::encodeName(path).toStdString()) >> *p;
            if (p->num_parts() != 68)
                return nullptr;
            return p;
        } catch (...) {
            return nullptr;
        }
    }();
    return predictor.get();
}

} // namespace

QString faceShapeModelPath()
{
    return QStringLiteral("/usr/share/dlib/shape_predictor_68_face_landmarks.dat");
}

bool faceShapeModelAvailable()
{
    return loadPredictor() != nullptr;
}

QRect faceShapeArea(const QRectF &facePixels)
{
    return facePixels
        .adjusted(-kMargin * facePixels.width(), -kMargin * facePixels.height(), kMargin * facePixels.width(),
                  kMargin * facePixels.height())
        .toAlignedRect();
}

std::optional<FaceShape> faceShape68(const QImage &image, const QRectF &facePixels)
{
    const dlib::shape_predictor *predictor = loadPredictor();
    if (!predictor || image.isNull() || !facePixels.isValid() || facePixels.width() < 1
        || facePixels.height() < 1)
        return std::nullopt;

    const double side = std::max(facePixels.width(), facePixels.height());
    const double scale = kTargetFaceSide / side;
    const QRect cropPixels = faceShapeArea(facePixels).intersected(image.rect());
    if (cropPixels.width() < 2 || cropPixels.height() < 2)
        return std::nullopt;

    const int outW = std::max(1, int(std::lround(cropPixels.width() * scale)));
    const int outH = std::max(1, int(std::lround(cropPixels.height() * scale)));
    const QImage crop = image.copy(cropPixels)
                            .convertToFormat(QImage::Format_Grayscale8)
                            .scaled(outW, outH, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (crop.isNull())
        return std::nullopt;
    // The exact scale after rounding to whole pixels, per axis.
    const double sx = double(crop.width()) / cropPixels.width();
    const double sy = double(crop.height()) / cropPixels.height();

    const dlib::rectangle box(
        std::lround((facePixels.left() - cropPixels.left()) * sx),
        std::lround((facePixels.top() - cropPixels.top()) * sy),
        std::lround((facePixels.right() - cropPixels.left()) * sx) - 1,
        std::lround((facePixels.bottom() - cropPixels.top()) * sy) - 1);

    try {
        const dlib::full_object_detection shape = (*predictor)(toDlibGrey(crop), box);
        if (shape.num_parts() != 68)
            return std::nullopt;
        FaceShape points;
        for (unsigned long i = 0; i < 68; ++i) {
            const dlib::point p = shape.part(i);
            // Pixel centres: dlib's integer point i covers [i, i+1) in the crop.
            points[i] = QPointF(cropPixels.left() + (p.x() + 0.5) / sx,
                                cropPixels.top() + (p.y() + 0.5) / sy);
        }
        return points;
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace mendral
