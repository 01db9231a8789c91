// What merrow's hand-off file asks of it, read into a value, and the ffmpeg
// words that carry it out. Kept apart from the program so that the reading
// of a file someone else wrote can be tried on any bytes.
#pragma once

#include <string>
#include <vector>

#include "contracts/audio_hand_off.h"

namespace merrow {

struct Mp3Request {
    // audio_hand_off::kMp3Written when the file asks for an MP3 it names
    // well; else kNothingToDo, with the reason.
    int status = audio_hand_off::kNothingToDo;
    std::string refusal;
    std::string source;  // "source": the intermediate AVI
    std::string target;  // "target": the MP3
    // "time1" and "time2": the part of the sound to keep, in seconds; an end
    // not after the start keeps the sound to its end.
    int startSeconds = 0;
    int endSeconds = 0;
};

// Section "zarvo" of the hand-off file: "action" 1 and "2mp3" 1 ask for an
// MP3 of "source" written to "target".
Mp3Request ReadMp3Request(const std::string& handOffPath);

// ffmpeg's words for the request, writing the MP3 to `partial`. Paths are
// words of their own, so any path reaches ffmpeg whole.
std::vector<std::string> Mp3EncoderArguments(const Mp3Request& request, const std::string& partial);

}  // namespace merrow
