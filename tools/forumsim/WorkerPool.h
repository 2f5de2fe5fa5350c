#pragma once

// The HTTP server's worker threads. Each connection holds a worker while it
// is open, also one that trickles its request in slowly, so a fixed small
// pool is easily used up. This pool starts a worker whenever a connection
// would otherwise wait, up to a generous limit, and lets idle workers end.

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace forumsim {

class WorkerPool : public httplib::TaskQueue {
public:
    explicit WorkerPool(std::size_t maxThreads, std::chrono::milliseconds idleTimeout = std::chrono::seconds(30));
    ~WorkerPool() override;

    void enqueue(std::function<void()> job) override;
    // Runs the jobs already queued, then waits for every worker to end.
    void shutdown() override;

private:
    void work();

    const std::size_t m_maxThreads;
    const std::chrono::milliseconds m_idleTimeout;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_ended;
    std::deque<std::function<void()>> m_jobs;
    std::size_t m_threads = 0;
    std::size_t m_idle = 0;
    bool m_stopping = false;
};

} // namespace forumsim
