// Settings files: INI files with the seven sections of the record, written by
// hand or by other tools. A file may hold any subset of the keys; what it
// does not name keeps its current value.
#pragma once

#include <string>

#include "korvan/mpegenc/settings/encoder_messages.h"
#include "korvan/mpegenc/settings/encoder_settings.h"

namespace korvan {

inline constexpr char kInvalidVideoSettingsMessage[] = "Invalid video settings in file %s.";
inline constexpr char kInvalidAudioSettingsMessage[] = "Invalid audio settings in file %s.";

// Reads every key of `path` over the record, then derives the frame rate,
// the constrained-parameters flag (always set for VideoCD, never for MPEG-2)
// and the first picture's count, and validates video, then audio. A refused record is
// reported to `messages` with the file's name and false is returned; the
// record then holds what was read. An absent file changes nothing.
bool LoadEncoderSettings(EncoderSettings& settings, const std::string& path,
                         const MessageSink& messages);

// The record as a settings file with every section and key, which loads
// back into the same record.
std::string FormatEncoderSettings(const EncoderSettings& settings);

}  // namespace korvan
