// The head of an MPEG file of any content, as the burning stand-in checks a
// file for a VideoCD or SuperVCD: the facts it finds are within what the
// headers can code, and the verdict for either format is given.
#include "sdk/foxburner/disc_compliance.h"
#include "sdk/foxburner/stream_facts.h"
#include "tests/fuzz/fuzz_input.h"

void FuzzInput(const uint8_t* data, size_t size) {
    const foxburner::StreamFacts facts =
        foxburner::ReadStreamFacts(std::string_view(reinterpret_cast<const char*>(data), size));
    FUZZ_CHECK(facts.packVersion >= 0 && facts.packVersion <= 2);
    if (facts.video.found) {
        // Twelve bits each in the sequence header, fourteen with MPEG-2's
        // extension.
        FUZZ_CHECK(facts.video.width >= 0 && facts.video.width < (1 << 14));
        FUZZ_CHECK(facts.video.height >= 0 && facts.video.height < (1 << 14));
        FUZZ_CHECK(facts.video.bitRate >= 0);
    }
    if (facts.audio.found) FUZZ_CHECK(facts.audio.layer >= 1 && facts.audio.layer <= 3);
    foxburner::ComplianceProblem(facts, foxburner::VideoDiscFormat::kVideoCd);
    foxburner::ComplianceProblem(facts, foxburner::VideoDiscFormat::kSuperVcd);
}
