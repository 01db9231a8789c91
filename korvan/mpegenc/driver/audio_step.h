// The work of step 2: the sound pulled through the job's audio callback,
// brought to the target's rate and coded into the MPEG audio elementary
// stream. It runs after step 1 on the calling thread, or alongside it on a
// thread of its own (audio_thread.h).
#pragma once

#include <functional>
#include <string>

#include "korvan/mpegenc/audio/audio_stream_params.h"
#include "korvan/mpegenc/driver/audio_pull.h"
#include "korvan/mpegenc/driver/encode_sequence.h"

namespace korvan {

struct AudioStepCalls {
    // After each block of sound is pulled.
    std::function<void(const AudioPull& pull)> pulled;
    // Before each coded frame; true ends the step as cancelled.
    std::function<bool()> cancelled;
};

// Codes the sound of `pull`, in `sourceFormat`, into `streamPath` at the
// target kind's rate. A stream that did not end is removed.
Status CodeAudioStep(const EncoderSettings& settings, const std::string& streamPath, int targetKind,
                     const audio::AudioFormat& sourceFormat, AudioPull& pull,
                     const AudioStepCalls& calls);

}  // namespace korvan
