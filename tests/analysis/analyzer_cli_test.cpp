// mendral-cli analyze: the JSON listing and its exit codes.

#include "vision/testphotos.h"

#include "support/clirun.h"
#include "support/testfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct AnalyzeRun {
    int exitCode = -1;
    QJsonObject json;
    QByteArray err;
};

AnalyzeRun analyze(const QStringList &args)
{
    const auto r = mendral::test::runProgram(MENDRAL_CLI, QStringList{"analyze"} + args);
    return {r.exitCode, QJsonDocument::fromJson(r.out).object(), r.err};
}

} // namespace

TEST(CliAnalyze, ListsTheFieldsOfEachFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("plain.png");
    ASSERT_TRUE(mendral::test::writeImage(path, 640, 480, QColor(90, 140, 200)));
    const AnalyzeRun r = analyze({path});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QJsonArray files = r.json["files"].toArray();
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(files[0]["path"].toString(), path);
    const QJsonObject a = files[0]["analysis"].toObject();
    const QStringList keys{"sharpness", "exposure", "brightness", "highlights", "shadows", "faceCount", "faceQuality",
                           "eyeOpen",   "featurePrint", "facePrints", "mainFaceSide",
                           "humanCount", "hairPrint", "torsoPrint"};
    EXPECT_EQ(a.keys().size(), keys.size());
    for (const QString &k : keys)
        EXPECT_TRUE(a.contains(k)) << k.toStdString();
    EXPECT_EQ(a["faceCount"].toInt(), 0);
    EXPECT_EQ(a["eyeOpen"].toDouble(), -1.0);
    EXPECT_TRUE(a["hairPrint"].isNull());
    EXPECT_TRUE(a["facePrints"].toArray().isEmpty());
    EXPECT_EQ(a["exposure"].toDouble(), 1.0); // uniform mid blue: nothing clipped
    EXPECT_FALSE(files[0].toObject().contains("faces"));
}

TEST(CliAnalyze, UnreadableFileIsNullAndFailsTheRun)
{
    QTemporaryDir dir;
    const QString good = dir.filePath("good.png");
    ASSERT_TRUE(mendral::test::writeImage(good, 64, 64));
    ASSERT_TRUE(mendral::test::writeBytes(dir.filePath("broken.jpg"), "\xff\xd8 not really"));
    const AnalyzeRun r = analyze({"--faces", dir.filePath("broken.jpg"), good, dir.filePath("gone.jpg")});
    EXPECT_EQ(r.exitCode, 1);
    const QJsonArray files = r.json["files"].toArray();
    ASSERT_EQ(files.size(), 3); // every file listed, in order
    EXPECT_TRUE(files[0]["analysis"].isNull());
    EXPECT_TRUE(files[1]["analysis"].isObject());
    EXPECT_TRUE(files[2]["analysis"].isNull());
    EXPECT_TRUE(files[0]["faces"].isArray());
    EXPECT_TRUE(files[1]["faces"].toArray().isEmpty());
}

TEST(CliAnalyze, NoFilesIsAUsageError)
{
    EXPECT_EQ(analyze({}).exitCode, 2);
    EXPECT_EQ(analyze({"--faces"}).exitCode, 2);
}

TEST(CliAnalyze, FacesOfAPortrait)
{
    const QString path = mendral::test::testPhotoDirectory() + "/faces/astronaut.png";
    if (!QFileInfo::exists(path))
        GTEST_SKIP() << mendral::test::missingPhotosReason().toStdString();
    const AnalyzeRun r = analyze({"--faces", path});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QJsonObject file = r.json["files"].toArray()[0].toObject();
    const QJsonArray faces = file["faces"].toArray();
    ASSERT_EQ(faces.size(), 1);
    const QJsonArray box = faces[0]["box"].toArray();
    ASSERT_EQ(box.size(), 4);
    // Her face is in the upper half of the frame: y measured from the bottom is above 0.5.
    EXPECT_GT(box[1].toDouble(), 0.5);
    EXPECT_LE(box[1].toDouble() + box[3].toDouble(), 1.0);
    EXPECT_GE(faces[0]["eyeOpen"].toDouble(), 0.5);
    EXPECT_EQ(faces[0]["quality"].toDouble(), file["analysis"]["faceQuality"].toDouble());
}
