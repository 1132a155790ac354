#pragma once

#include <functional>
#include <optional>
#include <vector>

namespace mendral::Clusterer {

/** A later photo close to a given one. */
struct Neighbour {
    int j = 0;
    float d = 0.0f;
    bool operator==(const Neighbour &) const = default;
};

/** What the candidate scan learns about every photo. */
struct CandidateScan {
    std::vector<float> nearest;                   // smallest distance to any compared photo
    std::vector<std::vector<Neighbour>> neighbours; // up to 30 closest later photos, d ≤ 0.95
};

inline constexpr int maxNeighbours = 30;
inline constexpr float neighbourLimit = 0.95f;

/**
 * Compares every photo with the later photos at most visualWindow seconds after it (times in
 * ascending order), keeping each photo's nearest distance and its closest later neighbours. A
 * full neighbour list gives up its worst entry (the first one on ties) only to a strictly
 * closer photo. Reports progress in [0, 0.9] after every 16th row and 1.0 at the end.
 */
CandidateScan scanCandidates(const std::vector<const std::vector<float> *> &prints,
                             const std::vector<double> &times, double visualWindow,
                             const std::function<void(double)> &progress);

/** The same scan pair by pair, the obvious way: the reference for the fast path above, and
 *  what runs when the prints are not all of one length. */
CandidateScan scanCandidatesPlain(const std::vector<const std::vector<float> *> &prints,
                                  const std::vector<double> &times, double visualWindow,
                                  const std::function<void(double)> &progress);

/** The fast path: all prints of one length, compared in blocks. Nothing when the prints
 *  differ in length. */
std::optional<CandidateScan> scanCandidatesBlocked(
    const std::vector<const std::vector<float> *> &prints, const std::vector<double> &times,
    double visualWindow, const std::function<void(double)> &progress);

/** Adds (j, d) to a neighbour list under the 30-entry rule. */
void offerNeighbour(std::vector<Neighbour> &list, int j, float d);

} // namespace mendral::Clusterer
