// The command line of the mendral program.

#include "store/appstore.h"
#include "ui/mendralapp.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
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

TEST(Arguments, AScreenshotCanOpenAGroupFirst)
{
    const auto o = MendralApp::parseArguments({"--screenshot", "r.png", "--review", "3", "/media/card"});
    ASSERT_TRUE(o);
    EXPECT_EQ(o->reviewGroup, 3);
    EXPECT_EQ(MendralApp::parseArguments({"--screenshot", "r.png", "/media/card"})->reviewGroup, 0);
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
                                   QStringList{"--verbose"}, QStringList{"--review", "2", "/card"},
                                   QStringList{"--screenshot", "a.png", "--review", "0", "/card"},
                                   QStringList{"--screenshot", "a.png", "--review", "2"}})
        EXPECT_FALSE(MendralApp::parseArguments(bad)) << bad.join(' ').toStdString();
}

} // namespace

TEST(App, ImportedPhotosAreAnalysed)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (int i = 0; i < 2; ++i) {
        QImage image(640, 480, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(100 * i, 160, 140));
        QPainter p(&image);
        for (int k = 0; k < 12; ++k)
            p.fillRect(40 * k, 30 * k, 50, 40, QColor::fromHsv(30 * k, 200, 220));
        p.end();
        ASSERT_TRUE(image.save(dir.filePath(QString("IMG_%1.JPG").arg(i)), "JPG"));
    }
    MendralApp app;
    bool done = false;
    QObject::connect(&app.store(), &AppStore::importFinished, [&] { done = true; });
    app.store().start(dir.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 120000));
    ASSERT_EQ(app.store().photos().size(), 2u);
    for (const Photo &photo : app.store().photos()) {
        EXPECT_TRUE(photo.analyzed) << photo.name().toStdString();
        EXPECT_GT(photo.sharpness, 0.0f);
    }
}
