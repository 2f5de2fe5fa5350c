#include "WorkerPool.h"

#include <system_error>
#include <thread>

namespace forumsim {

namespace {
constexpr std::size_t kKeptIdle = 4;   // workers that stay although idle
}

WorkerPool::WorkerPool(std::size_t maxThreads, std::chrono::milliseconds idleTimeout)
    : m_maxThreads(maxThreads < 1 ? 1 : maxThreads), m_idleTimeout(idleTimeout)
{
}

WorkerPool::~WorkerPool()
{
    shutdown();
}

void WorkerPool::enqueue(std::function<void()> job)
{
    std::unique_lock lock(m_mutex);
    m_jobs.push_back(std::move(job));
    if (m_jobs.size() > m_idle && m_threads < m_maxThreads) {
        try {
            std::thread(&WorkerPool::work, this).detach();
            ++m_threads;
        } catch (const std::system_error &) {
            // No more threads: the job waits for a busy worker.
        }
    }
    lock.unlock();
    m_wake.notify_one();
}

void WorkerPool::shutdown()
{
    std::unique_lock lock(m_mutex);
    m_stopping = true;
    m_wake.notify_all();
    m_ended.wait(lock, [this] { return m_threads == 0; });
}

void WorkerPool::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_jobs.empty()) {
            if (m_stopping)
                break;
            ++m_idle;
            const bool woken = m_wake.wait_for(lock, m_idleTimeout, [this] { return !m_jobs.empty() || m_stopping; });
            --m_idle;
            if (!woken && m_threads > kKeptIdle)
                break;
            continue;
        }
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        lock.unlock();
        try {
            job();
        } catch (...) {
            // A failed connection must not take its worker along.
        }
        lock.lock();
    }
    --m_threads;
    m_ended.notify_all();
}

} // namespace forumsim
