#include "cardplan.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace mendral::card {

namespace {

/** A small deterministic generator: the same plan on every machine and library. */
class Dice {
public:
    explicit Dice(uint32_t seed) : m_state(seed * 2654435761u + 0x9e3779b9u) {}
    uint32_t next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    double uniform(double lo, double hi) { return lo + (hi - lo) * (next() / 4294967296.0); }
    int between(int lo, int hi) { return lo + int(next() % uint32_t(hi - lo + 1)); }

private:
    uint32_t m_state;
};

double millis(double t) { return std::round(t * 1000.0) / 1000.0; }

/**
 * Appends a run of frames 0.1-0.7 s apart; shifts and exposure stay close to the anchor. A run
 * with faceEdge > 0 is placed around the main face when the frames are cut; its shifts are only
 * the hand's movement and it is zoomed in to have room for that.
 */
void addRun(CardPlan &plan, Scene &scene, Dice &dice, double &clock, int count, double shift,
            double zoom, double ev, double faceEdge = 0)
{
    const double ax = dice.uniform(-shift, shift), ay = dice.uniform(-shift, shift);
    const double az = faceEdge > 0 ? dice.uniform(1.15, kPeopleRoom) : 1.0 + dice.uniform(0.0, zoom);
    const double aev = dice.uniform(-ev, ev);
    for (int k = 0; k < count; ++k) {
        if (k > 0)
            clock += dice.uniform(0.1, 0.7);
        Frame f;
        f.scene = scene.id;
        f.time = millis(clock);
        // Hand-held burst: a few tenths of a percent of movement between frames.
        const double jx = dice.uniform(-0.006, 0.006), jy = dice.uniform(-0.006, 0.006);
        f.faceEdge = faceEdge;
        f.shiftX = faceEdge > 0 ? jx : std::clamp(ax + jx, -0.06, 0.06);
        f.shiftY = std::clamp(ay + jy, -0.06, 0.06);
        f.zoom = faceEdge > 0 ? std::min(az + dice.uniform(0.0, 0.006), kPeopleRoom)
                              : std::clamp(az + dice.uniform(0.0, 0.006), 1.0, 1.1);
        f.gain = std::pow(2.0, aev + dice.uniform(-0.08, 0.08));
        scene.frames.push_back(int(plan.frames.size()));
        plan.frames.push_back(f);
    }
}

/**
 * Every frame of a multi-frame scene but one is slightly out of focus, shaken, or (with people)
 * focused past the faces. The differences are as small as a photographer still sees.
 */
void chooseKeeper(CardPlan &plan, Scene &scene, Dice &dice)
{
    std::vector<int> candidates;
    for (int i : scene.frames)
        if (!plan.frames[size_t(i)].badlyExposed)
            candidates.push_back(i);
    const int keeper = candidates[size_t(dice.between(0, int(candidates.size()) - 1))];
    const double side = plan.options.longSide;
    for (int i : scene.frames) {
        Frame &f = plan.frames[size_t(i)];
        f.keeper = i == keeper;
        if (f.keeper || f.badlyExposed)
            continue;
        const double kind = dice.uniform(0.0, 1.0);
        f.blurSigma = side * dice.uniform(0.0004, 0.0012);
        if (scene.source.people && kind < 0.4) {
            f.blur = BlurKind::Face;
            f.faceSigma = side * dice.uniform(0.0015, 0.003);
        } else if (dice.uniform(0.0, 1.0) < 0.25) {
            f.blur = BlurKind::Motion;
            f.blurSigma = 0;
            // 3-10 px of shake on a 4000 px frame, scaled with the frame as a smaller one would be.
            f.motionLength = dice.uniform(3.0, 10.0) * side / 4000.0;
            f.motionAngle = dice.uniform(0.0, std::numbers::pi);
        } else {
            f.blur = BlurKind::Gauss;
        }
    }
}

/** 0.4-1 EV off the scene's other frames: highlights blown over, shadows crushed under. */
void makeBad(CardPlan &plan, const Scene &scene, Frame &f, Dice &dice)
{
    double logSum = 0;
    int others = 0;
    for (int i : scene.frames)
        if (&plan.frames[size_t(i)] != &f) {
            logSum += std::log2(plan.frames[size_t(i)].gain);
            ++others;
        }
    const double ev = (others ? logSum / others : 0.0)
                      + (dice.next() % 2 ? -1.0 : 1.0) * dice.uniform(0.4, 1.0);
    f.badlyExposed = true;
    f.gain = std::pow(2.0, ev);
}

/**
 * In three of five people scenes of three frames or more, one frame that is neither the keeper
 * nor badly exposed becomes a blink: sharp, with the main face's eyes shut. Its own dice, so
 * that the rest of the card is what it was without blinks.
 */
void chooseBlinks(CardPlan &plan)
{
    Dice dice(plan.options.seed ^ 0xb11u);
    for (const Scene &scene : plan.scenes) {
        if (!scene.source.people || scene.frames.size() < 3 || dice.uniform(0.0, 1.0) >= 0.6)
            continue;
        std::vector<int> candidates;
        for (int i : scene.frames)
            if (!plan.frames[size_t(i)].keeper && !plan.frames[size_t(i)].badlyExposed)
                candidates.push_back(i);
        if (candidates.empty())
            continue;
        Frame &f = plan.frames[size_t(candidates[size_t(dice.between(0, int(candidates.size()) - 1))])];
        f.eyesShut = true;
        f.blur = BlurKind::None;
        f.blurSigma = f.faceSigma = f.motionLength = 0;
    }
}

} // namespace

