#include "analysis/batch.h"
#include "support/testfiles.h"

#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <chrono>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>

using namespace mendral;
using namespace std::chrono_literals;

namespace {

// Photo i lives at "/p/<i>"; its fake analysis carries i as its sharpness.
std::vector<Photo> photos(int n)
{
    std::vector<Photo> out;
    for (int i = 0; i < n; ++i)
        out.emplace_back(QStringLiteral("/p/%1").arg(i), QStringList(), 0.0, 1, 0, 0, false);
    return out;
}

int indexOf(const QString &url)
{
    return url.mid(3).toInt();
}

std::optional<PhotoAnalysis> instant(const QString &url)
{
    PhotoAnalysis a;
    a.sharpness = float(indexOf(url));
    return a;
}

/**
 * A fake analysis that blocks until the test releases its photo, recording the order of
 * starts and the most analyses seen running at once. Waits are bounded so that a broken
 * batch fails the test instead of hanging it.
 */
class Gate {
public:
    std::optional<PhotoAnalysis> run(const QString &url)
    {
        const int i = indexOf(url);
        std::unique_lock lock(m_mutex);
        m_started.push_back(i);
        m_mostRunning = std::max(m_mostRunning, ++m_running);
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_released.count(i) > 0; });
        --m_running;
        if (m_unreadable.count(i))
            return std::nullopt;
        PhotoAnalysis a;
        a.sharpness = float(i);
        return a;
    }

    void release(int i)
    {
        std::lock_guard lock(m_mutex);
        m_released.insert(i);
        m_changed.notify_all();
    }

    void unreadable(int i)
    {
        std::lock_guard lock(m_mutex);
        m_unreadable.insert(i);
    }

    /** Waits until at least n analyses have started; false after 10 s. */
    bool waitStarted(size_t n)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 10s, [&] { return m_started.size() >= n; });
    }

    /**
     * Photos in the order their analyses began. Analyses started together (the first
     * maxConcurrent) race to begin, so the first `together` entries are given sorted.
     */
    std::vector<int> started(size_t together)
    {
        std::lock_guard lock(m_mutex);
        std::vector<int> out = m_started;
        std::sort(out.begin(), out.begin() + std::min(together, out.size()));
        return out;
    }

    int mostRunning()
    {
        std::lock_guard lock(m_mutex);
        return m_mostRunning;
    }

    Analyzer::AnalyzeFunction function()
    {
        return [this](const QString &url) { return run(url); };
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<int> m_started;
    std::set<int> m_released;
    std::set<int> m_unreadable;
    int m_running = 0;
    int m_mostRunning = 0;
};

/** Collects progress reports; callbacks may come from any thread. */
struct Progress {
    std::mutex mutex;
    std::vector<double> values;
    std::function<void(double)> callback()
    {
        return [this](double x) {
            std::lock_guard lock(mutex);
            values.push_back(x);
        };
    }
};

} // namespace

TEST(Batch, EmptyInputCallsNothing)
{
    Progress progress;
    bool analysed = false;
    const auto results = Analyzer::analyzeAll(
        {}, 3, progress.callback(), [] { return false; },
        [&](const QString &) { analysed = true; return std::optional<PhotoAnalysis>(); });
    EXPECT_TRUE(results.empty());
    EXPECT_TRUE(progress.values.empty());
    EXPECT_FALSE(analysed);
}

TEST(Batch, OnePhoto)
{
    Progress progress;
    const auto results = Analyzer::analyzeAll(photos(1), 4, progress.callback(),
                                              [] { return false; }, instant);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results.at("/p/0").sharpness, 0.0f);
    EXPECT_EQ(progress.values, std::vector<double>{1.0});
}

TEST(Batch, ProgressAfterEveryThirdAndTheLast)
{
    Progress progress;
    const auto results = Analyzer::analyzeAll(photos(7), 3, progress.callback(),
                                              [] { return false; }, instant);
    EXPECT_EQ(results.size(), 7u);
    EXPECT_EQ(progress.values, (std::vector<double>{3.0 / 7.0, 6.0 / 7.0, 1.0}));
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(results.at(QStringLiteral("/p/%1").arg(i)).sharpness, float(i));
}

