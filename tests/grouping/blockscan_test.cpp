#include "grouping/candidates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

using namespace mendral;
using Clusterer::CandidateScan;

namespace {

struct Shoot {
    std::vector<std::vector<float>> prints;
    std::vector<const std::vector<float> *> pointers;
    std::vector<double> times;
};

// Scenes of near-identical prints (many ties and many distances under the neighbour limit),
// a few photos without a print or with an empty one, times in seconds.
Shoot randomShoot(int n, int dim, unsigned seed, bool shuffledTimes = false)
{
    std::mt19937 rng(seed);
    std::normal_distribution<float> g;
    std::uniform_real_distribution<double> u(0.0, 1.0);
    Shoot s;
    s.prints.resize(size_t(n));
    std::vector<float> scene(static_cast<size_t>(dim));
    double t = 0;
    for (int i = 0; i < n; ++i) {
        if (i % 61 == 0)
            for (float &x : scene)
                x = g(rng);
        auto &p = s.prints[size_t(i)];
        p = scene;
        if (i % 3)
            for (float &x : p)
                x += 0.25f / std::sqrt(float(dim)) * g(rng);
        float norm = 0;
        for (float x : p)
            norm += x * x;
        for (float &x : p)
            x /= std::sqrt(norm);
        t += u(rng) < 0.2 ? 0.0 : u(rng) * 40.0;
        s.times.push_back(shuffledTimes && i % 5 == 0 ? t - 500.0 : t);
    }
    for (int i = 0; i < n; ++i)
        s.pointers.push_back(i % 11 == 5 ? nullptr : &s.prints[size_t(i)]);
    s.prints[size_t(n / 2)].clear(); // an empty print: no distances either
    return s;
}

void expectSame(const CandidateScan &fast, const CandidateScan &plain)
{
    ASSERT_EQ(fast.nearest.size(), plain.nearest.size());
    for (size_t i = 0; i < plain.nearest.size(); ++i) {
        EXPECT_EQ(fast.nearest[i], plain.nearest[i]) << "photo " << i;
        EXPECT_EQ(fast.neighbours[i], plain.neighbours[i]) << "photo " << i;
    }
}

// Full neighbour lists that later gave up entries: the replacement rule was exercised.
int replacedLists(const CandidateScan &scan)
{
    int count = 0;
    for (size_t i = 0; i < scan.neighbours.size(); ++i) {
        const auto &list = scan.neighbours[i];
        if (list.size() == size_t(Clusterer::maxNeighbours) &&
            !std::is_sorted(list.begin(), list.end(),
                            [](const auto &a, const auto &b) { return a.j < b.j; }))
            ++count;
    }
    return count;
}

void compare(const Shoot &s, double window, bool expectReplacements = false)
{
    std::vector<double> fastProgress, plainProgress;
    const auto fast = Clusterer::scanCandidatesBlocked(
        s.pointers, s.times, window, [&](double p) { fastProgress.push_back(p); });
    ASSERT_TRUE(fast.has_value());
    const auto plain = Clusterer::scanCandidatesPlain(
        s.pointers, s.times, window, [&](double p) { plainProgress.push_back(p); });
    expectSame(*fast, plain);
    EXPECT_EQ(fastProgress, plainProgress);
    if (expectReplacements) {
        EXPECT_GT(replacedLists(plain), 10);
    }
}

} // namespace

TEST(BlockedScan, EqualsThePlainScan)
{
    compare(randomShoot(300, 480, 1), 86400.0, true);
}

TEST(BlockedScan, EqualsThePlainScanWithAShortWindow)
{
    compare(randomShoot(300, 480, 2), 1200.0, true);
}

TEST(BlockedScan, EqualsThePlainScanForOddLengthsAndFewPhotos)
{
    compare(randomShoot(7, 37, 3), 86400.0);
    compare(randomShoot(131, 5, 4), 1000.0);
    compare(randomShoot(2, 480, 5), 86400.0);
}

TEST(BlockedScan, EqualsThePlainScanWhenTimesAreOutOfOrder)
{
    auto s = randomShoot(200, 64, 6, true);
    s.times[50] = std::nan("");
    compare(s, 3000.0);
}

TEST(BlockedScan, MixedLengthsTakeThePlainPath)
{
    auto s = randomShoot(40, 32, 7);
    s.prints[3].resize(16);
    EXPECT_FALSE(Clusterer::scanCandidatesBlocked(s.pointers, s.times, 86400.0, {}));
    expectSame(Clusterer::scanCandidates(s.pointers, s.times, 86400.0, {}),
               Clusterer::scanCandidatesPlain(s.pointers, s.times, 86400.0, {}));
}

TEST(BlockedScan, NoPrintsAtAll)
{
    const std::vector<const std::vector<float> *> none(5, nullptr);
    const std::vector<double> times{0, 1, 2, 3, 4};
    const auto fast = Clusterer::scanCandidatesBlocked(none, times, 86400.0, {});
    ASSERT_TRUE(fast);
    expectSame(*fast, Clusterer::scanCandidatesPlain(none, times, 86400.0, {}));
}
