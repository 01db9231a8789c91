// The hand-off file of the audio converter ("merrow"): an INI file under a
// fixed name in the per-user temporary folder, section "zarvo". The job
// driver fills it and starts the converter, which reads it and writes the MP3
// of an intermediate AVI's sound.
#pragma once

#include <string>

#include "contracts/audio_hand_off.h"
#include "platform/temp_folder.h"

namespace korvan {

// Empty when the per-user temporary folder cannot be made.
inline std::string AudioHandOffPath() {
    return platform::TempFolder().empty() ? std::string()
                                          : platform::TempFolder() + audio_hand_off::kFileName;
}

// Marks for the conversion about to start: "run" = "0".
void BeginAudioHandOff(const std::string& handOffPath);
// "source" = the input now being converted.
void NoteAudioHandOffSource(const std::string& handOffPath, const std::string& input);
// "time1" and "time2", the part of the sound to keep, in seconds.
void NoteAudioHandOffTimes(const std::string& handOffPath, int startSeconds, int endSeconds);

// Hands the AVI to the converter in `programFolder` and waits until it has
// ended: "action" 1, "source" the AVI, "target" the MP3, "2mp3" 1; then
// "2mp3" 0, and the hand-off file and the AVI are deleted. True when the
// converter ended well and the MP3 is there.
bool ConvertAviSoundToMp3(const std::string& handOffPath, const std::string& programFolder,
                          const std::string& avi, const std::string& mp3);

}  // namespace korvan
