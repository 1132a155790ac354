#include "grouping/gate.h"

#include "analysis/colordistance.h"
#include "grouping/clusterer.h"
#include "grouping/printmath.h"
#include "grouping/trace.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace mendral::Clusterer {

namespace {

constexpr size_t maxFacesPerSide = 14;

// A face side that is not a number is treated as no measured face.
float faceSide(const Photo &p)
{
    return std::isnan(p.mainFaceSide) ? 0.0f : p.mainFaceSide;
}

int headCount(const Photo &p)
{
    return std::max(p.faceCount, p.humanCount);
}

} // namespace

float farthest(const FaceSet &a, const FaceSet &b)
{
    float worst = 0.0f;
    for (const auto *x : a) {
        float closest = noDistance;
        for (const auto *y : b) {
            const float d = distance(*x, *y);
            if (d < closest)
                closest = d;
        }
        if (closest > worst)
            worst = closest;
    }
    return worst;
}

MergeGate::MergeGate(const std::vector<Photo> &photos, const ClusterOptions &options,
                     float strict)
    : m_photos(photos), m_options(options), m_strict(strict), m_dsu(int(photos.size())),
      m_members(photos.size()), m_summary(photos.size())
{
    for (size_t i = 0; i < photos.size(); ++i) {
        m_members[i] = {int(i)};
        m_summary[i] = {faceSide(photos[i]), headCount(photos[i]),
                        photos[i].facePrints.size() >= 2};
    }
}

FaceSet MergeGate::gatherFaces(int root) const
{
    FaceSet faces;
    for (int k : m_members[size_t(root)]) {
        for (const auto &f : m_photos[size_t(k)].facePrints) {
            if (faces.size() == maxFacesPerSide)
                return faces;
            faces.push_back(&f);
        }
    }
    return faces;
}

bool MergeGate::dressedDifferently(int ra, int rb) const
{
    // Differently dressed only when some pair could be compared and every pair differs.
    bool recorded = false;
    for (int a : m_members[size_t(ra)]) {
        const Photo &pa = m_photos[size_t(a)];
        for (int b : m_members[size_t(rb)]) {
            const Photo &pb = m_photos[size_t(b)];
            const auto h = Analyzer::colorDistance(pa.hairPrint, pb.hairPrint);
            if (!h)
                continue;
            const auto t = Analyzer::colorDistance(pa.torsoPrint, pb.torsoPrint);
            if (!t)
                continue;
            if (!(std::max(*h, *t) >= m_options.dressReject))
                return false;
            recorded = true;
        }
    }
    return recorded;
}

float MergeGate::prominentFaceDistance(int ra, int rb) const
{
    float best = noDistance;
    for (int a : m_members[size_t(ra)]) {
        const Photo &pa = m_photos[size_t(a)];
        if (!(faceSide(pa) >= m_options.prominentSide))
            continue;
        for (int b : m_members[size_t(rb)]) {
            const Photo &pb = m_photos[size_t(b)];
            if (!(faceSide(pb) >= m_options.prominentSide))
                continue;
            for (const auto &fa : pa.facePrints)
                for (const auto &fb : pb.facePrints) {
                    const float d = distance(fa, fb);
                    if (d < best)
                        best = d;
                }
        }
    }
    return best;
}

