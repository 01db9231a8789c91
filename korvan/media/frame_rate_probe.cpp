#include "korvan/media/frame_rate_probe.h"

#include "korvan/media/media_trace.h"
#include "korvan/media/stream_decoder.h"

namespace korvan::media {

namespace {

constexpr double kStopAfterSeconds = 21.3;
constexpr std::size_t kMostPictures = 1599;
constexpr double kWindowStart = 1.0;
constexpr double kWindowEnd = 21.0;
constexpr double kPerPictureInWindow = 0.05;  // 1 / the window's 20 seconds

}  // namespace

double FrameRateProbe(const std::string& path, bool measure) {
    if (!measure) return kDefaultFrameRate;
    StreamDecoder decoder;
    const StreamOpenResult opened = decoder.Open(path, StreamKind::kVideo);
    if (opened == StreamOpenResult::kNoMemory) {
        Trace("Failed in CoCreateInstance!  hr=0x%x\r\n", kGenericFailureCode);
        return kDefaultFrameRate;
    }
    if (opened != StreamOpenResult::kOpened) {
        Trace("Couldn't load the file!  hr=0x%x\r\n", kGenericFailureCode);
        return kDefaultFrameRate;
    }
    const double stated = decoder.StatedFrameRate();
    if (stated > 0) return stated;
    const std::vector<double> times = CollectPictureTimes(path);
    return MeasuredFrameRate(times);
}

std::vector<double> CollectPictureTimes(const std::string& path) {
    std::vector<double> times;
    StreamDecoder decoder;
    libav::FrameHandle frame(av_frame_alloc());
    if (!frame || decoder.Open(path, StreamKind::kVideo) != StreamOpenResult::kOpened) {
        return times;
    }
    while (times.size() < kMostPictures && decoder.NextFrame(*frame) == 1) {
        const double seconds = decoder.FrameSeconds();
        av_frame_unref(frame.get());
        times.push_back(seconds);
        if (seconds > kStopAfterSeconds) break;
    }
    return times;
}

double MeasuredFrameRate(std::span<const double> pictureSeconds) {
    std::size_t inWindow = 0;
    for (const double t : pictureSeconds) {
        if (t >= kWindowStart && t <= kWindowEnd) ++inWindow;
    }
    return inWindow > 2 ? static_cast<double>(inWindow) * kPerPictureInWindow : kDefaultFrameRate;
}

}  // namespace korvan::media
