#pragma once

#include "ui/windowdialogs.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace mendral {

class AppStore;
class MainWindow;

/**
 * The program: the one store for the whole run and the main window around it. It can import
 * a folder given on the command line, and in screenshot mode waits until the overview and its
 * visible thumbnails are ready, saves the window's image and quits.
 */
class MendralApp : public QObject {
    Q_OBJECT

public:
    struct Options {
        QString folder;     // imported at start when not empty
        QString screenshot; // PNG to write, then exit
        QSize size = QSize(1280, 840);
        int reviewGroup = 0; // with a screenshot: the group (numbered from 1, as shown) to open first
    };

    /** Reads `mendral [FOLDER]` and `mendral --screenshot PNG [--size WxH] [--review N] FOLDER`
     *  (without argv[0]). */
    static std::optional<Options> parseArguments(const QStringList &arguments, QString *error = nullptr);
    static QString usage();

    MendralApp();
    ~MendralApp() override;

    AppStore &store() const { return *m_store; }
    MainWindow &window() const { return *m_window; }

    /** Shows the window and starts what the options ask for; returns the exit code. */
    int exec(const Options &options);

    /** Whether a screenshot may be taken now: nothing importing, overview thumbnails on screen. */
    bool readyForScreenshot() const;

private:
    void takeScreenshotWhenReady(const QString &path, int reviewGroup);
    bool reviewImagesShown() const;

    WindowDialogs m_dialogs;
    std::unique_ptr<AppStore> m_store;
    std::unique_ptr<MainWindow> m_window;
    bool m_importDone = false;
    QElapsedTimer m_sinceImport; // from the end of the import to the screenshot
};

} // namespace mendral
