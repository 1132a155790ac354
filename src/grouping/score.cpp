#include "grouping/clusterer.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numeric>

namespace mendral::Clusterer {

namespace {

constexpr float duplicateDistance = 0.04f;
constexpr float lowBest = 0.34f;  // below this no member stands out as good
constexpr float closeGap = 0.035f; // the two best are too close to call
// Re-encoded and resized copies of one frame put their centre distances up to 0.021 apart
// (median 0.0035, 14 photos): a smaller spread says nothing about which frame is typical.
constexpr float centreNoise = 0.025f;
// Re-encoded, resized and shifted copies of one frame measure up to 4.2 % apart in sharpness
// (20 copies of 5 frames); a missed focus of 1.6 pixels at 12 MP costs 19 % or more.
constexpr float sharpnessNoise = 0.05f;
// A frame at least this far from its siblings' exposure (in stops, from mean brightness) is
// badly exposed next to them; so is one nearer that also blows or crushes more of the picture
// (clipping flattens the brightness it gains: +0.37 stops with a quarter of the frame white
// measured +0.26). Of two frames, only one that clips more.
constexpr float offExposureStops = 0.35f;
constexpr float clippedOffStops = 0.2f;
constexpr float moreClipped = 0.005f;
// Eye readings from this up are open eyes: above it the figure follows the shape of a person's
// eyes (open faces of the benchmark bursts read 0.49 to 1.00), and a frame reads the least of
// the faces whose eyes could be measured in it, so a frame in which one more face was measured
// reads lower with no eye closing (a burst's sharp frame lost on 0.57 against 1.00 that way).
// Below it, the term falls in proportion to the reading, to 0 for shut eyes.
constexpr float openEyes = 0.5f;

// Higher first; a value that is not a number sorts after every number.
bool higher(float x, float y)
{
    if (std::isnan(y))
        return !std::isnan(x);
    return x > y;
}

float sharpnessFloor(const std::vector<Photo> &photos)
{
    std::vector<float> values;
    for (const Photo &p : photos)
        if (p.analyzed)
            values.push_back(p.sharpness);
    if (values.size() <= 20)
        return 0.0f;
    std::sort(values.begin(), values.end(), [](float x, float y) { return higher(y, x); });
    const size_t k = std::min(size_t(double(values.size()) * 0.12), values.size() - 1);
    return values[k];
}

float confidenceFrom(float gap)
{
    const float c = std::min(gap / 0.1f, 1.0f);
    return c >= 0.0f ? c : 0.0f;
}

// Best and second-best of at least two scores.
std::pair<float, float> topTwo(std::vector<float> values)
{
    std::partial_sort(values.begin(), values.begin() + 2, values.end(), higher);
    return {values[0], values[1]};
}

// Mean of the members' prints of the last print's length, or empty when there is none.
std::vector<float> meanPrint(const std::vector<const Photo *> &members)
{
    int withPrint = 0;
    size_t length = 0;
    for (const Photo *p : members)
        if (p->featurePrint) {
            ++withPrint;
            length = p->featurePrint->size();
        }
    if (withPrint <= 1 || length == 0)
        return {};
    std::vector<float> sum(length, 0.0f);
    for (const Photo *p : members)
        if (p->featurePrint && p->featurePrint->size() == length)
            for (size_t e = 0; e < length; ++e)
                sum[e] += (*p->featurePrint)[e];
    // Every member with a print counts, whatever its length.
    const float scale = 1.0f / float(withPrint);
    for (float &x : sum)
        x *= scale;
    return sum;
}

// Median; of an even count, the mean of the middle two.
float median(std::vector<float> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5f * (values[n / 2 - 1] + values[n / 2]);
}

// Grey levels follow light by about the power 1/2.2.
float stopsBetween(float brightness, float reference)
{
    return 2.2f * std::log2(brightness / std::max(reference, 1e-3f));
}

// How far a member's exposure is from its group's.
enum class Exposure { Fine, Doubtful, Off };

// Members clearly brighter or darker than their group's exposure. Judged against the group,
// not an absolute level: in a dark scene the frame shot over measures a better exposure score
// (its shadows lift) while its sky burns out. Three or more frames agree on the exposure, so
// a frame far off their median brightness is off, and one between clippedOffStops and
// offExposureStops from it, without clipping more, is doubtful: frames shot 0.37 and 0.42
// stops over their bursts measured 0.26 and 0.35 from the median, while well-exposed re-takes
// framed differently measured up to 0.38. Of two frames, one is off only when it clips more on
// its own side and the other does not clip more on the other side; otherwise the two are
// simply exposed differently and neither is called off.
std::vector<Exposure> exposureInGroup(const std::vector<const Photo *> &members)
{
    const size_t len = members.size();
    std::vector<Exposure> grade(len, Exposure::Fine);
    std::vector<size_t> measured;
    for (size_t k = 0; k < len; ++k)
        if (members[k]->analyzed && members[k]->brightness > 0.0f)
            measured.push_back(k);
    if (measured.size() >= 3) {
        std::vector<float> brightness, highlights, shadows;
        for (size_t k : measured) {
            brightness.push_back(members[k]->brightness);
            highlights.push_back(members[k]->highlights);
            shadows.push_back(members[k]->shadows);
        }
        const float reference = median(brightness);
        const float blown = median(highlights), crushed = median(shadows);
        for (size_t k : measured) {
            const Photo &p = *members[k];
            const float stops = stopsBetween(p.brightness, reference);
            if (std::abs(stops) >= offExposureStops
                || (stops >= clippedOffStops && p.highlights - blown >= moreClipped)
                || (stops <= -clippedOffStops && p.shadows - crushed >= moreClipped))
                grade[k] = Exposure::Off;
            else if (std::abs(stops) >= clippedOffStops)
                grade[k] = Exposure::Doubtful;
        }
    } else if (measured.size() == 2) {
        const Photo &a = *members[measured[0]], &b = *members[measured[1]];
        const bool aBrighter = a.brightness >= b.brightness;
        const Photo &bright = aBrighter ? a : b, &dark = aBrighter ? b : a;
        if (stopsBetween(bright.brightness, dark.brightness) >= offExposureStops) {
            const bool blows = bright.highlights - dark.highlights >= moreClipped;
            const bool crushes = dark.shadows - bright.shadows >= moreClipped;
            if (blows != crushes)
                grade[blows == aBrighter ? measured[0] : measured[1]] = Exposure::Off;
        }
    }
    return grade;
}

// Lowers `score` to `gap` below `best`, never under 0.
void keepBelow(float &score, float best, float gap)
{
    score = std::max(0.0f, std::min(score, best - gap));
}

// A badly exposed member never outscores a well-exposed sibling that is at least as sharp,
// and stays a clear step below it: the choice between them is not a close call. A doubtful
// one stays only just below a well-exposed sibling as sharp, which leaves the choice to the
// user as a close call.
void keepBelowBetterExposed(std::vector<float> &scores, const std::vector<const Photo *> &members,
                            const std::vector<Exposure> &grade)
{
    const std::vector<float> before = scores;
    for (size_t k = 0; k < members.size(); ++k) {
        if (grade[k] == Exposure::Fine)
            continue;
        // Twice the noise: clipping and lifted shadows move the focus figure a little too.
        const float sharp = members[k]->sharpness * (1.0f - 2.0f * sharpnessNoise);
        float best = -1.0f;
        for (size_t j = 0; j < members.size(); ++j)
            if (grade[j] < grade[k] && members[j]->sharpness >= sharp)
                best = std::max(best, before[j]);
        if (best >= 0.0f)
            keepBelow(scores[k], best, grade[k] == Exposure::Off ? closeGap : 0.5f * closeGap);
    }
}

// A frame in which someone's eyes read closed never outscores a sibling whose eyes read open and
// that is at most a fifth less sharp. Shut eyes spoil a picture that a slightly softer frame does
// not, but the focus figure cannot tell a slightly softer frame from a shaken one there: on the
// benchmark cards a sharp keeper measured 14 % below its burst's blink (the painted lash line
// adds detail) and a frame shaken by 7 pixels 15 % below. So the closed-eyed frame stays a clear
// step below an open-eyed sibling as sharp as itself (within twice the noise), and only just
// below a softer one, which makes the choice a close call for the user.
constexpr float eyesOverFocus = 0.8f;

void keepBelowOpenEyed(std::vector<float> &scores, const std::vector<const Photo *> &members)
{
    const std::vector<float> before = scores;
    for (size_t k = 0; k < members.size(); ++k) {
        if (!members[k]->suspectEyes())
            continue;
        const float sharp = members[k]->sharpness;
        float asSharp = -1.0f, softer = -1.0f;
        for (size_t j = 0; j < members.size(); ++j) {
            if (!(members[j]->eyeOpen >= Photo::openEyesFrom) || members[j]->sharpness < sharp * eyesOverFocus)
                continue;
            float &best = members[j]->sharpness >= sharp * (1.0f - 2.0f * sharpnessNoise) ? asSharp : softer;
            best = std::max(best, before[j]);
        }
        if (asSharp >= 0.0f)
            keepBelow(scores[k], asSharp, closeGap);
        else if (softer >= 0.0f)
            keepBelow(scores[k], softer, 0.5f * closeGap);
    }
}

// `faceless`: no face found where most of the group (three frames at least) shows one. The
// subject is then soft, turned away or hidden (a blurred face escapes the detector, and the
// frame's focus figure falls back on its sharp background), so the face term counts nothing
// rather than the neutral value a frame of a scene without people gets.
float memberScore(const Photo &p, float v, float t, bool faceless)
{
    float u = faceless ? 0.0f : 0.6f;
    if (p.faceCount >= 1)
        u = p.eyeOpen >= 0.0f ? 0.5f * std::min(p.eyeOpen / openEyes, 1.0f) + 0.5f * p.faceQuality
                              : p.faceQuality;
    float s = t + ((u * 0.32f + v * 0.36f) + p.exposure * 0.14f);
    if (p.exposure < 0.25f)
        s *= 0.55f;
    return s;
}

bool nearCopy(const Photo &a, const Photo &b)
{
    if (!a.featurePrint || !b.featurePrint)
        return false;
    const size_t m = std::min(a.featurePrint->size(), b.featurePrint->size());
    if (m == 0)
        return false;
    const float v = 2.0f - 2.0f * dotProduct(a.featurePrint->data(), b.featurePrint->data(), m);
    return v <= 0.0f || std::sqrt(v) < duplicateDistance;
}

std::vector<bool> markDuplicates(const std::vector<const Photo *> &members,
                                 const std::vector<float> &scores)
{
    std::vector<bool> dup(members.size(), false);
    if (members.size() < 2)
        return dup;
    std::vector<size_t> order(members.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t x, size_t y) { return higher(scores[x], scores[y]); });
    std::vector<size_t> kept;
    for (size_t p : order) {
        bool copy = false;
        for (size_t r : kept)
            if (nearCopy(*members[p], *members[r])) {
                copy = true;
                break;
            }
        if (copy)
            dup[p] = true;
        else
            kept.push_back(p);
    }
    return dup;
}

QString reasonFor(const Photo &r, float best, float gap, int count, bool &needsReview)
{
    if (r.suspectEyes()) {
        needsReview = true;
        return QStringLiteral("可能有人闭眼");
    }
    if (r.faceCount >= 1 && r.faceQuality < 0.35f) {
        needsReview = true;
        return QStringLiteral("有人的表情可能不佳");
    }
    if (best < lowBest)
        return QStringLiteral("组内没有明显更好的");
    if (gap < closeGap) {
        needsReview = true;
        return QStringLiteral("两张太接近，得你来定");
    }
    if (r.faceCount >= 1 && r.faceQuality > 0.7f)
        return QStringLiteral("人脸质量最好");
    if (count > 2)
        return QStringLiteral("最清晰且居中");
    return QStringLiteral("组内综合最佳");
}

void scoreGroup(PhotoGroup &g, const std::vector<Photo> &photos, float floor)
{
    const size_t len = g.indices.size();
    std::vector<const Photo *> members;
    members.reserve(len);
    for (int index : g.indices) {
        if (index < 0 || size_t(index) >= photos.size())
            return; // a group that does not fit the photo list is left as it is
        members.push_back(&photos[size_t(index)]);
    }

    std::vector<float> sharp(len);
    for (size_t k = 0; k < len; ++k)
        sharp[k] = members[k]->analyzed ? members[k]->sharpness : 0.0f;
    const auto [sMinIt, sMaxIt] = std::minmax_element(sharp.begin(), sharp.end());
    const float sMin = *sMinIt, sMax = *sMaxIt;

    const bool sharpNeutral = len == 1 || sMax - sMin < std::max(1e-6f, sharpnessNoise * sMax);
    // Centrality chooses among the sharpest frames only (those within the noise of the best):
    // blurred frames resemble each other more than the sharp one, so over the whole group the
    // sharp frame measured least typical and the term worked against it.
    std::vector<bool> contender(len, true);
    if (!sharpNeutral)
        for (size_t k = 0; k < len; ++k)
            contender[k] = sharp[k] >= sMax * (1.0f - sharpnessNoise);
    const std::vector<float> mean = meanPrint(members);
    std::vector<float> centre(len, 0.0f);
    for (size_t k = 0; k < len && !mean.empty(); ++k) {
        const auto &print = members[k]->featurePrint;
        if (print && print->size() == mean.size())
            centre[k] = distanceFromDot(dotProduct(print->data(), mean.data(), mean.size()));
    }
    float cMin = FLT_MAX, cMax = -FLT_MAX;
    for (size_t k = 0; k < len; ++k)
        if (contender[k])
            cMin = std::min(cMin, centre[k]), cMax = std::max(cMax, centre[k]);
    const bool centreNeutral = mean.empty() || cMax - cMin < centreNoise;

    const size_t withFaces = size_t(std::count_if(members.begin(), members.end(),
                                                   [](const Photo *p) { return p->faceCount >= 1; }));
    // Three frames with faces, and most of the group, say the scene has people in it.
    const bool peopleGroup = withFaces >= 3 && 2 * withFaces > len;
    std::vector<float> scores(len);
    for (size_t k = 0; k < len; ++k) {
        const float v = sharpNeutral ? 0.6f : (sharp[k] - sMin) / (sMax - sMin);
        const float t = centreNeutral || !contender[k]
            ? 0.108f
            : (1.0f - (centre[k] - cMin) / (cMax - cMin)) * 0.18f;
        scores[k] = memberScore(*members[k], v, t, peopleGroup && members[k]->faceCount < 1);
    }
    if (len > 1) {
        keepBelowBetterExposed(scores, members, exposureInGroup(members));
        keepBelowOpenEyed(scores, members);
    }
    const std::vector<bool> dup = markDuplicates(members, scores);

    size_t best = 0;
    for (size_t k = 1; k < len; ++k)
        if (higher(scores[k], scores[best]))
            best = k;

    g.scores = scores;
    g.duplicates = dup;
    g.recommended = int(best);
    const Photo &r = *members[best];
    if (len == 1) {
        g.confidence = 1.0f;
        // A lone frame with shut eyes has no sibling to fall back on: the user must see it.
        if (r.suspectEyes()) {
            g.needsReview = true;
            g.reason = QStringLiteral("可能有人闭眼");
            return;
        }
        const bool weak = (r.analyzed && floor > 0.0f && r.sharpness < floor) || r.exposure < 0.35f;
        g.needsReview = weak;
        g.reason = weak ? QStringLiteral("单张，但质量偏低") : QStringLiteral("单张，唯一");
        return;
    }

    const auto [top, second] = topTwo(scores);
    const float gap = top - second;
    g.confidence = confidenceFrom(gap);
    bool needsReview = top < lowBest || gap < closeGap;
    g.reason = reasonFor(r, top, gap, int(len), needsReview);

    // A near-copy of the best should not make the choice look harder than it is.
    std::vector<float> distinct;
    for (size_t k = 0; k < len; ++k)
        if (!dup[k])
            distinct.push_back(scores[k]);
    if (distinct.size() >= 2) {
        const auto [top2, second2] = topTwo(distinct);
        g.confidence = confidenceFrom(top2 - second2);
        if (top2 - second2 < closeGap)
            needsReview = true;
    }
    g.needsReview = needsReview;
}

} // namespace

void score(std::vector<PhotoGroup> &groups, const std::vector<Photo> &photos)
{
    const float floor = sharpnessFloor(photos);
    for (PhotoGroup &g : groups)
        if (!g.indices.empty())
            scoreGroup(g, photos, floor);
}

} // namespace mendral::Clusterer
