#pragma once

#include "analysis/batch.h"
#include "export/exportservice.h"
#include "grouping/clusteroptions.h"
#include "model/enums.h"
#include "model/photo.h"
#include "model/photogroup.h"
#include "store/analysiscache.h"
#include "store/modelnotice.h"
#include "store/decisionkeeper.h"
#include "store/storedialogs.h"
#include "store/timeleft.h"

#include <QFuture>
#include <QObject>
#include <QSettings>

#include <atomic>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace mendral {

/**
 * The state of the running application: photos and groups of the imported folder, the import
 * phase and progress, status texts, the review position, settings, undo stack and analysis
 * cache. Lives on the main thread; each concern announces its changes with its own signal.
 */
class AppStore : public QObject {
    Q_OBJECT

public:
    struct UndoRecord {
        int groupID = 0;
        std::set<int> picks;
        bool skipped = false;
        bool needsReview = true;
    };
    /** What one undo restores: one record per group the step changed. */
    using UndoStep = std::vector<UndoRecord>;
    struct Stats {
        int photos = 0, groups = 0, pending = 0, picked = 0, skipped = 0;
    };
    static constexpr int kMaxUndo = 80;

    /** settings: where the four persisted settings live (null: the user's standard store).
     *  cachePath: the analysis cache file (empty: the standard location). */
    explicit AppStore(StoreDialogs *dialogs = nullptr, QSettings *settings = nullptr,
                      const QString &cachePath = QString(), QObject *parent = nullptr);
    ~AppStore() override;

    void setDialogs(StoreDialogs *dialogs) { m_dialogs = dialogs; }
    /** How one photo is analysed during an import: the program passes Analyzer::analyze, tests
     *  their own. Without one, imported photos stay unanalysed. */
    void setAnalyzeFunction(Analyzer::AnalyzeFunction analyze) { m_analyze = std::move(analyze); }
    /** Which models that analysis lacks, asked once an import (the program passes
     *  models::missing). Analyses made without them are cached as incomplete. */
    void setModelCheck(ModelNotice::Check check) { m_models.setCheck(std::move(check)); }
    /** Decisions are kept on disk per source folder; a read-only store restores them but
     *  writes nothing (the command line, unless it picks). */
    void setDecisionsWritable(bool writable) { m_decisions.setWritable(writable); }

    // Observed fields.
    const std::vector<Photo> &photos() const { return m_photos; }
    const std::vector<PhotoGroup> &groups() const { return m_groups; }
    const std::optional<QString> &sourceFolder() const { return m_sourceFolder; }
    Phase phase() const { return m_phase; }
    double progress() const { return m_progress; }
    const QString &statusText() const { return m_statusText; }
    const std::optional<QString> &errorText() const { return m_errorText; }
    GroupFilter filter() const { return m_filter; }
    std::optional<int> reviewGroupID() const { return m_reviewGroupID; }
    std::optional<int> selectedGroupID() const { return m_selectedGroupID; }
    bool selectionInDecidedPane() const { return m_selectionInDecidedPane; }
    bool decidedFlatMode() const { return m_decidedFlatMode; }
    bool showSettings() const { return m_showSettings; }
    double timeGap() const { return m_timeGap; }
    double simFactor() const { return m_simFactor; }
    float calibratedThreshold() const { return m_calibratedThreshold; }
    int maxGroupSize() const { return m_maxGroupSize; }
    bool includeSubfolders() const { return m_includeSubfolders; }
    const std::optional<QString> &destFolder() const { return m_destFolder; }
    bool showDecidedPane() const { return m_showDecidedPane; }
    int syncedCount() const { return m_syncedCount; }
    /** What the user is told once an import found models missing (announced by textsChanged);
     *  empty while every model is there. */
    const QString &modelNotice() const { return m_models.text(); }
    /** Groups whose decisions the current folder's import brought back from disk. */
    int restoredGroupCount() const { return m_decisions.restoredGroups(); }

    void setErrorText(std::optional<QString> text);
    void setFilter(GroupFilter filter);
    void setSelectedGroupID(std::optional<int> id);
    void setSelectionInDecidedPane(bool value);
    void setDecidedFlatMode(bool value);
    void setShowSettings(bool value);
    void setTimeGap(double value);
    void setSimFactor(double value);
    void setMaxGroupSize(int value);
    void setIncludeSubfolders(bool value);
    void setShowDecidedPane(bool value);

    const AnalysisCacheMap &analysisCache() const { return m_cache; }
    ClusterOptions clusterOptions() const;
    QString summaryStatusText() const;

    // Import.
    void pickFolder();
    void start(const QString &folder);
    void regroup();

    // Derived values and decisions.
    std::vector<PhotoGroup> visibleGroups() const;
    std::optional<PhotoGroup> currentGroup() const;
    std::optional<int> currentGroupPosition() const;
    bool canUndo() const { return !m_undoStack.empty(); }
    int undoDepth() const { return int(m_undoStack.size()); }
    Stats stats() const;
    const PhotoGroup *group(int id) const;

