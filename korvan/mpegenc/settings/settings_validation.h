// The rules a record must keep before anything is encoded with it. A record
// that breaks one is refused as a whole; the fault texts name the first rule
// broken, for diagnostics (the user sees the file's message, not these).
#pragma once

#include <string_view>

#include "korvan/mpegenc/settings/encoder_settings.h"

namespace korvan {

// The first video rule the record breaks, or an empty text when it keeps all.
// The picture size rules use horizontalSize and verticalSize when they are
// known (non-zero).
std::string_view VideoSettingsFault(const EncoderSettings& settings);
std::string_view AudioSettingsFault(const EncoderSettings& settings);

inline bool ValidateVideoSettings(const EncoderSettings& settings) {
    return VideoSettingsFault(settings).empty();
}
inline bool ValidateAudioSettings(const EncoderSettings& settings) {
    return AudioSettingsFault(settings).empty();
}

}  // namespace korvan
