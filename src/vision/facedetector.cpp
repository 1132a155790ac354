#include "vision/facedetector.h"

#include "vision/dlibimage.h"

#include <dlib/image_processing/frontal_face_detector.h>

#include <algorithm>
#include <cmath>

namespace mendral {

namespace {

dlib::frontal_face_detector &threadDetector()
{
    // Building the detector parses its embedded filters; do it once and give every thread its
    // own copy, because a search uses the detector's scratch buffers.
    static const dlib::frontal_face_detector prototype = dlib::get_frontal_face_detector();
    thread_local dlib::frontal_face_detector detector = prototype;
    return detector;
}

} // namespace

std::vector<DetectedFace> detectFaces(const QImage &image, const FaceSearch &search)
{
    std::vector<DetectedFace> faces;
    if (image.isNull() || image.width() < 1 || image.height() < 1)
        return faces;

    const int longSide = std::max(image.width(), image.height());
    double scale = 1.0;
    if (longSide > search.maxLongSide)
        scale = double(search.maxLongSide) / longSide;
    else if (longSide < search.minLongSide)
        scale = double(search.minLongSide) / longSide;
    QImage work = image.convertToFormat(QImage::Format_Grayscale8);
    if (scale != 1.0) {
        const int w = std::max(1, int(std::lround(image.width() * scale)));
        const int h = std::max(1, int(std::lround(image.height() * scale)));
        work = work.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    if (work.isNull())
        return faces;
    const double sx = double(work.width()) / image.width();
    const double sy = double(work.height()) / image.height();

    std::vector<dlib::rect_detection> found;
    try {
        threadDetector()(toDlibGrey(work), found, 0.0);
    } catch (...) {
        return faces;
    }
    for (const dlib::rect_detection &d : found) {
        if (d.detection_confidence <= search.minConfidence)
            continue;
        // dlib's rectangles are inclusive pixel ranges.
        const QRectF box(d.rect.left() / sx, d.rect.top() / sy, (d.rect.width()) / sx,
                         (d.rect.height()) / sy);
        if (!box.intersects(QRectF(image.rect())))
            continue;
        faces.push_back({box, d.detection_confidence});
    }
    // Largest first, by the part inside the image.
    const QRectF bounds(image.rect());
    auto area = [&bounds](const DetectedFace &f) {
        const QRectF r = f.box.intersected(bounds);
        return r.width() * r.height();
    };
    std::stable_sort(faces.begin(), faces.end(), [&area](const DetectedFace &a, const DetectedFace &b) {
        return area(a) > area(b);
    });
    return faces;
}

} // namespace mendral
