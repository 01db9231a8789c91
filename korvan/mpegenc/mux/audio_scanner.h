// The scan of an audio elementary stream, MPEG audio (ISO/IEC 11172-3, and
// the lower sampling rates of 13818-3) or AC-3: one unit record per frame
// with its presentation time.
#pragma once

#include <cstdint>
#include <string>

#include "korvan/base/status.h"
#include "korvan/mpegenc/mux/es_file.h"
#include "korvan/mpegenc/mux/mux_host.h"

namespace korvan::mux {

enum class AudioFormat { kMpeg, kAc3 };

struct AudioFacts {
    AudioFormat format = AudioFormat::kMpeg;
    int layer = 0;        // MPEG audio: 1..3
    int bitRateKbps = 0;  // the highest bitrate of any frame
    int samplingRateHz = 0;
    int mode = 0;  // MPEG audio: stereo, joint, dual, single
    int samplesPerFrame = 0;
    uint64_t frames = 0;  // frames, or AC-3 syncwords
    double durationTicks = 0;
};

// One frame header as it is found in the stream.
struct AudioFrameHeader {
    AudioFormat format = AudioFormat::kMpeg;
    int version = 1;  // MPEG audio: 1 for ISO/IEC 11172-3, 2 for the lower sampling rates
    int layer = 0;
    int bitRateKbps = 0;
    int samplingRateHz = 0;
    int mode = 0;
    int frameBytes = 0;
    int samples = 0;
};

// Parses the header at `bytes` (at least 6 bytes); false when they do not
// begin a valid MPEG audio or AC-3 frame.
bool ParseAudioFrameHeader(const uint8_t* bytes, AudioFrameHeader& header);

// Scans `es` (opened from `path`) into the unit file at `unitPath`. Every
// frame must follow the one before it directly: a stream that loses its
// frame sync, or ends inside a frame, is damaged and refused.
Status ScanAudioStream(EsFile& es, const std::string& path, const std::string& unitPath,
                       ProgressThrottle& progress, AudioFacts& facts);

}  // namespace korvan::mux
