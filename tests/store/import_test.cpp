// The import pipeline end to end on generated folders, settings, and regrouping.

#include "platform/fileops.h"
#include "storetestsupport.h"
#include "support/testfiles.h"
#include "vision/modelcheck.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace mendral;

namespace {

class Import : public ::testing::Test {
protected:
    test::StoreFixture fx;
    std::atomic<int> analysed{0};

    // Analysis, counted.
    Analyzer::AnalyzeFunction countingAnalyzer()
    {
        return [this](const QString &url) {
            ++analysed;
            return quickAnalysis(url);
        };
    }
    // A fast stand-in where the test is about the pipeline, not the analysis.
    static std::optional<PhotoAnalysis> quickAnalysis(const QString &)
    {
        PhotoAnalysis a;
        a.sharpness = 100;
        a.exposure = 0.9f;
        a.featurePrint = std::vector<float>{1.0f, 0.0f};
        return a;
    }
    QString card() const { return fx.dir.path() + "/Card"; }

    void makeCard(int n, const QString &sub = QString())
    {
        QDir().mkpath(card() + sub);
        for (int i = 0; i < n; ++i) {
            const QString p = card() + sub + QString("/IMG_%1.JPG").arg(i);
            ASSERT_TRUE(test::writeImage(p, 320, 240, QColor::fromHsv((i * 67) % 360, 200, 60 + 40 * (i % 4))));
            ASSERT_TRUE(test::writeExif(p, {QString("2024:05:01 10:%1:00").arg(i * 7, 2, 10, QChar('0')),
                                            std::nullopt, std::nullopt, std::nullopt}));
        }
    }
    // Digest of every file under the card, to prove nothing there changes.
    QMap<QString, QByteArray> cardDigests() const
    {
        QMap<QString, QByteArray> out;
        QDirIterator it(card(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString p = it.next();
            out.insert(p, md5OfFile(p).value_or(QByteArray()));
        }
        return out;
    }
    static bool runImport(AppStore &store, const QString &folder, QStringList *statuses = nullptr)
    {
        bool done = false;
        auto c1 = QObject::connect(&store, &AppStore::importFinished, [&] { done = true; });
        auto c2 = QObject::connect(&store, &AppStore::textsChanged, [&] {
            if (statuses)
                statuses->append(store.statusText());
        });
        store.start(folder);
        const bool ok = test::waitUntil([&] { return done; });
        QObject::disconnect(c1);
        QObject::disconnect(c2);
        return ok;
    }
};

} // namespace

TEST_F(Import, ImportsThenServesEverythingFromTheCache)
{
    makeCard(4);
    const auto before = cardDigests();
    {
        auto store = fx.make();
        store->setAnalyzeFunction(countingAnalyzer());
        QStringList statuses;
        ASSERT_TRUE(runImport(*store, card(), &statuses));
        EXPECT_EQ(analysed.load(), 4);
        EXPECT_EQ(store->phase(), Phase::ready);
        EXPECT_EQ(store->progress(), 1.0);
        ASSERT_EQ(store->photos().size(), 4u);
        for (const Photo &p : store->photos())
            EXPECT_TRUE(p.analyzed) << p.name().toStdString();
        EXPECT_FALSE(store->groups().empty());
        EXPECT_TRUE(statuses.contains("正在扫描 Card…"));
        EXPECT_TRUE(statuses.contains("分析中… 共 4 张"));
        EXPECT_EQ(store->statusText(), store->summaryStatusText());
        EXPECT_TRUE(store->statusText().startsWith("4 张 · "));
        EXPECT_EQ(store->selectedGroupID(), store->groups().front().id);
    }
    ASSERT_TRUE(QFile::exists(fx.cachePath()));
    const QByteArray cacheBytes = [&] {
        QFile f(fx.cachePath());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    const auto cacheTime = QFileInfo(fx.cachePath()).lastModified();

    // A new store (a new run of the program) loads the cache and analyses nothing.
    auto store = fx.make();
    store->setAnalyzeFunction(countingAnalyzer());
    EXPECT_EQ(store->analysisCache().size(), 4u);
    QStringList statuses;
    ASSERT_TRUE(runImport(*store, card(), &statuses));
    EXPECT_EQ(analysed.load(), 4); // nothing analysed the second time
    EXPECT_TRUE(statuses.contains("分析中… 已有 4 张走缓存，还需处理 0 张"));
    EXPECT_EQ(store->phase(), Phase::ready);
    EXPECT_EQ(store->progress(), 1.0);
    QFile f(fx.cachePath());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), cacheBytes);
    EXPECT_EQ(QFileInfo(fx.cachePath()).lastModified(), cacheTime);
    EXPECT_EQ(cardDigests(), before);
}

