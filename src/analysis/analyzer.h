#pragma once

#include "analysis/colordistance.h"
#include "analysis/imagestats.h"
#include "model/photoanalysis.h"
#include "vision/vision.h"

#include <QImage>
#include <QPointF>
#include <QString>

#include <optional>
#include <vector>

namespace mendral::Analyzer {

/** Version of what analyze() computes; cached analyses of another version are recomputed. */
inline constexpr int analysisVersion = 20;

/**
 * The analysis record of one image file, all read from one rendition of 2000 to 2400 pixels:
 * exposure of a 320-pixel grey copy, focus of the scene and the subjects' faces at 1200
 * pixels, the scene print of its centre square, faces with quality, eyes and prints, hair and
 * torso colours of the main face, and the people count. Nothing only when no rendition of the
 * file can be made (files that cannot be read that large are read at up to 900 pixels); every
 * later failure leaves its fields at their empty values. Re-entrant.
 */
std::optional<PhotoAnalysis> analyze(const QString &url, const Vision &vision = defaultVision());

/**
 * The sharpness figure of a photo, 1000 times a focus ratio (see focusRatio): of the scene, or
 * with faces found 0.7 of the subjects' faces' ratio and 0.3 of the scene's. 0 when neither
 * could be read. Exposure and framing move it little; blur lowers it.
 */
float sharpnessFigure(std::optional<float> sceneFocus, std::optional<float> faceFocus);

/** One detected face as the analysis saw it, for reports. */
struct FaceReport {
    NormRect box;                  // normalised, origin at the bottom left
    std::optional<float> quality;  // capture quality
    std::optional<float> eyeOpen;  // eyeOpenScore; nothing when the eyes could not be measured
};

/** analyze(), also listing every detected face (considered or not) in `faces`. */
std::optional<PhotoAnalysis> analyze(const QString &url, const Vision &vision,
                                     std::vector<FaceReport> &faces);

/**
 * Unit-length floats of a feature print (64-bit elements narrowed); a print of near-zero
 * length is returned as it is. Nothing when it has no elements, its data is shorter than its
 * element count says, or an element is not finite.
 */
std::optional<std::vector<float>> vector(const FeaturePrint &from);

/**
 * Openness (0…1) of the less open eye of `face`, measured on `image` (the 2400-pixel
 * rendition): landmarks on a square 1.9 times the face's side, scaled to at most 480 pixels.
 * Lids that the eye network reads as shut score under the closed-eye flag (0.35) even where the
 * outlines look open or disagree. Otherwise nothing when the square is under 24 pixels, no face
 * or no eyes are found there, or the vision component finds the eye outlines unsteady.
 */
std::optional<float> eyeOpenScore(const FaceObservation &face, const QImage &image,
                                  const Vision &vision = defaultVision());

/** Openness of one eye outline: height over width, 0.08 or less shut (0), 0.24 on open (1). */
float openness(const std::vector<QPointF> &points);

/**
 * Identity print of `face` from a square 1.18 times its side cut from `image` (the large
 * rendition), unscaled. Nothing when the square is under 48 pixels or the print fails.
 */
std::optional<std::vector<float>> facePrint(const FaceObservation &face, const QImage &image,
                                            const Vision &vision = defaultVision());

/** The band just above a face: 1.1 times its width, 0.55 times its height. */
NormRect hairRegion(const NormRect &face);

/** The area below a chin: shoulders and chest, 1.7 face widths by 1.8 face heights. */
NormRect torsoRegion(const NormRect &face);

/**
 * 64-bin colour histogram (4 levels a channel, red most significant) of `region` of `image`
 * sampled at 16 × 16, summing to 1. Nothing when the region's part inside the image is under
 * 12 pixels wide or high.
 */
std::optional<std::vector<float>> colorPrint(const NormRect &region, const QImage &image);

} // namespace mendral::Analyzer
