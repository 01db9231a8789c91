// A walk over an MPEG program stream's packs and packets, to tell a DVD
// program stream (one 2048-byte pack per sector, each VOBU led by a
// navigation pack) from other MPEG files, and a whole file from a damaged
// one: in a sound stream every pack and packet follows the one before,
// at most with a run of zero bytes between them (a VideoCD fills each
// sector after its padding packet with zeros), so garbage shows as the
// first byte that is neither such filler nor the start of a unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace foximager {

struct ProgramStreamFacts {
    bool startsWithPack = false;  // the file begins with a pack header
    bool mpeg2Packs = false;      // ... of MPEG-2 syntax
    bool navigationPack = false;  // the first pack holds private stream 2 (DVD navigation)
    bool sectorPacks = true;      // every pack starts on a 2048-byte boundary
    // A packet of an MPEG audio stream or of private stream 1 (AC-3, DTS,
    // LPCM, or subpictures) was seen.
    bool soundPackets = false;
    std::optional<std::uint64_t> damagedAt;  // the first byte that starts no unit
};

// Takes the file's bytes piece by piece, as they are read, and looks only at
// the headers of the packs and packets. A pure function of the bytes.
class ProgramStreamScanner {
public:
    // The next bytes of the file; false once the walk is over (the chain
    // broken, or no program stream at all): the rest need not be read.
    bool Feed(std::span<const std::uint8_t> bytes);
    // The file has ended. A last unit cut short is no damage: the tools
    // drop it; nor are zeros after the last unit.
    const ProgramStreamFacts& Finish();

private:
    // The length of the pack or packet whose header has been gathered so
    // far: 0 while more header bytes are needed.
    std::size_t UnitLength() const;
    void StartUnit();
    void Damaged(std::uint64_t offset);
    // A byte between units: zero filler, or the prefix of the next unit.
    void TakeBetweenUnits(std::uint8_t byte);
    // A byte of the header of the unit at unitStart_.
    void TakeHeader(std::uint8_t byte);

    enum class State { kHeader, kPayload, kDone };
    State state_ = State::kHeader;
    std::vector<std::uint8_t> header_;  // of the unit at unitStart_; empty between units
    std::uint64_t zeros_ = 0;           // zero bytes since the last unit ended
    std::uint64_t unitStart_ = 0;
    std::uint64_t offset_ = 0;  // of the next byte fed
    std::uint64_t payloadLeft_ = 0;
    std::size_t packs_ = 0;
    ProgramStreamFacts facts_;
};

}  // namespace foximager
