// The 512 coefficients of the polyphase filter bank's window.
#pragma once

#include <array>

namespace korvan::audio {

inline constexpr int kWindowLength = 512;

// Analysis window C[i], i = 0..511: the decoder's synthesis window divided
// by 32, so that analysis and synthesis form the near-perfect reconstruction
// pair every decoder assumes.
const std::array<float, kWindowLength>& AnalysisWindow();

}  // namespace korvan::audio
