// What the head of an MPEG program stream says about itself: the kind of
// multiplex, the first video stream's sequence header and the first MPEG
// audio stream's frame header. A pure function of the bytes, so that any
// file (a broken one included) can be read without harm.
#pragma once

#include <string_view>

namespace foxburner {

struct VideoFacts {
    bool found = false;
    int mpegVersion = 0;  // 1, or 2 when a sequence extension follows the header
    int width = 0;
    int height = 0;
    int frameRateCode = 0;  // as coded: 3 is 25 Hz, 4 is 29.97 Hz
    double frameRate = 0;
    int aspectRatioCode = 0;       // as coded: MPEG-1 pel aspect, MPEG-2 display aspect
    bool variableBitRate = false;  // MPEG-1's "variable" marker instead of a rate
    long long bitRate = 0;         // bit/s, from the header (the maximum for MPEG-2)
};

struct AudioFacts {
    bool found = false;
    int layer = 0;  // 1, 2 or 3
    int sampleRateHz = 0;
    int bitRate = 0;  // bit/s
    int channels = 0;
};

struct StreamFacts {
    // 1: MPEG-1 system stream, 2: MPEG-2 program stream, 0: no pack header.
    int packVersion = 0;
    VideoFacts video;
    AudioFacts audio;
    // Audio that is not MPEG audio (private stream 1: AC-3, LPCM, DTS).
    bool privateStreamAudio = false;
};

// How much of a file's head ReadStreamFacts needs at most.
inline constexpr std::size_t kStreamFactsHeadBytes = 4u << 20;

StreamFacts ReadStreamFacts(std::string_view bytes);

}  // namespace foxburner
