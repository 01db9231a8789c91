#include "platform/message_loop.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace platform {

using Clock = std::chrono::steady_clock;

// One thread's posted messages and timers. Posting takes the lock from any
// thread; everything else runs on the owning thread, which never holds the
// lock while a handler runs.
class ThreadQueue {
public:
    struct Posted {
        MessageTarget* target;
        unsigned message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    struct Timer {
        MessageTarget* target;
        unsigned id;
        Clock::duration period;
        Clock::time_point due;
    };

    bool Post(const Posted& posted) {
        {
            std::lock_guard lock(mutex_);
            if (closed_) return false;
            posted_.push_back(posted);
        }
        wake_.notify_one();
        return true;
    }

    void Close() {
        std::lock_guard lock(mutex_);
        closed_ = true;
        posted_.clear();
    }

    void Forget(MessageTarget* target) {
        std::lock_guard lock(mutex_);
        std::erase_if(posted_, [target](const Posted& p) { return p.target == target; });
        std::erase_if(timers_, [target](const Timer& t) { return t.target == target; });
    }

    void SetTimer(MessageTarget* target, unsigned id, Clock::duration period) {
        std::lock_guard lock(mutex_);
        const Clock::time_point due = Clock::now() + period;
        for (Timer& timer : timers_) {
            if (timer.target == target && timer.id == id) {
                timer.period = period;
                timer.due = due;
                return;
            }
        }
        timers_.push_back({target, id, period, due});
    }

    void KillTimer(MessageTarget* target, unsigned id) {
        std::lock_guard lock(mutex_);
        std::erase_if(timers_, [&](const Timer& t) { return t.target == target && t.id == id; });
    }

    bool HasTimer(const MessageTarget* target, unsigned id) {
        std::lock_guard lock(mutex_);
        return std::any_of(timers_.begin(), timers_.end(),
                           [&](const Timer& t) { return t.target == target && t.id == id; });
    }

    std::size_t PostedCount() {
        std::lock_guard lock(mutex_);
        return posted_.size();
    }

    bool TakePosted(Posted& posted) {
        std::lock_guard lock(mutex_);
        if (posted_.empty()) return false;
        posted = posted_.front();
        posted_.pop_front();
        return true;
    }

    // The timers due now, by target and id: a handler may kill or reset any
    // of them before its turn comes, so each is looked up again then.
    std::vector<std::pair<MessageTarget*, unsigned>> DueTimers() {
        std::lock_guard lock(mutex_);
        std::vector<std::pair<MessageTarget*, unsigned>> due;
        const Clock::time_point now = Clock::now();
        for (const Timer& timer : timers_) {
            if (timer.due <= now) due.emplace_back(timer.target, timer.id);
        }
        return due;
    }

    // True when the timer still exists and is due; it is then rescheduled
    // one period from now.
    bool TakeTick(MessageTarget* target, unsigned id) {
        std::lock_guard lock(mutex_);
        const Clock::time_point now = Clock::now();
        for (Timer& timer : timers_) {
            if (timer.target == target && timer.id == id) {
                if (timer.due > now) return false;
                timer.due = now + timer.period;
                return true;
            }
        }
        return false;
    }

    // Handles what was waiting when it started (messages posted by the
    // handlers meanwhile wait for the next round, so timers are not starved),
    // stopping early once `*stop` is set. The caller holds the queue, so a
    // handler that ends the last other reference cannot pull it away.
    static int Dispatch(ThreadQueue& queue, const bool* stop) {
        const auto stopped = [stop] { return stop && *stop; };
        int handled = 0;
        Posted posted{};
        for (std::size_t waiting = queue.PostedCount(); waiting > 0 && !stopped(); --waiting) {
            if (!queue.TakePosted(posted)) break;
            posted.target->OnMessage(posted.message, posted.wParam, posted.lParam);
            ++handled;
        }
        for (const auto& [target, id] : queue.DueTimers()) {
            if (stopped()) break;
            if (!queue.TakeTick(target, id)) continue;
            target->OnTimer(id);
            ++handled;
        }
        return handled;
    }

    void Wait(Clock::duration timeout) {
        std::unique_lock lock(mutex_);
        Clock::time_point until = Clock::now() + timeout;
        for (const Timer& timer : timers_) until = std::min(until, timer.due);
        wake_.wait_until(lock, until, [this] { return !posted_.empty(); });
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Posted> posted_;
    std::vector<Timer> timers_;
    bool closed_ = false;
};

namespace {

// The calling thread's queue, closed when the thread ends so that late posts
// from other threads are refused rather than kept forever.
class ThreadQueueHolder {
public:
    ThreadQueueHolder() : queue_(std::make_shared<ThreadQueue>()) {}
    ~ThreadQueueHolder() { queue_->Close(); }
    const std::shared_ptr<ThreadQueue>& Queue() const { return queue_; }

private:
    std::shared_ptr<ThreadQueue> queue_;
};

const std::shared_ptr<ThreadQueue>& CurrentQueue() {
    thread_local ThreadQueueHolder holder;
    return holder.Queue();
}

}  // namespace

MessageTarget::MessageTarget() : queue_(CurrentQueue()) {}

MessageTarget::~MessageTarget() { queue_->Forget(this); }

bool MessageTarget::Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    return queue_->Post({this, message, wParam, lParam});
}

void MessageTarget::SetTimer(unsigned id, std::chrono::milliseconds period) {
    queue_->SetTimer(this, id, period);
}

void MessageTarget::KillTimer(unsigned id) { queue_->KillTimer(this, id); }

bool MessageTarget::HasTimer(unsigned id) const { return queue_->HasTimer(this, id); }

namespace {

int DispatchPending(const bool* stop) {
    const std::shared_ptr<ThreadQueue> queue = CurrentQueue();
    return ThreadQueue::Dispatch(*queue, stop);
}

}  // namespace

int DispatchPendingMessages() { return DispatchPending(nullptr); }

void WaitForMessages(std::chrono::milliseconds timeout) { CurrentQueue()->Wait(timeout); }

int ModalLoop::Run() {
    // A long wait is fine: a post wakes it, and so does the next timer.
    constexpr std::chrono::milliseconds kIdleWait(500);
    while (!ended_) {
        if (DispatchPending(&ended_) == 0 && !ended_) WaitForMessages(kIdleWait);
    }
    return result_;
}

void ModalLoop::End(int result) {
    result_ = result;
    ended_ = true;
}

}  // namespace platform
