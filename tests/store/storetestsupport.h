#pragma once

#include "store/appstore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>

#include <functional>

namespace mendral {

/** Lets tests put the store into a known state without running an import. */
struct AppStoreTestAccess {
    static void setContent(AppStore &s, std::vector<Photo> photos, std::vector<PhotoGroup> groups)
    {
        s.setPhotos(std::move(photos));
        s.setGroups(std::move(groups));
    }
    static void setPhase(AppStore &s, Phase p) { s.setPhase(p); }
    static void setSource(AppStore &s, const QString &folder) { s.m_sourceFolder = folder; }
    static const std::deque<AppStore::UndoStep> &undoStack(const AppStore &s) { return s.m_undoStack; }
    /** As an import that found these models missing. */
    static void noteMissingModels(AppStore &s, const QStringList &missing)
    {
        if (s.m_models.note(missing))
            Q_EMIT s.textsChanged();
    }
    static DecisionKeeper &decisions(AppStore &s) { return s.m_decisions; }
};

namespace test {

/** Answers the store's questions from preset values and records what it was asked. */
class FakeDialogs : public StoreDialogs {
public:
    std::optional<ImportChoice> importChoice;
    std::optional<QString> exportLocation;
    bool confirm = true;
    bool askedImport = false;
    bool checkboxStart = false;
    QString exportMessage, exportStart, confirmMessage, confirmInfo, confirmAccept, revealed;
    int confirmations = 0;

    std::optional<ImportChoice> chooseImportFolder(bool includeSubfolders) override
    {
        askedImport = true;
        checkboxStart = includeSubfolders;
        return importChoice;
    }
    std::optional<QString> chooseExportLocation(const QString &message, const QString &start) override
    {
        exportMessage = message;
        exportStart = start;
        return exportLocation;
    }
    bool confirmMoveToTrash(const QString &message, const QString &info) override
    {
        ++confirmations;
        confirmMessage = message;
        confirmInfo = info;
        return confirm;
    }
    bool confirmAction(const QString &message, const QString &info, const QString &acceptLabel) override
    {
        ++confirmations;
        confirmMessage = message;
        confirmInfo = info;
        confirmAccept = acceptLabel;
        return confirm;
    }
    void revealFolder(const QString &folder) override { revealed = folder; }
};

/** Runs the event loop until done() or a generous limit (a hang fails the test, not the run). */
inline bool waitUntil(const std::function<bool()> &done, int limitMs = 120000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

/** Imports folder and waits until the import has finished. */
inline bool runImport(AppStore &store, const QString &folder)
{
    bool done = false;
    auto c = QObject::connect(&store, &AppStore::importFinished, [&] { done = true; });
    store.start(folder);
    const bool ok = waitUntil([&] { return done; });
    QObject::disconnect(c);
    return ok;
}

/** A store with settings and cache in a temporary folder. */
struct StoreFixture {
    QTemporaryDir dir;
    QSettings settings{dir.path() + "/settings.ini", QSettings::IniFormat};
    FakeDialogs dialogs;
    QString cachePath() const { return dir.path() + "/Mendral/analysis.plist"; }
    std::unique_ptr<AppStore> make()
    {
        return std::make_unique<AppStore>(&dialogs, &settings, cachePath());
    }
};

} // namespace test
} // namespace mendral
