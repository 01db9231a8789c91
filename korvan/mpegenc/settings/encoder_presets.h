// The five encode targets, each in a PAL and an NTSC variant. A preset fills
// every field of the record, so an encode is determined by the target, the TV
// system and the input alone.
#pragma once

#include "korvan/mpegenc/settings/encoder_settings.h"

namespace korvan {

// Numbered like videoType and programStreamType.
enum class EncoderPreset : int {
    kMpeg1 = 0,
    kVideoCd = 1,
    kMpeg2 = 2,
    kSuperVcd = 3,
    kDvd = 4,
};

enum class TvSystem { kPal, kNtsc };

// Fills the record from the preset: its video and audio part, the motion
// geometry derived from the pel movement, then its program-stream part. The
// input's picture size is kept. The presets leave "autoBitrate" off, so the
// automatic bitrate rule only runs when a caller turns it on afterwards.
// "audioMode" is set for stereo input; an encode sets it from its input.
void ApplyPreset(EncoderSettings& settings, EncoderPreset preset, TvSystem system);

// A record holding nothing but the preset.
EncoderSettings PresetSettings(EncoderPreset preset, TvSystem system);

}  // namespace korvan