TEST(Batch, BoundedConcurrencyStartsInInputOrder)
{
    Gate gate;
    auto run = std::async(std::launch::async, [&] {
        return Analyzer::analyzeAll(photos(7), 3, {}, [] { return false; }, gate.function());
    });
    ASSERT_TRUE(gate.waitStarted(3));
    EXPECT_EQ(gate.started(3), (std::vector<int>{0, 1, 2}));
    // Finishing out of order starts the next photo of the list each time.
    gate.release(2);
    ASSERT_TRUE(gate.waitStarted(4));
    gate.release(0);
    ASSERT_TRUE(gate.waitStarted(5));
    gate.release(4);
    ASSERT_TRUE(gate.waitStarted(6));
    EXPECT_EQ(gate.started(3), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    for (int i : {1, 3, 5, 6})
        gate.release(i);
    ASSERT_EQ(run.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(run.get().size(), 7u);
    EXPECT_EQ(gate.started(3), (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(gate.mostRunning(), 3);
}

TEST(Batch, CancellationStopsStartingAndDropsLateResults)
{
    Gate gate;
    std::mutex m;
    std::condition_variable asked;
    int questions = 0;
    auto isCancelled = [&] {
        std::lock_guard lock(m);
        ++questions;
        asked.notify_all();
        return questions >= 2; // false after the 1st finished photo, true after the 2nd
    };
    auto run = std::async(std::launch::async, [&] {
        return Analyzer::analyzeAll(photos(10), 4, {}, isCancelled, gate.function());
    });
    ASSERT_TRUE(gate.waitStarted(4));
    EXPECT_EQ(gate.started(4), (std::vector<int>{0, 1, 2, 3}));
    gate.release(0);
    ASSERT_TRUE(gate.waitStarted(5));
    gate.release(1);
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(asked.wait_for(lock, 10s, [&] { return questions >= 2; }));
    }
    // The call waits for the three analyses still running.
    EXPECT_EQ(run.wait_for(0s), std::future_status::timeout);
    for (int i : {2, 3, 4})
        gate.release(i);
    ASSERT_EQ(run.wait_for(10s), std::future_status::ready);
    const auto results = run.get();
    EXPECT_EQ(gate.started(4), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(results.size(), 2u);
    EXPECT_TRUE(results.count("/p/0"));
    EXPECT_TRUE(results.count("/p/1"));
    EXPECT_EQ(questions, 2);
}

TEST(Batch, UnreadablePhotosHaveNoEntryButCountForProgress)
{
    Progress progress;
    auto analyze = [](const QString &url) -> std::optional<PhotoAnalysis> {
        if (indexOf(url) == 2)
            return std::nullopt;
        if (indexOf(url) == 4)
            throw std::runtime_error("decoder failure");
        return instant(url);
    };
    const auto results = Analyzer::analyzeAll(photos(6), 2, progress.callback(),
                                              [] { return false; }, analyze);
    EXPECT_EQ(results.size(), 4u);
    EXPECT_FALSE(results.count("/p/2"));
    EXPECT_FALSE(results.count("/p/4"));
    EXPECT_EQ(progress.values, (std::vector<double>{0.5, 1.0}));
}

TEST(Batch, LaterPhotoWithTheSameIdReplacesTheEarlier)
{
    std::vector<Photo> list = photos(3);
    list[2].id = list[0].id; // same key, different file
    const auto results = Analyzer::analyzeAll(list, 1, {}, [] { return false; }, instant);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results.at("/p/0").sharpness, 2.0f);
}

TEST(Batch, CallbacksNeverOnTheCallingThreadAndOneAtATime)
{
    QThread *caller = QThread::currentThread();
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false}, onCaller{false};
    auto enter = [&] {
        if (QThread::currentThread() == caller)
            onCaller = true;
        if (inside.fetch_add(1) != 0)
            overlapped = true;
        QThread::yieldCurrentThread();
        inside.fetch_sub(1);
    };
    int calls = 0;
    const auto results = Analyzer::analyzeAll(
        photos(30), 4, [&](double) { enter(); ++calls; },
        [&] { enter(); return false; }, instant);
    EXPECT_EQ(results.size(), 30u);
    EXPECT_EQ(calls, 10);
    EXPECT_FALSE(onCaller);
    EXPECT_FALSE(overlapped);
}

TEST(Batch, ConcurrencyBelowOneRunsOneAtATime)
{
    Gate gate;
    auto run = std::async(std::launch::async, [&] {
        return Analyzer::analyzeAll(photos(3), 0, {}, {}, gate.function());
    });
    ASSERT_TRUE(gate.waitStarted(1));
    gate.release(0);
    ASSERT_TRUE(gate.waitStarted(2));
    gate.release(1);
    ASSERT_TRUE(gate.waitStarted(3));
    gate.release(2);
    ASSERT_EQ(run.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(run.get().size(), 3u);
    EXPECT_EQ(gate.mostRunning(), 1);
}

// Qt's smooth scaling stays on the calling thread only when that thread is one of Qt's global
// pool; the window's other background work uses the same pool and must not wait for the
// analyses to end.
TEST(Batch, AnalysesRunInQtsGlobalPoolWithoutTakingItsThreadsFromOtherWork)
{
    QThreadPool *pool = QThreadPool::globalInstance();
    const int limit = pool->maxThreadCount();
    Gate gate;
    std::atomic<bool> allInPool{true};
    auto analyze = [&](const QString &url) {
        if (!pool->contains(QThread::currentThread()))
            allInPool = false;
        return gate.run(url);
    };
    auto run = std::async(std::launch::async, [&] { return Analyzer::analyzeAll(photos(3), 2, {}, {}, analyze); });
    ASSERT_TRUE(gate.waitStarted(2));
    auto ran = std::make_shared<std::atomic<int>>(0);
    for (int i = 0; i < limit; ++i)
        pool->start([ran] { ++*ran; });
    for (int waited = 0; *ran < limit && waited < 1000; ++waited)
        QThread::msleep(10);
    EXPECT_EQ(*ran, limit) << "other work waited for the analyses";
    for (int i = 0; i < 3; ++i)
        gate.release(i);
    ASSERT_EQ(run.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(run.get().size(), 3u);
    EXPECT_TRUE(allInPool);
    EXPECT_EQ(pool->maxThreadCount(), limit);
}

TEST(Batch, DefaultConcurrencyIsTwoToSix)
{
    const int n = Analyzer::defaultConcurrency();
    EXPECT_GE(n, 2);
    EXPECT_LE(n, 6);
}

TEST(Batch, ProgramAnalysisOnRealFiles)
{
    QTemporaryDir dir;
    std::vector<Photo> list;
    for (const char *name : {"a.jpg", "b.png", "broken.jpg", "c.jpg"}) {
        const QString path = dir.filePath(name);
        if (QString(name) == "broken.jpg")
            ASSERT_TRUE(test::writeBytes(path, QByteArray(5000, '\x5A')));
        else
            ASSERT_TRUE(test::writeImage(path, 480, 320, QColor(40, 120, 200)));
        list.emplace_back(path, QStringList(), 0.0, 1, 0, 0, false);
    }
    Progress progress;
    const auto results = Analyzer::analyzeAll(list, 2, progress.callback(), [] { return false; });
    EXPECT_EQ(results.size(), 3u);
    EXPECT_FALSE(results.count(dir.filePath("broken.jpg")));
    ASSERT_TRUE(results.count(dir.filePath("b.png")));
    EXPECT_EQ(results.at(dir.filePath("b.png")).faceCount, 0); // a flat colour has no faces
    EXPECT_EQ(progress.values, (std::vector<double>{0.75, 1.0}));
}
