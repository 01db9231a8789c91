#include "korvan/cli/audio_encode.h"

#include <cstdint>
#include <vector>

#include "platform/private_profile.h"

namespace korvan::cli {

namespace {

constexpr int kPcmTag = 1;
constexpr size_t kBlockBytes = 64 * 1024;

}  // namespace

std::string WavInput::Open(const std::string& path) {
    path_ = path;
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_) return "cannot read audio input '" + path + "'";
    if (const std::string problem = ReadWavFormat(file_.get(), format_); !problem.empty()) {
        return "'" + path + "': " + problem;
    }
    if (format_.formatTag != kPcmTag || format_.bitsPerSample != 16) {
        return "'" + path + "' is not 16-bit PCM WAV (format " + std::to_string(format_.formatTag) +
               ", " + std::to_string(format_.bitsPerSample) + " bits)";
    }
    if (format_.channels != 1 && format_.channels != 2) {
        return "'" + path + "' has " + std::to_string(format_.channels) +
               " channels; 1 or 2 can be coded";
    }
    return {};
}

audio::AudioEncodeResult WavInput::EncodeInto(const EncoderSettings& settings,
                                              const std::string& streamPath) {
    std::vector<uint8_t> block(kBlockBytes);
    uint64_t left = format_.dataBytes;
    bool readFailed =
        !file_ || std::fseek(file_.get(), static_cast<long>(format_.dataOffset), SEEK_SET) != 0;
    audio::AudioCallbacks callbacks;
    callbacks.fetch = [&](audio::PcmBlock& pcm) {
        if (readFailed) return audio::FetchResult::kFailed;
        if (left == 0) return audio::FetchResult::kEnd;
        const size_t wanted = left < block.size() ? static_cast<size_t>(left) : block.size();
        const size_t got = std::fread(block.data(), 1, wanted, file_.get());
        if (got == 0) {
            readFailed = std::ferror(file_.get()) != 0;
            return readFailed ? audio::FetchResult::kFailed : audio::FetchResult::kEnd;
        }
        left -= got;
        pcm.bytes = block.data();
        pcm.byteCount = got;
        return audio::FetchResult::kBlock;
    };
    return audio::EncodeAudioStream(settings,
                                    audio::AudioFormat{format_.sampleRateHz, format_.channels},
                                    streamPath, callbacks);
}

void TakeAudioModeFromInput(EncoderSettings& settings, int channels,
                            const std::string& settingsPath) {
    const bool modeFromFile =
        !settingsPath.empty() &&
        platform::GetPrivateProfileInt("audio", "audioMode", -1, settingsPath) >= 0;
    if (!modeFromFile) settings.audioMode = channels == 2 ? 0 : 3;
}

std::string AudioStreamBeside(const std::string& input) {
    const size_t slash = input.rfind('/');
    const size_t dot = input.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    const std::string name = (hasExtension ? input.substr(0, dot) : input) + ".mp2";
    return name == input ? input + ".mp2" : name;
}

}  // namespace korvan::cli