TEST_F(Import, APhotoThatCannotBeAnalysedIsTriedAgainWithoutRewritingTheCache)
{
    makeCard(3);
    const auto failingOne = [this](const QString &url) -> std::optional<PhotoAnalysis> {
        ++analysed;
        if (url.endsWith("IMG_1.JPG"))
            return std::nullopt;
        return quickAnalysis(url);
    };
    {
        auto store = fx.make();
        store->setAnalyzeFunction(failingOne);
        ASSERT_TRUE(runImport(*store, card()));
        EXPECT_EQ(analysed.load(), 3);
    }
    ASSERT_TRUE(QFile::exists(fx.cachePath()));
    const auto cacheTime = QFileInfo(fx.cachePath()).lastModified();

    auto store = fx.make();
    store->setAnalyzeFunction(failingOne);
    EXPECT_EQ(store->analysisCache().size(), 2u);
    ASSERT_TRUE(runImport(*store, card()));
    EXPECT_EQ(analysed.load(), 4); // only the failing photo again
    EXPECT_EQ(store->phase(), Phase::ready);
    EXPECT_EQ(QFileInfo(fx.cachePath()).lastModified(), cacheTime);
}

// Without its models the analysis is weaker: the user is told once a run, and what was analysed
// then is kept only until the models are back.
TEST_F(Import, MissingModelsAreToldOnceAndTheirAnalysesRedoneWhenTheyAreBack)
{
    makeCard(3);
    QStringList missing{"缺少场景与人物模型 /x/centernet.json"};
    auto check = [&] { return missing; };
    {
        auto store = fx.make();
        store->setAnalyzeFunction(countingAnalyzer());
        store->setModelCheck(check);
        int notices = 0;
        QObject::connect(store.get(), &AppStore::textsChanged, [&] {
            notices += store->modelNotice().isEmpty() ? 0 : 1;
        });
        ASSERT_TRUE(runImport(*store, card()));
        EXPECT_EQ(store->modelNotice(), models::notice(missing));
        EXPECT_TRUE(store->modelNotice().contains("centernet.json"));
        EXPECT_TRUE(store->modelNotice().contains("scripts/setup"));
        EXPECT_GE(notices, 1) << "announced to the window";
        EXPECT_FALSE(store->errorText()) << "photos were still analysed: not an error";
        EXPECT_EQ(analysed.load(), 3);
        for (const auto &[id, entry] : store->analysisCache())
            EXPECT_FALSE(entry.complete) << id.toStdString();
        // Still missing: the weaker analyses serve, and the notice keeps its text.
        const QString notice = store->modelNotice();
        ASSERT_TRUE(runImport(*store, card()));
        EXPECT_EQ(analysed.load(), 3);
        EXPECT_EQ(store->modelNotice(), notice);
    }
    // Next run, models back: every photo is analysed again, and nothing is said.
    missing.clear();
    auto store = fx.make();
    store->setAnalyzeFunction(countingAnalyzer());
    store->setModelCheck(check);
    ASSERT_TRUE(runImport(*store, card()));
    EXPECT_EQ(analysed.load(), 6);
    EXPECT_TRUE(store->modelNotice().isEmpty());
    for (const auto &[id, entry] : store->analysisCache())
        EXPECT_TRUE(entry.complete) << id.toStdString();
    ASSERT_TRUE(runImport(*store, card()));
    EXPECT_EQ(analysed.load(), 6) << "complete analyses serve";
}

