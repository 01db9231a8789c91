// What the console text of ffmpeg tells about an input.
#pragma once

#include <string>
#include <vector>

struct MediaInfo {
    // The name the tool echoes ("from '...'"); before that, the file probed.
    std::string inputName;
    double durationSeconds = 0;  // 0 = unknown
    std::string videoCodec;      // the codec name, "mpeg4"; empty = none seen
    std::string audioCodec;
    int videoStreamIndex = 0;
    int audioStreamIndex = 1;
    // Every audio stream line with a bracketed id ("Stream #0:1[0x80]: Audio:
    // ac3, ..."), for choosing a DVD audio track.
    std::vector<std::string> audioStreamLines;
    // 1 once the audio stream has been taken; ends the gathering of facts.
    int streamInfoComplete = 0;
};
