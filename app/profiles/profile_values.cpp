#include "app/profiles/profile_values.h"

#include <algorithm>
#include <charconv>

#include "app/profiles/value_lists.h"

namespace {

// The entry an index points to, the nearest one for an index outside.
template <typename List>
auto ClampedEntry(const List& list, int index) -> typename List::value_type {
    return list[static_cast<std::size_t>(std::clamp(index, 0, static_cast<int>(list.size()) - 1))];
}

// Read without the locale, which the program's toolkit sets from the user's.
double FramesPerSecond(std::string_view text) {
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

}  // namespace

ProfileValues ReadProfileValues(const ProfileFiles& files, int target, int profileIndex) {
    auto read = [&](std::string_view key) { return files.ReadInt(target, profileIndex, key); };
    ProfileValues values;
    values.videoCodec = ClampedEntry(kVideoCodecs, read("Version"));
    values.widthPx = read("FrameWidth");
    values.heightPx = read("FrameHeight");
    values.frameRate = ClampedEntry(kFrameRates, read("FrameRate"));
    values.framesPerSecond = FramesPerSecond(values.frameRate);
    values.videoBitRateKbps = read("VideoBitrate");
    values.audioCodec = ClampedEntry(kAudioCodecs, read("AudioFormat"));
    const int audioBitrate = read("AudioBitrate");
    values.hasAudio = audioBitrate != kNoAudio;
    if (audioBitrate >= 0 && audioBitrate < kNoAudio) {
        values.audioBitRateKbps = kAudioBitratesKbps[static_cast<std::size_t>(audioBitrate)];
    }
    values.channels = std::clamp(read("AudioChannels"), 0, 1) + 1;
    values.sampleRateHz = ClampedEntry(kSampleRatesHz, read("AudioFrequency"));
    values.formatName = ClampedEntry(kFileTypes, read("FileType")).formatName;
    return values;
}
