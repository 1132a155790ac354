#pragma once

#include <cstddef>
#include <vector>

namespace mendral::Clusterer {

/**
 * Disjoint-set forest over 0..n-1: path halving on find, union by size. On equal sizes the
 * root of the first argument stays the root, which the grouping order depends on.
 */
struct DSU {
    std::vector<int> parent;
    std::vector<int> size;

    explicit DSU(int n);
    int find(int x);
    /** Joins the sets of a and b (the classic "union", a reserved word here). */
    void unite(int a, int b);
};

} // namespace mendral::Clusterer
