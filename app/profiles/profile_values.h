// One profile as the encoder gets it: every index of the file turned into
// its list entry, read straight from the target's profile file.
//
// A value outside its list (a damaged or hand-edited file) is clamped to the
// nearest entry: Version, FrameRate, AudioFormat, AudioFrequency and FileType
// to their lists, AudioChannels to mono or stereo. An AudioBitrate outside
// 0..14 leaves the encoder's own bit rate. A missing file or section reads
// as zeros everywhere.
#pragma once

#include <string>
#include <string_view>

#include "app/profiles/profile_files.h"

struct ProfileValues {
    std::string_view videoCodec;  // the list's name: "h264", "xvid"
    int widthPx = 0;              // both 0: the input's size ("Original")
    int heightPx = 0;
    std::string_view frameRate;      // the list's text, "29.976"
    double framesPerSecond = 0;      // the same as a number
    long long videoBitRateKbps = 0;  // as the file has it, so a wide type
    std::string_view audioCodec;
    bool hasAudio = true;      // AudioBitrate "No audio" turns the sound off
    int audioBitRateKbps = 0;  // 0: the encoder's own
    int channels = 1;
    int sampleRateHz = 0;
    std::string_view formatName;  // the file type's output format, "mp4"
};

ProfileValues ReadProfileValues(const ProfileFiles& files, int target, int profileIndex);
