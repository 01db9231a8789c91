// The ten pictures between the frame grabber and the conversion thread.
//
// The grabber fills the slots in order; when all ten are full it signals
// RingFullEvent and delivers nothing more until ContinueEvent (it decodes
// the next pictures ahead meanwhile). The conversion thread, when it
// needs a later picture than the ring holds, sets the write position of the
// full ring back to 0, signals ContinueEvent and waits for the next
// RingFullEvent. DoneEvent
// tells the grabber that the source's end was reached or that it must stop.
// After a wait for RingFullEvent has timed out the two threads no longer
// take turns, so every slot access holds the ring's lock.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/auto_reset_event.h"

namespace korvan::media {

inline constexpr int kRingSlots = 10;

// One picture: rows of 32-bit pels (B, G, R and one unused byte), top row
// first, and kScalerOverrunBytes of room after the last row (rgb_scaler.h).
// The pels have the readers' output form already, so a fetch at the same
// size only turns the rows over.
struct RingPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rows;
};

class FrameRing {
public:
    platform::AutoResetEvent doneEvent;
    platform::AutoResetEvent ringFullEvent;
    platform::AutoResetEvent continueEvent;
    std::atomic<bool> stopRequested{false};

    // Back to the empty ring: write position 0, no sample received, slot
    // times 0, pictures freed, and no event left signalled from before.
    void Reset();

    // The grabber's callback for one picture at `sampleSeconds`. The picture
    // changes places with the slot's old one, so that nothing is copied and
    // the grabber can decode another picture into a buffer of the right
    // size. True when this picture filled the ring: RingFullEvent is
    // signalled, and the grabber delivers nothing more until ContinueEvent
    // (which AskForMore signals after setting the write position back to 0).
    bool Deliver(double sampleSeconds, RingPicture& picture);

    // The source's length as the grabber measured it.
    void SetSourceSeconds(double seconds);

    // After the last picture: slots after the write position get time 0 so
    // that no stale picture is nearest to a late time.
    void ClearSlotsAfterLastWrite();
    // The grabber has delivered all it will; set before its last
    // RingFullEvent, so that nobody waits for another.
    void MarkComplete();

    // The conversion thread's side.
    double LastSampleSeconds();
    bool Complete();
    // When the ring is full: write position 0 and ContinueEvent, as one step.
    void AskForMore();
    // Lets the grabber go on until the ring holds a picture at `seconds` or
    // later, or the grabber has delivered all it will, or a wait for
    // RingFullEvent has taken longer than `timeout`: after that no call
    // waits again until the ring is reset.
    void AwaitPictureAt(double seconds, std::chrono::milliseconds timeout);
    bool TimedOut() const { return timedOut_; }
    // Calls `use(picture, sampleSeconds)` with the picture whose time is
    // nearest to `seconds` (the first of equals; an exact match ends the
    // search), holding the ring's lock so that no delivery changes the slot
    // meanwhile. False, without the call, when no slot holds a picture.
    template <typename Use>
    bool UseNearest(double seconds, Use&& use) {
        std::lock_guard<std::mutex> lock(mutex_);
        const int nearest = NearestSlot(seconds);
        if (nearest < 0) return false;
        use(static_cast<const RingPicture&>(slots_[nearest].picture),
            slots_[nearest].sampleSeconds);
        return true;
    }

private:
    int NearestSlot(double seconds) const;

    struct Slot {
        double sampleSeconds = 0;
        RingPicture picture;
    };

    std::mutex mutex_;
    Slot slots_[kRingSlots];
    int writePosition_ = 0;
    double lastSampleSeconds_ = -1;
    double sourceSeconds_ = 0;
    bool complete_ = false;
    bool timedOut_ = false;  // the conversion thread's own
};

}  // namespace korvan::media
