#include "store/analysiscache.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace mendral;

namespace {

std::vector<float> ramp(size_t n, float start)
{
    std::vector<float> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = start + float(i) * 0.013f;
    return v;
}

AnalysisCacheMap sampleCache(int entries)
{
    AnalysisCacheMap cache;
    for (int i = 0; i < entries; ++i) {
        PhotoAnalysis a;
        a.sharpness = 100.25f + float(i);
        a.exposure = 0.7f;
        a.faceCount = i % 4;
        a.faceQuality = 0.3f;
        a.eyeOpen = i % 2 ? -1.0f : 0.8f;
        if (i % 3)
            a.featurePrint = ramp(480, float(i));
        for (int f = 0; f < i % 4; ++f)
            a.facePrints.push_back(ramp(256, -float(f)));
        a.mainFaceSide = 0.09f;
        a.humanCount = i % 5;
        if (i % 2) {
            a.hairPrint = ramp(64, 0.5f);
            a.torsoPrint = ramp(64, 0.25f);
        }
        cache[QStringLiteral("/媒体/卡/IMG_%1.JPG").arg(i, 4, 10, QChar('0'))] =
            CacheEntry{1000 + i, 1'700'000'000.25 + i, 8, a};
    }
    return cache;
}

/** Points the per-user data location at a temporary folder for one test. */
class DataHome : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_old = qgetenv("XDG_DATA_HOME");
        m_hadOld = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath("share")));
    }
    void TearDown() override
    {
        if (m_hadOld)
            qputenv("XDG_DATA_HOME", m_old);
        else
            qunsetenv("XDG_DATA_HOME");
    }
    QString dataHome() const { return m_dir.filePath("share"); }

    QTemporaryDir m_dir;
    QByteArray m_old;
    bool m_hadOld = false;
};

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace

TEST_F(DataHome, LocationIsCreatedUnderTheDataFolder)
{
    const QString path = AnalysisCache::cacheURL();
    EXPECT_EQ(path, dataHome() + "/Mendral/analysis.plist");
    EXPECT_TRUE(QFileInfo(dataHome() + "/Mendral").isDir());
}

TEST_F(DataHome, SaveThenLoadAtTheDefaultLocation)
{
    EXPECT_TRUE(AnalysisCache::load().empty()); // no file yet
    const AnalysisCacheMap cache = sampleCache(7);
    ASSERT_TRUE(AnalysisCache::save(cache));
    EXPECT_TRUE(QFile::exists(dataHome() + "/Mendral/analysis.plist"));
    EXPECT_EQ(AnalysisCache::load(), cache);
    EXPECT_EQ(filesIn(dataHome() + "/Mendral"), QStringList{"analysis.plist"});
}

TEST_F(DataHome, SaveReplacesTheWholeFile)
{
    ASSERT_TRUE(AnalysisCache::save(sampleCache(20)));
    const AnalysisCacheMap smaller = sampleCache(2);
    ASSERT_TRUE(AnalysisCache::save(smaller));
    EXPECT_EQ(AnalysisCache::load(), smaller);
}

TEST_F(DataHome, DamagedFileLoadsEmptyAndIsReplacedByTheNextSave)
{
    const QString path = AnalysisCache::cacheURL();
    ASSERT_TRUE(test::writeBytes(path, QByteArray("bplist00") + QByteArray(100, '\x7F')));
    EXPECT_TRUE(AnalysisCache::load().empty());
    ASSERT_TRUE(AnalysisCache::save(sampleCache(1)));
    EXPECT_EQ(AnalysisCache::load().size(), 1u);
}

