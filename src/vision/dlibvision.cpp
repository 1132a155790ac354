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

namespace {

// The network's print of the photo's centre square with that square's colours.
std::optional<FeaturePrint> scenePrintOf(const neural::PeopleAndScene &found)
{
    if (!found.scene || found.scene->empty())
        return std::nullopt;
    return packFeaturePrint(withColours(*found.scene, chromaHistogram(found.sceneSquare)));
}

} // namespace

std::optional<FeaturePrint> DlibVision::sceneFeaturePrint(const QImage &image) const
{
    const std::optional<neural::PeopleAndScene> found = neural::peopleAndScene(image);
    return found ? scenePrintOf(*found) : std::nullopt;
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
    std::optional<neural::PeopleAndScene> found = neural::peopleAndScene(image);
    const std::optional<std::vector<QPointF>> people =
        found ? std::optional<std::vector<QPointF>>(std::move(found->people)) : std::nullopt;
    result.humanCount = people ? int(people->size()) : 0;
    if (found)
        result.scenePrint = scenePrintOf(*found);
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
