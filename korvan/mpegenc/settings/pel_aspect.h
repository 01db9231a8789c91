// The shape of a pel as a stream's sequence header marks it, from the
// settings' "aspectRatio" code: MPEG-1 codes a pel's own shape, MPEG-2 the
// shape of the whole display (or square pels).
#pragma once

#include "korvan/mpegenc/settings/encoder_settings.h"

namespace korvan {

// A pel's width over its height for pictures of `width` x `height` coded
// with `settings`; 1 for a code that marks nothing known.
double MarkedPelAspect(const EncoderSettings& settings, int width, int height);

}  // namespace korvan
