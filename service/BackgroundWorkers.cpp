#include "BackgroundWorkers.h"

#include <algorithm>

#include <pthread.h>
#include <sched.h>

BackgroundWorkers::BackgroundWorkers(unsigned count, Priority priority)
{
    for (unsigned i = 0; i < count; ++i) {
        m_threads.emplace_back([this] { work(); });
        // Set from here, so that it holds once the pool exists; failing leaves the normal priority.
        const sched_param none{};
        if (priority == Priority::Idle)
            ::pthread_setschedparam(m_threads.back().native_handle(), SCHED_IDLE, &none);
    }
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

void BackgroundWorkers::work()
{
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
    : storing(std::max(4u, 2 * std::thread::hardware_concurrency()), BackgroundWorkers::Priority::Normal),
      unpacking(std::max(1u, std::thread::hardware_concurrency() / 2), BackgroundWorkers::Priority::Idle)
{
}
