#include "app/profiles/encoder_options.h"

#include <algorithm>

#include "app/profiles/ffmpeg_adaptations.h"
#include "app/profiles/value_lists.h"

namespace {

// The entry an index points to, the nearest one for an index outside.
template <typename List>
auto ClampedEntry(const List& list, int index) -> typename List::value_type {
    return list[static_cast<std::size_t>(std::clamp(index, 0, static_cast<int>(list.size()) - 1))];
}

std::string AudioBitRateOption(int audioBitrate) {
    if (audioBitrate == kNoAudio) return " -an";
    if (audioBitrate < 0 || audioBitrate >= kNoAudio) return {};
    const int bitRateKbps = kAudioBitratesKbps[static_cast<std::size_t>(audioBitrate)];
    return " -ab " + std::to_string(AudioBitRateOptionValue(bitRateKbps));
}

}  // namespace

std::string BuildEncoderOptions(const ProfileFiles& files, int target, int profileIndex) {
    auto read = [&](std::string_view key) { return files.ReadInt(target, profileIndex, key); };
    const int width = read("FrameWidth");
    const int height = read("FrameHeight");
    // kbit/s in the file; a wide type, since the file may hold any number.
    const long long videoBitRate = static_cast<long long>(read("VideoBitrate")) * 1000;

    std::string options = " -vcodec " + ProfileVideoCodec(files, target, profileIndex);
    if (!KeepsInputFrameSize(width, height)) {
        options += " -s " + std::to_string(width) + "x" + std::to_string(height);
    }
    options += " -r " + std::string(ClampedEntry(kFrameRates, read("FrameRate")));
    options += " -b " + std::to_string(videoBitRate);
    options += " -acodec " + std::string(ClampedEntry(kAudioCodecs, read("AudioFormat")));
    options += AudioBitRateOption(read("AudioBitrate"));
    options += " -ac " + std::to_string(std::clamp(read("AudioChannels"), 0, 1) + 1);
    options += " -ar " + std::to_string(ClampedEntry(kSampleRatesHz, read("AudioFrequency")));
    options += " -f " + std::string(ClampedEntry(kFileTypes, read("FileType")).formatName) + " ";
    return options;
}

std::string ProfileVideoCodec(const ProfileFiles& files, int target, int profileIndex) {
    const int version = files.ReadInt(target, profileIndex, "Version");
    return std::string(EncoderVideoCodec(ClampedEntry(kVideoCodecs, version)));
}
