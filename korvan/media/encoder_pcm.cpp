#include "korvan/media/encoder_pcm.h"

#include <algorithm>
#include <cstring>

namespace korvan::media {

namespace {

bool SameFormat(const WaveFormat& a, const WaveFormat& b) {
    return a.formatTag == b.formatTag && a.channels == b.channels &&
           a.samplesPerSec == b.samplesPerSec && a.bitsPerSample == b.bitsPerSample;
}

}  // namespace

long long EncoderPcmConverter::ConvertToEncoderPcm(const WaveFormat& from, const uint8_t* source,
                                                   long long length, uint8_t* out,
                                                   long long capacity) {
    const bool usable = from.formatTag == kWaveFormatPcm && from.samplesPerSec > 0 &&
                        (from.channels == 1 || from.channels == 2) &&
                        (from.bitsPerSample == 8 || from.bitsPerSample == 16);
    if (!usable || length < 0 || capacity < 0) return -1;
    const long long outFrameBytes = kEncoderPcmFormat.blockAlign;
    if (SameFormat(from, kEncoderPcmFormat)) {
        const long long bytes = std::min(length, capacity) / outFrameBytes * outFrameBytes;
        std::memcpy(out, source, static_cast<std::size_t>(bytes));
        return bytes;
    }

    if (!resampler_ || !SameFormat(from, madeFor_)) {
        AVChannelLayout inLayout;
        AVChannelLayout outLayout;
        av_channel_layout_default(&inLayout, from.channels);
        av_channel_layout_default(&outLayout, kEncoderPcmFormat.channels);
        SwrContext* raw = nullptr;
        const int made = swr_alloc_set_opts2(
            &raw, &outLayout, AV_SAMPLE_FMT_S16, static_cast<int>(kEncoderPcmFormat.samplesPerSec),
            &inLayout, from.bitsPerSample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16,
            static_cast<int>(from.samplesPerSec), 0, nullptr);
        resampler_.reset(raw);
        if (made < 0 || swr_init(resampler_.get()) < 0) {
            resampler_.reset();
            return -1;
        }
        madeFor_ = from;
    }
    const int inFrameBytes = from.channels * (from.bitsPerSample / 8);
    const int inFrames = static_cast<int>(length / inFrameBytes);
    uint8_t* outPlanes[1] = {out};
    const uint8_t* inPlanes[1] = {source};
    const int converted =
        swr_convert(resampler_.get(), outPlanes, static_cast<int>(capacity / outFrameBytes),
                    inPlanes, inFrames);
    return converted < 0 ? -1 : converted * outFrameBytes;
}

}  // namespace korvan::media
