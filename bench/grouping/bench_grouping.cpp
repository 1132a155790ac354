// Grouping and scoring of synthetic shoots: times at 2,000 and 10,000 photos and how they grow.
// Wall-clock times suffer when other work shares the machine; the CPU time of this thread is
// printed beside them, best of three runs. At 2,000 photos the fast candidate scan is also checked against (and
// timed beside) the plain pair-by-pair scan.
#include "synthetic.h"

#include "grouping/candidates.h"
#include "grouping/clusterer.h"

#include <QElapsedTimer>

#include <cstdio>
#include <ctime>
#include <map>

using namespace mendral;

namespace {

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

/** Wall and CPU time of one call. */
struct Span {
    double wall = 0, cpu = 0;
};

template <typename F>
Span timed(F &&f)
{
    QElapsedTimer clock;
    const double cpu0 = cpuMs();
    clock.start();
    f();
    return {double(clock.nsecsElapsed()) / 1e6, cpuMs() - cpu0};
}

struct Timing {
    Span run, score;
    size_t groups = 0, largest = 0;
    float threshold = 0;
};

Timing measure(const std::vector<Photo> &photos)
{
    Timing t;
    ClusterResult result;
    t.run = timed([&] { result = Clusterer::run(photos, ClusterOptions()); });
    std::vector<PhotoGroup> groups;
    for (const auto &indices : result.groups) {
        PhotoGroup g;
        g.id = int(groups.size());
        g.indices = indices;
        groups.push_back(std::move(g));
        t.largest = std::max(t.largest, indices.size());
    }
    t.score = timed([&] { Clusterer::score(groups, photos); });
    t.groups = groups.size();
    t.threshold = result.threshold;
    return t;
}

bool sameScan(const Clusterer::CandidateScan &a, const Clusterer::CandidateScan &b)
{
    return a.nearest == b.nearest && a.neighbours == b.neighbours;
}

void checkFastScan(const std::vector<Photo> &photos)
{
    std::vector<const std::vector<float> *> prints;
    std::vector<double> times;
    for (const Photo &p : photos) {
        prints.push_back(p.featurePrint ? &*p.featurePrint : nullptr);
        times.push_back(p.captureDate);
    }
    Clusterer::CandidateScan fast, plain;
    const Span f = timed([&] { fast = Clusterer::scanCandidates(prints, times, 86400.0, {}); });
    const Span p = timed([&] { plain = Clusterer::scanCandidatesPlain(prints, times, 86400.0, {}); });
    std::printf("candidate scan of %zu photos: fast %.1f ms cpu, plain %.1f ms cpu (x%.1f); "
                "results %s\n",
                photos.size(), f.cpu, p.cpu, p.cpu / f.cpu,
                sameScan(fast, plain) ? "identical" : "DIFFERENT");
}

} // namespace

int main()
{
    std::map<int, Timing> timings;
    for (int n : {2000, 10000}) {
        const std::vector<Photo> photos = bench::syntheticShoot(n, 2024u + unsigned(n));
        // Best of three: the machine is shared, and the best run is the least disturbed.
        Timing t = measure(photos);
        for (int repeat = 0; repeat < 2; ++repeat) {
            const Timing again = measure(photos);
            if (again.run.cpu + again.score.cpu < t.run.cpu + t.score.cpu)
                t = again;
        }
        timings[n] = t;
        std::printf("%6d photos: run %7.1f ms (cpu %7.1f), score %5.1f ms (cpu %5.1f); "
                    "%zu groups, largest %zu, threshold %.3f\n",
                    n, t.run.wall, t.run.cpu, t.score.wall, t.score.cpu, t.groups, t.largest,
                    double(t.threshold));
        if (n == 2000)
            checkFastScan(photos);
    }
    const Timing &small = timings[2000];
    const Timing &large = timings[10000];
    std::printf("growth 2,000 -> 10,000 in cpu time (linear 5, quadratic 25): run x%.1f, "
                "score x%.1f\n",
                large.run.cpu / small.run.cpu, large.score.cpu / small.score.cpu);
    std::printf("10,000 photos, run + score: %.0f ms cpu, %.0f ms wall (target under 1000 ms)\n",
                large.run.cpu + large.score.cpu, large.run.wall + large.score.wall);
    return 0;
}