QString blurKindName(BlurKind kind)
{
    switch (kind) {
    case BlurKind::Gauss: return QStringLiteral("gauss");
    case BlurKind::Motion: return QStringLiteral("motion");
    case BlurKind::Face: return QStringLiteral("face");
    case BlurKind::None: break;
    }
    return QStringLiteral("none");
}

QString CardPlan::baseName(const Frame &f) const
{
    return QStringLiteral("IMG_%1").arg(f.number, 4, 10, QLatin1Char('0'));
}

CardPlan planCard(const std::vector<Source> &sources, const CardOptions &options)
{
    CardPlan plan;
    plan.options = options;
    Dice dice(options.seed);
    plan.start = QDateTime(QDate(2024, 6, 15), QTime(9, 0, 0)).toSecsSinceEpoch();
    double clock = plan.start;

    static const char *landscapeKinds[] = {"burst", "retake", "single", "burst-bad",
                                           "burst", "single", "retake", "burst-bad"};
    int landscapeIndex = 0;
    const int count = std::min<int>(options.scenes, int(sources.size()));
    for (int day = 0; day < std::max(1, options.days); ++day)
    for (int s = 0; s < count; ++s) {
        Scene scene;
        scene.id = day * count + s;
        scene.source = sources[size_t(s)];
        // A later day starts in the morning two days on: never within a day of the last one.
        if (day > 0 && s == 0)
            clock = std::max(clock + 86400.0, plan.start + day * 2 * 86400.0);
        QString kind = scene.source.people ? QStringLiteral("people")
                                           : QString::fromLatin1(landscapeKinds[landscapeIndex++ % 8]);
        if (s > 0)
            clock += dice.uniform(40.0, 300.0); // walking to the next subject
        if (kind == "single") {
            addRun(plan, scene, dice, clock, 1, 0.02, 0.03, 0.1);
        } else if (kind == "burst" || kind == "burst-bad") {
            addRun(plan, scene, dice, clock, dice.between(3, 6), 0.02, 0.03, 0.1);
            if (kind == "burst-bad") {
                const int bad = scene.frames[size_t(dice.between(0, int(scene.frames.size()) - 1))];
                makeBad(plan, scene, plan.frames[size_t(bad)], dice);
                kind = QStringLiteral("burst");
            }
        } else {
            // The same subject again after a look at the screen: a new framing and exposure.
            // With people, one run in two is cut with the main face 5-10 % from a side.
            const bool people = kind == "people";
            const int edgeRun = people && dice.next() % 2 ? dice.between(0, 1) : -1;
            const double edge = edgeRun >= 0 ? dice.uniform(0.05, 0.10) : 0.0;
            const int first = dice.between(2, 4);
            addRun(plan, scene, dice, clock, first, 0.02, 0.03, 0.1, edgeRun == 0 ? edge : 0.0);
            clock += dice.uniform(10.0, 120.0);
            const int second = dice.between(2, 3);
            addRun(plan, scene, dice, clock, second, 0.05, 0.08, 0.25, edgeRun == 1 ? edge : 0.0);
        }
        scene.kind = kind;
        if (scene.frames.size() > 1)
            chooseKeeper(plan, scene, dice);
        else
            plan.frames[size_t(scene.frames[0])].keeper = true;
        plan.scenes.push_back(scene);
    }
    chooseBlinks(plan);

    for (size_t i = 0; i < plan.frames.size(); ++i) {
        plan.frames[i].number = int(i) + 1;
        plan.frames[i].primaryExt = QStringLiteral("JPG");
    }

    // Other formats, spread over the card: a few of each, about one RAW+JPEG pair in twelve.
    const int n = int(plan.frames.size());
    const bool large = n > 120;
    std::vector<QString> specials;
    auto add = [&](const char *ext, int times) {
        for (int k = 0; k < times; ++k)
            specials.push_back(QString::fromLatin1(ext));
    };
    if (options.heic)
        add("HEIC", large ? 3 : 1);
    add("PNG", large ? 2 : 1);
    add("TIF", large ? 2 : 1);
    add("WEBP", large ? 3 : 1);
    add("DNG", large ? 2 : 1);
    add("PAIR", std::max(2, n / 12));
    add("COPY", large ? 2 : 1);
    std::vector<int> order(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        order[size_t(i)] = i;
    for (int i = n - 1; i > 0; --i)
        std::swap(order[size_t(i)], order[size_t(dice.between(0, i))]);
    for (size_t k = 0; k < specials.size() && k < order.size(); ++k) {
        Frame &f = plan.frames[size_t(order[k])];
        if (specials[k] == "PAIR")
            f.rawTwin = true;
        else if (specials[k] == "COPY")
            f.copyFolder = QStringLiteral("DCIM/101MNDRL");
        else
            f.primaryExt = specials[k];
    }
    return plan;
}

} // namespace mendral::card
