#include "support/clirun.h"
#include "support/testfiles.h"

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
