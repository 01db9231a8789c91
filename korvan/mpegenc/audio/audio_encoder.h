// The audio step of an encode: pulls 16-bit PCM from the caller, codes it
// frame by frame and writes the MPEG audio elementary stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "korvan/base/status.h"
#include "korvan/mpegenc/audio/audio_stream_params.h"
#include "korvan/mpegenc/settings/encoder_settings.h"

namespace korvan::audio {

// One block of PCM from the caller: 16-bit little-endian samples,
// interleaved when the source has two channels. A block may end in the
// middle of a sample; the rest follows in the next block.
struct PcmBlock {
    const uint8_t* bytes = nullptr;  // valid until the next fetch
    size_t byteCount = 0;
};

enum class FetchResult {
    kBlock,   // `block` holds the next samples
    kEnd,     // the source has no more samples
    kFailed,  // the source broke down; the encode ends
};

struct AudioProgress {
    int64_t frames = 0;   // frames written so far
    int64_t samples = 0;  // samples per channel taken from the source so far
};

struct AudioCallbacks {
    std::function<FetchResult(PcmBlock& block)> fetch;
    // After each frame; optional.
    std::function<void(const AudioProgress& progress)> frameDone;
    // Before each frame; a true answer ends the encode without error. Optional.
    std::function<bool()> cancelRequested;
};

// kOk; kCancelled or kSourceFailed, the stream holding the frames coded
// before; or kFailed with the reason.
struct AudioEncodeResult {
    Status status{StatusCode::kFailed, {}};
    int64_t frames = 0;
};

// Codes the source's PCM with the settings' audio keys into `outputPath`. The
// stream goes on with silence after the source's end for as long as the
// filter banks delay the sound, so that a decoder gives out every sample.
AudioEncodeResult EncodeAudioStream(const EncoderSettings& settings, const AudioFormat& format,
                                    const std::string& outputPath, const AudioCallbacks& callbacks);

}  // namespace korvan::audio
