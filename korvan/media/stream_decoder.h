// One stream of a media file, decoded: the primary (best) video or audio
// stream found by libavformat and decoded by libavcodec, on the calling
// thread or, when asked, on libavcodec's own threads as well. Times are in
// seconds from the start of the file (the earliest stream's first time
// stamp), as the readers count them.
#pragma once

#include <string>

#include "libav/libav_handles.h"

namespace korvan::media {

enum class StreamKind { kVideo, kAudio };

// Where opening stopped, so that a caller can name the nearest of its own
// messages.
enum class StreamOpenResult {
    kOpened,
    kNoMemory,
    kUnreadableFile,  // not there, not readable, or no format libavformat knows
    kNoStream,        // no stream of the kind asked for
    kNoDecoder,       // a stream, but no decoder for it (or it would not open)
};

// How many threads decode: 1 is the calling thread alone; 0 lets libavcodec
// take one per core. Threaded decoding gives the same pictures (H.264 and
// MPEG-4 frame threading is bit-exact); it holds back up to one packet per
// thread, which the flush at the end of the stream gives back.
inline constexpr int kDecodeOnCallingThread = 1;
inline constexpr int kDecodeOnEveryCore = 0;

class StreamDecoder {
public:
    StreamOpenResult Open(const std::string& path, StreamKind kind,
                          int threadCount = kDecodeOnCallingThread);
    bool IsOpen() const { return codec_ != nullptr; }

    const AVStream& Stream() const { return *input_->streams[streamIndex_]; }
    const AVCodecContext& Codec() const { return *codec_; }

    // Pictures per second the file states for the stream (0 when it states
    // none).
    double StatedFrameRate() const;
    // The stream's length in seconds, from the stream or else the file (0
    // when neither says).
    double DurationSeconds() const;

    // Makes the next frame the first one that starts at or after `seconds`
    // less `earlier`. The decoder starts from the key frame before and steps
    // further back while its first frame starts later than `seconds` plus
    // `later` (a seek may land past a key frame). False when the file cannot
    // be positioned at all (it is then read from its start).
    struct SeekSlack {
        double earlier = 0;
        double later = 0;
    };
    bool SeekTo(double seconds, SeekSlack slack);

    // The next decoded frame: 1 with `frame` filled, 0 at the end of the
    // stream (a file that can no longer be read ends there too), -1 when the
    // decoder fails.
    int NextFrame(AVFrame& frame);

    // The time of the frame NextFrame returned last.
    double FrameSeconds() const { return frameSeconds_; }

private:
    int DecodeNext(AVFrame& frame);
    // A decoded frame's time; one without a time stamp follows the last.
    double TimeOf(const AVFrame& frame);

    libav::InputHandle input_;
    libav::CodecHandle codec_;
    libav::PacketHandle packet_;
    libav::FrameHandle held_;  // a frame decoded while seeking, given out next
    bool holding_ = false;
    int streamIndex_ = -1;
    double originSeconds_ = 0;
    double dropBefore_ = -1;   // after a seek: frames earlier than this are skipped
    double lastSeconds_ = -1;  // of the last frame decoded
    double heldSeconds_ = 0;
    double frameSeconds_ = 0;
    bool flushed_ = false;
};

}  // namespace korvan::media
