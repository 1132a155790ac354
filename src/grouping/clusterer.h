#pragma once

#include "grouping/clusteroptions.h"
#include "grouping/printmath.h"
#include "model/photo.h"
#include "model/photogroup.h"

#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

/**
 * Clusterer: turns the analysed photos of a shoot into groups of similar shots (bursts,
 * near-identical frames, re-takes of the same people in the same clothes), cuts oversized
 * groups, and scores each group's members to recommend one and explain why. Stateless apart
 * from the optional merge trace.
 */
namespace mendral::Clusterer {

using Progress = std::function<void(double)>;

/**
 * Groups photos given in ascending capture time. Groups list photo indices ascending and are
 * ordered by their first index; threshold is the loose distance threshold used. progress is
 * called with values in [0, 1] during the candidate scan.
 */
ClusterResult run(const std::vector<Photo> &photos, const ClusterOptions &options = {},
                  const Progress &progress = {});

/** run() without the threshold. */
std::vector<std::vector<int>> cluster(const std::vector<Photo> &photos,
                                      const ClusterOptions &options = {},
                                      const Progress &progress = {});

/** Base distance threshold of a shoot from every photo's nearest-neighbour distance. */
float calibrate(const std::vector<float> &nearest, float factor);

/** The two merge thresholds derived from the base threshold and the user's factor. */
struct Thresholds {
    float loose = 0.0f;
    float strict = 0.0f;
};
Thresholds thresholds(float base, float simFactor);

/**
 * Scores the members of every group, marks near-duplicates, recommends the best member and
 * sets confidence, the review flag and the reason text. Writes only those six fields.
 */
void score(std::vector<PhotoGroup> &groups, const std::vector<Photo> &photos);

/**
 * Debugging aid: while set, every gated merge appends one line describing it. Unset by
 * default; not safe to use from two runs at once.
 */
extern std::optional<QStringList> trace;

} // namespace mendral::Clusterer
