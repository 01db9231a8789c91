// What the media layer's tests share: clips made with ffmpeg, ffmpeg's own
// decoding of one picture, and the comparison of pictures by luminance.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/media_tools.h"
#include "tests/support/temp_dir.h"

namespace test {

// A clip of the moving test pattern (25 Hz) with a 440 Hz tone, or without
// sound when `audioCodec` is empty.
inline bool MakeMediaClip(const std::string& path, double seconds, const std::string& size,
                          const std::string& videoCodec, const std::string& audioCodec,
                          const std::string& extra = "") {
    const std::string length = std::to_string(seconds);
    std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=" + size +
                          ":rate=25:duration=" + length;
    if (!audioCodec.empty()) {
        command += " -f lavfi -i sine=frequency=440:sample_rate=48000:duration=" + length +
                   " -c:a " + audioCodec;
    }
    command += " -c:v " + videoCodec + " " + extra + " " + Quoted(path);
    int exitCode = -1;
    RunTool(command, &exitCode);
    return exitCode == 0;
}

// One picture as ffmpeg decodes it: the first at or after `seconds`, as
// 24-bit rows, top row first; scaled to `size` ("WxH") when one is given.
inline std::vector<uint8_t> FfmpegPictureAt(const std::string& path, double seconds,
                                            const std::string& scratch,
                                            const std::string& size = "") {
    int exitCode = -1;
    RunTool("ffmpeg -nostdin -v error -y -ss " + std::to_string(seconds) + " -i " + Quoted(path) +
                " -frames:v 1" + (size.empty() ? "" : " -s " + size) +
                " -f rawvideo -pix_fmt bgr24 " + Quoted(scratch),
            &exitCode);
    if (exitCode != 0) return {};
    const std::string bytes = ReadFile(scratch);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

inline double Luma(const uint8_t* bgr) { return 0.114 * bgr[0] + 0.587 * bgr[1] + 0.299 * bgr[2]; }

// The luminance PSNR of a 32-bit bottom-up picture against a 24-bit top-down
// one of the same size; 0 when the sizes differ.
inline double LumaPsnr(const uint8_t* bottomUpBgrx, const std::vector<uint8_t>& topDownBgr,
                       int width, int height) {
    if (topDownBgr.size() != static_cast<std::size_t>(width) * height * 3) return 0;
    double sum = 0;
    for (int y = 0; y < height; ++y) {
        const uint8_t* ours = bottomUpBgrx + static_cast<std::size_t>(height - 1 - y) * width * 4;
        const uint8_t* theirs = topDownBgr.data() + static_cast<std::size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            const double d = Luma(ours + 4 * x) - Luma(theirs + 3 * x);
            sum += d * d;
        }
    }
    const double mse = sum / (static_cast<double>(width) * height);
    return mse <= 1e-9 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace test
