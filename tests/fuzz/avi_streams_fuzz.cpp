// A file of any content read as an AVI for its streams: the check ends in
// one of its answers, and the answer agrees with the streams it found.
#include "korvan/media/avi_stream_check.h"
#include "tests/fuzz/fuzz_input.h"

namespace media = korvan::media;

void FuzzInput(const uint8_t* data, size_t size) {
    const fuzz::MemoryFile file(data, size);
    const media::AviStreams streams = media::CheckAviStreams(file.Path());
    switch (streams.check) {
        case media::AviStreamCheck::kReadable:
            FUZZ_CHECK(streams.hasVideo || streams.hasAudio);
            break;
        case media::AviStreamCheck::kNoVideoInfo:
        case media::AviStreamCheck::kNoFrameDecoder:
            FUZZ_CHECK(streams.hasVideo);
            break;
        case media::AviStreamCheck::kNoStreams:
        case media::AviStreamCheck::kCannotOpen:
            FUZZ_CHECK(!streams.hasVideo && !streams.hasAudio);
            break;
    }
}
