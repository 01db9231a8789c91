#include "korvan/mpegenc/audio/audio_stream_params.h"

#include "korvan/mpegenc/audio/audio_tables.h"
#include "korvan/mpegenc/audio/bit_allocation.h"
#include "korvan/mpegenc/audio/frame_padding.h"

namespace korvan::audio {

namespace {

bool IsBit(int value) { return value == 0 || value == 1; }

}  // namespace

std::string ResolveStreamParams(const EncoderSettings& settings, const AudioFormat& format,
                                AudioStreamParams& params) {
    params = AudioStreamParams{};
    params.samplingCode = SamplingFrequencyCode(format.sampleRateHz);
    if (params.samplingCode < 0) return "Unknown audio sampling rate";
    if (format.channels != 1 && format.channels != 2) {
        return "Unsupported number of audio channels.";
    }
    const bool valid =
        (settings.audioLayer == 1 || settings.audioLayer == 2) && settings.audioMode >= 0 &&
        settings.audioMode <= 3 && settings.audioBitrate >= 0 && settings.audioBitrate <= 14 &&
        (settings.psychModel == 1 || settings.psychModel == 2) &&
        (settings.deEmphasis == 0 || settings.deEmphasis == 1 || settings.deEmphasis == 3) &&
        IsBit(settings.privateBit) && IsBit(settings.copyrightBit) && IsBit(settings.originalBit) &&
        IsBit(settings.errorProtection);
    if (!valid) return "Invalid audio settings.";
    // Index 0 announces a free-format stream, whose rate the header does not
    // carry and the settings do not give; every frame would be empty.
    if (settings.audioBitrate == 0) return "Free format audio bitrate is not supported.";

    params.layer = settings.audioLayer;
    params.mode = settings.audioMode;
    params.channels = params.mode == kModeSingleChannel ? 1 : 2;
    params.sourceChannels = format.channels;
    params.bitrateIndex = settings.audioBitrate;
    // Layer II carries at most 192 kbit/s in a single channel.
    if (params.layer == 2 && params.channels == 1 && params.bitrateIndex > 10) {
        params.bitrateIndex = 10;
    }
    params.bitRate = BitrateKbps(params.layer, params.bitrateIndex) * 1000;
    params.sampleRateHz = format.sampleRateHz;
    params.psychModel = settings.psychModel;
    params.errorProtection = settings.errorProtection != 0;
    params.privateBit = settings.privateBit;
    params.copyrightBit = settings.copyrightBit;
    params.originalBit = settings.originalBit;
    params.emphasis = settings.deEmphasis;
    params.samplesPerFrame = params.layer == 1 ? 384 : 1152;
    params.slotBits = params.layer == 1 ? 32 : 8;

    // Even an unpadded frame must hold the header, the check word and the
    // bit allocation; layer I at 32 kbit/s cannot give two separate
    // channels that room at 44.1 or 48 kHz.
    const QuantizerTable quantizers = MakeQuantizerTable(
        params.layer, params.layer == 2
                          ? &SelectLayerTwoTable(params.samplingCode, params.KbpsPerChannel())
                          : nullptr);
    AllocationInput layout;
    layout.quantizers = &quantizers;
    layout.channels = params.channels;
    layout.bound = params.mode == kModeJointStereo ? 4 : quantizers.sblimit;
    const FramePadding padding(params.samplesPerFrame, params.bitRate, params.sampleRateHz,
                               params.slotBits);
    const int roomBits =
        padding.WholeSlots() * params.slotBits - 32 - (params.errorProtection ? 16 : 0);
    if (roomBits < AllocationFieldBits(layout)) return "Audio bitrate too low for the audio mode.";
    return {};
}

}  // namespace korvan::audio
