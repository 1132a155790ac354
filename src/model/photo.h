#pragma once

#include "photoanalysis.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace mendral {

/**
 * One shot on the card: a primary file and the files that belong to the same shot (a RAW file
 * and its JPEG or HEIC twin), with its capture data and, once analysed, its analysis values.
 * File locations are absolute paths; names that are not valid UTF-8 are kept through
 * pathFromBytes/pathToBytes (platform/filepath.h) so they still open.
 */
struct Photo {
    QString id;             // path of url; unique among loaded photos, analysis cache key
    QString url;            // the primary file
    QStringList companions; // the other files of the shot
    double captureDate = 0; // seconds since 1970-01-01 UTC
    int64_t fileSize = 0;
    int pixelWidth = 0;
    int pixelHeight = 0;
    bool isRAW = false;

    float sharpness = 0.0f;
    float exposure = 1.0f;
    float brightness = -1.0f; // -1: not measured
    float highlights = 0.0f;
    float shadows = 0.0f;
    int faceCount = 0;
    float faceQuality = 0.0f;
    float eyeOpen = -1.0f;
    std::optional<std::vector<float>> featurePrint;
    std::vector<std::vector<float>> facePrints;
    float mainFaceSide = 0.0f;
    int humanCount = 0;
    std::optional<std::vector<float>> hairPrint;
    std::optional<std::vector<float>> torsoPrint;
    bool analyzed = false;

    Photo() = default;
    Photo(QString url, QStringList companions, double captureDate, int64_t fileSize,
          int pixelWidth, int pixelHeight, bool isRAW);

    /** Last path component of the primary file. */
    QString name() const;
    /** The primary file, then the companions in order. */
    QStringList allFiles() const;
    /** Eye openness from which eyes read open; measured eyes below it are likely closed. */
    static constexpr float openEyesFrom = 0.35f;
    /** Eyes measured and likely closed. */
    bool suspectEyes() const { return eyeOpen >= 0.0f && eyeOpen < openEyesFrom; }

    void apply(const PhotoAnalysis &analysis);
    PhotoAnalysis analysis() const;
};

} // namespace mendral
