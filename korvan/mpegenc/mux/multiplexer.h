// The program stream multiplexer: one video stream (MPEG-1 or MPEG-2) and
// up to two audio streams (MPEG audio or AC-3) become an MPEG-1 system
// stream, a VideoCD, MPEG-2, SuperVCD or DVD program stream, as the
// "program" section of the encoder settings describes.
//
// The streams are scanned once into files of unit records; then packs of the
// sector size are written one after another, each stream sending when the
// model of its decoder buffer has room, so that no buffer runs over or dry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "korvan/base/status.h"
#include "korvan/mpegenc/mux/audio_scanner.h"
#include "korvan/mpegenc/mux/mux_host.h"
#include "korvan/mpegenc/mux/video_scanner.h"
#include "korvan/mpegenc/settings/encoder_settings.h"

namespace korvan::mux {

enum MuxStreamFlags : unsigned {
    kMuxVideo = 1,
    kMuxAudio = 2,
    kMuxSecondAudio = 4,  // never used for VideoCD
};

struct MuxRequest {
    std::string videoPath;
    std::string audioPath;
    std::string secondAudioPath;
    std::string programPath;
    unsigned flags = 0;
    // Where the temporary unit files ("tmp_v", "tmp_a", "tmpa1", "tmp_s") go.
    std::string unitFolder = "./";
};

struct MuxStatistics {
    uint32_t muxRate = 0;  // units of 50 bytes/s
    double packsPerSecond = 0;
    double scrStepTicks = 0;
    int payloadBytes = 0;  // per packet, as used for the mux rate
    double videoDelayTicks = 0;
    double audioDelayTicks = 0;
    uint64_t packs = 0;
    uint64_t paddingPacks = 0;
    uint64_t navigationPacks = 0;
    uint64_t scrJumps = 0;
    uint64_t underflows = 0;  // units whose data came after their decoding time
    uint64_t earlyUnits = 0;  // units sent more than a second before they were due
    VideoFacts video;
    AudioFacts audio[2];
};

struct MuxReport {
    Status status;  // its message is the text to show when it failed
    std::vector<std::string> programFiles;
    MuxStatistics statistics;
};

MuxReport Multiplex(const EncoderSettings& settings, const MuxRequest& request, MuxHost& host);

}  // namespace korvan::mux
