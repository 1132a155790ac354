#include "platform/bplist.h"
#include "analysis/analyzer.h"
#include "store/analysiscache.h"
#include "support/testfiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

using namespace mendral;

namespace {

std::vector<float> ramp(size_t n, float start)
{
    std::vector<float> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = start + float(i) * 0.001f;
    return v;
}

PhotoAnalysis fullAnalysis()
{
    PhotoAnalysis a;
    a.sharpness = 1234.567f;
    a.exposure = 0.1f;
    a.brightness = 0.62f;
    a.highlights = 0.031f;
    a.shadows = 0.004f;
    a.faceCount = 3;
    a.faceQuality = 0.41f;
    a.eyeOpen = 0.0f;
    a.featurePrint = ramp(480, -0.2f);
    a.facePrints = {ramp(256, 0.3f), ramp(256, -0.7f)};
    a.mainFaceSide = 0.125f;
    a.humanCount = 2;
    a.hairPrint = ramp(64, 0.0f);
    a.torsoPrint = ramp(64, 1e-30f);
    return a;
}

PhotoAnalysis bareAnalysis()
{
    PhotoAnalysis a;
    a.exposure = 0.5f;
    return a; // no prints at all, no faces
}

AnalysisCacheMap twoEntries()
{
    AnalysisCacheMap cache;
    cache[QStringLiteral("/card/DCIM/IMG_0001.JPG")] =
        CacheEntry{5'123'456, 1'700'000'000.123456, 8, fullAnalysis()};
    cache[QStringLiteral("/卡/照片_2.HEIC")] = CacheEntry{42, 0.0, 7, bareAnalysis()};
    return cache;
}

// The file of twoEntries() as a tree, so tests can damage it precisely.
bplist::Value tree()
{
    auto v = bplist::read(AnalysisCache::encode(twoEntries()));
    EXPECT_TRUE(v);
    return *v;
}

bplist::Dict &dictAt(bplist::Value &v) { return std::get<bplist::Dict>(v.data); }

bplist::Value *member(bplist::Value &dict, const char *key)
{
    for (auto &[k, v] : dictAt(dict)) {
        if (k == QLatin1StringView(key))
            return &v;
    }
    return nullptr;
}

bplist::Value &analysisOfFirst(bplist::Value &root)
{
    return *member(dictAt(root).at(0).second, "analysis");
}

void eraseKey(bplist::Value &dict, const char *key)
{
    auto &d = dictAt(dict);
    std::erase_if(d, [&](const auto &kv) { return kv.first == QLatin1StringView(key); });
}

bool decodes(const bplist::Value &v)
{
    return AnalysisCache::decode(bplist::write(v)).has_value();
}

} // namespace

// ---- validity ----

namespace {
constexpr int current = Analyzer::analysisVersion;
}

TEST(CacheValidity, TimeDifferenceBoundaryOnRealFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("IMG_0001.JPG");
    ASSERT_TRUE(test::writeBytes(path, "abc"));
    const double t = 1'700'000'000.0;
    ASSERT_TRUE(test::setModificationTime(path, t));
    Photo photo(path, {}, 0, 3, 0, 0, false);

    EXPECT_TRUE(AnalysisCache::isValid(CacheEntry{3, t + 1.4, current, {}}, photo));
    EXPECT_TRUE(AnalysisCache::isValid(CacheEntry{3, t - 1.4, current, {}}, photo));
    EXPECT_FALSE(AnalysisCache::isValid(CacheEntry{3, t + 1.5, current, {}}, photo));
    EXPECT_FALSE(AnalysisCache::isValid(CacheEntry{3, t - 1.5, current, {}}, photo));
}

TEST(CacheValidity, OtherVersionMissesEvenWhenFileMatches)
{
    int reads = 0;
    auto mtime = [&] { ++reads; return 100.0; };
    EXPECT_FALSE(AnalysisCache::isValid(CacheEntry{10, 100.0, current - 1, {}}, 10, mtime));
    EXPECT_FALSE(AnalysisCache::isValid(CacheEntry{10, 100.0, current + 1, {}}, 10, mtime));
    EXPECT_EQ(reads, 0);
    EXPECT_TRUE(AnalysisCache::isValid(CacheEntry{10, 100.0, current, {}}, 10, mtime));
    EXPECT_EQ(reads, 1);
}

TEST(CacheValidity, GrownFileMissesWithoutReadingTheTime)
{
    int reads = 0;
    auto mtime = [&] { ++reads; return 100.0; };
    EXPECT_FALSE(AnalysisCache::isValid(CacheEntry{10, 100.0, current, {}}, 11, mtime));
    EXPECT_EQ(reads, 0);
}

TEST(CacheValidity, UnreadableTimeCountsAsZeroOnBothSides)
{
    QTemporaryDir dir;
    Photo gone(dir.filePath("gone.jpg"), {}, 0, 10, 0, 0, false);
    EXPECT_TRUE(AnalysisCache::isValid(CacheEntry{10, 0.0, current, {}}, gone));
    EXPECT_FALSE(AnalysisCache::isValid(CacheEntry{10, 1'700'000'000.0, current, {}}, gone));
    EXPECT_FALSE(AnalysisCache::isValid(CacheEntry{10, std::nan(""), current, {}}, 10, [] { return 0.0; }));
}

// An analysis made without the models is kept for as long as they are missing (analysing it
// again would give the same), and done again once they are back.
TEST(CacheValidity, EntryAnalysedWithoutModelsServesOnlyWhileModelsAreMissing)
{
    auto mtime = [] { return 100.0; };
    const CacheEntry partial{10, 100.0, current, {}, false};
    EXPECT_TRUE(AnalysisCache::isValid(partial, 10, mtime, false));
    EXPECT_FALSE(AnalysisCache::isValid(partial, 10, mtime, true));
    EXPECT_FALSE(AnalysisCache::isValid(partial, 10, mtime)) << "the program's usual case: models there";
    const CacheEntry complete{10, 100.0, current, {}};
    EXPECT_TRUE(AnalysisCache::isValid(complete, 10, mtime, false));
    EXPECT_TRUE(AnalysisCache::isValid(complete, 10, mtime, true));
}

TEST(CacheStore, RecordsSizeTimeVersionAndReplaces)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.jpg");
    ASSERT_TRUE(test::writeBytes(path, "12345"));
    ASSERT_TRUE(test::setModificationTime(path, 1'600'000'000.5));
    Photo photo(path, {}, 0, 5, 0, 0, false);

    AnalysisCacheMap cache;
    AnalysisCache::store(cache, photo, bareAnalysis());
    AnalysisCache::store(cache, photo, fullAnalysis());
    ASSERT_EQ(cache.size(), 1u);
    const CacheEntry &e = cache.at(path);
    EXPECT_EQ(e.size, 5);
    EXPECT_EQ(e.mtime, 1'600'000'000.5);
    EXPECT_EQ(e.version, current);
    EXPECT_EQ(e.analysis, fullAnalysis());
    EXPECT_TRUE(AnalysisCache::isValid(e, photo));
}

// ---- encoding ----

TEST(CacheEncoding, RoundTripsEveryField)
{
    const AnalysisCacheMap cache = twoEntries();
    const auto back = AnalysisCache::decode(AnalysisCache::encode(cache));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, cache);
}

TEST(CacheEncoding, IncompleteEntriesKeepTheirMarkAndOthersWriteNone)
{
    AnalysisCacheMap cache = twoEntries();
    cache.at(QStringLiteral("/卡/照片_2.HEIC")).complete = false;
    const auto back = AnalysisCache::decode(AnalysisCache::encode(cache));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, cache);
    EXPECT_FALSE(back->at(QStringLiteral("/卡/照片_2.HEIC")).complete);
    // Complete entries are written as before the mark existed, so older files read as complete.
    bplist::Value root = tree();
    EXPECT_EQ(member(dictAt(root).at(0).second, "complete"), nullptr);
    *member(dictAt(root).at(0).second, "version") = int64_t(current);
    dictAt(dictAt(root).at(0).second).emplace_back("complete", "no");
    EXPECT_FALSE(decodes(root)) << "a mark that is not a boolean is damage";
}

TEST(CacheEncoding, EmptyCacheRoundTrips)
{
    const auto back = AnalysisCache::decode(AnalysisCache::encode({}));
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->empty());
}

TEST(CacheEncoding, AbsentOptionalsHaveNoKeyAndEmptyFaceListIsKept)
{
    bplist::Value root = tree();
    // Keys are written in order: the path under "/card" sorts before the one under "/卡".
    bplist::Value &bare = *member(dictAt(root).at(1).second, "analysis");
    EXPECT_EQ(member(bare, "featurePrint"), nullptr);
    EXPECT_EQ(member(bare, "hairPrint"), nullptr);
    EXPECT_EQ(member(bare, "torsoPrint"), nullptr);
    ASSERT_NE(member(bare, "facePrints"), nullptr);
    EXPECT_EQ(*member(bare, "facePrints"), bplist::Value(bplist::Array{}));
    EXPECT_EQ(dictAt(bare).size(), 11u);
    EXPECT_EQ(dictAt(analysisOfFirst(root)).size(), 14u);
    // Files from before the exposure parts were kept lack them: they read as not measured.
    auto &first = dictAt(analysisOfFirst(root));
    std::erase_if(first, [](const auto &kv) {
        return kv.first == QLatin1StringView("brightness") || kv.first == QLatin1StringView("highlights")
            || kv.first == QLatin1StringView("shadows");
    });
    const auto back = AnalysisCache::decode(bplist::write(root));
    ASSERT_TRUE(back);
    const PhotoAnalysis &old = back->at(QStringLiteral("/card/DCIM/IMG_0001.JPG")).analysis;
    EXPECT_EQ(old.brightness, -1.0f);
    EXPECT_EQ(old.highlights + old.shadows, 0.0f);
    EXPECT_EQ(old.sharpness, 1234.567f);
}

TEST(CacheEncoding, FieldTypesInTheFile)
{
    bplist::Value root = tree();
    bplist::Value &entry = dictAt(root).at(0).second;
    EXPECT_TRUE(member(entry, "size")->is<int64_t>());
    EXPECT_TRUE(member(entry, "mtime")->is<double>()); // full precision for file times
    EXPECT_TRUE(member(entry, "version")->is<int64_t>());
    bplist::Value &a = analysisOfFirst(root);
    for (const char *key : {"sharpness", "exposure", "brightness", "highlights", "shadows", "faceQuality",
                            "eyeOpen", "mainFaceSide"})
        EXPECT_TRUE(member(a, key)->is<bplist::Float>()) << key;
    for (const char *key : {"faceCount", "humanCount"})
        EXPECT_TRUE(member(a, key)->is<int64_t>()) << key;
}

TEST(CacheEncoding, ExtremeValues)
{
    PhotoAnalysis a;
    a.sharpness = FLT_MAX;
    a.exposure = FLT_MIN / 4; // denormal
    a.eyeOpen = -1.0f;
    a.faceCount = INT_MAX;
    a.humanCount = INT_MIN;
    a.featurePrint = std::vector<float>{};
    a.facePrints = {{}, {1.0f}};
    AnalysisCacheMap cache;
    cache[QString()] = CacheEntry{INT64_MIN, -1e300, -8, a};
    QString oddPath = QStringLiteral("/card/caf");
    oddPath.append(QChar(char16_t(0xDCE9))); // a name byte that is not UTF-8
    cache[oddPath] = CacheEntry{INT64_MAX, 1e300, 0, a};
    const auto back = AnalysisCache::decode(AnalysisCache::encode(cache));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, cache);
}

TEST(CacheEncoding, IntegerWhereARealIsExpectedIsTakenAtItsValue)
{
    bplist::Value root = tree();
    *member(analysisOfFirst(root), "sharpness") = 12;
    *member(dictAt(root).at(0).second, "mtime") = int64_t(1'700'000'000);
    const auto back = AnalysisCache::decode(bplist::write(root));
    ASSERT_TRUE(back);
    const CacheEntry &e = back->at(QStringLiteral("/card/DCIM/IMG_0001.JPG"));
    EXPECT_EQ(e.analysis.sharpness, 12.0f);
    EXPECT_EQ(e.mtime, 1'700'000'000.0);
}

TEST(CacheEncoding, UnknownExtraKeysAreIgnored)
{
    bplist::Value root = tree();
    dictAt(analysisOfFirst(root)).emplace_back("futureField", "x");
    EXPECT_TRUE(decodes(root));
}

// ---- files of another shape: the whole cache reads as nothing ----

TEST(CacheDecoding, EntryMissingHumanCountFailsTheWholeFile)
{
    bplist::Value root = tree();
    eraseKey(analysisOfFirst(root), "humanCount");
    EXPECT_FALSE(decodes(root));
}

TEST(CacheDecoding, EveryRequiredKeyIsRequired)
{
    for (const char *key : {"sharpness", "exposure", "faceCount", "faceQuality", "eyeOpen",
                            "facePrints", "mainFaceSide", "humanCount"}) {
        bplist::Value root = tree();
        eraseKey(analysisOfFirst(root), key);
        EXPECT_FALSE(decodes(root)) << key;
    }
    for (const char *key : {"size", "mtime", "version", "analysis"}) {
        bplist::Value root = tree();
        eraseKey(dictAt(root).at(1).second, key);
        EXPECT_FALSE(decodes(root)) << key;
    }
}

TEST(CacheDecoding, ArraysHoldingStrings)
{
    for (const char *key : {"featurePrint", "hairPrint", "torsoPrint"}) {
        bplist::Value root = tree();
        *member(analysisOfFirst(root), key) = bplist::Array{0.5f, "0.5"};
        EXPECT_FALSE(decodes(root)) << key;
    }
    bplist::Value root = tree();
    *member(analysisOfFirst(root), "facePrints") = bplist::Array{bplist::Array{"a"}};
    EXPECT_FALSE(decodes(root));
    *member(analysisOfFirst(root), "facePrints") = bplist::Array{"a"};
    EXPECT_FALSE(decodes(root));
}

TEST(CacheDecoding, WrongTypesAndRanges)
{
    auto damaged = [](auto change) {
        bplist::Value root = tree();
        change(root);
        return decodes(root);
    };
    EXPECT_FALSE(damaged([](bplist::Value &r) { r = bplist::Array{}; }));
    EXPECT_FALSE(damaged([](bplist::Value &r) { dictAt(r).at(0).second = 1; }));
    EXPECT_FALSE(damaged([](bplist::Value &r) { *member(dictAt(r).at(0).second, "version") = "8"; }));
    EXPECT_FALSE(damaged([](bplist::Value &r) { *member(dictAt(r).at(0).second, "size") = 1.0; }));
    EXPECT_FALSE(damaged([](bplist::Value &r) { *member(dictAt(r).at(0).second, "analysis") = bplist::Array{}; }));
    EXPECT_FALSE(damaged([](bplist::Value &r) { *member(analysisOfFirst(r), "faceCount") = 2.0; }));
    EXPECT_FALSE(damaged([](bplist::Value &r) { *member(analysisOfFirst(r), "faceCount") = int64_t(1) << 40; }));
    EXPECT_FALSE(damaged([](bplist::Value &r) { *member(analysisOfFirst(r), "eyeOpen") = 1e300; }));
    EXPECT_FALSE(damaged([](bplist::Value &r) { *member(analysisOfFirst(r), "exposure") = true; }));
    EXPECT_FALSE(damaged([](bplist::Value &r) { *member(analysisOfFirst(r), "featurePrint") = QByteArray("x"); }));
}

TEST(CacheDecoding, TruncatedRandomAndForeignBytes)
{
    const QByteArray good = AnalysisCache::encode(twoEntries());
    for (qsizetype n = 0; n < good.size(); n += 37)
        EXPECT_FALSE(AnalysisCache::decode(good.left(n))) << n;
    EXPECT_FALSE(AnalysisCache::decode(QByteArray(4096, '\xA5')));
    EXPECT_FALSE(AnalysisCache::decode(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
        "<key>/a.jpg</key><dict><key>size</key><integer>1</integer></dict></dict></plist>"));
}

TEST(CacheDecoding, AbsurdTrailerCountsAndOffsets)
{
    const QByteArray good = AnalysisCache::encode(twoEntries());
    const qsizetype trailer = good.size() - 32;
    auto patched = [&](qsizetype at, int width, uint64_t value) {
        QByteArray b = good;
        for (int i = 0; i < width; ++i)
            b[at + i] = char((value >> (8 * (width - 1 - i))) & 0xFF);
        return b;
    };
    for (uint64_t huge : {uint64_t(1) << 40, ~uint64_t(0), uint64_t(good.size())}) {
        EXPECT_FALSE(AnalysisCache::decode(patched(trailer + 8, 8, huge)));  // object count
        EXPECT_FALSE(AnalysisCache::decode(patched(trailer + 16, 8, huge))); // root object
        EXPECT_FALSE(AnalysisCache::decode(patched(trailer + 24, 8, huge))); // table offset
    }
    EXPECT_FALSE(AnalysisCache::decode(patched(trailer + 6, 1, 0)));  // offset width
    EXPECT_FALSE(AnalysisCache::decode(patched(trailer + 7, 1, 200))); // reference width
    // Every entry of the offset table pointed past the objects in turn.
    const auto r = bplist::Reader::open(good);
    ASSERT_TRUE(r);
    const int offsetSize = good[trailer + 6];
    qsizetype table = 0;
    for (int i = 0; i < 8; ++i)
        table = (table << 8) | uchar(good[trailer + 24 + i]);
    for (uint64_t i = 0; i < r->objectCount(); i += 97)
        EXPECT_FALSE(AnalysisCache::decode(patched(table + qsizetype(i) * offsetSize, offsetSize,
                                                   uint64_t(good.size()))));
}
