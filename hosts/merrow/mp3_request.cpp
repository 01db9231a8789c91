#include "hosts/merrow/mp3_request.h"

#include "korvan/entry/audio_hand_off.h"
#include "platform/private_profile.h"

namespace merrow {
namespace {

constexpr std::size_t kPathBufferSize = 4096;

std::string ReadText(const std::string& handOff, const char* key) {
    return platform::GetPrivateProfileString(korvan::kHandOffSection, key, "", kPathBufferSize,
                                             handOff);
}

int ReadInt(const std::string& handOff, const char* key) {
    return platform::GetPrivateProfileInt(korvan::kHandOffSection, key, 0, handOff);
}

Mp3Request Refused(std::string reason) {
    Mp3Request request;
    request.refusal = std::move(reason);
    return request;
}

}  // namespace

Mp3Request ReadMp3Request(const std::string& handOffPath) {
    if (ReadInt(handOffPath, "action") != 1 || ReadInt(handOffPath, "2mp3") != 1) {
        return Refused("the hand-off file " + handOffPath + " asks for no MP3");
    }
    Mp3Request request;
    request.source = ReadText(handOffPath, "source");
    request.target = ReadText(handOffPath, "target");
    if (request.source.empty() || request.target.empty() || request.source == request.target) {
        return Refused("the hand-off file names no source and target");
    }
    request.startSeconds = ReadInt(handOffPath, "time1");
    request.endSeconds = ReadInt(handOffPath, "time2");
    request.status = kMp3Written;
    return request;
}

std::vector<std::string> Mp3EncoderArguments(const Mp3Request& request,
                                             const std::string& partial) {
    std::vector<std::string> words = {"ffmpeg", "-nostdin", "-v", "error", "-y"};
    if (request.startSeconds > 0) {
        words.insert(words.end(), {"-ss", std::to_string(request.startSeconds)});
    }
    if (request.endSeconds > request.startSeconds) {
        words.insert(words.end(), {"-to", std::to_string(request.endSeconds)});
    }
    // "-i" names an input, and a path that begins with "-" must not read as
    // an option to the output: "file:" makes every path a file name.
    words.insert(words.end(), {"-i", "file:" + request.source, "-vn", "-c:a", "libmp3lame", "-q:a",
                               "2", "-f", "mp3", "file:" + partial});
    return words;
}

}  // namespace merrow
