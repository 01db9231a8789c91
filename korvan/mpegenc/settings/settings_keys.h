// Every key of a settings file, bound to the field of a record that holds it:
// the one list that loading and printing a record both walk, in file order.
#pragma once

#include <string>
#include <vector>

#include "korvan/mpegenc/settings/encoder_settings.h"

namespace korvan {

enum class SettingsValueKind {
    kInteger,
    kFlag,     // 0 or 1; any other number a file holds counts as 1
    kBitrate,  // bit/s, a double in the record and an integer in the file
    kText,     // a buffer of kSettingsTextChars characters
};

struct SettingsKey {
    const char* section;
    std::string name;
    SettingsValueKind kind;
    int* integer = nullptr;  // kInteger and kFlag
    double* bitrate = nullptr;
    char (*text)[kSettingsTextChars] = nullptr;
};

// The keys of the seven sections "loadsave", "iofiles", "general", "video",
// "audio", "program" and "advVideo", pointing into `settings`.
std::vector<SettingsKey> SettingsKeysOf(EncoderSettings& settings);

}  // namespace korvan
