// The encode sequence's coding steps over the files of the command line:
// pictures from a YUV4MPEG2 file, sound from a WAV file.
#pragma once

#include <string>

#include "korvan/cli/audio_encode.h"
#include "korvan/cli/cli_modes.h"
#include "korvan/mpegenc/driver/encode_sequence.h"

namespace korvan::cli {

class FileEncodeSteps : public EncodeSteps {
public:
    // Opens the inputs the command line names (--video, --audio), takes the
    // picture size and the audio mode into the settings and tests them as
    // every encode does. Returns kExitSuccess, or the exit code once the
    // refusal is printed.
    int Open(ModeContext& context);

    bool HasVideo() const { return !videoInput_.empty(); }
    bool HasAudio() const { return !audio_.Path().empty(); }
    const WavInput& Audio() const { return audio_; }

    Status EncodeVideo(const EncoderSettings& settings, const std::string& streamPath) override;
    Status EncodeAudio(const EncoderSettings& settings, const std::string& streamPath) override;

private:
    std::string videoInput_;
    std::string reconstruction_;
    int threads_ = 0;  // 0: every core
    WavInput audio_;
};

}  // namespace korvan::cli
