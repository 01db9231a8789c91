// Turns one frame of PCM per channel into one MPEG audio frame: filter
// bank, scale factors, psychoacoustic model, joint stereo bound, bit
// allocation and packing.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "korvan/mpegenc/audio/audio_stream_params.h"
#include "korvan/mpegenc/audio/audio_tables.h"
#include "korvan/mpegenc/audio/bit_allocation.h"
#include "korvan/mpegenc/audio/frame_padding.h"
#include "korvan/mpegenc/audio/polyphase_analysis.h"

namespace korvan::audio {

class PsychoModel;

// The size of a coded frame and how much of it the data took.
struct FrameReport {
    int bytes = 0;
    int budgetBits = 0;
    int usedBits = 0;  // before the zero fill
};

class AudioFrameEncoder {
public:
    explicit AudioFrameEncoder(const AudioStreamParams& params);
    ~AudioFrameEncoder();
    AudioFrameEncoder(const AudioFrameEncoder&) = delete;
    AudioFrameEncoder& operator=(const AudioFrameEncoder&) = delete;

    // Where the next frame's samples of coded channel `channel` go:
    // samplesPerFrame values scaled to -1..1.
    float* FrameSamples(int channel);

    // Codes the frame whose samples were filled in and appends it to `out`.
    FrameReport EncodeFrame(std::vector<uint8_t>& out);

    // Samples kept before each frame for the filter bank and the models.
    static constexpr int kHistory = 1024;

private:
    void AnalyseChannel(int channel);
    int ChooseBound(AllocationInput layout) const;

    AudioStreamParams params_;
    int slots_;  // subband samples per band and frame: 12 or 36
    int parts_;  // scale factor periods per frame: 1 or 3
    QuantizerTable quantizers_;
    FramePadding padding_;
    PolyphaseAnalysis filter_;
    std::unique_ptr<PsychoModel> model_;

    std::array<std::vector<float>, kMaxChannels> pcm_;  // history, then the frame
    std::array<std::vector<float>, kMaxChannels> subbands_;
    std::array<std::vector<int>, kMaxChannels> scale_;
    std::vector<float> shared_;
    std::vector<int> sharedScale_;
    std::array<std::array<float, kSubbands>, kMaxChannels> smrDb_{};
};

}  // namespace korvan::audio
