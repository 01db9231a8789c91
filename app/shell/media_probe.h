// What the main window learns about an input before converting it: its
// length for the file list and, for a DVD title, its audio streams.
#pragma once

#include <string>
#include <vector>

struct ProbedMedia {
    double durationSeconds = 0;  // 0 when unknown or unreadable
    std::string audioCodec;      // the encoder's text for the first audio stream
    // One line of the encoder's stream listing per audio stream that carries
    // an id in brackets ("Stream #0:2[0x80]: Audio: ac3, ...").
    std::vector<std::string> audioStreamLines;
};

class MediaProbe {
public:
    virtual ~MediaProbe() = default;
    virtual ProbedMedia Probe(const std::string& path) = 0;
};
