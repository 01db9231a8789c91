// The scan of a video elementary stream (ISO/IEC 11172-2 or 13818-2): one
// unit record per picture with its decoding and presentation times, and the
// facts the multiplexer sizes its rates from.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "korvan/base/status.h"
#include "korvan/mpegenc/mux/es_file.h"
#include "korvan/mpegenc/mux/mux_host.h"

namespace korvan::mux {

inline constexpr double kTicksPerSecond = 27000000.0;

struct VideoFacts {
    bool mpeg2 = false;
    int width = 0;
    int height = 0;
    int aspectRatio = 0;
    int frameRateCode = 0;
    uint32_t bitRate = 0;  // sequence header bit_rate, 400 bit/s units
    int vbvBufferSize = 0;
    bool constrainedParameters = false;
    bool progressiveSequence = true;

    uint64_t pictures = 0;  // units: frames, or pairs of fields
    uint64_t gops = 0;
    std::array<uint64_t, 5> picturesOfType{};  // indexed by PictureType
    std::array<uint64_t, 5> bytesOfType{};
    uint64_t streamBytes = 0;

    double picturePeriodTicks = 0;     // T
    int picturesPerSecond = 25;        // R
    uint32_t computedMaxRate = 0;      // 400 bit/s units
    uint32_t computedAverageRate = 0;  // 400 bit/s units
    int pulldown = 0;  // 0 none, 1 first repeated field at temporal reference 0, 2 elsewhere
    double durationTicks = 0;  // display time of all pictures

    // The first sequence header with its extensions, up to the first GOP or
    // picture; empty when it is longer than 256 bytes.
    std::vector<uint8_t> firstSequenceHeader;
    bool endsWithSequenceEnd = false;
};

struct VideoScanOptions {
    bool detectPulldown = false;    // "muxPulldownFlag" 3
    bool findScanUserData = false;  // SuperVCD scan offsets
};

// Scans `es` (opened from `path`, which messages name) into the unit file at
// `unitPath`.
Status ScanVideoStream(EsFile& es, const std::string& path, const std::string& unitPath,
                       const VideoScanOptions& options, ProgressThrottle& progress,
                       VideoFacts& facts);

// Picture period and whole pictures per second of a frame_rate_code; an
// invalid code counts as 25 pictures per second.
double PicturePeriodSeconds(int frameRateCode);
int PicturesPerSecond(int frameRateCode);

}  // namespace korvan::mux
