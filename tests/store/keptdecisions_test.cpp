// Decisions kept on disk: restored by a later import in a new store, whatever the grouping;
// changed files, damaged decision files, a folder left for another, a killed process.

#include "platform/fileops.h"
#include "platform/filepath.h"
#include "platform/bplist.h"
#include "store/decisionstore.h"
#include "storetestsupport.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <map>

using namespace mendral;

namespace {

class KeptDecisions : public ::testing::Test {
protected:
    test::StoreFixture fx;

    QString card() const { return fx.dir.path() + "/Card"; }
    QString decisionsDir() const { return DecisionStore::folderBeside(fx.cachePath()); }
    QString fileOf(const QString &folder) const { return DecisionStore::fileFor(decisionsDir(), folder); }

    // Two scenes of three frames, 40 s apart: A's prints lie 0.15 apart, as do B's, and the
    // scenes are far from each other. The default similarity makes two groups of three, a
    // low one six groups of one.
    void makeScenes(const QString &folder, const QStringList &names = {"A0", "A1", "A2", "B0", "B1", "B2"})
    {
        QDir().mkpath(folder);
        for (const QString &n : names) {
            const QString p = folder + "/" + n + ".JPG";
            const int at = (n.startsWith('A') ? 0 : 600) + 40 * n.mid(1).toInt();
            ASSERT_TRUE(test::writeImage(p, 64, 48));
            ASSERT_TRUE(test::writeExif(p, {QString("2024:05:01 10:%1:%2").arg(at / 60, 2, 10, QChar('0'))
                                                .arg(at % 60, 2, 10, QChar('0')),
                                            std::nullopt, std::nullopt, std::nullopt}));
        }
    }
    static std::optional<PhotoAnalysis> sceneAnalysis(const QString &url)
    {
        const QString n = fileName(url);
        const float t = 0.15f * float(n.mid(1, 1).toInt());
        PhotoAnalysis a;
        a.sharpness = 100;
        a.exposure = 0.9f;
        a.featurePrint = n.startsWith('A') ? std::vector<float>{std::cos(t), std::sin(t), 0.0f}
                                           : std::vector<float>{0.0f, std::cos(t), std::sin(t)};
        return a;
    }
    std::unique_ptr<AppStore> importWith(double simFactor, const QString &folder)
    {
        auto s = fx.make();
        s->setAnalyzeFunction(sceneAnalysis);
        s->setSimFactor(simFactor);
        EXPECT_TRUE(test::runImport(*s, folder));
        return s;
    }
    // Each group by the name (without extension) of its first photo.
    static std::map<QString, PhotoGroup> byFirst(const AppStore &s)
    {
        std::map<QString, PhotoGroup> out;
        for (const PhotoGroup &g : s.groups())
            out[QFileInfo(s.photos()[size_t(g.indices.front())].name()).baseName()] = g;
        return out;
    }
    static QString restoredStatus(const AppStore &s, int groups)
    {
        return s.summaryStatusText() + " · 已恢复上次的选择 " + QString::number(groups) + " 组";
    }
};

} // namespace

TEST_F(KeptDecisions, ComeBackInANewStoreAndFollowThePhotosIntoOtherGroups)
{
    makeScenes(card());
    {
        auto s = importWith(1.0, card());
        auto g = byFirst(*s);
        ASSERT_EQ(g.size(), 2u);
        ASSERT_EQ(g["A0"].count(), 3);
        s->choose(g["A0"].id, 1); // A1
        s->skip(g["B0"].id);
        EXPECT_EQ(s->statusText(), s->summaryStatusText()); // nothing was stored yet
    } // the store goes (the window closes) right after the last decision

    {
        auto s = importWith(1.0, card());
        auto g = byFirst(*s);
        EXPECT_EQ(g["A0"].picks, (std::set<int>{1}));
        EXPECT_FALSE(g["A0"].skipped);
        EXPECT_TRUE(g["B0"].skipped);
        EXPECT_EQ(s->statusText(), restoredStatus(*s, 2));
        EXPECT_EQ(s->restoredGroupCount(), 2); // what the window's status bar shows
        EXPECT_FALSE(s->canUndo());
    }

    // Another similarity factor: every photo a group of its own. A1 is picked where it is
    // now, each of B's photos was in a skipped group, A0 and A2 were never decided.
    auto s = importWith(0.3, card());
    auto g = byFirst(*s);
    ASSERT_EQ(g.size(), 6u);
    EXPECT_EQ(g["A1"].picks, (std::set<int>{0}));
    EXPECT_EQ(g["A0"].status(), GroupStatus::pending);
    EXPECT_EQ(g["A2"].status(), GroupStatus::pending);
    for (const char *b : {"B0", "B1", "B2"})
        EXPECT_TRUE(g[b].skipped) << b;
    EXPECT_EQ(s->statusText(), restoredStatus(*s, 4));
    EXPECT_FALSE(s->canUndo());
}

