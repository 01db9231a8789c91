#include "korvan/entry/audio_hand_off.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "korvan/media/media_trace.h"
#include "platform/child_process.h"
#include "platform/private_profile.h"

namespace korvan {
namespace {

void Write(const std::string& handOffPath, const char* key, const std::string& value) {
    if (handOffPath.empty()) return;
    platform::WritePrivateProfileString(audio_hand_off::kSection, key, value, handOffPath);
}

bool IsNonEmptyFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
}

}  // namespace

void BeginAudioHandOff(const std::string& handOffPath) {
    Write(handOffPath, audio_hand_off::kRunKey, "0");
}

void NoteAudioHandOffSource(const std::string& handOffPath, const std::string& input) {
    Write(handOffPath, audio_hand_off::kSourceKey, input);
}

void NoteAudioHandOffTimes(const std::string& handOffPath, int startSeconds, int endSeconds) {
    Write(handOffPath, audio_hand_off::kStartTimeKey, std::to_string(startSeconds));
    Write(handOffPath, audio_hand_off::kEndTimeKey, std::to_string(endSeconds));
}

bool ConvertAviSoundToMp3(const std::string& handOffPath, const std::string& programFolder,
                          const std::string& avi, const std::string& mp3) {
    if (handOffPath.empty()) return false;
    Write(handOffPath, audio_hand_off::kActionKey, "1");
    Write(handOffPath, audio_hand_off::kSourceKey, avi);
    Write(handOffPath, audio_hand_off::kTargetKey, mp3);
    Write(handOffPath, audio_hand_off::kToMp3Key, "1");

    // The converter's own words go where the library's traces go.
    platform::ChildProcess converter;
    bool converted = false;
    const std::string command = "\"" + programFolder + audio_hand_off::kConverterName + "\"";
    if (converter.Start(command, programFolder) == platform::StartResult::kStarted) {
        char buffer[4096];
        while (const std::size_t got = converter.ReadOutput(buffer, sizeof buffer)) {
            std::fwrite(buffer, 1, got, stdout);
        }
        std::fflush(stdout);
        const platform::ChildExit exit = converter.Finish(std::chrono::seconds(5));
        converted = exit.how == platform::ChildExit::How::kExited &&
                    exit.code == audio_hand_off::kMp3Written && IsNonEmptyFile(mp3);
    } else {
        media::Trace("Could not start %s%s.\n", programFolder.c_str(),
                     audio_hand_off::kConverterName);
    }
    Write(handOffPath, audio_hand_off::kToMp3Key, "0");
    unlink(handOffPath.c_str());
    unlink(avi.c_str());
    return converted;
}

}  // namespace korvan
