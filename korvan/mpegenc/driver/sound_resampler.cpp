#include "korvan/mpegenc/driver/sound_resampler.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include "korvan/mpegenc/driver/compile_request.h"

namespace korvan {
namespace {

constexpr int kDvdSampleRateHz = 48000;
constexpr int kCompactDiscSampleRateHz = 44100;
constexpr int kBytesPerSample = 2;

}  // namespace

int CodedSampleRateHz(int targetKind, int sourceRateHz) {
    switch (targetKind) {
        case kTargetDvd:
            return kDvdSampleRateHz;
        case kTargetVideoCd:
        case kTargetSuperVcd:
            return kCompactDiscSampleRateHz;
        default:
            return sourceRateHz;
    }
}

struct SoundResampler::Context {
    SwrContext* swr = nullptr;
    ~Context() { swr_free(&swr); }
};

SoundResampler::SoundResampler() : context_(std::make_unique<Context>()) {}
SoundResampler::~SoundResampler() = default;

bool SoundResampler::Open(int fromRateHz, int toRateHz, int channels) {
    swr_free(&context_->swr);
    channels_ = channels;
    partial_.clear();
    AVChannelLayout layout;
    av_channel_layout_default(&layout, channels);
    const int status = swr_alloc_set_opts2(&context_->swr, &layout, AV_SAMPLE_FMT_S16, toRateHz,
                                           &layout, AV_SAMPLE_FMT_S16, fromRateHz, 0, nullptr);
    av_channel_layout_uninit(&layout);
    return status >= 0 && swr_init(context_->swr) >= 0;
}

bool SoundResampler::Convert(const uint8_t* bytes, size_t byteCount, const uint8_t*& out,
                             size_t& outBytes) {
    const size_t frameBytes = static_cast<size_t>(channels_) * kBytesPerSample;
    whole_.assign(partial_.begin(), partial_.end());
    whole_.insert(whole_.end(), bytes, bytes + byteCount);
    const size_t usable = whole_.size() - whole_.size() % frameBytes;
    partial_.assign(whole_.begin() + static_cast<std::ptrdiff_t>(usable), whole_.end());
    return Run(whole_.data(), static_cast<int>(usable / frameBytes), out, outBytes);
}

bool SoundResampler::Flush(const uint8_t*& out, size_t& outBytes) {
    partial_.clear();
    return Run(nullptr, 0, out, outBytes);
}

bool SoundResampler::Run(const uint8_t* in, int inFrames, const uint8_t*& out, size_t& outBytes) {
    out = nullptr;
    outBytes = 0;
    if (!context_->swr) return false;
    const int room = swr_get_out_samples(context_->swr, inFrames);
    if (room < 0) return false;
    const size_t frameBytes = static_cast<size_t>(channels_) * kBytesPerSample;
    output_.resize(static_cast<size_t>(room) * frameBytes + frameBytes);
    uint8_t* outPlanes[] = {output_.data()};
    const uint8_t* inPlanes[] = {in};
    const int made =
        swr_convert(context_->swr, outPlanes, room, in ? inPlanes : nullptr, in ? inFrames : 0);
    if (made < 0) return false;
    out = output_.data();
    outBytes = static_cast<size_t>(made) * frameBytes;
    return true;
}

}  // namespace korvan
