#include "analysiscache.h"

#include "analysis/analyzer.h"
#include "platform/bplist.h"
#include "platform/fileops.h"
#include "platform/filepath.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>

namespace mendral::AnalysisCache {

namespace {

using bplist::Reader;

// ---- encoding ----

bplist::Value floats(const std::vector<float> &v)
{
    return bplist::FloatArray(v);
}

bplist::Value encodeAnalysis(const PhotoAnalysis &a)
{
    bplist::Array faces;
    faces.reserve(a.facePrints.size());
    for (const auto &print : a.facePrints)
        faces.push_back(floats(print));

    bplist::Dict d;
    d.reserve(14);
    d.emplace_back("sharpness", a.sharpness);
    d.emplace_back("exposure", a.exposure);
    d.emplace_back("brightness", a.brightness);
    d.emplace_back("highlights", a.highlights);
    d.emplace_back("shadows", a.shadows);
    d.emplace_back("faceCount", a.faceCount);
    d.emplace_back("faceQuality", a.faceQuality);
    d.emplace_back("eyeOpen", a.eyeOpen);
    if (a.featurePrint)
        d.emplace_back("featurePrint", floats(*a.featurePrint));
    d.emplace_back("facePrints", std::move(faces));
    d.emplace_back("mainFaceSide", a.mainFaceSide);
    d.emplace_back("humanCount", a.humanCount);
    if (a.hairPrint)
        d.emplace_back("hairPrint", floats(*a.hairPrint));
    if (a.torsoPrint)
        d.emplace_back("torsoPrint", floats(*a.torsoPrint));
    return d;
}

// ---- decoding: any missing key or wrong type fails the whole file ----

std::optional<int64_t> integer(const Reader &r, std::optional<uint64_t> ref)
{
    return ref ? r.toInteger(*ref) : std::nullopt;
}

std::optional<int> smallInteger(const Reader &r, std::optional<uint64_t> ref)
{
    const auto v = integer(r, ref);
    if (!v || *v < INT_MIN || *v > INT_MAX)
        return std::nullopt;
    return int(*v);
}

// Reals; an integer where a real is expected is taken at its value.
std::optional<double> real(const Reader &r, std::optional<uint64_t> ref)
{
    return ref ? r.toNumber(*ref) : std::nullopt;
}

std::optional<float> single(const Reader &r, std::optional<uint64_t> ref)
{
    const auto v = real(r, ref);
    if (!v || (std::isfinite(*v) && std::fabs(*v) > double(FLT_MAX)))
        return std::nullopt; // would not fit a 32-bit float
    return float(*v);
}

// An optional real: absent gives `absent`, present must decode.
std::optional<float> optionalSingle(const Reader &r, std::optional<uint64_t> ref, float absent)
{
    return ref ? single(r, ref) : std::optional<float>(absent);
}

std::optional<std::vector<float>> floatArray(const Reader &r, std::optional<uint64_t> ref)
{
    const auto items = ref ? r.arrayItems(*ref) : std::nullopt;
    if (!items)
        return std::nullopt;
    std::vector<float> out;
    out.reserve(items->size());
    for (uint64_t item : *items) {
        const auto v = single(r, item);
        if (!v)
            return std::nullopt;
        out.push_back(*v);
    }
    return out;
}

// An optional key: absent is fine, present must decode. The outer optional is the failure.
std::optional<std::optional<std::vector<float>>> optionalFloatArray(const Reader &r,
                                                                   std::optional<uint64_t> ref)
{
    if (!ref)
        return std::optional<std::vector<float>>();
    auto v = floatArray(r, ref);
    if (!v)
        return std::nullopt;
    return std::optional<std::vector<float>>(std::move(*v));
}

std::optional<PhotoAnalysis> decodeAnalysis(const Reader &r, uint64_t ref)
{
    const auto d = r.dictItems(ref);
    if (!d)
        return std::nullopt;
    const auto sharpness = single(r, r.find(*d, QLatin1StringView("sharpness")));
    const auto exposure = single(r, r.find(*d, QLatin1StringView("exposure")));
    // Files written before the exposure parts were kept have none: absent is fine.
    const auto brightness = optionalSingle(r, r.find(*d, QLatin1StringView("brightness")), -1.0f);
    const auto highlights = optionalSingle(r, r.find(*d, QLatin1StringView("highlights")), 0.0f);
    const auto shadows = optionalSingle(r, r.find(*d, QLatin1StringView("shadows")), 0.0f);
    const auto faceCount = smallInteger(r, r.find(*d, QLatin1StringView("faceCount")));
    const auto faceQuality = single(r, r.find(*d, QLatin1StringView("faceQuality")));
    const auto eyeOpen = single(r, r.find(*d, QLatin1StringView("eyeOpen")));
    auto featurePrint = optionalFloatArray(r, r.find(*d, QLatin1StringView("featurePrint")));
    const auto mainFaceSide = single(r, r.find(*d, QLatin1StringView("mainFaceSide")));
    const auto humanCount = smallInteger(r, r.find(*d, QLatin1StringView("humanCount")));
    auto hairPrint = optionalFloatArray(r, r.find(*d, QLatin1StringView("hairPrint")));
    auto torsoPrint = optionalFloatArray(r, r.find(*d, QLatin1StringView("torsoPrint")));
    const auto faces = [&]() -> std::optional<std::vector<uint64_t>> {
        const auto f = r.find(*d, QLatin1StringView("facePrints"));
        return f ? r.arrayItems(*f) : std::nullopt;
    }();
    if (!sharpness || !exposure || !brightness || !highlights || !shadows || !faceCount || !faceQuality || !eyeOpen || !featurePrint ||
        !mainFaceSide || !humanCount || !hairPrint || !torsoPrint || !faces)
        return std::nullopt;

    PhotoAnalysis a;
    a.sharpness = *sharpness;
    a.exposure = *exposure;
    a.brightness = *brightness;
    a.highlights = *highlights;
    a.shadows = *shadows;
    a.faceCount = *faceCount;
    a.faceQuality = *faceQuality;
    a.eyeOpen = *eyeOpen;
    a.featurePrint = std::move(*featurePrint);
    a.mainFaceSide = *mainFaceSide;
    a.humanCount = *humanCount;
    a.hairPrint = std::move(*hairPrint);
    a.torsoPrint = std::move(*torsoPrint);
    a.facePrints.reserve(faces->size());
    for (uint64_t face : *faces) {
        auto print = floatArray(r, face);
        if (!print)
            return std::nullopt;
        a.facePrints.push_back(std::move(*print));
    }
    return a;
}

std::optional<CacheEntry> decodeEntry(const Reader &r, uint64_t ref)
{
    const auto d = r.dictItems(ref);
    if (!d)
        return std::nullopt;
    const auto size = integer(r, r.find(*d, QLatin1StringView("size")));
    const auto mtime = real(r, r.find(*d, QLatin1StringView("mtime")));
    const auto version = smallInteger(r, r.find(*d, QLatin1StringView("version")));
    const auto analysisRef = r.find(*d, QLatin1StringView("analysis"));
    if (!size || !mtime || !version || !analysisRef)
        return std::nullopt;
    // Written only for entries analysed without every model; files from before it lack it.
    bool complete = true;
    if (const auto ref = r.find(*d, QLatin1StringView("complete"))) {
        const auto flag = r.toBool(*ref);
        if (!flag)
            return std::nullopt;
        complete = *flag;
    }
    auto analysis = decodeAnalysis(r, *analysisRef);
    if (!analysis)
        return std::nullopt;
    return CacheEntry{*size, *mtime, *version, std::move(*analysis), complete};
}

QString resolve(const QString &path)
{
    return path.isEmpty() ? cacheURL() : path;
}

} // namespace

QString cacheURL()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        return QString();
    const QString dir = base + QStringLiteral("/Mendral");
    QDir().mkpath(dir);
    return dir + QStringLiteral("/analysis.plist");
}

