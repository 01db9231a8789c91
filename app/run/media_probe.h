// What the main window learns about an input before converting it: its
// length for the file list, its audio streams for a DVD title, its audio
// codec for the conversion queue.
#pragma once

#include <string>

#include "app/tools/media_info.h"

class MediaProbe {
public:
    virtual ~MediaProbe() = default;
    virtual MediaInfo Probe(const std::string& path) = 0;
    // Why the last tool run (a probe or any other) failed, in the tool's own
    // words; "" when nothing says.
    virtual std::string LastFailure() const { return {}; }
};
