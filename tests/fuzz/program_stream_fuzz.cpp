// A file of any content walked as an MPEG program stream, as the DVD image
// library checks a title: the walk ends, a damage it finds lies inside the
// file of a stream that began with a pack, and the facts do not depend on
// how the file was cut into the pieces it was read in (the first byte's
// choice).
#include <cstdint>
#include <span>

#include "sdk/foximager/program_stream_scan.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

foximager::ProgramStreamFacts Walk(std::span<const uint8_t> bytes, size_t piece) {
    foximager::ProgramStreamScanner scanner;
    for (size_t at = 0; at < bytes.size(); at += piece) {
        if (!scanner.Feed(bytes.subspan(at, std::min(piece, bytes.size() - at)))) break;
    }
    return scanner.Finish();
}

}  // namespace

void FuzzInput(const uint8_t* data, size_t size) {
    fuzz::InputFields fields(data, size);
    const size_t piece = 1 + fields.Byte() % 97;
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(fields.Rest().data()),
                                         fields.Rest().size());
    const foximager::ProgramStreamFacts whole = Walk(bytes, bytes.size() + 1);
    const foximager::ProgramStreamFacts cut = Walk(bytes, piece);
    if (whole.damagedAt) {
        FUZZ_CHECK(whole.startsWithPack);
        FUZZ_CHECK(*whole.damagedAt < bytes.size());
        // Damage is a byte that is neither zero filler nor a start code's
        // first, or a start code of no unit (or of a pack of no MPEG).
        const size_t at = static_cast<size_t>(*whole.damagedAt);
        FUZZ_CHECK(bytes[at] != 0 ||
                   (at + 3 < bytes.size() && bytes[at + 1] == 0 && bytes[at + 2] == 1));
    }
    if (!whole.startsWithPack) FUZZ_CHECK(!whole.sectorPacks && !whole.navigationPack);
    FUZZ_CHECK(cut.damagedAt == whole.damagedAt);
    FUZZ_CHECK(cut.startsWithPack == whole.startsWithPack);
    FUZZ_CHECK(cut.mpeg2Packs == whole.mpeg2Packs);
    FUZZ_CHECK(cut.navigationPack == whole.navigationPack);
    FUZZ_CHECK(cut.sectorPacks == whole.sectorPacks);
    FUZZ_CHECK(cut.soundPackets == whole.soundPackets);
}
