// The motion search windows and f-codes a preset derives from the expected
// motion per picture interval ("horzPelMovement", "vertPelMovement"). A
// settings file sets windows and f-codes directly instead.
#pragma once

#include "korvan/mpegenc/settings/encoder_settings.h"

namespace korvan {

// The f-code a preset gives a search window of `windowPels`, under the
// record's syntax, level and constrained-parameters flag.
int HorizontalFCodeForWindow(int windowPels, const EncoderSettings& settings);
int VerticalFCodeForWindow(int windowPels, const EncoderSettings& settings);

// Fills the motion records from the pel movement and M: the P record gets
// M times the movement, the B record at distance d gets d times it forward
// and M - d times it backward. Records beyond M - 1 are reset.
void DeriveMotionGeometry(EncoderSettings& settings);

}  // namespace korvan