double modificationTime(const QString &path)
{
    const auto st = statFile(path);
    return st && st->modificationTime ? *st->modificationTime : 0.0;
}

bool isValid(const CacheEntry &entry, int64_t fileSize,
             const std::function<double()> &currentMtime, bool modelsComplete)
{
    if (entry.version != Analyzer::analysisVersion)
        return false;
    if (!entry.complete && modelsComplete)
        return false;
    if (entry.size != fileSize)
        return false;
    // A NaN on either side compares false: a miss.
    return std::fabs(currentMtime() - entry.mtime) < 1.5;
}

bool isValid(const CacheEntry &entry, const Photo &photo, bool modelsComplete)
{
    return isValid(entry, photo.fileSize, [&] { return modificationTime(photo.url); }, modelsComplete);
}

void store(AnalysisCacheMap &cache, const Photo &photo, const PhotoAnalysis &analysis, bool complete)
{
    cache[photo.id] = CacheEntry{photo.fileSize, modificationTime(photo.url), Analyzer::analysisVersion,
                                 analysis, complete};
}

QByteArray encode(const AnalysisCacheMap &cache)
{
    std::vector<const AnalysisCacheMap::value_type *> sorted;
    sorted.reserve(cache.size());
    for (const auto &item : cache)
        sorted.push_back(&item);
    std::sort(sorted.begin(), sorted.end(),
              [](const auto *a, const auto *b) { return a->first < b->first; });

    bplist::Dict root;
    root.reserve(sorted.size());
    for (const auto *item : sorted) {
        const CacheEntry &e = item->second;
        bplist::Dict entry;
        entry.reserve(5);
        entry.emplace_back("size", e.size);
        entry.emplace_back("mtime", e.mtime);
        entry.emplace_back("version", e.version);
        if (!e.complete)
            entry.emplace_back("complete", false);
        entry.emplace_back("analysis", encodeAnalysis(e.analysis));
        root.emplace_back(item->first, std::move(entry));
    }
    return bplist::write(std::move(root));
}

std::optional<AnalysisCacheMap> decode(const QByteArray &bytes)
{
    const auto r = Reader::open(bytes);
    if (!r)
        return std::nullopt;
    const auto root = r->dictItems(r->root());
    if (!root)
        return std::nullopt;
    AnalysisCacheMap cache;
    cache.reserve(root->keys.size());
    for (size_t i = 0; i < root->keys.size(); ++i) {
        auto key = r->toString(root->keys[i]);
        auto entry = key ? decodeEntry(*r, root->values[i]) : std::nullopt;
        if (!entry)
            return std::nullopt;
        cache.insert_or_assign(std::move(*key), std::move(*entry));
    }
    return cache;
}

AnalysisCacheMap load(const QString &path)
{
    QFile file(resolve(path));
    if (file.fileName().isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {};
    auto cache = decode(bytes);
    return cache ? std::move(*cache) : AnalysisCacheMap();
}

bool save(const AnalysisCacheMap &cache, const QString &path)
{
    const QString target = resolve(path);
    if (target.isEmpty())
        return false;
    return !writeFileAtomically(target, encode(cache));
}

} // namespace mendral::AnalysisCache
