#include "korvan/mpegenc/driver/picture_frontier.h"

namespace korvan {

void PictureFrontier::Fetched(int64_t count) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (state_.ended || count <= state_.fetched) return;
        state_.fetched = count;
    }
    changed_.notify_all();
}

void PictureFrontier::Ends(int64_t count) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (state_.ended) return;
        state_.fetched = count;
        state_.ended = true;
    }
    changed_.notify_all();
}

void PictureFrontier::Abandon() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        state_.abandoned = true;
    }
    changed_.notify_all();
}

PictureFrontier::State PictureFrontier::WaitUntil(
    const std::function<bool(int64_t fetched)>& enough) const {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return state_.abandoned || state_.ended || enough(state_.fetched); });
    return state_;
}

bool PictureFrontier::Abandoned() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_.abandoned;
}

}  // namespace korvan