TEST_F(Import, EmptyFoldersGiveTheirMessages)
{
    QDir().mkpath(card() + "/sub");
    ASSERT_TRUE(test::writeBytes(card() + "/notes.txt", "x"));
    auto store = fx.make();
    ASSERT_TRUE(runImport(*store, card()));
    EXPECT_EQ(store->phase(), Phase::idle);
    EXPECT_EQ(store->errorText(), QString("这个文件夹里没有找到可识别的照片（jpg / heic / png / tif / raw）"));
    EXPECT_EQ(store->statusText(), "");
    EXPECT_EQ(store->sourceFolder(), card());

    makeCard(1, "/sub");
    store->setIncludeSubfolders(false);
    ASSERT_TRUE(runImport(*store, card()));
    EXPECT_EQ(store->errorText(),
              QString("这一层没有找到照片。如果照片在子文件夹里，导入时记得勾选「包含子文件夹」"));
    store->setIncludeSubfolders(true);
    ASSERT_TRUE(runImport(*store, card()));
    EXPECT_EQ(store->photos().size(), 1u);
}

TEST_F(Import, NewerImportWinsOverASupersededOne)
{
    makeCard(6, "/A");
    makeCard(2, "/B");
    auto store = fx.make();
    store->setAnalyzeFunction(quickAnalysis);
    int finished = 0;
    QObject::connect(store.get(), &AppStore::importFinished, [&] { ++finished; });
    store->start(card() + "/A");
    // Let the first import get going, then supersede it.
    test::waitUntil([&] { return store->phase() != Phase::idle; }, 5000);
    store->start(card() + "/B");
    ASSERT_TRUE(test::waitUntil([&] { return finished >= 1 && store->phase() == Phase::ready; }));
    // Give a stale continuation every chance to land.
    for (int i = 0; i < 50; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(store->sourceFolder(), card() + "/B");
    ASSERT_EQ(store->photos().size(), 2u);
    for (const Photo &p : store->photos())
        EXPECT_TRUE(p.url.startsWith(card() + "/B/"));
    EXPECT_EQ(store->progress(), 1.0);
}

TEST_F(Import, SettingsPersistAndFeedGrouping)
{
    fx.settings.setValue("simFactor", 0.8);
    fx.settings.setValue("includeSubfolders", false);
    auto store = fx.make();
    EXPECT_DOUBLE_EQ(store->simFactor(), 0.8);
    EXPECT_FLOAT_EQ(store->clusterOptions().simFactor, 0.8f);
    EXPECT_FALSE(store->includeSubfolders());
    EXPECT_TRUE(store->showDecidedPane());

    // The chooser starts with the stored state; cancelling changes nothing.
    store->pickFolder();
    EXPECT_TRUE(fx.dialogs.askedImport);
    EXPECT_FALSE(fx.dialogs.checkboxStart);
    EXPECT_FALSE(store->includeSubfolders());

    store->setMaxGroupSize(1);
    EXPECT_EQ(store->clusterOptions().maxGroupSize, 2);
    store->setMaxGroupSize(0);
    EXPECT_EQ(store->clusterOptions().maxGroupSize, 2);
    store->setDecidedFlatMode(true);
    store->setShowDecidedPane(false);
    store.reset();
    auto again = fx.make();
    EXPECT_TRUE(again->decidedFlatMode());
    EXPECT_FALSE(again->showDecidedPane());
    EXPECT_EQ(again->maxGroupSize(), 20); // not persisted
}

TEST_F(Import, RegroupKeepsDecisionsOfUnchangedGroupsAndDropsUndo)
{
    makeCard(5);
    auto store = fx.make();
    store->setAnalyzeFunction(quickAnalysis);
    ASSERT_TRUE(runImport(*store, card()));
    ASSERT_FALSE(store->groups().empty());
    const int id = store->groups().front().id;
    store->choose(id, 0);
    if (store->groups().size() > 1)
        store->skip(store->groups().back().id);
    const auto before = store->groups();
    store->openReview(id);
    store->regroup();
    ASSERT_EQ(store->groups().size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        EXPECT_EQ(store->groups()[i].picks, before[i].picks);
        EXPECT_EQ(store->groups()[i].skipped, before[i].skipped);
    }
    EXPECT_FALSE(store->canUndo()); // group numbers were rebuilt
    EXPECT_EQ(store->reviewGroupID(), id);
    EXPECT_EQ(store->statusText(), store->summaryStatusText());
}
