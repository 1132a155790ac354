#pragma once

#include "model/photo.h"
#include "model/photogroup.h"

#include <QFuture>
#include <QHash>
#include <QString>
#include <QThreadPool>

#include <optional>
#include <vector>

namespace mendral {

/**
 * Copies the chosen files of each group into the export folder and removes the files of photos
 * that are no longer chosen. Its operations run one at a time on its own thread; the record of
 * what it wrote lives on that thread only.
 *
 * The record is kept per photo (by photo id), not per group number: group numbers change with
 * every regroup, and a record keyed by them could make a later sync delete the files of photos
 * that are still picked.
 *
 * A file takes its name in the export folder only once it is completely copied and on disk, so
 * an export that is killed leaves no broken photo for an editor to import; the hidden partial
 * copy it leaves is removed by the next export. Files the service did not write are never
 * removed or replaced.
 */
class ExportService {
public:
    struct Result {
        int added = 0;
        int removed = 0;
        std::optional<QString> error;
    };
    struct SyncAllResult {
        std::optional<QString> lastError;
        int writtenCount = 0;
    };

    ExportService();
    ~ExportService();
    ExportService(const ExportService &) = delete;
    ExportService &operator=(const ExportService &) = delete;

    QFuture<void> setDestination(const QString &dest);
    QFuture<Result> sync(const PhotoGroup &group, const std::vector<Photo> &photos, const QString &dest);
    QFuture<int> writtenCount();
    /** Sets the destination, then syncs every group with something chosen, in order. */
    QFuture<SyncAllResult> syncAll(const std::vector<PhotoGroup> &groups,
                                   const std::vector<Photo> &photos, const QString &dest);

    /**
     * Where a source file goes in folder dir: its own name, else name-2, name-3, … up to -200.
     * A candidate that already holds a byte-identical copy counts as the file already exported.
     */
    static QString uniqueTarget(const QString &source, const QString &dir);

private:
    struct State {
        QHash<QString, QStringList> exported; // photo id → file names written for it
        std::optional<QString> destURL;
    };
    static void setDestinationOn(State &state, const QString &dest);
    static Result syncOn(State &state, const PhotoGroup &group, const std::vector<Photo> &photos,
                         const QString &dest);
    static int writtenCountOn(const State &state);

    State m_state; // touched only by jobs on m_pool
    QThreadPool m_pool;
};

} // namespace mendral
