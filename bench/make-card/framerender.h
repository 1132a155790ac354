#pragma once

#include "cardplan.h"

#include <QImage>
#include <QRectF>
#include <QSize>

#include <array>

#include <vector>

namespace mendral::card {

/** Frame size for a source: 4:3 with the given long side, upright when the source is. */
QSize frameSize(QSize sourceSize, int longSide);

/** A scene's source, decoded upright and scaled once for all its frames. */
struct Base {
    QImage image;
    QSize frame;              // size of every frame of the scene
    double room = 1;          // the image is this much larger than the frames' field of view needs
    std::vector<QRectF> faces; // in image pixels (y down), the main face first
    // The main face's eye outlines in image pixels, six points each in the landmark model's
    // order (outer corner, upper lid, inner corner, lower lid); empty when no fit was found.
    std::vector<std::array<QPointF, 6>> mainEyes;
};

/**
 * The scene's base picture: the source scaled so that it covers the frame with room for every
 * crop of the scene, times `room`. Null image when the source cannot be read.
 */
Base loadBase(const QString &path, int longSide, double room = 1);

/** What was done to a frame, as rendered. */
struct Applied {
    BlurKind blur = BlurKind::None;
    double sigma = 0;        // Gauss: over the frame; Face: inside the faces
    double motionLength = 0;
    double faceEdge = -1;    // the main face's distance from the nearer side, share of the width; -1 = no face
    bool eyesShut = false;   // the main face's eyes were painted shut
};

/** Cuts, enlarges, exposes and blurs one frame from the base. */
QImage renderFrame(const Base &base, const Frame &frame, Applied *applied = nullptr);

/**
 * Paints an eye shut: the opening (`eye`, in the landmark model's order) and a rim around it
 * covered by the skin above and below it, and a lash line where the lids meet. False when the
 * eye lies outside the image.
 */
bool shutEye(QImage &image, const std::array<QPointF, 6> &eye);

/**
 * Brightness change by a linear factor, applied in linear light to 8-bit sRGB-like values and
 * clipped at white. Linear values below `black` (the sensor's black level) become black.
 */
void applyGain(QImage &image, double gain, double black = 0);

} // namespace mendral::card
