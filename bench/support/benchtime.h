#pragma once
// Wall and CPU time of a piece of work, for the benchmarks that print both against a baseline
// measured in the same run. CPU time is the thread's own, the steadier figure on a busy machine.

#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

#include <unistd.h>

namespace mendral::bench {

struct Time {
    double wall = 0;
    double cpu = 0;
};

inline double cpuNow()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

inline Time timeOnce(const std::function<void()> &work)
{
    QElapsedTimer wall;
    const double cpu0 = cpuNow();
    wall.start();
    work();
    return Time{double(wall.nsecsElapsed()) / 1e9, cpuNow() - cpu0};
}

/** The baseline of the file benchmarks: the same number of bytes written plainly and synced. */
inline void syncedWrite(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) {
        f.write(bytes);
        f.flush();
        ::fdatasync(f.handle());
    }
}

/** The median of runs runs after one to warm up, wall and CPU taken separately. */
inline Time timeMedian(const std::function<void()> &work, int runs = 5)
{
    timeOnce(work);
    std::vector<Time> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(timeOnce(work));
    auto median = [&](double Time::*field) {
        std::vector<double> v;
        for (const Time &t : times)
            v.push_back(t.*field);
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    return Time{median(&Time::wall), median(&Time::cpu)};
}

/** One line: both times and their ratios to the baseline, with the given decimals. */
inline void report(const char *what, Time t, Time base, int decimals)
{
    const int width = decimals + 3;
    std::printf("%-10s wall %*.*f s (%5.1fx baseline %*.*f s)   cpu %*.*f s (%5.1fx baseline %*.*f s)\n", what,
                width, decimals, t.wall, t.wall / base.wall, width, decimals, base.wall,
                width, decimals, t.cpu, t.cpu / base.cpu, width, decimals, base.cpu);
}

} // namespace mendral::bench