TEST_F(KeptDecisions, AFileChangedSinceIsNotRestored)
{
    makeScenes(card());
    {
        auto s = importWith(0.3, card());
        auto g = byFirst(*s);
        ASSERT_EQ(g.size(), 6u);
        s->choose(g["A0"].id, 0);
        s->choose(g["A1"].id, 0);
        s->skip(g["B0"].id);
        s->skip(g["B1"].id);
    }
    // A1 grows by a byte; B1 keeps its size but its time moves.
    QFile grow(card() + "/A1.JPG");
    ASSERT_TRUE(grow.open(QIODevice::Append));
    grow.write("x");
    grow.close();
    const auto st = statFile(card() + "/B1.JPG");
    ASSERT_TRUE(st && st->modificationTime);
    ASSERT_TRUE(test::setModificationTime(card() + "/B1.JPG", *st->modificationTime + 10));

    auto s = importWith(0.3, card());
    auto g = byFirst(*s);
    EXPECT_EQ(g["A0"].picks, (std::set<int>{0}));
    EXPECT_EQ(g["A1"].status(), GroupStatus::pending);
    EXPECT_TRUE(g["B0"].skipped);
    EXPECT_EQ(g["B1"].status(), GroupStatus::pending);
    EXPECT_EQ(s->statusText(), restoredStatus(*s, 2));
}

