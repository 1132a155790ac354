#include "analysis/renditions_files.h"
#include "support/clirun.h"
#include "support/testfiles.h"

#include <QImage>
#include <QImageReader>
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

TEST(CliThumbnail, WritesJpegAndPrintsItsSize)
{
    QTemporaryDir dir;
    const QString src = dir.path() + "/a.jpg";
    const QString out = dir.path() + "/out.jpg";
    ASSERT_TRUE(mendral::test::writeImage(src, 1200, 800));
    ASSERT_TRUE(mendral::test::writeExif(src, {std::nullopt, std::nullopt, std::nullopt, 6}));
    const CliRun r = runCli({"thumbnail", src, "--max", "300", "--out", out});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out, "200x300\n");
    QImageReader reader(out);
    EXPECT_EQ(reader.format(), "jpeg");
    EXPECT_EQ(reader.size(), QSize(200, 300));
}

TEST(CliThumbnail, HeicSource)
{
    QTemporaryDir dir;
    ASSERT_TRUE(mendral::test::writeHeic(dir.path() + "/b.heic", mendral::test::quadrants(300, 200)));
    const CliRun r = runCli({"thumbnail", dir.path() + "/b.heic", "--max", "150", "--out", dir.path() + "/b.jpg"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(r.out, "150x100\n");
}

TEST(CliThumbnail, UndecodableFileExitsOneWithMessage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(mendral::test::writeBytes(dir.path() + "/x.jpg", QByteArray(3000, 'x')));
    const CliRun r = runCli({"thumbnail", dir.path() + "/x.jpg", "--max", "100", "--out", dir.path() + "/o.jpg"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_FALSE(r.err.isEmpty());
    EXPECT_FALSE(QFile::exists(dir.path() + "/o.jpg"));
}

TEST(CliThumbnail, BadArgumentsExitTwo)
{
    QTemporaryDir dir;
    ASSERT_TRUE(mendral::test::writeImage(dir.path() + "/a.jpg", 50, 50));
    const QString src = dir.path() + "/a.jpg";
    const QString out = dir.path() + "/o.jpg";
    EXPECT_EQ(runCli({"thumbnail", src, "--out", out}).exitCode, 2);
    EXPECT_EQ(runCli({"thumbnail", src, "--max", "0", "--out", out}).exitCode, 2);
    EXPECT_EQ(runCli({"thumbnail", src, "--max", "abc", "--out", out}).exitCode, 2);
    EXPECT_EQ(runCli({"thumbnail", src, "--max", "100"}).exitCode, 2);
    EXPECT_EQ(runCli({"thumbnail", "--max", "100", "--out", out}).exitCode, 2);
}

TEST(CliThumbnail, UnwritableOutputExitsOne)
{
    QTemporaryDir dir;
    ASSERT_TRUE(mendral::test::writeImage(dir.path() + "/a.jpg", 50, 50));
    ASSERT_TRUE(mendral::test::writeBytes(dir.path() + "/file", "x"));
    const CliRun r = runCli({"thumbnail", dir.path() + "/a.jpg", "--max", "100", "--out", dir.path() + "/file/o.jpg"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.err.isEmpty());
}
