#include "korvan/mpegenc/common/worker_pool.h"

#include <algorithm>

namespace korvan {

int DefaultThreadCount() {
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

WorkerPool::WorkerPool(int workers) {
    try {
        for (int i = 0; i < workers; ++i) threads_.emplace_back([this] { Work(); });
    } catch (...) {
        Stop();
        throw;
    }
}

WorkerPool::~WorkerPool() { Stop(); }

void WorkerPool::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        urgent_.clear();
        background_.clear();
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
    threads_.clear();
}

void WorkerPool::Submit(Priority priority, std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        (priority == Priority::kUrgent ? urgent_ : background_).push_back(std::move(task));
    }
    wake_.notify_one();
}

std::function<void()> WorkerPool::TakeLocked(Help help) {
    std::function<void()> task;
    if (!urgent_.empty()) {
        task = std::move(urgent_.front());
        urgent_.pop_front();
    } else if (!background_.empty() && (help == Help::kAny || threads_.empty())) {
        task = std::move(background_.front());
        background_.pop_front();
    }
    return task;
}

void WorkerPool::HelpUntil(const std::function<bool()>& done, Help help) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!done()) {
        if (std::function<void()> task = TakeLocked(help)) {
            ++running_;
            lock.unlock();
            task();
            lock.lock();
            --running_;
            continue;
        }
        finished_.wait(lock);
    }
}

void WorkerPool::Drain() {
    HelpUntil([this] { return urgent_.empty() && background_.empty() && running_ == 0; },
              Help::kAny);
}

void WorkerPool::Work() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock,
                       [this] { return stopping_ || !urgent_.empty() || !background_.empty(); });
            if (stopping_) return;
            task = TakeLocked(Help::kAny);
            ++running_;
        }
        task();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            --running_;
        }
        finished_.notify_all();
    }
}

}  // namespace korvan
