#pragma once

// Internal to the vision module: the graphs the program runs, how their inputs are made, and
// where their files are.

#include "vision/tfjsgraph.h"

#include <QImage>
#include <QString>

#include <opencv2/core/mat.hpp>

#include <algorithm>

namespace mendral::tfjs {

/** File names inside the model directory. */
inline const QString centernetFile = QStringLiteral("centernet.json");
inline const QString faceNetManifestFile =
    QStringLiteral("face_recognition_model-weights_manifest.json");
inline const QString eyeNetFile = QStringLiteral("iris.json");
/** The eye network's input side. */
inline constexpr int eyeNetInputSize = 64;

/** A graph ready for OpenCV and the outputs to fetch from it. */
struct GraphSpec {
    GraphDef graph;
    std::vector<std::string> outputs;
};

/**
 * Centernet's backbone output (`extern1`) averaged over the whole image: the backbone the
 * scene print reads in the people pass, on its own.
 */
std::optional<GraphSpec> sceneGraph(const QString &directory, int inputSize,
                                    QString *error = nullptr);
/**
 * Centernet's class heatmaps (of the 80 COCO classes, the first `classes`; 0 = person) at a
 * quarter of the input size, for inputs of any height and width that are multiples of 32: the
 * network is convolutional and its upsamplings follow the input, so one network serves
 * landscape and portrait photos. The program reads only the person class. The backbone's
 * activations (stride 32), which the scene print averages, are the second output.
 */
std::optional<GraphSpec> peopleGraph(const QString &directory, QString *error = nullptr, int classes = 1);
/** face-api's recognition network: 128 values for a 150-pixel aligned face chip. */
std::optional<GraphSpec> faceGraph(const QString &directory, QString *error = nullptr);
/**
 * human-models' eye network (MediaPipe's iris landmarks) on a 64-pixel crop of a left eye:
 * 228 values, 71 points (x, y, z) of the lids and brow in input pixels, then 5 of the iris.
 */
std::optional<GraphSpec> eyeGraph(const QString &directory, QString *error = nullptr);

/** human-models' faceres: 1024 pooled features of a 224-pixel face, RGB 0…255 (compared only). */
std::optional<GraphSpec> faceresGraph(const QString &directory, QString *error = nullptr);

/**
 * NCHW float blob of `image` scaled (aspect not kept) to width × height RGB: centernet takes
 * values 0…255, the face network (value − mean) / 255. Empty for a null image.
 */
cv::Mat centernetBlob(const QImage &image, int width, int height);
inline cv::Mat centernetBlob(const QImage &image, int side) { return centernetBlob(image, side, side); }
cv::Mat faceNetBlob(const QImage &chip);
/** NCHW float blob of an eye crop scaled to the eye network's input, RGB −1…1. */
cv::Mat eyeNetBlob(const QImage &crop);

/** `image` centred on a black canvas of at least its size. */
QImage letterboxed(const QImage &image, QSize canvas);
/** `image` centred on a black square (side = its longer side). */
inline QImage letterboxed(const QImage &image)
{
    const int side = std::max(image.width(), image.height());
    return letterboxed(image, QSize(side, side));
}

/** An NCHW blob from interleaved RGB floats (rows of side × 3 values). */
cv::Mat blobFromRgb(const std::vector<float> &rgb, int side);

} // namespace mendral::tfjs