TEST_F(KeptDecisions, ADamagedFileIsSetAsideAndTheImportGoesOn)
{
    const QByteArray whole = [] {
        FolderDecisions d;
        d.folder = "/elsewhere";
        d.photos.push_back({{"A0.JPG", 1, 2}, true});
        return DecisionStore::encode(d);
    }();
    struct Case {
        const char *name;
        QByteArray bytes; // empty: a directory stands where the file goes
    };
    const std::vector<Case> cases{
        {"truncated", whole.left(whole.size() / 2)},
        {"wrong-type", bplist::write(bplist::Array{1, 2, 3})},
        {"directory", QByteArray()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = card() + "-" + c.name;
        makeScenes(folder, {"A0", "B0"});
        const QString path = fileOf(folder);
        ASSERT_TRUE(QDir().mkpath(decisionsDir()));
        if (c.bytes.isEmpty()) {
            ASSERT_TRUE(QDir().mkpath(path));
            ASSERT_TRUE(test::writeBytes(path + "/inside", "kept"));
        } else {
            ASSERT_TRUE(test::writeBytes(path, c.bytes));
        }

        {
            auto s = importWith(1.0, folder);
            EXPECT_EQ(s->phase(), Phase::ready);
            EXPECT_EQ(s->groups().size(), 2u);
            ASSERT_TRUE(s->errorText().has_value());
            EXPECT_TRUE(s->errorText()->contains("已移到一边")) << s->errorText()->toStdString();
            // Kept beside, whole, under another name.
            const QStringList aside = QDir(decisionsDir()).entryList({QFileInfo(path).fileName() + ".damaged-*"},
                                                                     QDir::AllEntries | QDir::Hidden);
            ASSERT_EQ(aside.size(), 1);
            const QString moved = decisionsDir() + "/" + aside.front();
            EXPECT_TRUE(s->errorText()->contains(moved));
            if (c.bytes.isEmpty()) {
                QFile inside(moved + "/inside");
                ASSERT_TRUE(inside.open(QIODevice::ReadOnly));
                EXPECT_EQ(inside.readAll(), "kept");
            } else {
                QFile f(moved);
                ASSERT_TRUE(f.open(QIODevice::ReadOnly));
                EXPECT_EQ(f.readAll(), c.bytes);
            }
            s->choose(s->groups()[0].id, 0);
        }
        // The new file in its place works.
        auto s = importWith(1.0, folder);
        EXPECT_FALSE(s->errorText().has_value());
        EXPECT_EQ(s->groups()[0].picks, (std::set<int>{0}));
    }
}

TEST_F(KeptDecisions, LeavingAFolderWritesAtOnceAndASupersededImportWritesNothing)
{
    makeScenes(card(), {"A0", "A1"});
    makeScenes(card() + "/sub", {"B0", "B1"});
    const QString other = fx.dir.path() + "/Other";
    makeScenes(other, {"A0", "B0"});

    auto s = importWith(0.3, card());
    auto g = byFirst(*s);
    ASSERT_EQ(g.size(), 4u);
    s->choose(g["A0"].id, 0);
    s->choose(g["B0"].id, 0);

    // Starting the next import writes the decisions of the folder it leaves at once.
    s->setIncludeSubfolders(false);
    std::optional<DecisionStore::ReadResult> written;
    auto c = QObject::connect(s.get(), &AppStore::phaseChanged, [&] {
        if (s->phase() == Phase::scanning && !written) {
            AppStoreTestAccess::decisions(*s).waitForWrites();
            written = DecisionStore::read(fileOf(card()), card());
        }
    });
    ASSERT_TRUE(test::runImport(*s, card()));
    QObject::disconnect(c);
    ASSERT_TRUE(written && written->decisions);
    int picked = 0;
    for (const auto &e : written->decisions->photos)
        picked += e.picked ? 1 : 0;
    EXPECT_EQ(picked, 2);

    // Only the top level this time: B0 is not there, and its pick is not forgotten either.
    g = byFirst(*s);
    ASSERT_EQ(g.size(), 2u);
    EXPECT_EQ(g["A0"].picks, (std::set<int>{0}));
    s->choose(g["A1"].id, 0);

    // Other is scanned, then superseded before its groups exist: the import that finishes is
    // the card's.
    s->setIncludeSubfolders(true);
    bool superseded = false;
    c = QObject::connect(s.get(), &AppStore::phaseChanged, [&] {
        if (s->phase() == Phase::analyzing && s->sourceFolder() == other && !superseded) {
            superseded = true;
            s->start(card());
        }
    });
    ASSERT_TRUE(test::runImport(*s, other));
    QObject::disconnect(c);
    ASSERT_TRUE(superseded);
    EXPECT_EQ(s->sourceFolder(), card());
    g = byFirst(*s);
    ASSERT_EQ(g.size(), 4u);
    EXPECT_EQ(g["A0"].picks, (std::set<int>{0}));
    EXPECT_EQ(g["A1"].picks, (std::set<int>{0}));
    EXPECT_EQ(g["B0"].picks, (std::set<int>{0}));
    s.reset();
    EXPECT_FALSE(statFile(fileOf(other), false).has_value());
}

TEST_F(KeptDecisions, AProcessKilledASecondAfterItsLastDecisionLosesNone)
{
    // Four photos minutes apart, unanalysed: four groups of one, the same in both processes.
    QDir().mkpath(card());
    for (int i = 0; i < 4; ++i) {
        const QString p = card() + QString("/IMG_%1.JPG").arg(i);
        ASSERT_TRUE(test::writeImage(p, 64, 48));
        ASSERT_TRUE(test::writeExif(p, {QString("2024:05:01 1%1:00:00").arg(i), std::nullopt, std::nullopt, std::nullopt}));
    }
    QProcess child;
    child.start(DECISION_CHILD, {fx.cachePath(), fx.dir.path() + "/child.ini", card()});
    ASSERT_TRUE(child.waitForStarted());
    QByteArray out;
    while (!out.contains("decided\n") && child.state() == QProcess::Running) {
        child.waitForReadyRead(100);
        out += child.readAllStandardOutput();
    }
    ASSERT_TRUE(out.contains("decided\n")) << child.readAllStandardError().constData();
    QThread::msleep(1000);
    child.kill(); // SIGKILL: no destructor, no flush
    ASSERT_TRUE(child.waitForFinished());
    ASSERT_EQ(child.exitStatus(), QProcess::CrashExit);

    auto s = fx.make();
    ASSERT_TRUE(test::runImport(*s, card()));
    ASSERT_EQ(s->groups().size(), 4u);
    EXPECT_EQ(s->groups()[0].picks, (std::set<int>{0}));
    EXPECT_EQ(s->groups()[1].picks, (std::set<int>{0}));
    EXPECT_FALSE(s->groups()[1].skipped);
    EXPECT_EQ(s->groups()[2].picks, (std::set<int>{0}));
    EXPECT_EQ(s->groups()[3].status(), GroupStatus::pending);
}
