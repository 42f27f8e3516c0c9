#include "BackgroundWorkers.h"

#include <algorithm>

#include <pthread.h>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

BackgroundWorkers::BackgroundWorkers(const char *name, unsigned count, int niceness)
{
    for (unsigned i = 0; i < count; ++i)
        m_threads.emplace_back([this, name, niceness] { work(name, niceness); });
}

BackgroundWorkers::~BackgroundWorkers()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread &t : m_threads)
        t.join();
}

void BackgroundWorkers::work(const char *name, int niceness)
{
    // On Linux a nice value belongs to one thread; failing leaves the normal priority.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), niceness);
    ::pthread_setname_np(::pthread_self(), name);
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            job = std::move(m_queue.front());
            m_queue.pop_front();
        }
        job();
    }
}

UploadWorkers::UploadWorkers()
    : storing("store", std::max(4u, 2 * std::thread::hardware_concurrency()), 0),
      unpacking("unpack", std::max(1u, std::thread::hardware_concurrency() / 2), 10)
{
}
