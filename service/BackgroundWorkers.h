#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

// A few threads at a fixed scheduling priority that run jobs for a caller who waits:
// at a lower one, the CPU-heavy step of uploads, so that when the cores are busy the
// quick requests of other installations go first; at the normal one, the steps of an
// upload whose request thread was lowered. A thread cannot raise its own priority back
// without privileges, so the work moves to threads that keep theirs.
class BackgroundWorkers
{
public:
    // name: the threads' own, at most 15 characters (top -H, profiles).
    BackgroundWorkers(const char *name, unsigned count, int niceness);
    ~BackgroundWorkers();
    BackgroundWorkers(const BackgroundWorkers &) = delete;
    BackgroundWorkers &operator=(const BackgroundWorkers &) = delete;

    // Runs job on a worker and waits for its result; an exception it throws comes back here.
    template<class Job>
    auto run(Job job) -> decltype(job())
    {
        std::packaged_task<decltype(job())()> task(std::move(job));
        auto result = task.get_future();
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_queue.emplace_back([&task] { task(); });
        }
        m_wake.notify_one();
        return result.get();
    }

private:
    void work(const char *name, int niceness);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_queue;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

// The threads an exam upload is stored on, made at start at the service's own
// priority: the request's thread is lowered while the upload comes in (RequestThreads),
// and threads it started would inherit that.
struct UploadWorkers
{
    UploadWorkers();

    // The store's part: its locks, its transactions and its waits for the disk stay
    // at the normal priority, so a lowered thread never holds up the quick requests
    // that wait for the same lock or connection. Twice as many threads as cores, at
    // least 4: more uploads stored at once would only wait for the same disk.
    BackgroundWorkers storing;
    // Writing the files out, the one CPU-heavy step: on half the cores at most, at a
    // lower priority, so that the quick requests do not wait behind it.
    BackgroundWorkers unpacking;
};
