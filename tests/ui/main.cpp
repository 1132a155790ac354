// Widget tests run with a QApplication and, without a display, off screen.

#include "ui/theme.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // The program's settings and analysis cache go to a temporary folder, not the user's.
    // (Data stays: the icons and models are read from there.)
    QTemporaryDir home;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.path() + "/cache"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/config"));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    mendral::theme::applyToApplication();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
