#include "hosts/merrow/mp3_request.h"

#include "contracts/audio_hand_off.h"
#include "platform/private_profile.h"

namespace merrow {
namespace {

constexpr std::size_t kPathBufferSize = 4096;

std::string ReadText(const std::string& handOff, const char* key) {
    return platform::GetPrivateProfileString(audio_hand_off::kSection, key, "", kPathBufferSize,
                                             handOff);
}

int ReadInt(const std::string& handOff, const char* key) {
    return platform::GetPrivateProfileInt(audio_hand_off::kSection, key, 0, handOff);
}

Mp3Request Refused(std::string reason) {
    Mp3Request request;
    request.refusal = std::move(reason);
    return request;
}

}  // namespace

Mp3Request ReadMp3Request(const std::string& handOffPath) {
    if (ReadInt(handOffPath, audio_hand_off::kActionKey) != 1 ||
        ReadInt(handOffPath, audio_hand_off::kToMp3Key) != 1) {
        return Refused("the hand-off file " + handOffPath + " asks for no MP3");
    }
    Mp3Request request;
    request.source = ReadText(handOffPath, audio_hand_off::kSourceKey);
    request.target = ReadText(handOffPath, audio_hand_off::kTargetKey);
    if (request.source.empty() || request.target.empty() || request.source == request.target) {
        return Refused("the hand-off file names no source and target");
    }
    request.startSeconds = ReadInt(handOffPath, audio_hand_off::kStartTimeKey);
    request.endSeconds = ReadInt(handOffPath, audio_hand_off::kEndTimeKey);
    request.status = audio_hand_off::kMp3Written;
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
