#include "platform/fileops.h"
#include "support/clirun.h"
#include "support/testfiles.h"
#include "vision/neural.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using mendral::test::CliRun;

CliRun runCli(const QStringList &args)
{
    return mendral::test::runProgram(MENDRAL_CLI, args);
}

} // namespace

TEST(CliScan, PrintsOrderedPhotosAsJson)
{
    QTemporaryDir dir;
    ASSERT_TRUE(mendral::test::writeImage(dir.path() + "/B.JPG", 40, 30));
    ASSERT_TRUE(mendral::test::writeExif(dir.path() + "/B.JPG", {"2024:05:01 10:00:00", "25", std::nullopt, std::nullopt}));
    ASSERT_TRUE(mendral::test::writeBytes(dir.path() + "/b.cr2", QByteArray(2000, 'r')));
    ASSERT_TRUE(mendral::test::makeDirectory(dir.path() + "/sub"));
    ASSERT_TRUE(mendral::test::writeImage(dir.path() + "/sub/C.png", 10, 10));

    const CliRun r = runCli({"scan", dir.path()});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QJsonArray photos = QJsonDocument::fromJson(r.out).object().value("photos").toArray();
    ASSERT_EQ(photos.size(), 2);
    // B carries a 2024 EXIF date; C's file date is now, so B comes first.
    const QJsonObject b = photos[0].toObject();
    EXPECT_EQ(b["name"].toString(), "B.JPG");
    EXPECT_EQ(b["id"].toString(), dir.path() + "/B.JPG");
    EXPECT_EQ(b["url"].toString(), b["id"].toString());
    EXPECT_EQ(b["companions"].toArray(), QJsonArray{dir.path() + "/b.cr2"});
    EXPECT_DOUBLE_EQ(b["captureDate"].toDouble(), mendral::test::localTime(2024, 5, 1, 10, 0, 0) + 0.25);
    EXPECT_EQ(b["pixelWidth"].toInt(), 40);
    EXPECT_EQ(b["pixelHeight"].toInt(), 30);
    EXPECT_FALSE(b["isRAW"].toBool());
    EXPECT_GT(b["fileSize"].toInteger(), 0);

    const CliRun top = runCli({"scan", dir.path(), "--top-level"});
    ASSERT_EQ(top.exitCode, 0);
    EXPECT_EQ(QJsonDocument::fromJson(top.out).object().value("photos").toArray().size(), 1);
}

