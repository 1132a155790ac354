// Import of a card through the store: cold, again from the analysis cache, and the search for
// byte-identical photos next to jdupes.

#include "importbench.h"

#include "analysis/analyzer.h"
#include "cardfolder.h"
#include "jdupesrun.h"
#include "platform/filepath.h"
#include "store/analysiscache.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSet>

#include <algorithm>
#include <cstdio>

namespace mendral::bench {

namespace {

QString num(double v, int decimals) { return QString::number(v, 'f', decimals); }

QString importText(const ImportRun &run)
{
    return num(run.ms / run.photos, 2) + QStringLiteral(" ms/photo (") + num(run.ms / 1000, 2) +
           QStringLiteral(" s for ") + QString::number(run.photos) + QStringLiteral(" photos; scan ") +
           num(run.scanMs / 1000, 2) + QStringLiteral(" s; ") + QString::number(run.analysedNow) +
           QStringLiteral(" analysed now, ") + QString::number(run.withAnalysis) +
           QStringLiteral(" with an analysis)");
}

} // namespace

void printFigure(const char *figure, const QString &text)
{
    std::printf("%-34s %s\n", figure, text.toUtf8().constData());
    std::fflush(stdout);
}

void ImportBench::openStore()
{
    m_store = std::make_unique<AppStore>(&m_dialogs);
    m_store->setAnalyzeFunction([calls = &m_analyseCalls](const QString &url) {
        ++*calls;
        return Analyzer::analyze(url);
    });
}

bool ImportBench::checkImport(const ImportRun &run)
{
    if (!run.error.isEmpty())
        m_why = QStringLiteral("import failed: ") + run.error;
    else if (run.photos == 0)
        m_why = QStringLiteral("the import loaded no photos");
    return m_why.isEmpty();
}

// A photo whose analysis gave nothing has nothing cached: each import tries it again.
bool ImportBench::checkReimport(const char *figure, const ImportRun &run,
                                const std::optional<FileStat> &cacheBefore)
{
    if (!checkImport(run))
        return false;
    const auto cacheAfter = statFile(AnalysisCache::cacheURL());
    const bool untouched = cacheBefore && cacheAfter && cacheBefore->modificationTime == cacheAfter->modificationTime;
    if (run.photos != m_cold.photos || run.withAnalysis != m_cold.withAnalysis || run.without != m_cold.without ||
        run.analysedNow != int(m_cold.without.size()))
        m_why = QStringLiteral("the re-import was not served from the cache: ") + importText(run);
    else if (run.analysedNow == 0 && !untouched)
        m_why = QStringLiteral("the re-import rewrote the cache file ") + AnalysisCache::cacheURL();
    if (!m_why.isEmpty())
        return false;
    QString text = importText(run);
    if (run.analysedNow == 0)
        text += QStringLiteral(", cache file untouched");
    else
        text += QStringLiteral(": only the photos without analysis tried again, cache file ") +
                (untouched ? QStringLiteral("untouched") : QStringLiteral("written again"));
    printFigure(figure, text);
    return true;
}

bool ImportBench::imports()
{
    // 1. Cold: nothing cached.
    openStore();
    if (!m_store->analysisCache().empty()) {
        m_why = QStringLiteral("the bench's analysis cache is not empty");
        return false;
    }
    m_cold = importFolder(*m_store, m_folder, m_analyseCalls);
    if (!checkImport(m_cold))
        return false;
    printFigure("cold import", importText(m_cold));
    if (!m_cold.without.isEmpty())
        printFigure("photos without analysis", m_cold.without.join(QStringLiteral(", ")));

    // 2. The same folder again, all from the cache: in the same store, then in a new one that
    // reads the cache from its file as a restarted program does.
    warmFolder(m_folder);
    auto cacheBefore = statFile(AnalysisCache::cacheURL());
    if (!checkReimport("re-import, same store", importFolder(*m_store, m_folder, m_analyseCalls), cacheBefore))
        return false;
    m_store.reset();
    warmFolder(m_folder);
    cacheBefore = statFile(AnalysisCache::cacheURL());
    QElapsedTimer restart;
    restart.start();
    openStore();
    const double openMs = double(restart.nsecsElapsed()) / 1e6;
    ImportRun fresh = importFolder(*m_store, m_folder, m_analyseCalls);
    fresh.ms += openMs;
    if (!checkReimport("re-import, new store", fresh, cacheBefore))
        return false;
    printFigure("ratio re-import/cold", num(fresh.ms / m_cold.ms, 4) + QStringLiteral(" (new store, cache read ") +
                                     QStringLiteral("from its file in ") + num(openMs, 1) + QStringLiteral(" ms)"));
    return true;
}

// 3. Byte-identical photos: ours until the confirmation is asked (answered "取消"), jdupes to
// its exit, each right after a pass that reads the whole folder.
bool ImportBench::duplicates()
{
    QSet<QString> ours;
    for (const Photo &p : AppStore::findExactDuplicates(m_store->photos(), m_store->groups()))
        ours.insert(QDir::cleanPath(p.url));
    double oursMs = 1e300, jdupesMs = 1e300;
    JdupesRun jdupes;
    const int rounds = 3;
    for (int i = 0; i < rounds; ++i) {
        warmFolder(m_folder);
        oursMs = std::min(oursMs, timeDuplicateSearch(*m_store, m_dialogs));
        if ((m_dialogs.askedAtMs >= 0) == ours.isEmpty() || m_store->photos().size() != size_t(m_cold.photos)) {
            m_why = QStringLiteral("the duplicate search through the store disagrees with its direct call");
            return false;
        }
        warmFolder(m_folder);
        jdupes = runJdupes(m_folder);
        if (!jdupes.available || !jdupes.error.isEmpty())
            break;
        jdupesMs = std::min(jdupesMs, jdupes.ms);
    }
    const QString best = QStringLiteral(" ms (best of ") + QString::number(rounds) + QStringLiteral(", warm, ");
    printFigure("duplicate search, ours", num(oursMs, 2) + best +
                                       QStringLiteral("over the loaded photos until the confirmation is asked; "
                                                      "extra copies: ") + QString::number(ours.size()) + ')');
    if (!jdupes.available) {
        printFigure("jdupes", QStringLiteral("not installed (scripts/setup installs it): no ratio"));
        return true;
    }
    if (!jdupes.error.isEmpty()) {
        printFigure("jdupes", jdupes.error + QStringLiteral(": no ratio"));
        return true;
    }
    QSet<QString> imported;
    for (const Photo &p : m_store->photos())
        imported.insert(QDir::cleanPath(p.url));
    int sets = 0;
    if (!sameDuplicateSets(ours, jdupes.sets, imported, &sets, &m_why)) {
        m_why = QStringLiteral("the duplicate sets differ: ") + m_why;
        return false;
    }
    printFigure("duplicate search, jdupes -r -q", num(jdupesMs, 2) + best + QStringLiteral("walking the folder, start to exit)"));
    printFigure("ratio duplicate search ours/jdupes", num(oursMs / jdupesMs, 3));
    printFigure("duplicate sets", QStringLiteral("same: ") + QString::number(sets) +
                               QStringLiteral(" among the imported photos (jdupes: ") +
                               QString::number(jdupes.sets.size()) +
                               QStringLiteral(" in the whole folder, hidden, trash and sidecar files included)"));
    return true;
}

} // namespace mendral::bench
