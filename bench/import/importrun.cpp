#include "importrun.h"

#include <QElapsedTimer>
#include <QEventLoop>

namespace mendral::bench {

namespace {

// Runs an event loop until finished is emitted once.
template <typename Signal>
void waitFor(AppStore &store, Signal finished, const std::function<void()> &begin)
{
    QEventLoop loop;
    bool done = false;
    const auto connection = QObject::connect(&store, finished, &loop, [&] {
        done = true;
        loop.quit();
    });
    begin();
    if (!done)
        loop.exec();
    QObject::disconnect(connection);
}

} // namespace

ImportRun importFolder(AppStore &store, const QString &folder, std::atomic<int> &analyseCalls)
{
    ImportRun run;
    analyseCalls = 0;
    QElapsedTimer timer;
    double scanEnd = -1;
    const auto phase = QObject::connect(&store, &AppStore::phaseChanged, [&] {
        if (store.phase() == Phase::analyzing && scanEnd < 0)
            scanEnd = double(timer.nsecsElapsed()) / 1e6;
    });
    waitFor(store, &AppStore::importFinished, [&] {
        timer.start();
        store.start(folder);
    });
    run.ms = double(timer.nsecsElapsed()) / 1e6;
    QObject::disconnect(phase);
    run.scanMs = scanEnd < 0 ? run.ms : scanEnd;
    run.error = store.errorText().value_or(QString());
    run.photos = int(store.photos().size());
    run.analysedNow = analyseCalls.load();
    for (const Photo &p : store.photos()) {
        run.withAnalysis += p.analyzed ? 1 : 0;
        if (!p.analyzed)
            run.without << p.name();
    }
    run.status = store.statusText();
    return run;
}

double timeDuplicateSearch(AppStore &store, CancellingDialogs &dialogs)
{
    dialogs.askedAtMs = -1;
    waitFor(store, &AppStore::duplicateRemovalFinished, [&] {
        dialogs.clock.start();
        store.deleteExactDuplicates();
    });
    const double endMs = double(dialogs.clock.nsecsElapsed()) / 1e6;
    return dialogs.askedAtMs >= 0 ? dialogs.askedAtMs : endMs;
}

} // namespace mendral::bench
