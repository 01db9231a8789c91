// One encoding profile and the table of a target's profiles, as loaded from
// its profile file.
#pragma once

#include <array>
#include <string>

struct Profile {
    std::string name;
    std::string description;
    std::string comment;
    int frameWidth = 0;      // pixels; 0 means the original width
    int frameHeight = 0;     // pixels; 0 means the original height
    int videoBitrate = 0;    // kbit/s
    int frameRate = 0;       // index into kFrameRates
    int audioFormat = 0;     // index into kAudioCodecs
    int audioBitrate = 0;    // index into kAudioBitratesKbps; kNoAudio for none
    int audioChannels = 0;   // 0 mono, 1 stereo
    int audioFrequency = 0;  // index into kSampleRatesHz
    int version = 0;         // index into kVideoCodecs
    int fileType = 0;        // index into the file-type list
};

constexpr int kMaxProfiles = 20;

struct ProfileTable {
    int count = 0;
    std::array<Profile, kMaxProfiles> profiles;
};
