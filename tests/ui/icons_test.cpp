// The symbol table and its drawings.

#include "ui/icons.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSet>
#include <gtest/gtest.h>

using namespace mendral;

namespace {

TEST(Icons, EveryInterfaceSymbolHasAnEntry)
{
    for (const char *name : {"chevron.left", "chevron.right", "checkmark", "checkmark.circle", "checkmark.circle.fill",
                             "checkmark.seal", "minus", "minus.circle", "questionmark.circle", "tray",
                             "square.grid.2x2", "photo.on.rectangle", "photo.stack", "square.stack.3d.down.right",
                             "slider.horizontal.3", "square.and.arrow.up", "square.and.arrow.up.on.square",
                             "arrow.up.forward.app", "arrow.triangle.2.circlepath", "magnifyingglass", "face.dashed",
                             "folder", "rectangle.split.1x2", "rectangle.split.1x2.fill",
                             "arrow.up.left.and.arrow.down.right", "arrow.down.right.and.arrow.up.left"})
        EXPECT_NE(icons::fileFor(name), nullptr) << name;
    EXPECT_EQ(icons::fileFor("no.such.symbol"), nullptr);
    EXPECT_EQ(icons::fileFor(nullptr), nullptr);
}

TEST(Icons, NamesAreUniqueAndStatesLookDifferent)
{
    QSet<QString> seen;
    for (const char *name : icons::symbolNames())
        EXPECT_FALSE(seen.contains(name)) << name << " twice";
    for (const char *name : icons::symbolNames())
        seen.insert(name);
    // Pairs the interface switches between must not share a drawing.
    EXPECT_STRNE(icons::fileFor("rectangle.split.1x2"), icons::fileFor("rectangle.split.1x2.fill"));
    EXPECT_STRNE(icons::fileFor("arrow.up.left.and.arrow.down.right"),
                 icons::fileFor("arrow.down.right.and.arrow.up.left"));
    EXPECT_STRNE(icons::fileFor("chevron.left"), icons::fileFor("chevron.right"));
    EXPECT_STRNE(icons::fileFor("square.grid.2x2"), icons::fileFor("photo.on.rectangle"));
}

TEST(Icons, MissingFolderGivesEmptyIconsNotErrors)
{
    qputenv("MENDRAL_ICONS", "/nonexistent/icons");
    EXPECT_TRUE(icons::svgPath("chevron.left").isEmpty());
    const QPixmap pm = icons::pixmap("chevron.left", 16, Qt::red);
    EXPECT_EQ(pm.size(), QSize(16, 16));
    qunsetenv("MENDRAL_ICONS");
}

TEST(Icons, InstalledSetHasEveryDrawingAndTintsIt)
{
    const QString dir = icons::directory();
    if (!QFileInfo::exists(dir + "/chevron-left.svg"))
        GTEST_SKIP() << "icon set not installed (scripts/setup installs it) in " << dir.toStdString();
    for (const char *name : icons::symbolNames())
        EXPECT_FALSE(icons::svgPath(name).isEmpty()) << name << " → " << icons::fileFor(name);
    const QImage image = icons::pixmap("checkmark.seal", 32, QColor(0, 200, 0)).toImage();
    int painted = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 200) {
                ++painted;
                EXPECT_EQ(c.red(), 0);
                EXPECT_EQ(c.blue(), 0);
            }
        }
    EXPECT_GT(painted, 30) << "the drawing is there, in the colour asked for";
    const QImage twice = icons::pixmap("checkmark.seal", 16, Qt::black, 2.0).toImage();
    EXPECT_EQ(twice.size(), QSize(32, 32)) << "device pixels for a 2x screen";
}

} // namespace
