#pragma once

#include <httplib.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

// The service's request threads: each takes one connection at a time, as httplib's own
// pool does. A request that is going to keep a core busy for long (an exam upload)
// lowers its thread to the lowest priority (nice 19), so that while the cores are wanted
// the quick requests go first and the upload takes a small share. (The idle scheduling
// class put them first more often still, but it let an upload starve while other
// processes kept the cores busy: 20 MB took 19 s against 4 s at nice 19.) A thread cannot
// raise itself back without privileges, so a lowered thread ends with its connection
// and a thread at the normal priority, started by a keeper that stays there, takes its
// place.
class RequestThreads : public httplib::TaskQueue
{
public:
    explicit RequestThreads(size_t count);
    ~RequestThreads() override;
    RequestThreads(const RequestThreads &) = delete;
    RequestThreads &operator=(const RequestThreads &) = delete;

    void enqueue(std::function<void()> task) override;
    // Runs what is queued, then ends every thread.
    void shutdown() override;

    // From a request thread: the rest of its connection runs at nice 19, and the
    // thread then ends. True when the calling thread is (now) lowered; false on any other
    // thread, which keeps its priority.
    static bool lowerCurrentThread();
    // True on a request thread that lowerCurrentThread() lowered.
    static bool currentThreadLowered();

private:
    void work();
    void keep();
    void startOne();  // with m_mutex held

    const size_t m_count;
    std::mutex m_mutex;
    std::condition_variable m_wake;     // workers: a task, or stopping
    std::condition_variable m_changed;  // the keeper: a worker ended, or stopping
    std::deque<std::function<void()>> m_tasks;
    std::map<std::thread::id, std::thread> m_workers;
    std::vector<std::thread::id> m_ended;
    bool m_stopping = false;
    std::thread m_keeper;
};