    void choose(int groupID, int position);
    void chooseOnly(int groupID, int position);
    void togglePick(int groupID, int position);
    void skip(int groupID);
    void acceptRecommendation(int groupID);
    /** Pending groups not flagged for review: what acceptAllRecommendations would change. */
    int acceptableRecommendationCount() const;
    /** After the user confirms, picks the recommended photo of every such group, as one undo step. */
    void acceptAllRecommendations();
    void resetGroup(int groupID);
    void undo();

    void openReview(int groupID);
    void closeReview();
    void goNext(bool loop);
    void goPrev();
    void advance(int afterGroupID);
    void jumpToNextPending();

    // Export.
    int pickedCount() const;
    QString exportFolderName() const;
    void exportPicked();
    void exportAll(const QString &dest);
    void revealDestination();

    // Duplicate removal.
    void deleteExactDuplicates();
    /** Photos whose primary file is byte-identical to a kept one (runs off the main thread). */
    static std::vector<Photo> findExactDuplicates(const std::vector<Photo> &photos,
                                                  const std::vector<PhotoGroup> &groups);

Q_SIGNALS:
    void photosChanged();
    void groupsChanged();
    void phaseChanged();
    void progressChanged();
    void textsChanged();
    void selectionChanged();
    void settingsChanged();
    void exportStateChanged();
    /** An import, export or duplicate removal finished (for the command line and tests). */
    void importFinished();
    void exportFinished();
    void duplicateRemovalFinished();

private:
    friend struct AppStoreTestAccess;

    void load(const QString &folder, int generation);
    void afterScan(std::vector<Photo> scanned, const QStringList &missingModels, bool recursive,
                   int generation);
    void afterAnalysis(const AnalysisResults &results, bool modelsComplete, int generation);
    void finishImport(int generation);
    bool isCurrent(int generation) const { return generation == m_generation->load(); }
    void postProgress(int generation, double value);
    /** The analysis share of the bar (0…1 of the photos to analyse) and the time left. */
    void postAnalysisProgress(int generation, double fraction, int total);
    void track(QFuture<void> work);
    void rebuildGroups(bool useSimilarity, const std::vector<Photo> *oldPhotos = nullptr);
    void removeDuplicates(const std::vector<Photo> &toRemove);

    void setPhotos(std::vector<Photo> photos);
    void setGroups(std::vector<PhotoGroup> groups);
    void setPhase(Phase phase);
    void setProgress(double value);
    void setStatusText(const QString &text);
    void setReviewGroupID(std::optional<int> id);
    void setSyncedCount(int count);
    void setDestFolder(std::optional<QString> folder);

    PhotoGroup *mutableGroup(int id);
    void pushUndo(const PhotoGroup &g);
    void pushUndo(UndoStep step);
    static UndoRecord undoRecord(const PhotoGroup &g);
    template <typename F>
    void decide(int groupID, bool refreshPane, F change);
    void refreshSelectionPane();
    void syncSelectionToReview();
    void reviewAt(const std::vector<PhotoGroup> &visible, size_t position);
    QString defaultDestination(const QString &folder) const;

    StoreDialogs *m_dialogs = nullptr;
    std::unique_ptr<QSettings> m_ownSettings;
    QSettings *m_settings = nullptr;
    QString m_cachePath;

    std::vector<Photo> m_photos;
    std::vector<PhotoGroup> m_groups;
    std::optional<QString> m_sourceFolder;
    Phase m_phase = Phase::idle;
    double m_progress = 0;
    QString m_statusText;
    std::optional<QString> m_errorText;
    GroupFilter m_filter = GroupFilter::all;
    std::optional<int> m_reviewGroupID;
    std::optional<int> m_selectedGroupID;
    bool m_selectionInDecidedPane = false;
    bool m_reviewOriginInDecidedPane = false;
    bool m_decidedFlatMode = false;
    bool m_showSettings = false;
    double m_timeGap = 30;
    double m_simFactor = 1.0;
    float m_calibratedThreshold = 0;
    int m_maxGroupSize = 20;
    bool m_includeSubfolders = true;
    std::optional<QString> m_destFolder;
    bool m_showDecidedPane = true;
    int m_syncedCount = 0;

    ExportService m_exporter;
    std::deque<UndoStep> m_undoStack;
    AnalysisCacheMap m_cache;
    TimeLeft m_timeLeft; // the analysis line's estimate
    DecisionKeeper m_decisions{DecisionStore::folderBeside(m_cachePath), m_photos, m_groups};
    Analyzer::AnalyzeFunction m_analyze;
    ModelNotice m_models;
    // The newest import's number; older imports see they are superseded and stop.
    std::shared_ptr<std::atomic<int>> m_generation = std::make_shared<std::atomic<int>>(0);
    bool m_removingDuplicates = false;
    std::vector<QFuture<void>> m_pending; // background work, awaited on destruction
};

} // namespace mendral
