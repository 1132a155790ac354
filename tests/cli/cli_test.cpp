#include "support/clirun.h"
#include "support/testfiles.h"
#include "vision/neural.h"

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
