#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace mendral::card {

/** A photograph the card is made from; people sources get portrait-style scenes. */
struct Source {
    QString path;
    bool people = false;
};

/** How a frame is out of focus: not, all over, shaken, or only on the faces. */
enum class BlurKind { None, Gauss, Motion, Face };
QString blurKindName(BlurKind kind);

// People scenes get a base this much larger than other scenes', so that a run can be cut
// around a face near the frame edge without enlarging the crop beyond the other runs'.
constexpr double kPeopleRoom = 1.3;

/** How one frame is cut, exposed and blurred from its scene's source. */
struct Frame {
    int scene = 0;
    int number = 0;          // IMG_nnnn, in capture order
    double time = 0;         // seconds since 1970, whole milliseconds
    double shiftX = 0;       // crop centre offset, fraction of the frame width (faceEdge: from the face framing)
    double shiftY = 0;       // and of the frame height
    double zoom = 1;         // >= 1: the crop is this much smaller than the frame's field of view
    double gain = 1;         // linear exposure factor
    BlurKind blur = BlurKind::None;
    double blurSigma = 0;    // Gaussian sigma, pixels at the final size (Face: used when no face is found)
    double faceSigma = 0;    // Face: sigma inside the face regions
    double motionLength = 0; // Motion: length of the shake, pixels at the final size
    double motionAngle = 0;  // Motion: radians from the x axis
    double faceEdge = 0;     // > 0: the run is cut so the main face is this share of the width from a side
    bool badlyExposed = false;
    bool eyesShut = false;   // the main face blinks: otherwise sharp and well exposed, never the keeper
    bool keeper = false;     // the one sharp, well-exposed frame of its scene
    QString primaryExt;      // "JPG", "PNG", "TIF", "WEBP", "HEIC" or "DNG"
    bool rawTwin = false;    // a DNG with the same base name rides along
    QString copyFolder;      // non-empty: a byte-identical copy also lies in this folder
};

/** One subject: a burst, a burst with a retake, or a single frame. */
struct Scene {
    int id = 0;
    Source source;
    QString kind;            // "burst", "retake", "single", "people"
    std::vector<int> frames; // indices into CardPlan::frames
};

struct CardOptions {
    int longSide = 1600;     // frame long side in pixels
    int scenes = 12;         // how many sources are used (at most the number given)
    uint32_t seed = 1;
    bool heic = true;        // HEIC needs an encoder in libheif
    int days = 1;            // the same subjects again on later days, two days apart
};

/** Everything about a card that is decided before any pixel is made. */
struct CardPlan {
    CardOptions options;
    std::vector<Scene> scenes;
    std::vector<Frame> frames; // capture order
    double start = 0;

    /** Folder of the frames, relative to the card root. */
    static QString mainFolder() { return QStringLiteral("DCIM/100MNDRL"); }
    QString baseName(const Frame &f) const;
};

/**
 * Decides scenes, timing, crops, exposures, blur and file formats. Deterministic for the same
 * sources and options. Each scene has exactly one keeper; blurred frames are never keepers and
 * badly exposed frames (0.4-1 EV off the scene's other frames) are sharp but never keepers.
 * Some bursts of people have a frame, sharp and well exposed, where the main face blinks.
 */
CardPlan planCard(const std::vector<Source> &sources, const CardOptions &options);

} // namespace mendral::card
