// A video elementary stream of any content handed to the multiplexer: the
// scan refuses it with a message or describes pictures it really holds.
#include "korvan/mpegenc/mux/video_scanner.h"
#include "tests/fuzz/fuzz_input.h"

void FuzzInput(const uint8_t* data, size_t size) {
    fuzz::InputFields fields(data, size);
    const uint8_t choice = fields.Byte();
    const std::string path = fuzz::WriteScratchFile("video.m2v", fields.Rest());
    korvan::mux::EsFile es;
    FUZZ_CHECK(es.Open(path));
    korvan::mux::VideoScanOptions options;
    options.detectPulldown = choice & 1;
    options.findScanUserData = choice & 2;
    korvan::mux::QuietMuxHost host;
    korvan::mux::ProgressThrottle progress(host);
    korvan::mux::VideoFacts facts;
    const korvan::Status result = korvan::mux::ScanVideoStream(
        es, path, fuzz::ScratchFolder() + "video.units", options, progress, facts);
    FUZZ_CHECK(result.IsOk() || !result.message.empty());
    if (result.IsOk()) {
        FUZZ_CHECK(facts.pictures > 0);
        FUZZ_CHECK(facts.streamBytes <= es.Size());
    }
}
