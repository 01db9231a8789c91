// A fixed set of worker threads that run tasks in the order they were
// handed in. The video coder runs its motion searches on it, ahead of the
// picture being coded.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace korvan {

// The number of threads an encode uses when none is asked for: every core.
int DefaultThreadCount();

class WorkerPool {
public:
    // Starts `workers` threads (at least one). Throws std::system_error when
    // a thread cannot be started; the threads already started are stopped.
    explicit WorkerPool(int workers);
    // Waits for the task each worker is running; tasks not yet begun are
    // dropped (their futures report a broken promise).
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Queues `task`; the future is ready once it has run.
    std::future<void> Submit(std::function<void()> task);

private:
    void Work();
    void Stop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::packaged_task<void()>> tasks_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace korvan
