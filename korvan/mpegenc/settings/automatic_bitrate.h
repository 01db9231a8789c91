// The bitrate and buffer sizes chosen from the picture when "autoBitrate" is
// set: the disc formats keep their fixed rates, everything else gets 0.74 bits
// per luminance sample.
#pragma once

#include "korvan/mpegenc/settings/encoder_settings.h"

namespace korvan {

// Sets constBitrate, vbvBufferSize and videoBufferSize when "autoBitrate" is
// set and the picture size (horizontalSize, verticalSize) is known.
void ApplyAutomaticBitrate(EncoderSettings& settings);

}  // namespace korvan
