#include "korvan/mpegenc/audio/audio_frame_encoder.h"

#include <algorithm>

#include "korvan/mpegenc/audio/frame_packer.h"
#include "korvan/mpegenc/audio/psycho_model.h"
#include "korvan/mpegenc/audio/scale_factors.h"

namespace korvan::audio {

namespace {

constexpr int kHeaderBits = 32;
constexpr int kCrcBits = 16;
constexpr int kSlotsPerPart = 12;

}  // namespace

static_assert(AudioFrameEncoder::kHistory >= PsychoModel::kHistory);
static_assert(AudioFrameEncoder::kHistory >= kWindowLength - 32);

AudioFrameEncoder::AudioFrameEncoder(const AudioStreamParams& params)
    : params_(params),
      slots_(params.layer == 1 ? 12 : 36),
      parts_(params.layer == 1 ? 1 : 3),
      quantizers_(MakeQuantizerTable(
          params.layer, params.layer == 2
                            ? &SelectLayerTwoTable(params.samplingCode, params.KbpsPerChannel())
                            : nullptr)),
      padding_(params.samplesPerFrame, params.bitRate, params.sampleRateHz, params.slotBits) {
    model_ = MakePsychoModel(params_);
    for (int ch = 0; ch < params_.channels; ++ch) {
        pcm_[ch].assign(kHistory + params_.samplesPerFrame, 0.0f);
        subbands_[ch].assign(slots_ * kSubbands, 0.0f);
        scale_[ch].assign(parts_ * kSubbands, 0);
    }
    shared_.assign(slots_ * kSubbands, 0.0f);
    sharedScale_.assign(parts_ * kSubbands, 0);
}

AudioFrameEncoder::~AudioFrameEncoder() = default;

float* AudioFrameEncoder::FrameSamples(int channel) { return pcm_[channel].data() + kHistory; }

void AudioFrameEncoder::AnalyseChannel(int channel) {
    const float* frame = FrameSamples(channel);
    float* subbands = subbands_[channel].data();
    for (int slot = 0; slot < slots_; ++slot) {
        // The filter looks at the 512 samples that end with the slot's 32.
        filter_.Filter(frame + 32 * slot + 32 - kWindowLength, subbands + slot * kSubbands);
    }
    ComputeScaleFactors(subbands, parts_, kSlotsPerPart, scale_[channel].data());
    SubbandLevels levels;
    for (int sb = 0; sb < kSubbands; ++sb) {
        int loudest = scale_[channel][sb];
        for (int part = 1; part < parts_; ++part) {
            loudest = std::min(loudest, scale_[channel][part * kSubbands + sb]);
        }
        levels.scalePeak[sb] = ScaleFactorValue(loudest);
    }
    for (int slot = 0; slot < slots_; ++slot) {
        const float* row = subbands + slot * kSubbands;
        for (int sb = 0; sb < kSubbands; ++sb) levels.meanSquare[sb] += row[sb] * row[sb];
    }
    for (int sb = 0; sb < kSubbands; ++sb) levels.meanSquare[sb] /= static_cast<float>(slots_);
    model_->ComputeSmr(channel, frame, levels, smrDb_[channel].data());
}

int AudioFrameEncoder::ChooseBound(AllocationInput layout) const {
    // Keep the channels apart when that leaves the noise masked; otherwise
    // share the samples of as few upper subbands as it takes.
    const int sblimit = quantizers_.sblimit;
    for (int bound : {sblimit, 16, 12, 8, 4}) {
        if (bound > sblimit) continue;
        layout.bound = bound;
        if (BitsForMaskedNoise(layout) <= layout.availableBits) return bound;
    }
    return 4;
}

FrameReport AudioFrameEncoder::EncodeFrame(std::vector<uint8_t>& out) {
    for (int ch = 0; ch < params_.channels; ++ch) AnalyseChannel(ch);

    FrameReport report;
    const bool padded = padding_.NextFramePadded();
    report.budgetBits = (padding_.WholeSlots() + (padded ? 1 : 0)) * params_.slotBits;

    AllocationInput layout;
    layout.quantizers = &quantizers_;
    layout.channels = params_.channels;
    layout.bound = quantizers_.sblimit;
    layout.availableBits =
        report.budgetBits - kHeaderBits - (params_.errorProtection ? kCrcBits : 0);
    layout.smrDb = smrDb_;

    FrameContent content;
    for (int ch = 0; ch < params_.channels; ++ch) {
        for (int sb = 0; sb < kSubbands; ++sb) {
            ScaleFactorPattern& pattern = content.patterns[ch][sb];
            if (params_.layer == 1) {
                pattern.used[0] = scale_[ch][sb];
                pattern.sent = 1;
            } else {
                pattern = SelectScaleFactorPattern(
                    {scale_[ch][sb], scale_[ch][kSubbands + sb], scale_[ch][2 * kSubbands + sb]});
            }
            layout.scaleFactorsSent[ch][sb] = pattern.sent;
        }
        content.samples[ch] = subbands_[ch].data();
    }

    int mode = params_.mode;
    int modeExtension = 0;
    if (params_.mode == kModeJointStereo) {
        layout.bound = ChooseBound(layout);
        if (layout.bound < quantizers_.sblimit) {
            modeExtension = layout.bound / 4 - 1;
            for (int i = 0; i < slots_ * kSubbands; ++i) {
                shared_[i] = 0.5f * (subbands_[0][i] + subbands_[1][i]);
            }
            ComputeScaleFactors(shared_.data(), parts_, kSlotsPerPart, sharedScale_.data());
            content.sharedSamples = shared_.data();
            content.sharedScale = sharedScale_.data();
        } else {
            mode = kModeStereo;
        }
    }
    const Allocation allocation = AllocateBits(layout);

    content.header.layer = params_.layer;
    content.header.errorProtection = params_.errorProtection;
    content.header.bitrateIndex = params_.bitrateIndex;
    content.header.samplingCode = params_.samplingCode;
    content.header.padded = padded;
    content.header.privateBit = params_.privateBit;
    content.header.mode = mode;
    content.header.modeExtension = modeExtension;
    content.header.copyrightBit = params_.copyrightBit;
    content.header.originalBit = params_.originalBit;
    content.header.emphasis = params_.emphasis;
    content.layout = &layout;
    content.allocation = &allocation;

    report.usedBits = PackFrame(content, report.budgetBits, out);
    report.bytes = report.budgetBits / 8;

    for (int ch = 0; ch < params_.channels; ++ch) {
        std::copy(pcm_[ch].end() - kHistory, pcm_[ch].end(), pcm_[ch].begin());
    }
    return report;
}

}  // namespace korvan::audio
