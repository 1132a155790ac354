// The review screen's widget tests run in a QApplication, off screen when there is no display.

#include "ui/theme.h"

#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true); // nothing lands in the user's own folders
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    mendral::theme::applyToApplication();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
