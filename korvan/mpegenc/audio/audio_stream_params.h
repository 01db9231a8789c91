// Everything about an audio stream that stays fixed from frame to frame,
// taken from the encoder settings and the source's format.
#pragma once

#include <string>

#include "korvan/mpegenc/settings/encoder_settings.h"

namespace korvan::audio {

struct AudioFormat {
    int sampleRateHz = 0;
    int channels = 0;  // of the PCM the source delivers: 1 or 2
};

struct AudioStreamParams {
    int layer = 2;
    int mode = 0;          // audioMode; joint stereo frames pick their bound one by one
    int bitrateIndex = 0;  // after the single-channel limit
    int bitRate = 0;       // bit/s
    int sampleRateHz = 0;
    int samplingCode = 0;
    int channels = 0;        // coded: 1 for single channel, else 2
    int sourceChannels = 0;  // delivered by the source
    int psychModel = 2;
    bool errorProtection = false;
    int privateBit = 0;
    int copyrightBit = 0;
    int originalBit = 0;
    int emphasis = 0;
    int samplesPerFrame = 0;  // 384 or 1152
    int slotBits = 0;         // 32 or 8

    int KbpsPerChannel() const { return bitRate / 1000 / channels; }
};

// Fills `params` from the settings' audio keys and the source's format.
// Returns an empty text on success, otherwise the message to show.
std::string ResolveStreamParams(const EncoderSettings& settings, const AudioFormat& format,
                                AudioStreamParams& params);

}  // namespace korvan::audio
