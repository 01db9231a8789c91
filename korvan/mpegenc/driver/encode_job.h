// One encode as its caller describes it: the input's streams and the output
// program stream.
#pragma once

#include <string>

namespace korvan {

struct EncodeJob {
    bool hasVideo = false;
    int width = 0;   // pels
    int height = 0;  // pels
    long long firstPicture = 0;
    long long lastPicture = 0;

    bool hasAudio = false;
    int sampleRateHz = 0;
    bool stereo = true;
    int bitsPerSample = 0;
    long long firstSample = 0;
    long long lastSample = 0;

    // The program stream's path (may be empty: the encode then picks a name).
    std::string outputPath;
};

}  // namespace korvan
