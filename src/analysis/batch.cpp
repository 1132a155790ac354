#include "batch.h"

#include "analysis/analyzer.h"

#include <QThread>
#include <QThreadPool>

#include <algorithm>
#ifdef __GLIBC__
#include <cstdio>
#include <malloc.h>
#include <unistd.h>
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

#ifdef __GLIBC__
// What the process holds in memory now, in bytes; 0 when it cannot be read.
long residentBytes()
{
    long resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        // The second figure: pages resident.
        if (std::fscanf(f, "%*d %ld", &resident) != 1)
            resident = 0;
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

// A photo's renditions and decode buffers (tens of MB) are freed when its analysis ends, but
// glibc keeps what worker threads free in their own arenas, and the import's memory crept up
// with the card. Handing it all back after every photo kept the peak flat, but the next photo
// then faulted every page in again: a quarter of the analysis's CPU went to the kernel (cold
// culls of the benchmark card: 27-30 s of system time in 110-117 s). Freed memory is now handed
// back once the process holds this much more than after the last hand-back: system time fell to
// 9-11 s of 68-73 s, and the peak stayed flat (385 photos: 555-577 MB; 3,080: 567-582 MB).
constexpr long kHeldBeforeHandback = 96L << 20;

void handBackFreedMemory()
{
    static std::mutex mutex;
    static long afterLast = -1;
    const std::lock_guard<std::mutex> one(mutex);
    const long now = residentBytes();
    if (afterLast >= 0 && now > 0 && now <= afterLast + kHeldBeforeHandback)
        return;
    malloc_trim(0);
    afterLast = residentBytes();
}
#endif

std::optional<PhotoAnalysis> analyzeSafely(const AnalyzeFunction &analyze, const QString &url)
{
    std::optional<PhotoAnalysis> result;
    try {
        result = analyze(url);
    } catch (...) {
    }
#ifdef __GLIBC__
    handBackFreedMemory();
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
