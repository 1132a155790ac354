#include "analyzer_fake.h"

#include <cstring>

namespace mendral::test {

FeaturePrint floats(std::vector<float> v)
{
    FeaturePrint p;
    p.elementType = 1;
    p.elementCount = int(v.size());
    p.data = QByteArray(reinterpret_cast<const char *>(v.data()), qsizetype(v.size() * 4));
    return p;
}

std::vector<QPointF> eyeOutline(double ratio)
{
    const double h = 10 * ratio;
    return {QPointF(0, 0), QPointF(3, h / 2), QPointF(7, h / 2), QPointF(10, 0),
            QPointF(7, -h / 2), QPointF(3, -h / 2)};
}

FaceObservation faceAt(double cx, double cy, double w, double h, std::optional<float> quality)
{
    FaceObservation f;
    f.boundingBox = {cx - w / 2, cy - h / 2, w, h};
    f.faceCaptureQuality = quality;
    return f;
}

std::optional<FeaturePrint> FakeVision::sceneFeaturePrint(const QImage &image) const
{
    std::lock_guard lock(mutex);
    sceneSizes.push_back(image.size());
    if (!scenePrints)
        return std::nullopt;
    return floats({3, 4});
}

std::optional<FeaturePrint> FakeVision::faceFeaturePrint(const QImage &faceCrop) const
{
    std::lock_guard lock(mutex);
    facePrintSizes.push_back(faceCrop.size());
    if (!facePrints)
        return std::nullopt;
    // The crop's size in the print lets a test tell the faces apart.
    return floats({float(faceCrop.width()), float(faceCrop.height())});
}

std::optional<FacesAndHumans> FakeVision::detectFacesAndHumans(const QImage &image) const
{
    std::lock_guard lock(mutex);
    detectSizes.push_back(image.size());
    return found;
}

std::optional<std::vector<FaceLandmarks>> FakeVision::detectLandmarks(const QImage &image) const
{
    std::lock_guard lock(mutex);
    landmarkSizes.push_back(image.size());
    if (landmarksFail)
        return std::nullopt;
    // Shut eyes where the crop's centre is red, open ones elsewhere.
    const QColor centre = image.pixelColor(image.width() / 2, image.height() / 2);
    const bool shut = centre.red() > 200 && centre.green() < 60 && centre.blue() < 60;
    FaceLandmarks marks;
    marks.leftEye = eyeOutline(0.3);
    marks.rightEye = eyeOutline(shut ? 0.02 : 0.3);
    return std::vector<FaceLandmarks>{marks};
}

} // namespace mendral::test
