#include "korvan/media/source_audio.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace korvan::media {

namespace {

// Frames that start up to this much before a new position are decoded, so
// that the one holding the position is among them.
constexpr double kPositionLeadSeconds = 1.0;

}  // namespace

StreamOpenResult SourceAudio::Open(const std::string& path) {
    const StreamOpenResult opened = decoder_.Open(path, StreamKind::kAudio);
    if (opened != StreamOpenResult::kOpened) return opened;
    const AVCodecContext& codec = decoder_.Codec();
    const int channels = std::min(codec.ch_layout.nb_channels, 2);
    if (codec.sample_rate <= 0 || channels <= 0) return StreamOpenResult::kNoDecoder;
    frame_.reset(av_frame_alloc());
    if (!frame_) return StreamOpenResult::kNoMemory;
    format_ =
        PcmFormat(static_cast<uint32_t>(codec.sample_rate), static_cast<uint16_t>(channels), 16);
    nextSample_ = 0;
    pendingStart_ = 0;
    pending_.clear();
    pendingUsed_ = 0;
    ended_ = false;
    return StreamOpenResult::kOpened;
}

bool SourceAudio::Position(long long sample) {
    pending_.clear();
    pendingUsed_ = 0;
    ended_ = false;
    nextSample_ = std::max(sample, 0LL);
    const double seconds = static_cast<double>(nextSample_) / format_.samplesPerSec;
    return decoder_.SeekTo(seconds, {kPositionLeadSeconds, 0});
}

long long SourceAudio::Read(uint8_t* out, long long frames) {
    const long long frameBytes = format_.blockAlign;
    long long got = 0;
    while (got < frames) {
        if (pendingUsed_ >= pending_.size()) {
            if (ended_) break;
            const int decoded = DecodeBlock();
            if (decoded < 0) return got > 0 ? got : -1;
            if (decoded == 0) {
                ended_ = true;
                break;
            }
            continue;
        }
        const long long available =
            static_cast<long long>(pending_.size() - pendingUsed_) / frameBytes;
        const long long availableStart =
            pendingStart_ + static_cast<long long>(pendingUsed_) / frameBytes;
        if (availableStart > nextSample_) {
            // A gap in the stream: its samples stay as the caller left them.
            const long long gap = std::min(availableStart - nextSample_, frames - got);
            got += gap;
            nextSample_ += gap;
            continue;
        }
        if (availableStart < nextSample_) {
            const long long drop = std::min(nextSample_ - availableStart, available);
            pendingUsed_ += static_cast<std::size_t>(drop * frameBytes);
            continue;
        }
        const long long take = std::min(available, frames - got);
        std::memcpy(out + got * frameBytes, pending_.data() + pendingUsed_,
                    static_cast<std::size_t>(take * frameBytes));
        pendingUsed_ += static_cast<std::size_t>(take * frameBytes);
        got += take;
        nextSample_ += take;
    }
    return got;
}

int SourceAudio::DecodeBlock() {
    AVFrame& frame = *frame_;
    const int decoded = decoder_.NextFrame(frame);
    if (decoded != 1) return decoded;
    const double seconds = decoder_.FrameSeconds();

    // Blocks may change their layout or rate mid-stream; the converter is
    // made again for them, to the one output format.
    const bool sameInput = resampler_ && frame.format == inputFormat_ &&
                           frame.sample_rate == inputRate_ &&
                           av_channel_layout_compare(&frame.ch_layout, &inputLayout_) == 0;
    if (!sameInput) {
        AVChannelLayout outLayout;
        av_channel_layout_default(&outLayout, format_.channels);
        SwrContext* raw = resampler_.release();
        const int made = swr_alloc_set_opts2(
            &raw, &outLayout, AV_SAMPLE_FMT_S16, static_cast<int>(format_.samplesPerSec),
            &frame.ch_layout, static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0,
            nullptr);
        resampler_.reset(raw);
        av_channel_layout_uninit(&outLayout);
        av_channel_layout_uninit(&inputLayout_);
        if (made < 0 || swr_init(resampler_.get()) < 0 ||
            av_channel_layout_copy(&inputLayout_, &frame.ch_layout) < 0) {
            resampler_.reset();
            av_frame_unref(&frame);
            return -1;
        }
        inputFormat_ = frame.format;
        inputRate_ = frame.sample_rate;
    }
    const int room = swr_get_out_samples(resampler_.get(), frame.nb_samples);
    pending_.resize(static_cast<std::size_t>(std::max(room, 0)) * format_.blockAlign);
    uint8_t* outPlanes[1] = {pending_.data()};
    const int converted =
        swr_convert(resampler_.get(), outPlanes, room,
                    const_cast<const uint8_t**>(frame.extended_data), frame.nb_samples);
    av_frame_unref(&frame);
    if (converted < 0) return -1;
    pending_.resize(static_cast<std::size_t>(converted) * format_.blockAlign);
    pendingUsed_ = 0;
    pendingStart_ = std::llround(seconds * format_.samplesPerSec);
    return 1;
}

}  // namespace korvan::media
