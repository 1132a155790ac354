#pragma once

#include <QImage>
#include <QPointF>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace mendral::neural {

/**
 * The neural models behind the vision component, run with OpenCV's dnn module. Each function
 * is thread-safe and returns nullopt when its model is missing or the run fails.
 */

/** True when the model files were found (see modelDirectory()). */
bool modelsAvailable();

/**
 * One line for the user per model that did not load: the file that is missing, or the file
 * that is there but does not load and why. Empty when every model loaded.
 */
QStringList modelProblems();

/** Whole-scene descriptor of the image's centre square, unit length (as peopleAndScene()). */
std::optional<std::vector<float>> scenePrint(const QImage &image);

/** Identity descriptor of a face crop (the crop around a face box), unit length. */
std::optional<std::vector<float>> facePrint(const QImage &faceCrop);

/**
 * How open an eye is: the gap between its lids over its width, as the eye network draws them
 * on `leftEyeCrop` (a left eye, level and centred, the crop 2.3 times the eye's width; mirror a
 * right eye first). About 0.3 for open eyes and under 0.2 for shut ones.
 */
std::optional<double> lidGap(const QImage &leftEyeCrop);

/** Number of whole-body people in the image. */
std::optional<int> countPeople(const QImage &image);

/** Centres of the whole-body people in the image, normalised to its width and height (y down). */
std::optional<std::vector<QPointF>> personCentres(const QImage &image);

/** What one pass of the people network reads of a photo. */
struct PeopleAndScene {
    /** Centres of the whole-body people, normalised to the photo's width and height (y down). */
    std::vector<QPointF> people;
    /** Whole-scene descriptor of the photo's centre square, unit length; nothing when unread. */
    std::optional<std::vector<float>> scene;
    /** That square, as small as the network saw it (for its colours). */
    QImage sceneSquare;
};

/** People and the scene of `image`, from one pass of the people network. */
std::optional<PeopleAndScene> peopleAndScene(const QImage &image);

/** The folder the model files are read from: findDataDirectory() for "models" ($MENDRAL_MODELS). */
QString modelDirectory();

/**
 * The face of a face crop (the square of 1.18 × the face box around its centre) cut out as the
 * recognition network wants it: rotated upright and scaled by its 68 landmarks to a
 * 150-pixel chip whose border is a quarter of the face. Nothing when no landmarks are found.
 */
std::optional<QImage> alignedFaceChip(const QImage &faceCrop);

/**
 * Maps a unit vector v to the unit vector [k·v, √(1 − k²)]: every distance between two mapped
 * prints is k times the distance between the originals.
 */
std::vector<float> scaleDistances(const std::vector<float> &unit, float k);

/** Unit-length copy of `v`; nothing when its length is zero or not finite. */
std::optional<std::vector<float>> normalised(std::vector<float> v);

} // namespace mendral::neural
