// The command line of the mendral program.

#include "ui/mendralapp.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace mendral;

namespace {

TEST(Arguments, FolderAndScreenshotForms)
{
    auto o = MendralApp::parseArguments({});
    ASSERT_TRUE(o);
    EXPECT_TRUE(o->folder.isEmpty());
    EXPECT_TRUE(o->screenshot.isEmpty());

    o = MendralApp::parseArguments({"/media/card"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->folder, "/media/card");

    o = MendralApp::parseArguments({"--screenshot", "out.png", "--size", "1400x900", "/media/card"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->screenshot, "out.png");
    EXPECT_EQ(o->size, QSize(1400, 900));
    EXPECT_EQ(o->folder, "/media/card");

    o = MendralApp::parseArguments({"/media/card", "--screenshot", "a.png"});
    ASSERT_TRUE(o) << "options may follow the folder";
    EXPECT_EQ(o->size, QSize(1280, 840)) << "default window size";

    o = MendralApp::parseArguments({"relative/dir"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->folder, QDir::current().absoluteFilePath("relative/dir"));

    o = MendralApp::parseArguments({"--", "--odd-name"});
    ASSERT_TRUE(o);
    EXPECT_TRUE(o->folder.endsWith("/--odd-name"));
}

TEST(Arguments, MistakesAreReported)
{
    QString error;
    EXPECT_FALSE(MendralApp::parseArguments({"--screenshot"}, &error));
    EXPECT_FALSE(error.isEmpty());
    for (const QStringList &bad : {QStringList{"--screenshot", "a.png", "--size", "12x"},
                                   QStringList{"--screenshot", "a.png", "--size", "0x10"},
                                   QStringList{"--screenshot", "a.png", "--size", "-3x10"},
                                   QStringList{"--size", "100x100", "/card"}, QStringList{"a", "b"},
                                   QStringList{"--verbose"}})
        EXPECT_FALSE(MendralApp::parseArguments(bad)) << bad.join(' ').toStdString();
}

} // namespace
