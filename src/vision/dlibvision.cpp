#include "vision/dlibvision.h"

#include "vision/facevision.h"
#include "vision/neural.h"
#include "vision/scenecolor.h"

#include <algorithm>

namespace mendral {

FeaturePrint packFeaturePrint(const std::vector<float> &values)
{
    FeaturePrint print;
    print.elementType = 1;
    print.elementCount = int(values.size());
    print.data = QByteArray(reinterpret_cast<const char *>(values.data()),
                            qsizetype(values.size() * sizeof(float)));
    return print;
}

std::optional<FeaturePrint> DlibVision::sceneFeaturePrint(const QImage &image) const
{
    if (image.isNull())
        return std::nullopt;
    const auto values = neural::scenePrint(image);
    if (!values || values->empty())
        return std::nullopt;
    return packFeaturePrint(withColours(*values, chromaHistogram(image)));
}

std::optional<FeaturePrint> DlibVision::faceFeaturePrint(const QImage &faceCrop) const
{
    if (faceCrop.isNull())
        return std::nullopt;
    const auto values = neural::facePrint(faceCrop);
    if (!values || values->empty())
        return std::nullopt;
    return packFeaturePrint(*values);
}

std::optional<FacesAndHumans> DlibVision::detectFacesAndHumans(const QImage &image) const
{
    if (image.isNull())
        return std::nullopt;
    FacesAndHumans result;
    // Without the people model the count stays 0 and faces are searched everywhere at full
    // size; with it, small faces are searched only around the people.
    const std::optional<std::vector<QPointF>> people = neural::personCentres(image);
    result.humanCount = people ? int(people->size()) : 0;
    result.faces = detectFaceObservations(image, people);
    return result;
}

std::optional<std::vector<FaceLandmarks>> DlibVision::detectLandmarks(const QImage &image) const
{
    if (image.isNull())
        return std::nullopt;
    return detectFaceLandmarks(image);
}

const Vision &defaultVision()
{
    static const DlibVision vision;
    return vision;
}

} // namespace mendral
