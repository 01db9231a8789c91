// Worker threads and a queue of tasks in two priorities. The thread that
// hands the tasks in may run queued ones itself while it waits for a result
// (HelpUntil), so with no worker at all every task still runs, on that
// thread. Tasks report their results through the caller's own atomics; the
// pool only says when one has finished.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace korvan {

// The number of threads an encode uses when none is asked for: every core.
int DefaultThreadCount();

class WorkerPool {
public:
    // kUrgent: what the caller will wait for soon (the rows of the picture
    // being coded); kBackground: work ahead (the search of later pictures),
    // taken by a worker only when nothing urgent is queued.
    enum class Priority { kUrgent, kBackground };
    // Which queued tasks the waiting caller runs itself.
    enum class Help { kUrgentOnly, kAny };

    // Starts `workers` threads (0: the caller runs every task). Throws
    // std::system_error when a thread cannot be started; the threads already
    // started are stopped.
    explicit WorkerPool(int workers);
    // Waits for the tasks that are running; queued ones are dropped.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    int Workers() const { return static_cast<int>(threads_.size()); }

    void Submit(Priority priority, std::function<void()> task);

    // Returns once `done()` holds. Meanwhile runs queued tasks on this thread
    // (urgent ones first; background ones as `help` says, and always when
    // there is no worker) and sleeps while there is none it may run.
    // `done` is called with the pool's lock held: it must only read.
    void HelpUntil(const std::function<bool()>& done, Help help);

    // Returns once every task handed in so far has run.
    void Drain();

private:
    // A queued task the caller may run, or an empty function.
    std::function<void()> TakeLocked(Help help);
    void Work();
    void Stop();

    std::mutex mutex_;
    std::condition_variable wake_;      // workers: a task was queued
    std::condition_variable finished_;  // waiting callers: a task has run
    std::deque<std::function<void()>> urgent_;
    std::deque<std::function<void()>> background_;
    int running_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace korvan
