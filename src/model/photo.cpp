#include "photo.h"

#include "platform/filepath.h"

namespace mendral {

Photo::Photo(QString url_, QStringList companions_, double captureDate_, int64_t fileSize_,
             int pixelWidth_, int pixelHeight_, bool isRAW_)
    : id(url_), url(std::move(url_)), companions(std::move(companions_)),
      captureDate(captureDate_), fileSize(fileSize_), pixelWidth(pixelWidth_),
      pixelHeight(pixelHeight_), isRAW(isRAW_)
{
}

QString Photo::name() const
{
    return fileName(url);
}

QStringList Photo::allFiles() const
{
    QStringList files;
    files.reserve(companions.size() + 1);
    files.append(url);
    files.append(companions);
    return files;
}

void Photo::apply(const PhotoAnalysis &a)
{
    sharpness = a.sharpness;
    exposure = a.exposure;
    brightness = a.brightness;
    highlights = a.highlights;
    shadows = a.shadows;
    faceCount = a.faceCount;
    faceQuality = a.faceQuality;
    eyeOpen = a.eyeOpen;
    featurePrint = a.featurePrint;
    facePrints = a.facePrints;
    mainFaceSide = a.mainFaceSide;
    humanCount = a.humanCount;
    hairPrint = a.hairPrint;
    torsoPrint = a.torsoPrint;
    analyzed = true;
}

PhotoAnalysis Photo::analysis() const
{
    PhotoAnalysis a;
    a.sharpness = sharpness;
    a.exposure = exposure;
    a.brightness = brightness;
    a.highlights = highlights;
    a.shadows = shadows;
    a.faceCount = faceCount;
    a.faceQuality = faceQuality;
    a.eyeOpen = eyeOpen;
    a.featurePrint = featurePrint;
    a.facePrints = facePrints;
    a.mainFaceSide = mainFaceSide;
    a.humanCount = humanCount;
    a.hairPrint = hairPrint;
    a.torsoPrint = torsoPrint;
    return a;
}

} // namespace mendral
