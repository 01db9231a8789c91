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

#include "hosts/merrow/mp3_request.h"
#include "korvan/entry/audio_hand_off.h"
#include "platform/child_process.h"

namespace {

int Fail(const std::string& text, int code) {
    std::fprintf(stderr, "merrow: %s\n", text.c_str());
    return code;
}

}  // namespace

int main() {
    const std::string handOff = korvan::AudioHandOffPath();
    if (handOff.empty()) {
        return Fail("no private temporary folder for the hand-off file",
                    audio_hand_off::kNothingToDo);
    }
    const merrow::Mp3Request request = merrow::ReadMp3Request(handOff);
    if (request.status != audio_hand_off::kMp3Written) return Fail(request.refusal, request.status);
    if (access(request.source.c_str(), R_OK) != 0) {
        return Fail("cannot read " + request.source, audio_hand_off::kConversionFailed);
    }

    // Written under a name of its own first, so that a failure leaves no
    // half MP3 under the target's name.
    const std::string partial = request.target + ".part";
    platform::ChildProcess ffmpeg;
    if (ffmpeg.StartArguments(merrow::Mp3EncoderArguments(request, partial), "") !=
        platform::StartResult::kStarted) {
        return Fail("cannot start ffmpeg", audio_hand_off::kConversionFailed);
    }
    std::string said;
    char buffer[4096];
    while (const std::size_t got = ffmpeg.ReadOutput(buffer, sizeof buffer))
        said.append(buffer, got);
    const platform::ChildExit exit = ffmpeg.Finish(std::chrono::seconds(5));
    if (exit.how != platform::ChildExit::How::kExited || exit.code != 0) {
        unlink(partial.c_str());
        return Fail("ffmpeg could not make the MP3 of " + request.source + ": " + said,
                    audio_hand_off::kConversionFailed);
    }
    if (std::rename(partial.c_str(), request.target.c_str()) != 0) {
        unlink(partial.c_str());
        return Fail("cannot write " + request.target, audio_hand_off::kConversionFailed);
    }
    return audio_hand_off::kMp3Written;
}
