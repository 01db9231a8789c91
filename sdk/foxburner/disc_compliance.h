// Whether an MPEG file can be a VideoCD or SuperVCD track: the rules of the
// two formats for the multiplex, the picture, the frame rate, the video bit
// rate and the sound, and vcdimager's own verdict on the file.
#pragma once

#include <string>
#include <string_view>

#include "sdk/foxburner/stream_facts.h"

namespace foxburner {

enum class VideoDiscFormat { kVideoCd, kSuperVcd };

// vcdimager's name of the format ("vcd2", "svcd").
std::string_view VcdImagerType(VideoDiscFormat format);

// Why the stream cannot be a track of the format, or "" when it can.
std::string ComplianceProblem(const StreamFacts& facts, VideoDiscFormat format);

// vcdimager's verdict from what it printed and its exit status: "" when it
// accepts the file, else its complaint. It exits 0 after most complaints, so
// its "WARN" lines that say what the format requires count as refusals;
// warnings about what it mends itself (padding, scan offsets, names) do not.
std::string VcdImagerProblem(std::string_view output, int exitCode);

}  // namespace foxburner
