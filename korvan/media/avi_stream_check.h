// What reading a file as an AVI finds before its pictures are read: whether
// it is an AVI at all, its first video stream's facts and a decoder for
// them, and its first audio stream.
#pragma once

#include <cstdint>
#include <string>

namespace korvan::media {

enum class AviStreamCheck {
    kReadable,
    kCannotOpen,      // missing, unreadable, or not an AVI
    kNoVideoInfo,     // a video stream without its picture size
    kNoFrameDecoder,  // a video stream no decoder here can read
    kNoStreams,       // neither a video nor an audio stream
};

struct AviStreams {
    AviStreamCheck check = AviStreamCheck::kCannotOpen;
    uint32_t videoHandler = 0;  // the video stream's FOURCC, lowest byte first
    bool hasVideo = false;
    bool hasAudio = false;
};

AviStreams CheckAviStreams(const std::string& path);

}  // namespace korvan::media
