// The encoder tool's sound: a WAV file of 16-bit PCM, coded into an MPEG
// audio elementary stream.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "korvan/cli/wav_reader.h"
#include "korvan/mpegenc/audio/audio_encoder.h"
#include "korvan/mpegenc/settings/encoder_settings.h"

namespace korvan::cli {

class WavInput {
public:
    // Opens the file and checks that it holds 16-bit PCM in one or two
    // channels. Returns an empty text, or one line that names the file and
    // says what is wrong with it.
    std::string Open(const std::string& path);

    const WavFormat& Format() const { return format_; }
    const std::string& Path() const { return path_; }

    // Codes every sample of the file into `streamPath`.
    audio::AudioEncodeResult EncodeInto(const EncoderSettings& settings,
                                        const std::string& streamPath);

private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    std::string path_;
    std::unique_ptr<std::FILE, FileCloser> file_;
    WavFormat format_;
};

// An encode takes its audio mode from its input: stereo for two channels,
// single channel for one. A settings file that names "audioMode" keeps it.
void TakeAudioModeFromInput(EncoderSettings& settings, int channels,
                            const std::string& settingsPath);

// The audio stream's name when the command line gives none: IN.wav gives
// IN.mp2 beside it (an input already named so gets a second ".mp2").
std::string AudioStreamBeside(const std::string& input);

}  // namespace korvan::cli
