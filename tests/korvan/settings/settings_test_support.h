// Helpers the settings tests share: a record's keys as texts, and a message
// sink that records what it is shown.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "korvan/mpegenc/settings/encoder_messages.h"
#include "korvan/mpegenc/settings/settings_keys.h"

namespace test {

// Key name → value as the settings file spells it.
inline std::map<std::string, std::string> KeyValues(const korvan::EncoderSettings& settings) {
    korvan::EncoderSettings copy = settings;
    std::map<std::string, std::string> values;
    for (const korvan::SettingsKey& key : korvan::SettingsKeysOf(copy)) {
        std::string value;
        switch (key.kind) {
            case korvan::SettingsValueKind::kInteger:
            case korvan::SettingsValueKind::kFlag:
                value = std::to_string(*key.integer);
                break;
            case korvan::SettingsValueKind::kBitrate: {
                char text[64];
                std::snprintf(text, sizeof text, "%.0f", *key.bitrate);
                value = text;
                break;
            }
            case korvan::SettingsValueKind::kText:
                value = *key.text;
                break;
        }
        values[key.name] = value;
    }
    return values;
}

struct RecordedMessages {
    std::vector<korvan::EncoderMessage> shown;

    korvan::MessageSink Sink() {
        return [this](const korvan::EncoderMessage& message) { shown.push_back(message); };
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const korvan::EncoderMessage& message : shown) texts.push_back(message.text);
        return texts;
    }
};

}  // namespace test
