// An audio elementary stream of any content handed to the multiplexer: the
// scan refuses it with a message or counts frames that fill the file.
#include "korvan/mpegenc/mux/audio_scanner.h"
#include "tests/fuzz/fuzz_input.h"

void FuzzInput(const uint8_t* data, size_t size) {
    if (size >= 6) {
        korvan::mux::AudioFrameHeader header;
        if (korvan::mux::ParseAudioFrameHeader(data, header)) FUZZ_CHECK(header.frameBytes > 0);
    }
    const std::string path = fuzz::WriteScratchFile(
        "audio.mp2", std::string_view(reinterpret_cast<const char*>(data), size));
    korvan::mux::EsFile es;
    FUZZ_CHECK(es.Open(path));
    korvan::mux::QuietMuxHost host;
    korvan::mux::ProgressThrottle progress(host);
    korvan::mux::AudioFacts facts;
    const korvan::Status result = korvan::mux::ScanAudioStream(
        es, path, fuzz::ScratchFolder() + "audio.units", progress, facts);
    FUZZ_CHECK(result.IsOk() || !result.message.empty());
    if (result.IsOk()) FUZZ_CHECK(facts.frames > 0);
}
