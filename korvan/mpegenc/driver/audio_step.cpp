#include "korvan/mpegenc/driver/audio_step.h"

#include <unistd.h>

#include "korvan/mpegenc/audio/audio_encoder.h"
#include "korvan/mpegenc/driver/sound_resampler.h"

namespace korvan {
namespace {

constexpr char kResampleMessage[] = "Unable to convert the sound to the rate of the target.";

}  // namespace

Status CodeAudioStep(const EncoderSettings& settings, const std::string& streamPath, int targetKind,
                     const audio::AudioFormat& sourceFormat, AudioPull& pull,
                     const AudioStepCalls& calls) {
    audio::AudioFormat coded = sourceFormat;
    coded.sampleRateHz = CodedSampleRateHz(targetKind, sourceFormat.sampleRateHz);
    SoundResampler resampler;
    const bool resample = coded.sampleRateHz != sourceFormat.sampleRateHz;
    if (resample &&
        !resampler.Open(sourceFormat.sampleRateHz, coded.sampleRateHz, coded.channels)) {
        return Status::Failed(kResampleMessage);
    }
    bool flushed = false;
    bool resampleFailed = false;
    audio::AudioCallbacks callbacks;
    callbacks.fetch = [&](audio::PcmBlock& pcm) {
        for (;;) {
            FetchedAudio block;
            const AudioPull::Result result = flushed ? AudioPull::Result::kEnd : pull.Next(block);
            if (result == AudioPull::Result::kFailed) return audio::FetchResult::kFailed;
            if (result == AudioPull::Result::kEnd) {
                if (!resample || flushed) return audio::FetchResult::kEnd;
                flushed = true;
                if (!resampler.Flush(pcm.bytes, pcm.byteCount)) break;
                if (pcm.byteCount == 0) return audio::FetchResult::kEnd;
                return audio::FetchResult::kBlock;
            }
            if (calls.pulled) calls.pulled(pull);
            if (!resample) {
                pcm.bytes = block.bytes;
                pcm.byteCount = block.byteCount;
                return audio::FetchResult::kBlock;
            }
            if (!resampler.Convert(block.bytes, block.byteCount, pcm.bytes, pcm.byteCount)) break;
            // The filter may hold a short block back whole.
            if (pcm.byteCount > 0) return audio::FetchResult::kBlock;
        }
        resampleFailed = true;
        return audio::FetchResult::kFailed;
    };
    callbacks.cancelRequested = calls.cancelled;

    const audio::AudioEncodeResult result =
        audio::EncodeAudioStream(settings, coded, streamPath, callbacks);
    if (result.status.IsOk()) return {};
    // A stream that did not end is no result.
    ::unlink(streamPath.c_str());
    switch (result.status.code) {
        case StatusCode::kCancelled:
            return Status::Cancelled();
        case StatusCode::kSourceFailed:
            return Status::Failed(resampleFailed ? kResampleMessage : pull.Problem());
        default:
            return Status::Failed(result.status.message);
    }
}

}  // namespace korvan
