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
// lowers its thread to the idle scheduling class, so that while the cores are wanted
// every quick request goes first and the upload takes what is left. A thread cannot
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

    // From a request thread: the rest of its connection runs in the idle class, and the
    // thread then ends. True when the calling thread is (now) lowered; false on any other
    // thread, which keeps its priority.
    static bool lowerCurrentThread();

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
