// RealVideo test clips made with ffmpeg: RealVideo 2 pictures of the moving
// test pattern (sizes a multiple of 4) with AC-3 sound of a 440 Hz tone.
#pragma once

#include <string>

#include "tests/support/media_tools.h"

namespace test {

inline bool MakeRealVideoClip(const std::string& path, double seconds,
                              const std::string& size = "160x120") {
    const std::string length = std::to_string(seconds);
    int exitCode = -1;
    RunTool("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=" + size + ":rate=25:duration=" +
                length + " -f lavfi -i sine=frequency=440:duration=" + length +
                " -c:v rv20 -c:a ac3 -f rm " + Quoted(path),
            &exitCode);
    return exitCode == 0;
}

// Decodes the whole file; the error lines ffmpeg prints (none for a good
// file), or why it did not run to the end.
inline std::string DecodeErrors(const std::string& path) {
    int exitCode = -1;
    const std::string errors =
        RunTool("ffmpeg -nostdin -v error -i " + Quoted(path) + " -f null -", &exitCode);
    return exitCode == 0 ? errors : "exit " + std::to_string(exitCode) + ": " + errors;
}

}  // namespace test
