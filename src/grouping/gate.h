#pragma once

#include "grouping/clusteroptions.h"
#include "grouping/dsu.h"
#include "model/photo.h"

#include <QString>

#include <vector>

namespace mendral::Clusterer {

/** A list of face prints, borrowed from the photos. */
using FaceSet = std::vector<const std::vector<float> *>;

/**
 * For each print of a, its distance to the closest print of b (noDistance when b is empty);
 * the largest of these, or 0 when a is empty: small when every face of a is also in b.
 */
float farthest(const FaceSet &a, const FaceSet &b);

/**
 * The merging state of one grouping run: the union-find over photos, every root's member list
 * (in merge order) and a summary of each root's members. tryUnion decides whether the groups
 * of two candidate photos may be joined, comparing who is in them, how large their faces are,
 * what they wear and whose face prints match.
 */
class MergeGate {
public:
    MergeGate(const std::vector<Photo> &photos, const ClusterOptions &options, float strict);

    /** Joins the groups of i and j (j > i) when every gate allows it; d is their print
     *  distance, dt the seconds between them. */
    void tryUnion(int i, int j, float d, double dt);
    /** The small-face rule: joins when neither group shows a prominent face and, where faces
     *  are measurable, the head counts differ by at most one. */
    void trySmallFaceUnion(int i, int j, float d, double dt);

    DSU &dsu() { return m_dsu; }

private:
    struct Summary {
        float side = 0.0f; // largest main-face side
        int people = 0;    // largest head count
        bool multi = false; // some member has two or more face prints
    };

    FaceSet gatherFaces(int root) const;
    bool dressedDifferently(int ra, int rb) const;
    float prominentFaceDistance(int ra, int rb) const;
    void merge(int i, int j, int ri, int rj);
    void mergeWithReason(int i, int j, int ri, int rj, float d, double dt, const QString &why);

    const std::vector<Photo> &m_photos;
    const ClusterOptions &m_options;
    float m_strict;
    DSU m_dsu;
    std::vector<std::vector<int>> m_members;
    std::vector<Summary> m_summary;
};

} // namespace mendral::Clusterer
