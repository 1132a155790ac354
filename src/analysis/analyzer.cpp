#include "analysis/analyzer.h"

#include "analysis/focus.h"
#include "analysis/imagestats.h"
#include "analysis/thumbnail.h"

#include <algorithm>

namespace mendral::Analyzer {

namespace {

constexpr int kSmallSide = 900;   // files that cannot be read larger
constexpr int kLargeSide = 2400;  // faces, people, scene and face prints, colours, eyes
// A JPEG is read at half size when that gives at least this: a 12-MP frame at 2000 pixels
// rather than 2400 (half the decoding time, and no resample). The face search enlarges it to
// 2400, so the smallest faces it finds stay the same.
constexpr int kLargeSideAtLeast = 2000;
// Focus is read at 1200 pixels: at 2400 the finest octave of a 12-MP frame is mostly JPEG
// noise, which blur leaves in place; one octave down it is detail, and a blur of 1.6 pixels at
// full size (a missed focus a photographer sees at 100 %) lowers it by a quarter or more.
constexpr int kFocusSide = 1200;
constexpr int kSceneFocusTile = 32;
// With faces, their focus carries most of the figure: a frame whose subject is soft loses to
// one whose subject is sharp even where the background is sharper; the scene's share keeps a
// blurred background (a shaken frame) from going unnoticed.
constexpr float kFaceShare = 0.7f;
// Faces at least this share of the largest face's side are the subjects whose focus counts.
constexpr double kSubjectFaceSide = 0.6;
// A face this much softer than its frame is out of focus while the frame is not: its eye
// outline is a blur that the landmark fit reads as wide open (one face read 0.64 and 0.73 in
// sharp frames, 1.00 with its face blurred), so its eyes are not measured. On the benchmark
// card, faces blurred on purpose read 0.32–0.73 of their frame's focus (median 0.51), faces in
// focus 0.68–1.43 (median 0.90). A frame soft all over keeps the ratio and its readings.
constexpr float kSoftFaceShare = 0.6f;
constexpr double kMinFaceArea = 0.0012;
constexpr size_t kMaxFaces = 6;
constexpr float kMinMainFaceSide = 0.09f;

double area(const FaceObservation &f)
{
    return f.boundingBox.w * f.boundingBox.h;
}

// The rendition every measure reads, from one decode at 2000 to 2400 pixels; a file that
// cannot be read that large is read at up to 900.
QImage rendition(const QString &url)
{
    const QImage large = thumbnailImageAtLeast(url, kLargeSide, kLargeSideAtLeast);
    return large.isNull() ? thumbnailImage(url, kSmallSide) : large;
}

// Focus of one face on the focus rendition, from the middle of its box: eyes, brows, nose and
// lips, where a photographer checks focus. The box's corners hold hair and background, whose
// sharp edges outweighed a soft face when the whole box was read.
std::optional<float> faceFocusOf(const FaceObservation &f, const QImage &focusGray)
{
    const QRect box = toPixelRect(f.boundingBox, focusGray.width(), focusGray.height());
    const int margin = box.width() * 15 / 100;
    const QRect middle = box.adjusted(margin, margin, -margin, -margin);
    // Five tiles across: eyes, brows and lips fall in separate tiles.
    return focusRatio(focusGray, middle, std::max(8, middle.width() / 5));
}

// Mean focus of the subjects' faces, given each considered face's focus; nothing when none can
// be read.
std::optional<float> subjectFocus(const std::vector<FaceObservation> &considered,
                                  const std::vector<std::optional<float>> &focus)
{
    double largest = 0;
    for (const FaceObservation &f : considered)
        largest = std::max({largest, f.boundingBox.w, f.boundingBox.h});
    double sum = 0;
    int count = 0;
    for (size_t i = 0; i < considered.size(); ++i) {
        const NormRect &box = considered[i].boundingBox;
        if (std::max(box.w, box.h) >= kSubjectFaceSide * largest && focus[i])
            sum += *focus[i], ++count;
    }
    return count ? std::optional<float>(float(sum / count)) : std::nullopt;
}

// The face's eye openness, or nothing when it cannot be measured: the fit fails, or the face
// (of focus `faceFocus`) is out of focus in a frame (of focus `sceneFocus`) that is not.
std::optional<float> readableEyes(const FaceObservation &f, std::optional<float> faceFocus,
                                  std::optional<float> sceneFocus, const QImage &large, const Vision &vision)
{
    if (faceFocus && sceneFocus && *faceFocus < kSoftFaceShare * *sceneFocus)
        return std::nullopt;
    return eyeOpenScore(f, large, vision);
}

void measureFaces(PhotoAnalysis &a, const std::vector<FaceObservation> &faces, const QImage &large,
                  const QImage &focusGray, std::optional<float> sceneFocus, const Vision &vision,
                  std::optional<float> &faceFocus)
{
    a.faceCount = int(faces.size());
    double side = 0;
    for (const FaceObservation &f : faces)
        side = std::max({side, f.boundingBox.w, f.boundingBox.h});
    a.mainFaceSide = float(side);

    std::vector<FaceObservation> considered;
    std::copy_if(faces.begin(), faces.end(), std::back_inserter(considered),
                 [](const FaceObservation &f) { return area(f) > kMinFaceArea; });
    std::stable_sort(considered.begin(), considered.end(),
                     [](const FaceObservation &x, const FaceObservation &y) { return area(x) > area(y); });
    if (considered.size() > kMaxFaces)
        considered.resize(kMaxFaces);
    if (considered.empty())
        return;

    std::vector<std::optional<float>> focus;
    for (const FaceObservation &f : considered)
        focus.push_back(faceFocusOf(f, focusGray));
    faceFocus = subjectFocus(considered, focus);

    float quality = 1.0f;
    for (const FaceObservation &f : considered)
        quality = std::min(quality, f.faceCaptureQuality.value_or(0.0f));
    a.faceQuality = quality;

    std::optional<float> eyes;
    for (size_t i = 0; i < considered.size(); ++i)
        if (const std::optional<float> score = readableEyes(considered[i], focus[i], sceneFocus, large, vision))
            eyes = eyes ? std::min(*eyes, *score) : *score;
    a.eyeOpen = eyes.value_or(-1.0f);

    for (const FaceObservation &f : considered)
        if (std::optional<std::vector<float>> print = facePrint(f, large, vision))
            a.facePrints.push_back(std::move(*print));

    if (a.mainFaceSide >= kMinMainFaceSide) {
        a.hairPrint = colorPrint(hairRegion(considered[0].boundingBox), large);
        a.torsoPrint = colorPrint(torsoRegion(considered[0].boundingBox), large);
    }
}

std::optional<PhotoAnalysis> analyzeFile(const QString &url, const Vision &vision,
                                         std::vector<FaceReport> *report)
{
    if (report)
        report->clear();
    const QImage large = rendition(url);
    if (large.isNull())
        return std::nullopt;

    PhotoAnalysis a;
    // Exposure statistics on a 320-pixel grey copy, scaled straight from the large rendition.
    const std::optional<GrayStats> stats = grayStats(large);
    a.exposure = stats ? stats->exposureScore : 0.5f;
    if (stats) {
        a.brightness = stats->brightness;
        a.highlights = stats->highlights;
        a.shadows = stats->shadows;
    }
    const QImage focusGray = grayAt(large, kFocusSide);
    const std::optional<float> sceneFocus = focusRatio(focusGray, {}, kSceneFocusTile);
    std::optional<float> faceFocus;

    // One call for faces and people; when it fails, neither has results. The scene print
    // comes from the same pass where it can, of the same image.
    const std::optional<FacesAndHumans> found = vision.detectFacesAndHumans(large);
    if (found && found->scenePrint)
        a.featurePrint = vector(*found->scenePrint);
    else if (const std::optional<FeaturePrint> print = vision.sceneFeaturePrint(large))
        a.featurePrint = vector(*print);
    if (found) {
        measureFaces(a, found->faces, large, focusGray, sceneFocus, vision, faceFocus);
        a.humanCount = std::max(0, found->humanCount);
        if (report)
            for (const FaceObservation &f : found->faces)
                report->push_back({f.boundingBox, f.faceCaptureQuality,
                                   readableEyes(f, faceFocusOf(f, focusGray), sceneFocus, large, vision)});
    }
    a.sharpness = sharpnessFigure(sceneFocus, faceFocus);
    return a;
}

} // namespace

float sharpnessFigure(std::optional<float> sceneFocus, std::optional<float> faceFocus)
{
    if (!sceneFocus && !faceFocus)
        return 0.0f;
    if (!faceFocus)
        return 1000.0f * *sceneFocus;
    if (!sceneFocus)
        return 1000.0f * *faceFocus;
    return 1000.0f * (kFaceShare * *faceFocus + (1.0f - kFaceShare) * *sceneFocus);
}

std::optional<PhotoAnalysis> analyze(const QString &url, const Vision &vision)
{
    return analyzeFile(url, vision, nullptr);
}

std::optional<PhotoAnalysis> analyze(const QString &url, const Vision &vision,
                                     std::vector<FaceReport> &faces)
{
    return analyzeFile(url, vision, &faces);
}

} // namespace mendral::Analyzer