TEST_F(DataHome, FailedWriteKeepsThePreviousFile)
{
    // A file-size limit makes the write fail part-way, as a full disk would.
    const AnalysisCacheMap previous = sampleCache(1);
    ASSERT_TRUE(AnalysisCache::save(previous));
    const QString path = AnalysisCache::cacheURL();
    const QByteArray before = [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    ASSERT_LT(before.size(), 16384);

    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 16384;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = AnalysisCache::save(sampleCache(50));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    QFile after(path);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
    EXPECT_EQ(AnalysisCache::load(), previous);
    EXPECT_EQ(filesIn(dataHome() + "/Mendral"), QStringList{"analysis.plist"}); // no leftovers
}

TEST(CacheFile, UnwritableLocationFailsQuietly)
{
    QTemporaryDir dir;
    const QString blocker = dir.filePath("not-a-folder");
    ASSERT_TRUE(test::writeBytes(blocker, "x"));
    EXPECT_FALSE(AnalysisCache::save(sampleCache(1), blocker + "/Mendral/analysis.plist"));
    EXPECT_TRUE(AnalysisCache::load(blocker + "/Mendral/analysis.plist").empty());
    // A folder where the file should be.
    ASSERT_TRUE(QDir().mkpath(dir.filePath("Mendral/analysis.plist")));
    EXPECT_FALSE(AnalysisCache::save(sampleCache(1), dir.filePath("Mendral/analysis.plist")));
    EXPECT_TRUE(AnalysisCache::load(dir.filePath("Mendral/analysis.plist")).empty());
    EXPECT_EQ(QFileInfo(blocker).size(), 1);
}

TEST(CacheFile, AnotherReaderSeesTheSameValues)
{
    const QString python = QStringLiteral("/usr/bin/python3");
    if (!QFileInfo(python).isExecutable())
        GTEST_SKIP() << "python3 is not installed";
    QTemporaryDir dir;
    const QString path = dir.filePath("analysis.plist");
    const AnalysisCacheMap cache = sampleCache(6);
    ASSERT_TRUE(AnalysisCache::save(cache, path));

    // plistlib reads the binary list on its own; JSON carries its doubles back exactly.
    QProcess p;
    p.start(python, {"-c",
                     "import json, plistlib, sys\n"
                     "with open(sys.argv[1], 'rb') as f:\n"
                     "    data = plistlib.load(f, fmt=plistlib.FMT_BINARY)\n"
                     "json.dump(data, sys.stdout)\n",
                     path});
    ASSERT_TRUE(p.waitForFinished(60000));
    ASSERT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    const QJsonObject root = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    ASSERT_EQ(root.size(), qsizetype(cache.size()));

    auto floatsEqual = [](const QJsonValue &v, const std::vector<float> &expected) {
        const QJsonArray a = v.toArray();
        if (a.size() != qsizetype(expected.size()))
            return false;
        for (qsizetype i = 0; i < a.size(); ++i) {
            if (a[i].toDouble() != double(expected[size_t(i)]))
                return false;
        }
        return true;
    };
    for (const auto &[key, entry] : cache) {
        SCOPED_TRACE(key.toStdString());
        const QJsonObject e = root.value(key).toObject();
        EXPECT_EQ(e.keys(), (QStringList{"analysis", "mtime", "size", "version"}));
        EXPECT_EQ(e.value("size").toInteger(), entry.size);
        EXPECT_EQ(e.value("mtime").toDouble(), entry.mtime);
        EXPECT_EQ(e.value("version").toInteger(), entry.version);
        const QJsonObject a = e.value("analysis").toObject();
        const PhotoAnalysis &x = entry.analysis;
        EXPECT_EQ(a.value("sharpness").toDouble(), double(x.sharpness));
        EXPECT_EQ(a.value("exposure").toDouble(), double(x.exposure));
        EXPECT_EQ(a.value("faceCount").toInteger(), x.faceCount);
        EXPECT_EQ(a.value("faceQuality").toDouble(), double(x.faceQuality));
        EXPECT_EQ(a.value("eyeOpen").toDouble(), double(x.eyeOpen));
        EXPECT_EQ(a.value("mainFaceSide").toDouble(), double(x.mainFaceSide));
        EXPECT_EQ(a.value("humanCount").toInteger(), x.humanCount);
        EXPECT_EQ(a.contains("featurePrint"), x.featurePrint.has_value());
        EXPECT_EQ(a.contains("hairPrint"), x.hairPrint.has_value());
        EXPECT_EQ(a.contains("torsoPrint"), x.torsoPrint.has_value());
        if (x.featurePrint)
            EXPECT_TRUE(floatsEqual(a.value("featurePrint"), *x.featurePrint));
        if (x.hairPrint)
            EXPECT_TRUE(floatsEqual(a.value("hairPrint"), *x.hairPrint));
        if (x.torsoPrint)
            EXPECT_TRUE(floatsEqual(a.value("torsoPrint"), *x.torsoPrint));
        const QJsonArray faces = a.value("facePrints").toArray();
        ASSERT_EQ(faces.size(), qsizetype(x.facePrints.size()));
        for (qsizetype i = 0; i < faces.size(); ++i)
            EXPECT_TRUE(floatsEqual(faces[i], x.facePrints[size_t(i)]));
    }
}
