#include "analysis/colordistance.h"
#include "fixtures.h"
#include "grouping/dsu.h"
#include "grouping/printkernels.h"
#include "grouping/printmath.h"

#include <gtest/gtest.h>

#include <random>

using namespace mendral;
using namespace mendral::test;
using Clusterer::distance;
using Clusterer::noDistance;

namespace {

// The documented order, element by element: product k into partial sum k mod 16 with one
// rounding, then the pairwise fold.
float laneOrderDot(const std::vector<float> &a, const std::vector<float> &b, size_t n)
{
    float lanes[16] = {};
    for (size_t k = 0; k < n; ++k)
        lanes[k % 16] = std::fmaf(a[k], b[k], lanes[k % 16]);
    for (int w = 8; w >= 1; w /= 2)
        for (int l = 0; l < w; ++l)
            lanes[l] = lanes[l] + lanes[l + w];
    return lanes[0];
}

std::pair<std::vector<float>, std::vector<float>> randomPair(std::mt19937 &rng, size_t n)
{
    std::normal_distribution<float> g;
    std::vector<float> a(n), b(n);
    for (size_t k = 0; k < n; ++k) {
        a[k] = g(rng);
        b[k] = g(rng);
    }
    return {a, b};
}

const std::vector<size_t> lengths{0, 1, 15, 16, 17, 31, 33, 100, 128, 479, 480, 481};

} // namespace

TEST(PrintDistance, DotFollowsTheFixedOrderForEveryLength)
{
    std::mt19937 rng(7);
    for (size_t n : lengths) {
        const auto [a, b] = randomPair(rng, n);
        const float want = laneOrderDot(a, b, n);
        EXPECT_EQ(Clusterer::dotProduct(a.data(), b.data(), n), want) << "length " << n;
        EXPECT_EQ(Clusterer::kernels::dotScalar(a.data(), b.data(), n), want) << "length " << n;
        if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
            EXPECT_EQ(Clusterer::kernels::dotAvx2(a.data(), b.data(), n), want) << "length " << n;
        }
        if (__builtin_cpu_supports("avx512f")) {
            EXPECT_EQ(Clusterer::kernels::dotAvx512(a.data(), b.data(), n), want) << "length " << n;
        }
    }
}

TEST(PrintDistance, BlockOfDotsEqualsSingleDots)
{
    // Four rows and four columns of 37 values, padded with zeros to 48.
    std::mt19937 rng(9);
    const size_t stride = 48;
    std::vector<float> rows(4 * stride, 0.0f), cols(4 * stride, 0.0f);
    for (int r = 0; r < 4; ++r) {
        const auto [a, b] = randomPair(rng, 37);
        std::copy(a.begin(), a.end(), rows.begin() + long(r * stride));
        std::copy(b.begin(), b.end(), cols.begin() + long(r * stride));
    }
    float out[16];
    Clusterer::dotBlock(rows.data(), cols.data(), stride, out);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(out[r * 4 + c], Clusterer::kernels::dotScalar(&rows[r * stride],
                                                                    &cols[c * stride], 37));
}

TEST(PrintDistance, EmptyVectorHasNoDistance)
{
    EXPECT_EQ(distance({}, axis(0)), noDistance);
    EXPECT_EQ(distance(axis(0), {}), noDistance);
    EXPECT_EQ(noDistance, 3.4028235e38f);
}

TEST(PrintDistance, UnitVectors)
{
    EXPECT_EQ(distance(axis(0), axis(0)), 0.0f);
    EXPECT_NEAR(distance(axis(0), axis(1)), std::sqrt(2.0), 1e-6);
    EXPECT_NEAR(distance(axis(0), towards(0, 1, 0.25)), 0.25, 1e-5);
    // Opposite vectors are as far apart as unit vectors get.
    std::vector<float> minus = axis(3);
    minus[3] = -1.0f;
    EXPECT_NEAR(distance(axis(3), minus), 2.0, 1e-6);
}

TEST(PrintDistance, DotAboveOneClampsToZero)
{
    // Rounding can push 2 − 2·dot below zero; the root must not become NaN.
    const std::vector<float> big{1.5f, 0.0f};
    EXPECT_EQ(distance(big, big), 0.0f);
}

TEST(PrintDistance, DifferentLengthsUseTheCommonPart)
{
    std::vector<float> longer = axis(1, 32);
    longer[20] = 100.0f; // beyond the shorter vector: ignored
    EXPECT_NEAR(distance(axis(1, 16), longer), 0.0, 1e-6);
}

TEST(ColorDistance, AbsentOrMismatchedPrintsCannotBeCompared)
{
    EXPECT_FALSE(Analyzer::colorDistance(std::nullopt, colour(0)));
    EXPECT_FALSE(Analyzer::colorDistance(colour(0), std::nullopt));
    EXPECT_FALSE(Analyzer::colorDistance(colour(0), std::vector<float>(63, 0.0f)));
}

TEST(ColorDistance, HalfTheL1Distance)
{
    EXPECT_EQ(Analyzer::colorDistance(std::vector<float>{}, std::vector<float>{}), 0.0f);
    EXPECT_EQ(Analyzer::colorDistance(colour(5), colour(5)), 0.0f);
    EXPECT_EQ(Analyzer::colorDistance(colour(0), colour(63)), 1.0f);
    std::vector<float> half(64, 0.0f);
    half[0] = 0.5f;
    half[1] = 0.5f;
    EXPECT_FLOAT_EQ(*Analyzer::colorDistance(colour(0), half), 0.5f);
}

TEST(DisjointSets, EqualSizesKeepTheFirstRoot)
{
    Clusterer::DSU dsu(4);
    dsu.unite(1, 0);
    EXPECT_EQ(dsu.find(0), 1);
    dsu.unite(2, 3);
    dsu.unite(3, 1); // sizes 2 and 2: 3's root (2) stays
    EXPECT_EQ(dsu.find(0), 2);
    EXPECT_EQ(dsu.size[2], 4);
}

TEST(DisjointSets, SmallerSetJoinsTheLarger)
{
    Clusterer::DSU dsu(5);
    dsu.unite(0, 1);
    dsu.unite(0, 2);
    dsu.unite(4, 0); // {4} is smaller than {0,1,2}
    EXPECT_EQ(dsu.find(4), 0);
    EXPECT_EQ(dsu.size[0], 4);
}

TEST(DisjointSets, FindHalvesThePath)
{
    Clusterer::DSU dsu(4);
    dsu.parent = {0, 0, 1, 2}; // a chain 3 → 2 → 1 → 0
    EXPECT_EQ(dsu.find(3), 0);
    EXPECT_EQ(dsu.parent[3], 1); // pointed at its grandparent
    EXPECT_EQ(dsu.parent[1], 0);
}
