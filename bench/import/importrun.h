#pragma once

#include "store/appstore.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <atomic>

namespace mendral::bench {

/** What one import of a folder through the store took and did. */
struct ImportRun {
    QString error;       // the store's error text; empty when the import succeeded
    double ms = 0;       // from start(folder) to importFinished
    double scanMs = 0;   // from start(folder) until the scan handed over its photos
    int photos = 0;      // photos loaded
    int analysedNow = 0; // analyses run during this import
    int withAnalysis = 0; // photos holding an analysis at the end (cached or new)
    QStringList without; // names of the photos left without one
    QString status;      // the status text the import ended with
};

/**
 * Imports folder into store and waits for the end on an event loop. analyseCalls is the
 * counter the store's analyse function increments; it is reset first.
 */
ImportRun importFolder(AppStore &store, const QString &folder, std::atomic<int> &analyseCalls);

/**
 * The store's questions answered as a user who cancels everything: no folder, no export
 * location, "取消" to moving duplicates to the Trash. Notes when that confirmation is asked.
 */
class CancellingDialogs : public StoreDialogs {
public:
    QElapsedTimer clock;
    double askedAtMs = -1; // on clock, when the Trash confirmation was last asked
    QString message;       // its message

    std::optional<ImportChoice> chooseImportFolder(bool) override { return std::nullopt; }
    bool confirmAction(const QString &, const QString &, const QString &) override { return false; }
    std::optional<QString> chooseExportLocation(const QString &, const QString &) override
    {
        return std::nullopt;
    }
    bool confirmMoveToTrash(const QString &text, const QString &) override
    {
        askedAtMs = double(clock.nsecsElapsed()) / 1e6;
        message = text;
        return false;
    }
    void revealFolder(const QString &) override {}
};

/**
 * Runs store.deleteExactDuplicates() with dialogs (the store's own) answering "取消", and
 * waits until it finishes. Returns the milliseconds until the confirmation was asked or, when
 * nothing was found, until the search ended.
 */
double timeDuplicateSearch(AppStore &store, CancellingDialogs &dialogs);

} // namespace mendral::bench
