#include "korvan/mpegenc/common/worker_pool.h"

#include <algorithm>

namespace korvan {

int DefaultThreadCount() {
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

WorkerPool::WorkerPool(int workers) {
    try {
        for (int i = 0; i < std::max(1, workers); ++i) threads_.emplace_back([this] { Work(); });
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
        tasks_.clear();
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
    threads_.clear();
}

std::future<void> WorkerPool::Submit(std::function<void()> task) {
    std::packaged_task<void()> packaged(std::move(task));
    std::future<void> done = packaged.get_future();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(packaged));
    }
    wake_.notify_one();
    return done;
}

void WorkerPool::Work() {
    for (;;) {
        std::packaged_task<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (stopping_) return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

}  // namespace korvan
