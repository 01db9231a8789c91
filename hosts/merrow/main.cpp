// merrow: the audio converter the conversion library hands its intermediate
// AVI files to. It reads the hand-off file (section "zarvo": "action" 1 and
// "2mp3" 1 ask for an MP3; "source" the AVI, "target" the MP3, "time1" and
// "time2" the part of the sound to keep, in seconds) and writes the MP3 with
// ffmpeg's libmp3lame. It exits with 0 when the MP3 is written, 1 when the
// conversion failed, 2 when the hand-off asks for nothing it can do.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "korvan/entry/audio_hand_off.h"
#include "platform/child_process.h"
#include "platform/private_profile.h"

namespace {

constexpr std::size_t kPathBufferSize = 4096;

std::string ReadText(const std::string& handOff, const char* key) {
    return platform::GetPrivateProfileString(korvan::kHandOffSection, key, "", kPathBufferSize,
                                             handOff);
}

int ReadInt(const std::string& handOff, const char* key) {
    return platform::GetPrivateProfileInt(korvan::kHandOffSection, key, 0, handOff);
}

int Fail(const std::string& text, int code) {
    std::fprintf(stderr, "merrow: %s\n", text.c_str());
    return code;
}

std::string Word(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

int main() {
    const std::string handOff = korvan::AudioHandOffPath();
    if (handOff.empty()) return Fail("no private temporary folder for the hand-off file", 2);
    if (ReadInt(handOff, "action") != 1 || ReadInt(handOff, "2mp3") != 1) {
        return Fail("the hand-off file " + handOff + " asks for no MP3", 2);
    }
    const std::string source = ReadText(handOff, "source");
    const std::string target = ReadText(handOff, "target");
    if (source.empty() || target.empty() || source == target) {
        return Fail("the hand-off file names no source and target", 2);
    }
    // Paths reach ffmpeg as quoted words; a quote inside one cannot.
    if (source.find('"') != std::string::npos || target.find('"') != std::string::npos) {
        return Fail("cannot pass a path with a double quote to ffmpeg", 1);
    }
    if (access(source.c_str(), R_OK) != 0) return Fail("cannot read " + source, 1);

    const int startSeconds = ReadInt(handOff, "time1");
    const int endSeconds = ReadInt(handOff, "time2");
    std::string window;
    if (startSeconds > 0) window += " -ss " + std::to_string(startSeconds);
    if (endSeconds > startSeconds) window += " -to " + std::to_string(endSeconds);
    // Written under a name of its own first, so that a failure leaves no
    // half MP3 under the target's name.
    const std::string partial = target + ".part";
    const std::string command = "ffmpeg -nostdin -v error -y" + window + " -i " + Word(source) +
                                " -vn -c:a libmp3lame -q:a 2 -f mp3 " + Word(partial);

    platform::ChildProcess ffmpeg;
    if (ffmpeg.Start(command, "") != platform::StartResult::kStarted) {
        return Fail("cannot start ffmpeg", 1);
    }
    std::string said;
    char buffer[4096];
    while (const std::size_t got = ffmpeg.ReadOutput(buffer, sizeof buffer))
        said.append(buffer, got);
    const platform::ChildExit exit = ffmpeg.Finish(std::chrono::seconds(5));
    if (exit.how != platform::ChildExit::How::kExited || exit.code != 0) {
        unlink(partial.c_str());
        return Fail("ffmpeg could not make the MP3 of " + source + ": " + said, 1);
    }
    if (std::rename(partial.c_str(), target.c_str()) != 0) {
        unlink(partial.c_str());
        return Fail("cannot write " + target, 1);
    }
    return 0;
}
