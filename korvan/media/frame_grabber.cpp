#include "korvan/media/frame_grabber.h"

#include <deque>
#include <vector>

#include "korvan/media/media_trace.h"
#include "korvan/media/rgb_scaler.h"
#include "korvan/media/stream_decoder.h"

namespace korvan::media {

namespace {

constexpr std::chrono::milliseconds kStopPollInterval{100};

}  // namespace

void FrameGrabber::Start(const std::string& path, double startSeconds, int decodeThreads) {
    Stop();
    running_ = true;
    thread_ = std::thread(&FrameGrabber::Run, this, path, startSeconds, decodeThreads);
}

void FrameGrabber::Stop() {
    if (!thread_.joinable()) return;
    ring_.stopRequested = true;
    ring_.doneEvent.Signal();
    while (running_) {
        ring_.continueEvent.Signal();
        std::this_thread::sleep_for(kStopPollInterval);
    }
    thread_.join();
}

void FrameGrabber::Run(std::string path, double startSeconds, int decodeThreads) {
    Trace("Grabbing samples from %s.\r\n", path.c_str());
    StreamDecoder decoder;
    const StreamOpenResult opened = decoder.Open(path, StreamKind::kVideo, decodeThreads);
    libav::FrameHandle frame(av_frame_alloc());
    if (opened == StreamOpenResult::kNoMemory || !frame) {
        Trace("Failed in CoCreateInstance!  hr=0x%x\r\n", kGenericFailureCode);
    } else if (opened == StreamOpenResult::kUnreadableFile) {
        Trace("Couldn't load the file!  hr=0x%x\r\n", kGenericFailureCode);
    } else if (opened == StreamOpenResult::kNoStream) {
        Trace("Couldn't find a video stream\r\n");
    } else if (opened == StreamOpenResult::kNoDecoder) {
        Trace("Couldn't get stream media type for stream %d  hr=0x%x\r\n", 0, kGenericFailureCode);
    }
    if (opened != StreamOpenResult::kOpened || !frame) {
        // The ring stays as it is; the fetches take what it holds.
        ring_.MarkComplete();
        ring_.ringFullEvent.Signal();
        running_ = false;
        return;
    }

    ring_.SetSourceSeconds(decoder.DurationSeconds());
    const double rate = decoder.StatedFrameRate();
    const double halfPicture = rate > 0 ? 0.5 / rate : 0.02;
    if (startSeconds > 0 && !decoder.SeekTo(startSeconds, {halfPicture, halfPicture})) {
        Trace("Failed in SetPositions!  hr=0x%x\r\n", kGenericFailureCode);
    }

    // While the ring is full and the conversion thread codes its pictures,
    // the grabber decodes the next ones ahead, so that it fills the ring
    // again at once when asked instead of making the coder wait for the
    // decoder. Pictures given back by the ring are used again.
    struct Decoded {
        double seconds;
        RingPicture picture;
    };
    std::deque<Decoded> ahead;
    std::vector<RingPicture> spares;
    RgbScaler scaler;
    bool failed = false;
    // The next picture of the stream into `into`, in a buffer the ring gave
    // back when there is one; false at the stream's end.
    const auto decodeNext = [&](Decoded& into) {
        if (into.picture.rows.empty() && !spares.empty()) {
            into.picture = std::move(spares.back());
            spares.pop_back();
        }
        if (decoder.NextFrame(*frame) != 1) return false;
        into.seconds = decoder.FrameSeconds();
        into.picture.width = frame->width;
        into.picture.height = frame->height;
        const bool converted = scaler.TopDown(
            *frame, AV_PIX_FMT_BGR0, 4 * static_cast<std::size_t>(frame->width), into.picture.rows);
        av_frame_unref(frame.get());
        if (!converted) {
            Trace("Failed to run the graph!  hr=0x%x\r\n", kGenericFailureCode);
            failed = true;
        }
        return converted;
    };
    const auto deliver = [&](Decoded& decoded) {
        const bool full = ring_.Deliver(decoded.seconds, decoded.picture);
        if (!decoded.picture.rows.empty()) spares.push_back(std::move(decoded.picture));
        return full;
    };

    // The ring signals DoneEvent once a picture lies within 0.1 s of the
    // stated end, but the pictures after it are still the source's: the
    // grabber reads on until the stream itself ends, so the last output
    // frames show their own pictures and no fetch waits for a grabber that
    // has nothing more to give.
    bool ended = false;
    bool ringFull = false;
    Decoded next;
    while (!ring_.stopRequested && !failed) {
        if (ringFull) {
            if (!ended && ahead.size() < static_cast<std::size_t>(kRingSlots) &&
                !ring_.continueEvent.Wait(std::chrono::milliseconds(0))) {
                Decoded& decoded = ahead.emplace_back();
                if (!decodeNext(decoded)) {
                    ahead.pop_back();
                    ended = true;
                }
                continue;
            }
            // Ahead far enough (or at the end, or asked already): the turn.
            if (ahead.size() >= static_cast<std::size_t>(kRingSlots) || ended) {
                ring_.continueEvent.Wait();
            }
            ringFull = false;
        } else if (!ahead.empty()) {
            ringFull = deliver(ahead.front());
            ahead.pop_front();
        } else if (ended || !decodeNext(next)) {
            break;
        } else {
            ringFull = deliver(next);
        }
    }

    ring_.ClearSlotsAfterLastWrite();
    ring_.MarkComplete();
    ring_.ringFullEvent.Signal();
    Trace("Sample grabbing complete.\r\n");
    running_ = false;
}

}  // namespace korvan::media
