// What the console text of ffmpeg tells about an input.
#pragma once

#include <string>
#include <vector>

// How the pictures of a video stream were taken: whole, or as two fields
// and which of them comes first in time.
enum class FieldOrder { kUnknown, kProgressive, kTopFirst, kBottomFirst };

// The picture of the video stream as the tool describes it.
struct PictureFacts {
    int widthPx = 0;  // 0 = not read
    int heightPx = 0;
    // The shape of one pixel, width:height ("SAR 4:3"); 1:1 when not said.
    int sampleAspectWidth = 1;
    int sampleAspectHeight = 1;
    // The turn a player (and ffmpeg) gives the picture before showing it,
    // in degrees as the tool prints it ("rotation of -90.00 degrees").
    int rotationDegrees = 0;
    FieldOrder fieldOrder = FieldOrder::kUnknown;
};

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
    bool streamInfoComplete = false;
    // Of the video stream whose codec is videoCodec.
    PictureFacts picture;
    // Audio streams the tool can read (codec not a bare zero tag).
    int audioStreamCount = 0;
};
