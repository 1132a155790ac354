// The mendral program: the culling window. See MendralApp for the command line.

#include "platform/hugepages.h"
#include "ui/mendralapp.h"
#include "ui/qttranslations.h"
#include "ui/theme.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    mendral::restartWithHugePages(argv);
    // A screenshot needs no screen: without a display, draw off screen.
    bool screenshot = false;
    for (int i = 1; i < argc; ++i)
        screenshot = screenshot || std::strcmp(argv[i], "--screenshot") == 0;
    if (screenshot && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Mendral"));
    QApplication::setApplicationName(QStringLiteral("Mendral"));
    QApplication::setApplicationDisplayName(QStringLiteral("DorvaniPhoto"));
    QApplication::setDesktopFileName(QStringLiteral("mendral"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("mendral")));
    QApplication::setStyle(QStringLiteral("Fusion"));
    mendral::installQtTranslations(app);
    mendral::theme::applyToApplication();

    QString error;
    const auto options = mendral::MendralApp::parseArguments(QApplication::arguments().mid(1), &error);
    if (!options) {
        std::fprintf(stderr, "mendral: %s\n%s", qPrintable(error), qPrintable(mendral::MendralApp::usage()));
        return 2;
    }
    mendral::MendralApp program;
    return program.exec(*options);
}
