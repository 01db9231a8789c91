// A walk over an MPEG program stream's packs and packets, to tell a DVD
// program stream (one 2048-byte pack per sector, each VOBU led by a
// navigation pack) from other MPEG files, and a whole file from a damaged
// one: in a sound stream every pack and packet follows the one before
// exactly, so garbage shows as the first place where no start code stands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace foximager {

struct ProgramStreamFacts {
    bool startsWithPack = false;  // the file begins with a pack header
    bool mpeg2Packs = false;      // ... of MPEG-2 syntax
    bool navigationPack = false;  // the first pack holds private stream 2 (DVD navigation)
    bool sectorPacks = true;      // every pack starts on a 2048-byte boundary
    std::optional<std::uint64_t> damagedAt;  // the offset where the chain breaks
};

// Walks the bytes of a whole file in steps, so a caller can report progress
// between them. A pure function of the bytes.
class ProgramStreamScanner {
public:
    explicit ProgramStreamScanner(std::span<const std::uint8_t> file);

    // Walks on until at least `offset` (or the end); false once the walk is
    // over: the end reached, the chain broken, or no program stream at all.
    bool ScanTo(std::size_t offset);
    std::size_t Position() const { return position_; }
    const ProgramStreamFacts& Facts() const { return facts_; }

private:
    // The length of the pack or packet at position_, or nothing when none
    // starts there.
    std::optional<std::size_t> UnitLength() const;

    std::span<const std::uint8_t> file_;
    std::size_t position_ = 0;
    std::size_t packs_ = 0;
    bool done_ = false;
    ProgramStreamFacts facts_;
};

}  // namespace foximager
