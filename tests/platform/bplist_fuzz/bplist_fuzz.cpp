// libFuzzer entry point: feeds arbitrary bytes to the property-list reader and to the
// decoders of the analysis cache and the decisions files. The bytes are wrapped without copying, so any read past the end
// lands in the sanitizer's red zone.

#include "platform/bplist.h"
#include "store/analysiscache.h"
#include "store/decisionstore.h"

#include <QDir>
#include <QFile>

#include <cstdlib>

using namespace mendral;

namespace {

void writeSeed(const QString &dir, const QString &name, const QByteArray &bytes)
{
    QFile f(dir + QLatin1Char('/') + name);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

// Starting points that already get past the trailer checks: real cache files and a list
// using every value type.
void writeSeeds(const QString &dir)
{
    QDir().mkpath(dir);
    PhotoAnalysis a;
    a.sharpness = 812.5f;
    a.featurePrint = std::vector<float>(20, 0.2236f);
    a.facePrints = {std::vector<float>(8, 0.35f), {}};
    a.hairPrint = std::vector<float>(4, 0.25f);
    a.faceCount = 2;
    AnalysisCacheMap cache;
    cache[QStringLiteral("/card/IMG_0001.JPG")] = CacheEntry{4'000'000, 1.7e9, 8, a};
    cache[QStringLiteral("/卡/照片.heic")] = CacheEntry{12, 0, 7, PhotoAnalysis()};
    writeSeed(dir, QStringLiteral("cache2"), AnalysisCache::encode(cache));
    cache.erase(QStringLiteral("/卡/照片.heic"));
    writeSeed(dir, QStringLiteral("cache1"), AnalysisCache::encode(cache));

    bplist::Dict d;
    d.emplace_back("b", true);
    d.emplace_back("i", bplist::Array{-1, 300, int64_t(1) << 40});
    d.emplace_back("r", bplist::Array{0.5, 0.25f});
    d.emplace_back("s", QStringLiteral("x中"));
    d.emplace_back("d", QByteArray(20, 'z'));
    writeSeed(dir, QStringLiteral("types"), bplist::write(d));

    FolderDecisions decisions;
    decisions.folder = QStringLiteral("/card");
    decisions.photos = {{{QStringLiteral("IMG_1.JPG"), 4000, 1.7e9}, true},
                        {{QStringLiteral("子/IMG_2.CR3"), 25'000'000, 0}, false}};
    decisions.skippedGroups = {{1}};
    writeSeed(dir, QStringLiteral("decisions"), DecisionStore::encode(decisions));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (const char *dir = std::getenv("BPLIST_FUZZ_SEEDS"))
        writeSeeds(QString::fromLocal8Bit(dir));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)bplist::read(bytes);
    (void)AnalysisCache::decode(bytes);
    (void)DecisionStore::decode(bytes);
    return 0;
}
