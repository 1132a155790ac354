#include "batch.h"

#include "analysis/analyzer.h"

#include <QThread>
#include <QThreadPool>

#include <algorithm>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

namespace mendral::Analyzer {

namespace {

/** One finished analysis, handed from a worker to the coordinating thread. */
struct Finished {
    size_t index = 0;
    std::optional<PhotoAnalysis> result;
};

/** Completions in the order the workers finish. */
class FinishedQueue {
public:
    void push(Finished item)
    {
        {
            std::lock_guard lock(m_mutex);
            m_items.push_back(std::move(item));
        }
        m_ready.notify_one();
    }

    Finished pop()
    {
        std::unique_lock lock(m_mutex);
        m_ready.wait(lock, [this] { return !m_items.empty(); });
        Finished item = std::move(m_items.front());
        m_items.pop_front();
        return item;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<Finished> m_items;
};

std::optional<PhotoAnalysis> analyzeSafely(const AnalyzeFunction &analyze, const QString &url)
{
    std::optional<PhotoAnalysis> result;
    try {
        result = analyze(url);
    } catch (...) {
    }
#ifdef __GLIBC__
    // A photo's renditions and decode buffers (tens of MB) are freed by now, but glibc keeps
    // what worker threads free in their own arenas, and the import's memory crept up with the
    // card. Handing it back after each photo keeps the peak at what one photo per thread needs.
    malloc_trim(0);
#endif
    return result;
}

// Blocks of 4 MB and more (renditions, decode and RAW buffers) come straight from the system
// and go back to it when freed. glibc otherwise raises this bound to the largest block freed so
// far, after which 17-MB renditions come from the arenas and fragment them. Cold culls of the
// benchmark card peaked at 571 and 580 MB with this bound, 562 to 631 MB without it.
void mapLargeBlocks()
{
#ifdef __GLIBC__
    static std::once_flag once;
    std::call_once(once, [] { mallopt(M_MMAP_THRESHOLD, 4 << 20); });
#endif
}

AnalysisResults coordinate(const std::vector<Photo> &photos, int maxConcurrent,
                           const std::function<void(double)> &progress,
                           const std::function<bool()> &isCancelled,
                           const AnalyzeFunction &analyze)
{
    mapLargeBlocks();
    const size_t n = photos.size();
    AnalysisResults results;
    results.reserve(n);
    FinishedQueue queue;
    // Declared after the queue: destroying the pool waits for every worker, so none can
    // outlive the queue it reports to.
    QThreadPool workers;
    workers.setMaxThreadCount(maxConcurrent);

    size_t next = 0;
    size_t running = 0;
    auto startNext = [&] {
        const size_t index = next++;
        ++running;
        workers.start([&queue, &analyze, index, url = photos[index].url] {
            queue.push(Finished{index, analyzeSafely(analyze, url)});
        });
    };

    while (next < std::min(n, size_t(maxConcurrent)))
        startNext();

    size_t finished = 0;
    while (running > 0) {
        Finished done = queue.pop();
        --running;
        if (done.result)
            results.insert_or_assign(photos[done.index].id, std::move(*done.result));
        ++finished;
        if ((finished % 3 == 0 || finished == n) && progress) {
            try {
                progress(double(finished) / double(n));
            } catch (...) {
                // A failing progress report does not stop the analysis.
            }
        }
        bool cancelled = false;
        try {
            cancelled = isCancelled && isCancelled();
        } catch (...) {
            cancelled = true;
        }
        if (cancelled)
            break; // still-running analyses finish below; their results are dropped
        if (next < n)
            startNext();
    }
    workers.waitForDone();
    return results;
}

} // namespace

int defaultConcurrency()
{
    return std::clamp(QThread::idealThreadCount() - 1, 2, 6);
}

AnalysisResults analyzeAll(const std::vector<Photo> &photos, int maxConcurrent,
                           const std::function<void(double)> &progress,
                           const std::function<bool()> &isCancelled,
                           const AnalyzeFunction &analyze)
{
    if (photos.empty())
        return {};
    maxConcurrent = std::max(maxConcurrent, 1);
    // The caller may be the main thread; the callbacks must never run there, so the
    // bookkeeping runs on a thread of its own.
    AnalysisResults results;
    try {
        std::thread coordinator([&] {
            results = coordinate(photos, maxConcurrent, progress, isCancelled, analyze);
        });
        coordinator.join();
    } catch (const std::system_error &) {
        return {}; // no thread to be had: every photo stays unanalysed
    }
    return results;
}

AnalysisResults analyzeAll(const std::vector<Photo> &photos, int maxConcurrent,
                           const std::function<void(double)> &progress,
                           const std::function<bool()> &isCancelled)
{
    return analyzeAll(photos, maxConcurrent, progress, isCancelled,
                      [](const QString &url) { return analyze(url); });
}

} // namespace mendral::Analyzer
