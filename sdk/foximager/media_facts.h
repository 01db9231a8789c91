// What libavformat says about a file, reduced to what making it
// DVD-compliant needs. Read in the builder's own process: a probe is asked
// for every file of a disc, and a tool started for each would cost more than
// the authoring of a DVD-compliant title itself.
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

// How much of a file a probe reads: a DVD's streams all start within its
// first second, and the default of five seconds decodes pictures for longer
// than the whole stream walk takes; sound that starts later needs the
// longer read.
enum class ProbeDepth { kFirstSecond, kFirstMinute };

// Empty facts (no streams) for a file libavformat cannot open.
MediaFacts ProbeMediaFile(const std::string& path, ProbeDepth depth = ProbeDepth::kFirstSecond);

}  // namespace foximager
