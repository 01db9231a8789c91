#include "korvan/entry/frame_window.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/file_names.h"
#include "platform/private_profile.h"

namespace korvan {
namespace {

constexpr char kClipSection[] = "zarvo";

// A picture number as the window computes it: seconds times the rate,
// truncated, wrapped to 32 bits as the original's unsigned fields were (so
// a negative end becomes a very late one).
std::uint32_t FrameAt(double seconds, double framesPerSecond) {
    const double frames = std::trunc(seconds * framesPerSecond);
    if (!std::isfinite(frames)) return 0;
    return static_cast<std::uint32_t>(
        static_cast<std::int64_t>(std::clamp(frames, -2147483648.0, 4294967295.0)));
}

// Start no earlier than the input's first picture, end no later than its
// last; a start past the end is brought back to it, so that a window beyond
// the input converts its last picture rather than a negative count.
FrameWindow Clamp(std::uint32_t start, std::uint32_t end, FrameWindow input) {
    start = std::max(start, input.first);
    end = std::min(end, input.last);
    return {std::min(start, end), end};
}

}  // namespace

std::string ClipFilePath(const std::string& exportFolder, const std::string& input) {
    return exportFolder + platform::BaseName(input) + ".clip";
}

ClipMarks ReadClipMarks(const std::string& clipPath) {
    return {platform::GetPrivateProfileInt(kClipSection, "time1", 0, clipPath),
            platform::GetPrivateProfileInt(kClipSection, "time2", 0, clipPath),
            platform::GetPrivateProfileInt(kClipSection, "duration", 0, clipPath)};
}

FrameWindow ClipFrameWindow(const ClipMarks& marks, double framesPerSecond, FrameWindow input) {
    const std::uint32_t start =
        marks.startSeconds != 0
            ? std::max(input.first, FrameAt(marks.startSeconds, framesPerSecond))
            : input.first;
    // Two pictures short of the stated length, as the trim marks were made.
    const std::uint32_t lengthEnd = FrameAt(marks.durationSeconds, framesPerSecond) - 2;
    const bool endMarked = marks.endSeconds != 0 && marks.endSeconds > marks.startSeconds;
    const std::uint32_t end =
        endMarked
            ? static_cast<std::uint32_t>(std::min<std::int64_t>(
                  static_cast<std::int32_t>(lengthEnd), FrameAt(marks.endSeconds, framesPerSecond)))
            : lengthEnd;
    return Clamp(start, end, input);
}

FrameWindow JobFrameWindow(FrameWindow clip, int startSeconds, int endSeconds,
                           double framesPerSecond, FrameWindow input) {
    if (startSeconds == endSeconds) return clip;
    if (endSeconds < startSeconds) std::swap(startSeconds, endSeconds);
    const std::uint32_t start = startSeconds != 0
                                    ? std::max(clip.first, FrameAt(startSeconds, framesPerSecond))
                                    : clip.first;
    const std::uint32_t end = endSeconds != 0 ? FrameAt(endSeconds, framesPerSecond) : input.last;
    return Clamp(start, end, input);
}

}  // namespace korvan
