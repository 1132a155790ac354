// The import pipeline: choose a folder, scan it, serve cached analyses, analyse the rest,
// build the groups. Scan and analysis run off the main thread; every step that writes the
// store's fields first checks that its import is still the newest one.

#include "appstore.h"

#include "analysis/batch.h"
#include "grouping/clusterer.h"
#include "platform/filepath.h"
#include "platform/whendone.h"
#include "scan/scanner.h"

#include <QHash>
#include <QtConcurrent/QtConcurrentRun>

#include <chrono>
#include <cmath>

namespace mendral {

void AppStore::pickFolder()
{
    if (!m_dialogs)
        return;
    const auto choice = m_dialogs->chooseImportFolder(m_includeSubfolders);
    if (!choice || choice->folder.isEmpty())
        return;
    setIncludeSubfolders(choice->includeSubfolders);
    start(choice->folder);
}

void AppStore::start(const QString &folder)
{
    // Bumping the number cancels the running import: its scan and analysis stop at their
    // next check, and none of its later steps write anything.
    const int generation = m_generation->fetch_add(1) + 1;
    QMetaObject::invokeMethod(this, [this, folder, generation] { load(folder, generation); },
                              Qt::QueuedConnection);
}

void AppStore::track(QFuture<void> work)
{
    std::erase_if(m_pending, [](const QFuture<void> &f) { return f.isFinished(); });
    m_pending.push_back(std::move(work));
}

void AppStore::postProgress(int generation, double value)
{
    // Reports arrive late and out of step with the pipeline: within one import the bar only
    // moves forward, and not once the import is done.
    QMetaObject::invokeMethod(this, [this, generation, value] {
        if (isCurrent(generation) && m_phase != Phase::ready && value > m_progress)
            setProgress(value);
    }, Qt::QueuedConnection);
}

namespace {

double steadySeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

void AppStore::postAnalysisProgress(int generation, double fraction, int total)
{
    postProgress(generation, 0.35 + fraction * 0.6);
    QMetaObject::invokeMethod(this, [this, generation, fraction, total] {
        if (isCurrent(generation) && m_phase == Phase::analyzing)
            setStatusText(m_timeLeft.line(int(std::lround(fraction * total)), steadySeconds()));
    }, Qt::QueuedConnection);
}

void AppStore::load(const QString &folder, int generation)
{
    if (!isCurrent(generation))
        return;
    m_decisions.leave(); // the folder being left keeps its latest decisions
    m_sourceFolder = folder;
    Q_EMIT exportStateChanged();
    setPhase(Phase::scanning);
    setProgress(0);
    setStatusText(QStringLiteral("正在扫描 ") + fileName(folder) + QStringLiteral("…"));
    setReviewGroupID(std::nullopt);
    setSelectedGroupID(std::nullopt);
    setSelectionInDecidedPane(false);
    setGroups({});
    setPhotos({});

    const bool recursive = m_includeSubfolders;
    const auto current = m_generation;
    auto scan = QtConcurrent::run([this, folder, recursive, current, generation, check = m_models.check()] {
        std::vector<Photo> photos =
            Scanner::scan(folder, recursive, [this, generation](double x) { postProgress(generation, x * 0.35); },
                          [current, generation] { return current->load() != generation; });
        // Asked here, off the main thread: the first answer of a run loads the models.
        QStringList missing = check && !photos.empty() ? check() : QStringList();
        return std::make_pair(std::move(photos), std::move(missing));
    });
    track(QFuture<void>(scan));
    whenResult(this, scan, [this, recursive, generation](std::pair<std::vector<Photo>, QStringList> scanned) {
        afterScan(std::move(scanned.first), scanned.second, recursive, generation);
    });
}

void AppStore::afterScan(std::vector<Photo> photos, const QStringList &missingModels, bool recursive,
                         int generation)
{
    if (!isCurrent(generation))
        return;
    if (m_models.note(missingModels))
        Q_EMIT textsChanged();
    // Analyses made without every model serve only until the models are back.
    const bool modelsComplete = missingModels.isEmpty();
    if (photos.empty()) {
        setPhase(Phase::idle);
        setErrorText(recursive
            ? QStringLiteral("这个文件夹里没有找到可识别的照片（jpg / heic / png / tif / raw）")
            : QStringLiteral("这一层没有找到照片。如果照片在子文件夹里，导入时记得勾选「包含子文件夹」"));
        setStatusText(QString());
        Q_EMIT importFinished();
        return;
    }

    int hits = 0;
    for (Photo &p : photos) {
        const auto it = m_cache.find(p.id);
        if (it != m_cache.end() && AnalysisCache::isValid(it->second, p, modelsComplete)) {
            p.apply(it->second.analysis);
            ++hits;
        }
    }
    setPhotos(std::move(photos));
    m_decisions.prepare(*m_sourceFolder, m_photos);
    setPhase(Phase::analyzing);

    std::vector<Photo> todo;
    for (const Photo &p : m_photos)
        if (!p.analyzed)
            todo.push_back(p);
    const QString line = hits == 0
        ? QStringLiteral("分析中… 共 ") + QString::number(m_photos.size()) + QStringLiteral(" 张")
        : QStringLiteral("分析中… 已有 ") + QString::number(hits) + QStringLiteral(" 张走缓存，还需处理 ") +
              QString::number(todo.size()) + QStringLiteral(" 张");
    setStatusText(line);
    m_timeLeft.start(int(todo.size()), steadySeconds(), line);

    if (todo.empty()) {
        finishImport(generation);
        return;
    }
    setProgress(0.35);
    const auto current = m_generation;
    const Analyzer::AnalyzeFunction analyze =
        m_analyze ? m_analyze : Analyzer::AnalyzeFunction([](const QString &) { return std::nullopt; });
    auto analysis = QtConcurrent::run([this, todo = std::move(todo), current, generation, analyze] {
        const int total = int(todo.size());
        return Analyzer::analyzeAll(todo, Analyzer::defaultConcurrency(),
                                    [this, generation, total](double x) { postAnalysisProgress(generation, x, total); },
                                    [current, generation] { return current->load() != generation; },
                                    analyze);
    });
    track(QFuture<void>(analysis));
    whenResult(this, analysis, [this, generation, modelsComplete](const AnalysisResults &results) {
        afterAnalysis(results, modelsComplete, generation);
    });
}

void AppStore::afterAnalysis(const AnalysisResults &results, bool modelsComplete, int generation)
{
    if (!isCurrent(generation))
        return;
    QHash<QString, size_t> indexOf;
    for (size_t i = m_photos.size(); i-- > 0;)
        indexOf.insert(m_photos[i].id, i); // first photo with an id wins
    bool stored = false;
    for (const auto &[id, analysis] : results) {
        const auto it = indexOf.constFind(id);
        if (it == indexOf.cend())
            continue;
        Photo &p = m_photos[*it];
        p.apply(analysis);
        AnalysisCache::store(m_cache, p, analysis, modelsComplete);
        stored = true;
    }
    Q_EMIT photosChanged();
    // Photos that could not be analysed leave nothing new to keep: the file stays as it is.
    if (stored)
        AnalysisCache::save(m_cache, m_cachePath);
    finishImport(generation);
}

void AppStore::finishImport(int generation)
{
    if (!isCurrent(generation))
        return;
    setProgress(1.0);
    rebuildGroups(true);
    const int restored = m_decisions.restore(m_groups);
    if (restored > 0) {
        Q_EMIT groupsChanged();
        refreshSelectionPane();
    }
    setPhase(Phase::ready);
    setStatusText(summaryStatusText() +
                  (restored > 0 ? QStringLiteral(" · 已恢复上次的选择 ") + QString::number(restored) +
                                      QStringLiteral(" 组")
                                : QString()));
    Q_EMIT importFinished();
}

void AppStore::rebuildGroups(bool useSimilarity, const std::vector<Photo> *oldPhotos)
{
    // Undo records name groups by number, and every rebuild renumbers them.
    m_undoStack.clear();
    if (m_photos.empty()) {
        setGroups({});
        return;
    }
    ClusterOptions options = clusterOptions();
    if (!useSimilarity) {
        options.simFactor = 0;
        options.autoCalibrate = false;
    }
    const ClusterResult result = Clusterer::run(m_photos, options);
    m_calibratedThreshold = result.threshold;
    Q_EMIT settingsChanged();

    const std::vector<Photo> &indexed = oldPhotos ? *oldPhotos : m_photos;
    auto keyOf = [](const std::vector<int> &indices, const std::vector<Photo> &list) {
        QStringList ids;
        for (int i : indices)
            ids << (i >= 0 && size_t(i) < list.size() ? list[size_t(i)].id : QString());
        return ids.join(QLatin1Char('|'));
    };
    QHash<QString, std::set<int>> oldPicks;
    QHash<QString, bool> oldSkipped;
    for (const PhotoGroup &g : m_groups) {
        const QString key = keyOf(g.indices, indexed);
        oldPicks.insert(key, g.picks);
        oldSkipped.insert(key, g.skipped);
    }

    std::vector<PhotoGroup> fresh;
    fresh.reserve(result.groups.size());
    for (size_t i = 0; i < result.groups.size(); ++i) {
        PhotoGroup g;
        g.id = int(i);
        g.indices = result.groups[i];
        const QString key = keyOf(g.indices, m_photos);
        if (const auto it = oldPicks.constFind(key); it != oldPicks.cend())
            for (int p : *it)
                if (p < g.count())
                    g.picks.insert(p);
        if (const auto it = oldSkipped.constFind(key); it != oldSkipped.cend())
            g.skipped = *it;
        fresh.push_back(std::move(g));
    }
    Clusterer::score(fresh, m_photos);
    setGroups(std::move(fresh));

    if (m_reviewGroupID && !group(*m_reviewGroupID))
        setReviewGroupID(std::nullopt);
    if (m_selectedGroupID && !group(*m_selectedGroupID))
        setSelectedGroupID(std::nullopt);
    if (!m_selectedGroupID && !m_groups.empty()) {
        setSelectedGroupID(m_groups.front().id);
        setSelectionInDecidedPane(false);
    }
}

void AppStore::regroup()
{
    rebuildGroups(true);
    setStatusText(summaryStatusText());
}

} // namespace mendral
