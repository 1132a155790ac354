// Save and load of a large analysis cache: 5,000 entries, each with a 480-float scene print
// and three 256-float face prints. Prints wall and CPU times, and their ratio to moving the
// same number of bytes through a plain file write (synced, as a save is) and read, measured
// in the same run. CPU time is the steadier figure on a busy machine.

#include "store/analysiscache.h"

#include "../support/benchtime.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <functional>
#include <random>

using namespace mendral;

namespace {

std::vector<float> unitVector(std::mt19937 &rng, size_t n)
{
    std::normal_distribution<float> normal;
    std::vector<float> v(n);
    double sum = 0;
    for (float &x : v) {
        x = normal(rng);
        sum += double(x) * x;
    }
    const float scale = float(1.0 / std::sqrt(sum));
    for (float &x : v)
        x *= scale;
    return v;
}

AnalysisCacheMap makeCache(int entries)
{
    std::mt19937 rng(8);
    AnalysisCacheMap cache;
    for (int i = 0; i < entries; ++i) {
        PhotoAnalysis a;
        a.sharpness = 100.0f + float(i);
        a.exposure = 0.6f;
        a.faceCount = 3;
        a.faceQuality = 0.5f;
        a.eyeOpen = 0.8f;
        a.featurePrint = unitVector(rng, 480);
        for (int f = 0; f < 3; ++f)
            a.facePrints.push_back(unitVector(rng, 256));
        a.mainFaceSide = 0.12f;
        a.humanCount = 3;
        cache[QStringLiteral("/media/card/DCIM/100CANON/IMG_%1.CR3").arg(i, 5, 10, QChar('0'))] =
            CacheEntry{25'000'000 + i, 1.7e9 + i, 8, a};
    }
    return cache;
}

using bench::Time;

Time measure(const std::function<void()> &work)
{
    return bench::timeOnce(work);
}

void report(const char *what, Time t, Time base)
{
    bench::report(what, t, base, 3);
}

} // namespace

int main()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("analysis.plist");
    const AnalysisCacheMap cache = makeCache(5000);

    QByteArray encoded;
    bool decoded = false;
    const Time encode = measure([&] { encoded = AnalysisCache::encode(cache); });
    const Time decode = measure([&] { decoded = AnalysisCache::decode(encoded).has_value(); });

    bool saved = false;
    AnalysisCacheMap loaded;
    const Time save = measure([&] { saved = AnalysisCache::save(cache, path); });
    const Time load = measure([&] { loaded = AnalysisCache::load(path); });

    const QByteArray blob(QFile(path).size(), 'x');
    const QString rawPath = dir.filePath("raw.bin");
    const Time rawWrite = measure([&] { bench::syncedWrite(rawPath, blob); });
    const Time rawRead = measure([&] {
        QFile f(rawPath);
        if (f.open(QIODevice::ReadOnly))
            (void)f.readAll();
    });

    const bool ok = saved && decoded && loaded == cache;
    std::printf("analysis cache: 5000 entries (480-float scene print, 3 x 256-float face prints), "
                "%.1f MB\n", double(blob.size()) / 1e6);
    std::printf("baselines: a synced plain write and a plain read of the same number of bytes\n");
    report("encode", encode, rawWrite);
    report("save", save, rawWrite);
    report("decode", decode, rawRead);
    report("load", load, rawRead);
    std::printf("round trip: %s\n", ok ? "equal" : "DIFFERENT");
    return ok ? 0 : 1;
}
