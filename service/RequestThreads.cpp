#include "RequestThreads.h"

#include <algorithm>

#include <pthread.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
thread_local bool onRequestThread = false;
thread_local bool lowered = false;
}  // namespace

RequestThreads::RequestThreads(size_t count) : m_count(std::max<size_t>(1, count))
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        for (size_t i = 0; i < m_count; ++i)
            startOne();
    }
    m_keeper = std::thread([this] { keep(); });
}

RequestThreads::~RequestThreads()
{
    shutdown();
}

void RequestThreads::enqueue(std::function<void()> task)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_one();
}

void RequestThreads::shutdown()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopping && !m_keeper.joinable())
            return;
        m_stopping = true;
    }
    m_wake.notify_all();
    m_changed.notify_all();
    if (m_keeper.joinable())
        m_keeper.join();
}

bool RequestThreads::lowerCurrentThread()
{
    if (!onRequestThread)
        return false;
    if (!lowered) {
        // On Linux a nice value belongs to one thread.
        lowered = ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 19) == 0;
        if (lowered)
            ::pthread_setname_np(::pthread_self(), "upload");
    }
    return lowered;
}

bool RequestThreads::currentThreadLowered()
{
    return lowered;
}

void RequestThreads::startOne()
{
    std::thread worker([this] { work(); });
    const std::thread::id id = worker.get_id();
    m_workers.emplace(id, std::move(worker));
}

void RequestThreads::work()
{
    onRequestThread = true;
    ::pthread_setname_np(::pthread_self(), "request");
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
            if (m_tasks.empty())
                break;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
        if (lowered)
            break;
    }
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_ended.push_back(std::this_thread::get_id());
    }
    m_changed.notify_one();
}

// Joins the threads that ended and starts their successors from here, at the
// priority the service started with. While stopping, successors are started only as
// long as tasks wait, so that every accepted connection is still served.
void RequestThreads::keep()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_ended.empty() || (m_stopping && m_workers.empty()); });
        std::vector<std::thread> finished;
        for (const std::thread::id id : m_ended) {
            const auto found = m_workers.find(id);
            finished.push_back(std::move(found->second));
            m_workers.erase(found);
        }
        m_ended.clear();
        while (m_workers.size() < m_count && (!m_stopping || m_workers.size() < m_tasks.size()))
            startOne();
        const bool done = m_stopping && m_workers.empty();
        lock.unlock();
        for (std::thread &t : finished)
            t.join();
        if (done)
            return;
        lock.lock();
    }
}
