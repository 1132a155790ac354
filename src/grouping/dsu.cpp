#include "grouping/dsu.h"

namespace mendral::Clusterer {

DSU::DSU(int n) : parent(size_t(n > 0 ? n : 0)), size(size_t(n > 0 ? n : 0), 1)
{
    for (int i = 0; i < int(parent.size()); ++i)
        parent[size_t(i)] = i;
}

int DSU::find(int x)
{
    while (parent[size_t(x)] != x) {
        parent[size_t(x)] = parent[size_t(parent[size_t(x)])];
        x = parent[size_t(x)];
    }
    return x;
}

void DSU::unite(int a, int b)
{
    const int ra = find(a);
    const int rb = find(b);
    if (ra == rb)
        return;
    if (size[size_t(ra)] < size[size_t(rb)]) {
        parent[size_t(ra)] = rb;
        size[size_t(rb)] += size[size_t(ra)];
    } else {
        parent[size_t(rb)] = ra;
        size[size_t(ra)] += size[size_t(rb)];
    }
}

} // namespace mendral::Clusterer
