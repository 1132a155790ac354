#pragma once

#include "model/photo.h"
#include "model/photogroup.h"
#include "store/decisionstore.h"

#include <QElapsedTimer>
#include <QFuture>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include <functional>
#include <optional>
#include <vector>

namespace mendral {

/**
 * Keeps the decisions of the imported folder on disk for AppStore. An import hands it the
 * scanned photos (prepare), then its built groups (restore); from then on every change is
 * written, at most once a second, and at once when the folder is left (leave) or the keeper
 * is destroyed. Files are read and written on the keeper's own thread, one job at a time.
 *
 * Reads the store's photos and groups through the references it is given; lives on the main
 * thread, like the store.
 */
class DecisionKeeper {
public:
    /** Reports a problem the user should know about (a damaged file, a failed save). */
    using Report = std::function<void(const QString &)>;

    DecisionKeeper(QString dir, const std::vector<Photo> &photos, const std::vector<PhotoGroup> &groups);
    ~DecisionKeeper();
    DecisionKeeper(const DecisionKeeper &) = delete;
    DecisionKeeper &operator=(const DecisionKeeper &) = delete;

    void setReport(Report report) { m_report = std::move(report); }
    /** Read-only keepers restore decisions but write nothing, not even a damaged file aside. */
    void setWritable(bool writable);
    bool isWritable() const { return m_writable; }
    /** The folder the decisions files live in. */
    const QString &directory() const { return m_dir; }

    /** An import of folder has scanned photos: identify them and read the stored decisions. */
    void prepare(const QString &folder, const std::vector<Photo> &photos);
    /**
     * The import's groups are built: puts the stored decisions back into groups (the store's
     * own list) and keeps the folder from now on. Returns how many groups got decisions back.
     */
    int restore(std::vector<PhotoGroup> &groups);
    /** How many groups the last restore gave decisions back; 0 once the folder is left. */
    int restoredGroups() const { return m_restored; }
    /** The kept folder's decisions changed. */
    void changed();
    /** Writes what is not written yet and stops keeping the folder. */
    void leave();
    /** Waits until every write handed to the keeper's thread is done. */
    void waitForWrites();

private:
    struct Prepared {
        IdentityMap identities;
        DecisionStore::ReadResult stored;
    };
    void writeNow();
    bool setDamagedFileAside();
    void report(const QString &text);

    QString m_dir;
    const std::vector<Photo> &m_photos;
    const std::vector<PhotoGroup> &m_groups;
    Report m_report;
    bool m_writable = true;

    std::optional<QString> m_folder; // the kept folder; absent between imports
    QString m_path;                  // its decisions file
    QString m_preparedFolder;        // the folder m_prepared belongs to
    QFuture<Prepared> m_prepared;
    IdentityMap m_identities;
    FolderDecisions m_absent; // stored decisions of photos this import does not hold
    int m_restored = 0;
    bool m_damaged = false;   // the file could not be read and is still in its place
    bool m_dirty = false;
    bool m_failureReported = false;

    QTimer m_timer;
    QElapsedTimer m_sinceWrite;
    QThreadPool m_pool;
};

} // namespace mendral
