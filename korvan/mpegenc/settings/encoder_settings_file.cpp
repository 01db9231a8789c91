#include "korvan/mpegenc/settings/encoder_settings_file.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "korvan/mpegenc/settings/frame_rates.h"
#include "korvan/mpegenc/settings/settings_keys.h"
#include "korvan/mpegenc/settings/settings_validation.h"
#include "platform/ini_text.h"
#include "platform/private_profile.h"

namespace korvan {
namespace {

// Bitrates are integers in the file. An absent key returns the default, which
// is the current value as an integer; keeping the double then avoids a round
// trip through int.
void ReadBitrate(const SettingsKey& key, const std::string& path) {
    const double current = *key.bitrate;
    const int asInteger = static_cast<int>(std::clamp(
        std::llround(current), static_cast<long long>(INT_MIN), static_cast<long long>(INT_MAX)));
    const int read = platform::GetPrivateProfileInt(key.section, key.name, asInteger, path);
    if (read != asInteger) *key.bitrate = read;
}

void ReadKey(const SettingsKey& key, const std::string& path) {
    switch (key.kind) {
        case SettingsValueKind::kInteger:
            *key.integer =
                platform::GetPrivateProfileInt(key.section, key.name, *key.integer, path);
            break;
        case SettingsValueKind::kFlag:
            *key.integer =
                platform::GetPrivateProfileInt(key.section, key.name, *key.integer, path) != 0;
            break;
        case SettingsValueKind::kBitrate:
            ReadBitrate(key, path);
            break;
        case SettingsValueKind::kText: {
            const std::string value = platform::GetPrivateProfileString(
                key.section, key.name, SettingsText(*key.text), kSettingsTextChars, path);
            // The record holds text up to a NUL; what stands before one is
            // trimmed as the whole value was, so that the text printed back
            // reads in again as it is.
            SetSettingsText(*key.text, platform::ini::Trim(value.c_str()));
            break;
        }
    }
}

// ((hours * 60 + minutes) * 60 + seconds) * R + frame, with R the frame rate
// rounded to whole pictures per second.
long long FirstFramePictures(const EncoderSettings& s) {
    const long long picturesPerSecond = static_cast<long long>(std::floor(s.frameRate + 0.5));
    const long long seconds =
        (static_cast<long long>(s.firstFrameHours) * 60 + s.firstFrameMinutes) * 60 +
        s.firstFrameSeconds;
    return seconds * picturesPerSecond + s.firstFrameFrame;
}

std::string ValueText(const SettingsKey& key) {
    switch (key.kind) {
        case SettingsValueKind::kInteger:
        case SettingsValueKind::kFlag:
            return std::to_string(*key.integer);
        case SettingsValueKind::kBitrate: {
            char text[64];
            std::snprintf(text, sizeof text, "%.0f", *key.bitrate);
            return text;
        }
        case SettingsValueKind::kText:
            return std::string(SettingsText(*key.text));
    }
    return {};
}

}  // namespace

bool LoadEncoderSettings(EncoderSettings& settings, const std::string& path,
                         const MessageSink& messages) {
    for (const SettingsKey& key : SettingsKeysOf(settings)) ReadKey(key, path);
    settings.frameRate = FrameRateOfCode(settings.frameRateCode);
    // The flag has no key, so a file cannot clear it: a file that turns a
    // VideoCD record into MPEG-2 would otherwise always be refused.
    if (settings.videoType == kVideoVcd) settings.constrainedParameters = 1;
    if (settings.IsMpeg2()) settings.constrainedParameters = 0;
    settings.firstFramePictures = FirstFramePictures(settings);

    if (!ValidateVideoSettings(settings)) {
        ShowMessage(messages, FillMessage(kInvalidVideoSettingsMessage, path));
        return false;
    }
    if (!ValidateAudioSettings(settings)) {
        ShowMessage(messages, FillMessage(kInvalidAudioSettingsMessage, path));
        return false;
    }
    return true;
}

std::string FormatEncoderSettings(const EncoderSettings& settings) {
    EncoderSettings copy = settings;
    std::string text;
    const char* section = nullptr;
    for (const SettingsKey& key : SettingsKeysOf(copy)) {
        if (!section || std::strcmp(section, key.section) != 0) {
            if (section) text += "\n";
            section = key.section;
            text.append("[").append(section).append("]\n");
        }
        text.append(key.name).append("=").append(ValueText(key)).append("\n");
    }
    return text;
}

}  // namespace korvan
