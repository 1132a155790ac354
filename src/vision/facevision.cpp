#include "vision/facevision.h"

#include "vision/eyelids.h"
#include "vision/eyeoutline.h"
#include "vision/facedetector.h"
#include "vision/facequality.h"
#include "vision/faceshape.h"

#include <array>
#include <cmath>
#include <iterator>

namespace mendral {

namespace {

// The eye check hands over crops 1.9 times the face's side, so the face spans about 0.37 of
// the crop. Enlarged to 240 pixels, it is found at about 87 pixels, above the detector's
// smallest box (73), with a quarter of the search at 480 pixels (measured on a busy machine:
// 22-34 against 46-60 ms for a photo's 2.7 faces). The open-eye scores of 13 faces in 4
// photos moved by at most 0.14 (all still 0.67 or more).
constexpr int kLandmarkSide = 240;
const FaceSearch kLandmarkSearch{kLandmarkSide, 2400, FaceSearch{}.minConfidence, std::nullopt};

EyePoints eyeOf(const FaceShape &shape, int first)
{
    EyePoints eye;
    for (int i = 0; i < 6; ++i)
        eye[i] = shape[first + i];
    return eye;
}

// The landmark model places its points on whole pixels of a 240-pixel face, a step of about
// 0.1 in openness, and a fit follows where the box starts it. So the eyes are fitted from the
// detector's box and from four boxes moved or scaled by 5 %; their mean outline is what is
// measured, and fits that disagree say the outline is a guess (a face looking down, a turned
// or half-hidden face, a small or blurred one).
struct Nudge {
    double dx, dy, scale;
};
constexpr Nudge kNudges[] = {{0, 0, 1}, {-0.05, 0, 1}, {0.05, 0, 1}, {0, -0.05, 1.05}, {0, 0.05, 0.95}};
// Fits whose eye ratios span more than this (dlib units; about 0.55 in openness) disagree.
// Measured per face over the bursts of the benchmark card: 0.08 left a quarter of the faces
// unmeasured, 0.14 let unsteady readings through; 0.11 kept the most faces within 0.15.
constexpr double kUnsteadyRatioSpan = 0.11;
// A nose tip this far off the middle of the eye corners (share of their distance) is a turned
// head: the far eye is foreshortened and its outline unreliable.
constexpr double kTurnedHead = 0.4;

QRectF nudged(const QRectF &box, const Nudge &n)
{
    const QPointF centre = box.center() + QPointF(n.dx * box.width(), n.dy * box.height());
    const QSizeF size = box.size() * n.scale;
    return {centre - QPointF(size.width() / 2, size.height() / 2), size};
}

struct EyeFit {
    EyePoints left{}, right{};
    std::optional<FaceShape> plain; // the fit from the detector's own box
    bool steady = false;
    bool found = false;
};

EyeFit fitEyes(const QImage &image, const QRectF &box)
{
    EyeFit fit;
    // The fits cut their crops out of one grey copy of the pixels they all read, rather than
    // each copying and converting its own from the colour image; the points are the same.
    std::array<QRectF, 5> boxes = eyeFitBoxes(box);
    QRect area;
    for (const QRectF &b : boxes)
        area |= faceShapeArea(b);
    area &= image.rect();
    if (area.isEmpty())
        return fit;
    const QImage grey = image.copy(area).convertToFormat(QImage::Format_Grayscale8);
    const QPointF offset = area.topLeft();
    for (QRectF &b : boxes)
        b.translate(-offset);
    std::vector<FaceShape> shapes;
    std::vector<std::optional<FaceShape>> fitted = faceShapes68(grey, boxes);
    for (size_t i = 0; i < fitted.size(); ++i)
        if (std::optional<FaceShape> &shape = fitted[i]) {
            for (QPointF &point : *shape)
                point += offset;
            if (i == 0) // the detector's own box
                fit.plain = shape;
            shapes.push_back(*shape);
        }
    if (shapes.empty())
        return fit;
    fit.found = true;
    double minL = 1e9, maxL = -1e9, minR = 1e9, maxR = -1e9;
    QPointF nose;
    for (const FaceShape &s : shapes) {
        const EyePoints l = eyeOf(s, shape68::leftEyeFirst), r = eyeOf(s, shape68::rightEyeFirst);
        for (int i = 0; i < 6; ++i) {
            fit.left[i] += l[i] / double(shapes.size());
            fit.right[i] += r[i] / double(shapes.size());
        }
        nose += s[shape68::noseTip] / double(shapes.size());
        const double rl = eyeAspectRatio(l), rr = eyeAspectRatio(r);
        minL = std::min(minL, rl), maxL = std::max(maxL, rl);
        minR = std::min(minR, rr), maxR = std::max(maxR, rr);
    }
    // Outer corners: the subject's right eye starts at image left, the left eye ends at image right.
    const QPointF a = fit.right[0], b = fit.left[3];
    const double span = std::hypot(b.x() - a.x(), b.y() - a.y());
    const QPointF mid = (a + b) / 2.0;
    const double off = span > 1e-9
        ? std::abs((nose.x() - mid.x()) * (b.x() - a.x()) + (nose.y() - mid.y()) * (b.y() - a.y())) / (span * span)
        : 1.0;
    fit.steady = shapes.size() >= 3 && maxL - minL <= kUnsteadyRatioSpan
        && maxR - minR <= kUnsteadyRatioSpan && off <= kTurnedHead;
    return fit;
}

} // namespace

std::array<QRectF, 5> eyeFitBoxes(const QRectF &box)
{
    static_assert(std::size(kNudges) == 5);
    std::array<QRectF, 5> boxes;
    for (size_t i = 0; i < boxes.size(); ++i)
        boxes[i] = nudged(box, kNudges[i]);
    return boxes;
}

// One fit read the eyes of a face looking down or aside as shut on one frame and open on the
// next (eye score 0.07 against 0.85 and 1.00 for one face over three frames of a burst), and
// the sharp frame lost on it. That score now comes from the eye check's fits and is unknown
// when they disagree, as it is when no fit is found.
double faceCaptureQuality(const QImage &image, const DetectedFace &face)
{
    const EyeFit eyes = fitEyes(image, face.box);
    FaceQualityParts parts = measureFaceQuality(image, face.box, eyes.plain, face.confidence);
    parts.eyes = eyes.steady ? eyesPart(eyes.left, eyes.right) : FaceQualityParts{}.eyes;
    return combineFaceQuality(parts);
}

NormRect toNormRect(const QRectF &pixels, int width, int height)
{
    if (width <= 0 || height <= 0)
        return {};
    const QRectF r = pixels.intersected(QRectF(0, 0, width, height));
    if (r.isEmpty())
        return {};
    return {r.left() / width, 1.0 - r.bottom() / height, r.width() / width, r.height() / height};
}

std::vector<FaceObservation> detectFaceObservations(const QImage &image,
                                                   const std::optional<std::vector<QPointF>> &people)
{
    FaceSearch search;
    search.people = people;
    std::vector<FaceObservation> result;
    for (const DetectedFace &face : detectFaces(image, search)) {
        FaceObservation obs;
        obs.boundingBox = toNormRect(face.box, image.width(), image.height());
        obs.faceCaptureQuality = float(faceCaptureQuality(image, face));
        result.push_back(obs);
    }
    return result;
}

std::vector<FaceLandmarks> detectFaceLandmarks(const QImage &image)
{
    std::vector<FaceLandmarks> result;
    if (image.isNull())
        return result;
    // The face is found and its landmarks fitted at 240 pixels; the eye network reads the eyes
    // in the pixels of the image as given, which the eye check hands over at up to 480 (a
    // painted-shut eye's lids read 0.22 apart at 240 and 0.17 at 480, open ones 0.25-0.34).
    const QImage small = std::max(image.width(), image.height()) > kLandmarkSide
        ? image.scaled(kLandmarkSide, kLandmarkSide, Qt::KeepAspectRatio, Qt::SmoothTransformation)
        : image;
    const double up = double(image.width()) / small.width();
    const auto inImage = [up](EyePoints eye) {
        for (QPointF &p : eye)
            p *= up;
        return eye;
    };
    for (const DetectedFace &face : detectFaces(small, kLandmarkSearch)) {
        FaceLandmarks marks;
        marks.boundingBox = toNormRect(face.box, small.width(), small.height());
        // Eye points are normalised to the reported box, which is clipped to the image.
        const QRectF box = face.box.intersected(QRectF(small.rect()));
        const EyeFit fit = fitEyes(small, face.box);
        if (fit.found) {
            marks.leftEye = calibratedEyeOutline(fit.left, box);
            marks.rightEye = calibratedEyeOutline(fit.right, box);
            marks.eyesSteady = fit.steady;
            marks.lidGap = widerLidGap(image, inImage(fit.right), inImage(fit.left), shutLidGap);
        }
        result.push_back(std::move(marks));
    }
    return result;
}

} // namespace mendral
