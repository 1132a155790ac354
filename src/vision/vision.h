#pragma once

#include <QByteArray>
#include <QImage>
#include <QPointF>
#include <QRect>

#include <optional>
#include <vector>

namespace mendral {

/** A rectangle normalised to 0…1 of an image, origin at the bottom left. */
struct NormRect {
    double x = 0, y = 0, w = 0, h = 0;
    double minX() const { return x; }
    double maxX() const { return x + w; }
    double minY() const { return y; }
    double maxY() const { return y + h; }
};

/**
 * Pixel rectangle of a normalised one in an image of width × height pixels: left = x·W,
 * top = (1 − y − h)·H, size w·W × h·H, extended outwards to whole pixels (origin floored, far
 * edges ceiled). Not clamped to the image.
 */
QRect toPixelRect(const NormRect &r, int width, int height);

/** A feature vector as the vision component reports it: packed raw elements. */
struct FeaturePrint {
    int elementType = 1; // 1: 32-bit floats, 2: 64-bit floats
    int elementCount = 0;
    QByteArray data;
};

struct FaceObservation {
    NormRect boundingBox;
    std::optional<float> faceCaptureQuality; // 0…1, higher is a better-captured face
};

struct FaceLandmarks {
    NormRect boundingBox;
    // Eye outlines, points normalised to the face box (origin at its bottom left).
    std::optional<std::vector<QPointF>> leftEye;
    std::optional<std::vector<QPointF>> rightEye;
    // False when the eye outlines cannot be trusted: fits on slightly moved boxes disagree, or
    // the head is turned too far for both eyes to show their height.
    bool eyesSteady = true;
    // The gap between the lids over the eye's width of the more open eye, as the eye network
    // reads the pixels (about 0.3 open, under 0.2 shut); nothing without the network. A blink
    // shuts both eyes, so once one eye reads at least shutLidGap the other is not read.
    std::optional<float> lidGap;
};

// Lid gaps (FaceLandmarks::lidGap) below this are shut eyes. On the benchmark card's people
// bursts, blinks read 0.17-0.20 and the sharp open faces 0.24 and more (a woman looking down
// 0.24-0.27); the closed-eyed woman of the group photos 0.19.
inline constexpr float shutLidGap = 0.22f;

struct FacesAndHumans {
    std::vector<FaceObservation> faces;
    int humanCount = 0; // whole-body people found
    // The print sceneFeaturePrint() gives for the same image, when the pass that found the
    // people read it too; otherwise ask for it.
    std::optional<FeaturePrint> scenePrint = std::nullopt;
};

/**
 * The vision operations analysis relies on. Every operation is const, re-entrant and may run
 * on several threads at once; nullopt means the call failed (no results at all).
 */
class Vision {
public:
    virtual ~Vision() = default;
    /** Whole-scene descriptor of an image. */
    virtual std::optional<FeaturePrint> sceneFeaturePrint(const QImage &image) const = 0;
    /** Identity descriptor of a face crop. */
    virtual std::optional<FeaturePrint> faceFeaturePrint(const QImage &faceCrop) const = 0;
    /** Faces with their capture quality, and whole-body people, in one pass. */
    virtual std::optional<FacesAndHumans> detectFacesAndHumans(const QImage &image) const = 0;
    /** Faces with eye outlines; an empty list when no face is found. */
    virtual std::optional<std::vector<FaceLandmarks>> detectLandmarks(const QImage &image) const = 0;
};

/** The program's vision component (dlib and the neural models); shared, thread-safe. */
const Vision &defaultVision();

} // namespace mendral
