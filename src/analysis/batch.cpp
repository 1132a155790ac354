#include "batch.h"

#include "analysis/analyzer.h"
#include "analysis/thumbnail.h"

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

/** Items handed from threads to a thread that waits for them, in the order given. */
template<typename T>
class Channel {
public:
    // The waiting side is woken under the lock, so once it has taken the last item, nothing
    // on the giving side touches the channel again and it may be destroyed.
    void push(T item)
    {
        std::lock_guard lock(m_mutex);
        m_items.push_back(std::move(item));
        m_ready.notify_one();
    }

    /** After this, pop() answers false once the items given before are taken. */
    void close()
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_ready.notify_all();
    }

    /** Waits for the next item and moves it into `out`; false when closed and empty. */
    bool pop(T &out)
    {
        std::unique_lock lock(m_mutex);
        m_ready.wait(lock, [this] { return !m_items.empty() || m_closed; });
        if (m_items.empty())
            return false;
        out = std::move(m_items.front());
        m_items.pop_front();
        return true;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<T> m_items;
    bool m_closed = false;
};

// The analyses run on threads of Qt's global pool. Qt's smooth scaling cuts a large image
// into bands that it hands to that pool unless the calling thread is one of its own; from
// threads of a pool of their own, the analyses handed out about 140 bands a photo and waited
// for each, and a cold cull of the benchmark card switched threads 165,000 times against
// 4,600. The pool's limit is raised by the workers it lends for as long as they work, so that
// the window's other background work still finds its threads.
class BorrowedGlobalThreads {
public:
    explicit BorrowedGlobalThreads(int count) : m_count(count) { adjust(m_count); }
    ~BorrowedGlobalThreads() { adjust(-m_count); }
    BorrowedGlobalThreads(const BorrowedGlobalThreads &) = delete;
    BorrowedGlobalThreads &operator=(const BorrowedGlobalThreads &) = delete;

private:
    static void adjust(int by)
    {
        static std::mutex mutex; // batches running at once each add and take away their own
        const std::lock_guard one(mutex);
        QThreadPool *pool = QThreadPool::globalInstance();
        pool->setMaxThreadCount(pool->maxThreadCount() + by);
    }

    int m_count;
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
    Channel<Finished> finishedQueue;
    Channel<size_t> work;
    Channel<int> stopped; // one item from each worker, its last act
    // Each worker analyses the photos it is handed until the work channel closes. They keep
    // their threads (and those threads' decode buffers and detectors) for the whole batch.
    const int workerCount = int(std::min(n, size_t(maxConcurrent)));
    const BorrowedGlobalThreads borrowed(workerCount);
    for (int w = 0; w < workerCount; ++w)
        QThreadPool::globalInstance()->start([&finishedQueue, &work, &stopped, &analyze, &photos, w] {
            for (size_t index = 0; work.pop(index);)
                finishedQueue.push(Finished{index, analyzeSafely(analyze, photos[index].url)});
            releaseDecodeBuffer(); // the thread may idle in the pool for a while
            stopped.push(w);
        });

    size_t next = 0;
    size_t running = 0;
    auto startNext = [&] {
        ++running;
        work.push(next++);
    };

    while (next < std::min(n, size_t(maxConcurrent)))
        startNext();

    size_t finished = 0;
    while (running > 0) {
        Finished done;
        finishedQueue.pop(done); // always an item: the workers stay at work until the end
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
    // Until a worker has stopped, it may still use what this call holds.
    work.close();
    for (int w = 0, which = 0; w < workerCount; ++w)
        stopped.pop(which);
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
