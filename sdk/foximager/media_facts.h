// What ffprobe says about a file ("-show_entries" in its default writer:
// [STREAM] ... [/STREAM] and [FORMAT] ... [/FORMAT] blocks of key=value
// lines), reduced to what making a file DVD-compliant needs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace foximager {

struct StreamFacts {
    std::string type;   // "video", "audio", ...
    std::string codec;  // "mpeg2video", "ac3"
    int width = 0;
    int height = 0;
    double frameRate = 0;    // pictures per second, 0 when unknown
    double pixelAspect = 0;  // width / height of a pixel, 0 when unknown
    int sampleRateHz = 0;
};

struct MediaFacts {
    std::string formatName;
    double durationSeconds = 0;
    long long bitRate = 0;  // bit/s of the whole file, 0 when unknown
    std::vector<StreamFacts> streams;

    // The first stream of the type, or null.
    const StreamFacts* First(std::string_view type) const;
    int Count(std::string_view type) const;
};

// The ffprobe arguments that print what ParseMediaFacts reads.
std::vector<std::string> ProbeArguments(const std::string& file);

// A pure function of the text; lines it does not know are skipped, numbers
// it cannot read are 0.
MediaFacts ParseMediaFacts(std::string_view text);

}  // namespace foximager