TEST(CliScan, MissingOrUnreadableFolderExitsTwo)
{
    QTemporaryDir dir;
    const CliRun missing = runCli({"scan", dir.path() + "/nope"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_FALSE(missing.err.isEmpty());
    EXPECT_TRUE(missing.out.isEmpty());

    ASSERT_TRUE(mendral::test::writeBytes(dir.path() + "/file.jpg", "x"));
    EXPECT_EQ(runCli({"scan", dir.path() + "/file.jpg"}).exitCode, 2);
    EXPECT_EQ(runCli({}).exitCode, 2);
}

// Without its models the command line still analyses, and says what is missing on stderr and
// in the cull listing's warnings; with them it says nothing.
TEST(CliModels, MissingModelsAreSaidOnStderrAndInTheCullWarnings)
{
    QTemporaryDir dir;
    const QString card = dir.path() + "/card";
    ASSERT_TRUE(mendral::test::makeDirectory(card));
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(mendral::test::writeImage(card + QString("/IMG_%1.JPG").arg(i), 64, 48));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", dir.path() + "/data"); // the analysis cache, not the user's
    env.insert("XDG_CONFIG_HOME", dir.path() + "/config");
    env.insert("MENDRAL_MODELS", mendral::neural::modelDirectory()); // found before HOME moved
    QProcessEnvironment without = env;
    without.insert("MENDRAL_MODELS", dir.path() + "/no-models");

    const auto cull = mendral::test::runProgram(MENDRAL_CLI, {"cull", card, "--json"}, 120000, without);
    ASSERT_EQ(cull.exitCode, 0) << cull.err.constData();
    const QJsonArray warnings = QJsonDocument::fromJson(cull.out).object().value("warnings").toArray();
    ASSERT_EQ(warnings.size(), 1);
    const QString notice = warnings[0].toString();
    EXPECT_TRUE(notice.contains(dir.path() + "/no-models/centernet.json")) << notice.toStdString();
    EXPECT_TRUE(notice.contains("scripts/setup"));
    EXPECT_EQ(QString::fromUtf8(cull.err).count(notice), 1) << "said once";

    const auto analyze = mendral::test::runProgram(MENDRAL_CLI, {"analyze", card + "/IMG_0.JPG"}, 120000, without);
    EXPECT_EQ(analyze.exitCode, 0);
    EXPECT_TRUE(QString::fromUtf8(analyze.err).contains(notice));

    // The same card with the models (where scripts/setup put them): no warning.
    const auto withModels = mendral::test::runProgram(MENDRAL_CLI, {"cull", card, "--json"}, 120000, env);
    ASSERT_EQ(withModels.exitCode, 0) << withModels.err.constData();
    if (QString::fromUtf8(withModels.err).contains("scripts/setup"))
        GTEST_SKIP() << "models not installed here: " << withModels.err.constData();
    EXPECT_EQ(QJsonDocument::fromJson(withModels.out).object().value("warnings").toArray(), QJsonArray());
}

// ---- cull: the stored decisions, and an export that is killed ----------------------------

namespace {

// A run of cull with the program's data (analysis cache, decisions) under home.
class CliCull : public ::testing::Test {
protected:
    QTemporaryDir home;
    QString card() const { return home.path() + "/card"; }
    QString decisionsDir() const { return home.path() + "/data/Mendral/decisions"; }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", home.path() + "/data");
        env.insert("XDG_CACHE_HOME", home.path() + "/cache");
        env.insert("XDG_CONFIG_HOME", home.path() + "/config");
        return env;
    }
    void start(QProcess &p, const QStringList &args) const
    {
        p.setProcessEnvironment(environment());
        p.start(MENDRAL_CLI, QStringList{"cull"} + args);
    }
    CliRun cull(const QStringList &args) const
    {
        QProcess p;
        start(p, args);
        p.waitForFinished(120000);
        return {p.exitCode(), p.readAllStandardOutput(), p.readAllStandardError()};
    }
    // Photos an hour apart (each a group of its own), padded to size bytes after the image.
    void makeCard(int n, int size)
    {
        ASSERT_TRUE(mendral::test::makeDirectory(card()));
        for (int i = 0; i < n; ++i) {
            const QString p = card() + QString("/IMG_%1.JPG").arg(i);
            ASSERT_TRUE(mendral::test::writeImage(p, 64, 48, QColor::fromHsv(i * 80, 200, 200)));
            ASSERT_TRUE(mendral::test::writeExif(p, {QString("2024:05:01 %1:00:00").arg(10 + i), std::nullopt,
                                                     std::nullopt, std::nullopt}));
            QFile f(p);
            ASSERT_TRUE(f.open(QIODevice::Append));
            QByteArray padding(size - int(f.size()), '\0');
            for (qsizetype k = 0; k < padding.size(); k += 4096)
                padding[k] = char(k / 4096 + i);
            f.write(padding);
        }
    }
    static QJsonArray groupsOf(const CliRun &r)
    {
        return QJsonDocument::fromJson(r.out).object().value("groups").toArray();
    }
};

// Names and contents of everything in a folder, hidden files included.
QMap<QString, QByteArray> contents(const QString &dir)
{
    QMap<QString, QByteArray> out;
    for (const QString &n : QDir(dir).entryList(QDir::Files | QDir::Hidden)) {
        QFile f(dir + "/" + n);
        f.open(QIODevice::ReadOnly);
        out.insert(n, QCryptographicHash::hash(f.readAll(), QCryptographicHash::Md5));
    }
    return out;
}

} // namespace

TEST_F(CliCull, ReadsTheStoredDecisionsAndWritesThemOnlyWhenItPicks)
{
    makeCard(3, 4000);
    const CliRun look = cull({card(), "--json"});
    ASSERT_EQ(look.exitCode, 0) << look.err.constData();
    const QJsonArray before = groupsOf(look);
    ASSERT_EQ(before.size(), 3);
    for (const QJsonValue &g : before) {
        EXPECT_EQ(g["picks"].toArray(), QJsonArray());
        EXPECT_FALSE(g["skipped"].toBool());
    }
    EXPECT_TRUE(QDir(decisionsDir()).entryList(QDir::Files).isEmpty()); // looking writes nothing

    const CliRun pick = cull({card(), "--export", home.path() + "/out", "--pick", "recommended"});
    ASSERT_EQ(pick.exitCode, 0) << pick.err.constData();
    EXPECT_EQ(QDir(decisionsDir()).entryList(QDir::Files).size(), 1);

    const CliRun again = cull({card(), "--json"});
    ASSERT_EQ(again.exitCode, 0);
    const QJsonArray after = groupsOf(again);
    ASSERT_EQ(after.size(), 3);
    for (const QJsonValue &g : after)
        EXPECT_EQ(g["picks"].toArray(), QJsonArray{g["recommended"].toInt()});
    EXPECT_TRUE(QJsonDocument::fromJson(again.out).object().value("status").toString().endsWith("已恢复上次的选择 3 组"));
}

TEST_F(CliCull, AnExportKilledAtAnyMomentLeavesOnlyWholeFilesAndTheNextOneFinishesIt)
{
    makeCard(4, 16 << 20);
    const QString ref = home.path() + "/ref", out = home.path() + "/out";
    const QString refFolder = ref + "/精选_card", outFolder = out + "/精选_card";
    // Files of the user's own in both: never removed, never replaced.
    for (const QString &d : {refFolder, outFolder}) {
        ASSERT_TRUE(QDir().mkpath(d));
        ASSERT_TRUE(mendral::test::writeBytes(d + "/mine.txt", "notes"));
        ASSERT_TRUE(mendral::test::writeBytes(d + "/IMG_2.JPG", "another photo"));
    }
    const CliRun whole = cull({card(), "--export", ref, "--pick", "recommended"});
    ASSERT_EQ(whole.exitCode, 0) << whole.err.constData();
    const auto expected = contents(refFolder);
    ASSERT_EQ(expected.size(), 6) << QStringList(expected.keys()).join(' ').toStdString();

    // Kill halfway through the first copy, halfway through the second, and once three
    // photos' worth of bytes are there; moments told by bytes, whatever the names.
    const qint64 photo = QFileInfo(card() + "/IMG_0.JPG").size();
    int killedMidCopy = 0;
    for (const qint64 at : {photo / 2, photo + photo / 2, 3 * photo}) {
        QProcess p;
        start(p, {card(), "--export", out, "--pick", "recommended"});
        ASSERT_TRUE(p.waitForStarted());
        bool killed = false;
        while (!killed && !p.waitForFinished(1)) {
            qint64 bytes = 0;
            bool partial = false;
            for (const QFileInfo &f : QDir(outFolder).entryInfoList(QDir::Files | QDir::Hidden)) {
                if (f.fileName() == "mine.txt" || f.fileName() == "IMG_2.JPG")
                    continue;
                bytes += f.size();
                partial = partial || f.fileName().startsWith('.');
            }
            if (bytes >= at) {
                p.kill(); // SIGKILL, as a crash or a pulled cable would
                p.waitForFinished();
                killed = true;
                killedMidCopy += partial ? 1 : 0;
            }
        }
        // Whatever was killed, every file under a real name is whole.
        for (const QString &n : QDir(outFolder).entryList(QDir::Files)) {
            if (n == "mine.txt" || n == "IMG_2.JPG")
                continue;
            const QString source = card() + "/" + QString(n).replace("-2.", ".");
            EXPECT_TRUE(mendral::sameContents(outFolder + "/" + n, source)) << n.toStdString();
        }
    }
    EXPECT_GT(killedMidCopy, 0); // the kills did land in the middle of a copy

    const CliRun finish = cull({card(), "--export", out, "--pick", "recommended"});
    ASSERT_EQ(finish.exitCode, 0) << finish.err.constData();
    EXPECT_EQ(contents(outFolder), expected);
}