void MergeGate::tryUnion(int i, int j, float d, double dt)
{
    const int ri = m_dsu.find(i);
    const int rj = m_dsu.find(j);
    if (ri == rj)
        return;
    const Summary &a = m_summary[size_t(ri)];
    const Summary &b = m_summary[size_t(rj)];

    if (a.people == 0 && b.people == 0)
        return mergeWithReason(i, j, ri, rj, d, dt, QStringLiteral("双方无脸 纯画面"));

    const float minSide = std::min(a.side, b.side);
    const float maxSide = std::max(a.side, b.side);
    const ClusterOptions &o = m_options;

    // Head counts are only trusted when both main faces are big enough to be measured.
    if (minSide >= o.faceSideReliable && std::abs(a.people - b.people) >= 2)
        return;
    // A clear face against a group without any face: only when nearly identical or immediate.
    if (minSide == 0.0f && maxSide >= o.prominentSide && d > 0.7f * m_strict && dt > 5.0)
        return;
    // Different clothes on every comparable pair: the same face must confirm the merge.
    if (dressedDifferently(ri, rj)) {
        const float m = prominentFaceDistance(ri, rj);
        if (!std::isfinite(m) || m >= 0.3f)
            return;
    }

    if (maxSide >= o.prominentSide) {
        const FaceSet facesA = gatherFaces(ri);
        const FaceSet facesB = gatherFaces(rj);
        if (a.multi || b.multi) {
            if (facesA.empty() || facesB.empty()) {
                if (dt > o.singleWindow)
                    return;
                return mergeWithReason(i, j, ri, rj, d, dt,
                                       QStringLiteral("多人但缺指纹 时间窗内"));
            }
            // Between two groups of several people, every face of one side must be found on
            // the other: a re-take in which someone turned away or was lost to blur shows
            // part of the same cast, while two casts that share only some people leave a face
            // unmatched on both sides. A single face does not stand for a cast: against one,
            // both sides must match.
            const float there = farthest(facesA, facesB), back = farthest(facesB, facesA);
            const float dmax = a.multi && b.multi ? std::min(there, back) : std::max(there, back);
            if (dmax >= o.faceReject)
                return;
            if (dmax >= o.faceGate && dt > o.castWindow)
                return;
            return mergeWithReason(i, j, ri, rj, d, dt,
                                   formatReason("全员核对通过 dmax=%.3f", double(dmax)));
        }
        if (!facesA.empty() && !facesB.empty()) {
            float dmin = noDistance;
            for (const auto *x : facesA)
                for (const auto *y : facesB) {
                    const float fd = distance(*x, *y);
                    if (fd < dmin)
                        dmin = fd;
                }
            // The same person re-shot later: no time limit beyond the visual window.
            if (dmin < o.faceGate)
                return mergeWithReason(i, j, ri, rj, d, dt,
                                       formatReason("指纹极近 %.3f 确认同人(补拍)", double(dmin)));
        }
    }

    if (dt > o.singleWindow)
        return;
    mergeWithReason(i, j, ri, rj, d, dt,
                    maxSide >= o.prominentSide ? QStringLiteral("时间窗内 可靠")
                                               : QStringLiteral("时间窗内 小脸"));
}

void MergeGate::trySmallFaceUnion(int i, int j, float d, double dt)
{
    const ClusterOptions &o = m_options;
    if (!(d <= o.smallFaceEdge) || !(dt <= o.timeGap))
        return;
    const int ri = m_dsu.find(i);
    const int rj = m_dsu.find(j);
    if (ri == rj)
        return;
    const Summary &a = m_summary[size_t(ri)];
    const Summary &b = m_summary[size_t(rj)];
    if (!(std::max(a.side, b.side) < o.prominentSide))
        return;
    if (std::min(a.side, b.side) >= o.faceSideReliable && std::abs(a.people - b.people) > 1)
        return;
    merge(i, j, ri, rj);
}

void MergeGate::mergeWithReason(int i, int j, int ri, int rj, float d, double dt,
                                const QString &why)
{
    if (trace) {
        const Summary &a = m_summary[size_t(ri)];
        const Summary &b = m_summary[size_t(rj)];
        traceMerge(m_photos[size_t(i)].name(), m_photos[size_t(j)].name(), d, dt, a.side,
                   b.side, a.people, b.people, why);
    }
    merge(i, j, ri, rj);
}

void MergeGate::merge(int i, int j, int ri, int rj)
{
    m_dsu.unite(i, j);
    const int root = m_dsu.find(i);
    const int other = root == ri ? rj : ri;

    // The joined member list is always ri's members followed by rj's.
    std::vector<int> joined = std::move(m_members[size_t(ri)]);
    const std::vector<int> &tail = m_members[size_t(rj)];
    joined.insert(joined.end(), tail.begin(), tail.end());
    m_members[size_t(other)].clear();
    m_members[size_t(other)].shrink_to_fit();
    m_members[size_t(root)] = std::move(joined);

    Summary &a = m_summary[size_t(ri)];
    const Summary &b = m_summary[size_t(rj)];
    const Summary s{std::max(a.side, b.side), std::max(a.people, b.people), a.multi || b.multi};
    m_summary[size_t(root)] = s;
}

} // namespace mendral::Clusterer
