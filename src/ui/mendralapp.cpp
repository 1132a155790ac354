#include "ui/mendralapp.h"

#include "analysis/analyzer.h"
#include "store/appstore.h"
#include "vision/modelcheck.h"
#include "ui/groupgridview.h"
#include "ui/mainwindow.h"
#include "ui/review/filmcell.h"
#include "ui/review/photocanvas.h"
#include "ui/review/reviewview.h"
#include "ui/rootview.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimer>

#include <cstdio>

namespace mendral {

QString MendralApp::usage()
{
    return QStringLiteral("usage: mendral [FOLDER]\n"
                          "       mendral --screenshot PNG [--size WxH] [--review N] FOLDER\n"
                          "         --review N: open group N (as numbered on screen) for the picture\n");
}

std::optional<MendralApp::Options> MendralApp::parseArguments(const QStringList &arguments, QString *error)
{
    auto fail = [&](const QString &why) -> std::optional<Options> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    Options o;
    bool sizeGiven = false;
    QStringList positional;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        if (a == QLatin1String("--screenshot")) {
            if (i + 1 >= arguments.size())
                return fail(QStringLiteral("--screenshot needs a file name"));
            o.screenshot = arguments[++i];
        } else if (a == QLatin1String("--size")) {
            if (i + 1 >= arguments.size())
                return fail(QStringLiteral("--size needs WxH"));
            static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$"));
            const auto m = pattern.match(arguments[++i]);
            if (!m.hasMatch() || m.captured(1).toInt() < 1 || m.captured(2).toInt() < 1)
                return fail(QStringLiteral("--size wants WxH in pixels, e.g. 1280x840"));
            o.size = QSize(m.captured(1).toInt(), m.captured(2).toInt());
            sizeGiven = true;
        } else if (a == QLatin1String("--review")) {
            bool ok = false;
            const int n = i + 1 < arguments.size() ? arguments[++i].toInt(&ok) : 0;
            if (!ok || n < 1)
                return fail(QStringLiteral("--review wants a group number from 1 on"));
            o.reviewGroup = n;
        } else if (a == QLatin1String("--")) {
            positional += arguments.mid(i + 1);
            break;
        } else if (a.startsWith(QLatin1String("--"))) {
            return fail(QStringLiteral("unknown option ") + a);
        } else {
            positional << a;
        }
    }
    if (positional.size() > 1)
        return fail(QStringLiteral("only one folder can be imported"));
    if (!positional.isEmpty())
        o.folder = QFileInfo(positional.front()).absoluteFilePath();
    if (sizeGiven && o.screenshot.isEmpty())
        return fail(QStringLiteral("--size only goes with --screenshot"));
    if (o.reviewGroup > 0 && (o.screenshot.isEmpty() || o.folder.isEmpty()))
        return fail(QStringLiteral("--review only goes with --screenshot and a folder"));
    return o;
}

MendralApp::MendralApp()
{
    m_store = std::make_unique<AppStore>(&m_dialogs);
    m_store->setAnalyzeFunction([](const QString &url) { return Analyzer::analyze(url); });
    m_store->setModelCheck(models::missing);
    m_window = std::make_unique<MainWindow>(*m_store);
    m_dialogs.setWindow(m_window.get());
    connect(m_store.get(), &AppStore::importFinished, this, [this] {
        m_importDone = true;
        m_sinceImport.start();
    });
}

MendralApp::~MendralApp()
{
    // The window's views refer to the store: they go first.
    m_window.reset();
    m_store.reset();
}

bool MendralApp::readyForScreenshot() const
{
    const Phase phase = m_store->phase();
    if (phase == Phase::scanning || phase == Phase::analyzing)
        return false;
    const RootView *root = m_window->rootView();
    if (root->currentContent() != root->overview())
        return true;
    if (root->overview()->reviewView())
        return reviewImagesShown();
    return !root->overview()->isSliding() && root->overview()->visibleThumbnailsLoaded();
}

int MendralApp::exec(const Options &options)
{
    if (!options.screenshot.isEmpty()) {
        // The window's image at exactly the size asked for, even below the usual minimum.
        m_window->setMinimumSize(1, 1);
        m_window->resize(options.size);
    }
    m_window->show();
    if (!options.folder.isEmpty())
        m_store->start(options.folder);
    else
        m_importDone = true;
    if (!options.screenshot.isEmpty())
        takeScreenshotWhenReady(options.screenshot, options.reviewGroup);
    return QApplication::exec();
}

bool MendralApp::reviewImagesShown() const
{
    const ReviewView *review = m_window->rootView()->overview()->reviewView();
    for (const PhotoCanvas *canvas : review->findChildren<PhotoCanvas *>())
        if (!canvas->hasImage())
            return false;
    for (const FilmCell *cell : review->findChildren<FilmCell *>())
        if (!cell->hasThumbnail())
            return false;
    return true;
}

void MendralApp::takeScreenshotWhenReady(const QString &path, int reviewGroup)
{
    auto *poll = new QTimer(this);
    poll->setInterval(15);
    connect(poll, &QTimer::timeout, this, [this, poll, path, reviewGroup] {
        if (!m_importDone)
            return;
        if (reviewGroup > 0 && !m_store->reviewGroupID()) {
            if (!m_store->group(reviewGroup - 1)) {
                poll->stop();
                std::fprintf(stderr, "mendral: there is no group %d to open\n", reviewGroup);
                QApplication::exit(1);
                return;
            }
            m_store->openReview(reviewGroup - 1);
            return;
        }
        if (!readyForScreenshot())
            return;
        poll->stop();
        if (m_sinceImport.isValid())
            std::printf("mendral: %d groups on screen with their thumbnails %lld ms after the import finished\n",
                        int(m_store->groups().size()), m_sinceImport.elapsed());
        // One more round of events so the last thumbnail is painted.
        QTimer::singleShot(100, this, [this, path] {
            const QImage image = m_window->grab().toImage();
            const bool saved = image.save(path, "PNG");
            if (!saved)
                qWarning("mendral: could not write %s", qPrintable(QDir::toNativeSeparators(path)));
            QApplication::exit(saved ? 0 : 1);
        });
    });
    poll->start();
}

} // namespace mendral
