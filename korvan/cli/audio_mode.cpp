#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "korvan/cli/cli_modes.h"
#include "korvan/cli/wav_reader.h"
#include "korvan/mpegenc/audio/audio_encoder.h"
#include "korvan/mpegenc/settings/encode_input_check.h"
#include "platform/private_profile.h"

namespace korvan::cli {

namespace {

constexpr int kPcmTag = 1;
constexpr size_t kBlockBytes = 64 * 1024;

int Refuse(const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", kProgramName, text.c_str());
    return kExitUsage;
}

// IN.wav → IN.mp2 beside it.
std::string DefaultStreamName(const std::string& input) {
    const size_t slash = input.rfind('/');
    const size_t dot = input.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string name = (hasExtension ? input.substr(0, dot) : input) + ".mp2";
    return name == input ? input + ".mp2" : name;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

int RunAudioMode(ModeContext& context) {
    const CliOptions& options = context.options;
    if (options.audioInput.empty()) return Refuse("--audio-es needs an input (--audio IN.wav)");
    const std::string& input = options.audioInput;
    const std::string output =
        options.audioStreamOutput.empty() ? DefaultStreamName(input) : options.audioStreamOutput;

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(input.c_str(), "rb"));
    if (!file) return Refuse("cannot read audio input '" + input + "'");
    WavFormat wav;
    if (const std::string problem = ReadWavFormat(file.get(), wav); !problem.empty()) {
        return Refuse("'" + input + "': " + problem);
    }
    if (wav.formatTag != kPcmTag || wav.bitsPerSample != 16) {
        return Refuse("'" + input + "' is not 16-bit PCM WAV (format " +
                      std::to_string(wav.formatTag) + ", " + std::to_string(wav.bitsPerSample) +
                      " bits)");
    }
    if (wav.channels != 1 && wav.channels != 2) {
        return Refuse("'" + input + "' has " + std::to_string(wav.channels) +
                      " channels; 1 or 2 can be coded");
    }

    // An encode takes the mode from its input (stereo or single channel);
    // a settings file that names a mode keeps it.
    EncoderSettings& settings = context.settings;
    const bool modeFromFile =
        !options.settingsPath.empty() &&
        platform::GetPrivateProfileInt("audio", "audioMode", -1, options.settingsPath) >= 0;
    if (!modeFromFile) settings.audioMode = wav.channels == 2 ? 0 : 3;
    EncodeInput check;
    check.audio = true;
    check.sampleRateHz = wav.sampleRateHz;
    if (!CheckEncodeInput(settings, check, context.messages).audioAccepted) return kExitUsage;

    std::vector<uint8_t> block(kBlockBytes);
    uint64_t left = wav.dataBytes;
    bool readFailed = std::fseek(file.get(), static_cast<long>(wav.dataOffset), SEEK_SET) != 0;
    audio::AudioCallbacks callbacks;
    callbacks.fetch = [&](audio::PcmBlock& pcm) {
        if (readFailed) return audio::FetchResult::kFailed;
        if (left == 0) return audio::FetchResult::kEnd;
        const size_t wanted = left < block.size() ? static_cast<size_t>(left) : block.size();
        const size_t got = std::fread(block.data(), 1, wanted, file.get());
        if (got == 0) {
            readFailed = std::ferror(file.get()) != 0;
            return readFailed ? audio::FetchResult::kFailed : audio::FetchResult::kEnd;
        }
        left -= got;
        pcm.bytes = block.data();
        pcm.byteCount = got;
        return audio::FetchResult::kBlock;
    };
    const audio::AudioEncodeResult result = audio::EncodeAudioStream(
        settings, audio::AudioFormat{wav.sampleRateHz, wav.channels}, output, callbacks);
    switch (result.status) {
        case audio::AudioEncodeStatus::kDone:
        case audio::AudioEncodeStatus::kCancelled:
            return kExitSuccess;
        case audio::AudioEncodeStatus::kSourceFailed:
            std::fprintf(stderr, "%s: cannot read audio input '%s'\n", kProgramName, input.c_str());
            return kExitFailure;
        case audio::AudioEncodeStatus::kFailed:
            break;
    }
    ShowMessage(context.messages, result.message, MessageIcon::kError);
    return kExitFailure;
}

}  // namespace korvan::cli
