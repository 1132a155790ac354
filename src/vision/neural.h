#pragma once

#include <QImage>

#include <optional>
#include <vector>

namespace mendral::neural {

/**
 * The neural models behind the vision component, run with OpenCV's dnn module. Each function
 * is thread-safe and returns nullopt when its model is missing or the run fails.
 */

/** True when the model files were found (see modelDirectory()). */
bool modelsAvailable();

/** Whole-scene descriptor, unit length. */
std::optional<std::vector<float>> scenePrint(const QImage &image);

/** Identity descriptor of a face crop (the crop around a face box), unit length. */
std::optional<std::vector<float>> facePrint(const QImage &faceCrop);

/** Number of whole-body people in the image. */
std::optional<int> countPeople(const QImage &image);

} // namespace mendral::neural
