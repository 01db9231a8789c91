#include "korvan/media/frame_ring.h"

#include <cmath>
#include <utility>

namespace korvan::media {

void FrameRing::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    writePosition_ = 0;
    lastSampleSeconds_ = -1;
    for (Slot& slot : slots_) {
        slot.sampleSeconds = 0;
        slot.picture = RingPicture{};
    }
    complete_ = false;
    timedOut_ = false;
    doneEvent.Reset();
    ringFullEvent.Reset();
    continueEvent.Reset();
    stopRequested = false;
}

bool FrameRing::Deliver(double sampleSeconds, RingPicture& picture) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopRequested || writePosition_ >= kRingSlots) return false;
    lastSampleSeconds_ = sampleSeconds;
    Slot& slot = slots_[writePosition_];
    slot.sampleSeconds = sampleSeconds;
    std::swap(slot.picture, picture);
    ++writePosition_;
    if (std::fabs(sampleSeconds - sourceSeconds_) < 0.1 || sampleSeconds > sourceSeconds_) {
        doneEvent.Signal();
    }
    if (writePosition_ < kRingSlots) return false;
    // The grabber's turn is over until AskForMore (or a stop) signals
    // ContinueEvent; a signal left from before must not count.
    continueEvent.Reset();
    ringFullEvent.Signal();
    return true;
}

void FrameRing::SetSourceSeconds(double seconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    sourceSeconds_ = seconds;
}

void FrameRing::ClearSlotsAfterLastWrite() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (writePosition_ >= kRingSlots - 1) return;
    for (int i = writePosition_; i < kRingSlots; ++i) slots_[i].sampleSeconds = 0;
}

void FrameRing::MarkComplete() {
    std::lock_guard<std::mutex> lock(mutex_);
    complete_ = true;
}

bool FrameRing::Complete() {
    std::lock_guard<std::mutex> lock(mutex_);
    return complete_;
}

double FrameRing::LastSampleSeconds() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastSampleSeconds_;
}

void FrameRing::AskForMore() {
    std::lock_guard<std::mutex> lock(mutex_);
    // A grabber still filling the ring is left to finish it: starting it
    // over at slot 0 would overwrite pictures it has just delivered.
    if (writePosition_ < kRingSlots) return;
    writePosition_ = 0;
    continueEvent.Signal();
}

void FrameRing::AwaitPictureAt(double seconds, std::chrono::milliseconds timeout) {
    constexpr double kNewerSampleMargin = 0.01;
    while (seconds > LastSampleSeconds() + kNewerSampleMargin) {
        AskForMore();
        if (Complete() || timedOut_) break;
        if (!ringFullEvent.Wait(timeout)) {
            timedOut_ = true;
            break;
        }
    }
    ringFullEvent.Reset();
}

int FrameRing::NearestSlot(double seconds) const {
    int best = -1;
    double bestDistance = 0;
    for (int i = 0; i < kRingSlots; ++i) {
        if (slots_[i].picture.rows.empty()) continue;
        const double distance = std::fabs(slots_[i].sampleSeconds - seconds);
        if (best < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
        if (distance == 0) break;
    }
    return best;
}

}  // namespace korvan::media
