// A video elementary stream's extension follows its syntax: ".m1v" for
// MPEG-1, ".m2v" for MPEG-2.
#pragma once

#include <string>

#include "korvan/mpegenc/settings/encoder_settings.h"

namespace korvan {

// `name` with ".m1v" turned into ".m2v" when the record codes MPEG-2, and
// ".m2v" into ".m1v" when it codes MPEG-1 (letter case kept). Any other name
// is returned as it is.
std::string WithVideoStreamExtension(const std::string& name, const EncoderSettings& settings);

}  // namespace korvan
