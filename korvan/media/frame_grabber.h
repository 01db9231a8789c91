// The worker thread that decodes a source's pictures, from a start time to
// the end, into the frame ring as 32-bit pictures.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "korvan/media/frame_ring.h"

namespace korvan::media {

class FrameGrabber {
public:
    explicit FrameGrabber(FrameRing& ring) : ring_(ring) {}
    ~FrameGrabber() { Stop(); }
    FrameGrabber(const FrameGrabber&) = delete;
    FrameGrabber& operator=(const FrameGrabber&) = delete;

    // Starts the thread at `startSeconds` of `path`, decoding with
    // `decodeThreads` (see StreamDecoder). The ring must have been reset.
    void Start(const std::string& path, double startSeconds, int decodeThreads);

    // Asks a running grabber to stop and waits until its thread has ended:
    // the stop flag, DoneEvent, then ContinueEvent every 100 ms.
    void Stop();

private:
    void Run(std::string path, double startSeconds, int decodeThreads);

    FrameRing& ring_;
    std::thread thread_;
    std::atomic<bool> running_{false};  // from Start until the thread's last step
};

}  // namespace korvan::media
