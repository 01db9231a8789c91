#include "sdk/foximager/program_stream_scan.h"

#include <algorithm>

namespace foximager {
namespace {

constexpr std::size_t kSectorBytes = 2048;
constexpr std::uint8_t kPackStart = 0xBA;
constexpr std::uint8_t kEndCode = 0xB9;
constexpr std::uint8_t kSystemHeader = 0xBB;
constexpr std::uint8_t kPrivateStream2 = 0xBF;
constexpr std::uint8_t kFirstPacketId = 0xBC;

bool IsStartCode(std::span<const std::uint8_t> b, std::size_t at) {
    return at + 4 <= b.size() && b[at] == 0 && b[at + 1] == 0 && b[at + 2] == 1;
}

bool OnlyZeros(std::span<const std::uint8_t> b) {
    return std::all_of(b.begin(), b.end(), [](std::uint8_t byte) { return byte == 0; });
}

}  // namespace

ProgramStreamScanner::ProgramStreamScanner(std::span<const std::uint8_t> file) : file_(file) {
    facts_.startsWithPack = IsStartCode(file_, 0) && file_[3] == kPackStart;
    facts_.sectorPacks = facts_.startsWithPack;
    if (!facts_.startsWithPack) {
        done_ = true;
        return;
    }
    facts_.mpeg2Packs = file_.size() > 4 && (file_[4] & 0xC0) == 0x40;
}

std::optional<std::size_t> ProgramStreamScanner::UnitLength() const {
    const auto b = file_;
    const std::size_t at = position_;
    if (!IsStartCode(b, at)) return std::nullopt;
    const std::uint8_t id = b[at + 3];
    if (id == kEndCode) return 4;
    if (id == kPackStart) {
        if (at + 5 > b.size()) return b.size() - at;
        if ((b[at + 4] & 0xC0) == 0x40) {
            if (at + 14 > b.size()) return b.size() - at;
            return 14 + (b[at + 13] & 0x07);
        }
        if ((b[at + 4] & 0xF0) == 0x20) return 12;
        return std::nullopt;
    }
    if (id == kSystemHeader || id >= kFirstPacketId) {
        if (at + 6 > b.size()) return b.size() - at;
        return 6 + (static_cast<std::size_t>(b[at + 4]) << 8 | b[at + 5]);
    }
    return std::nullopt;
}

bool ProgramStreamScanner::ScanTo(std::size_t offset) {
    while (!done_ && position_ < offset) {
        // A file cut inside a start code ends here as well.
        if (file_.size() - position_ < 4) {
            done_ = true;
            break;
        }
        const std::optional<std::size_t> length = UnitLength();
        if (!length) {
            // Zeros after the last packet are padding, as some writers leave.
            if (!OnlyZeros(file_.subspan(position_))) facts_.damagedAt = position_;
            done_ = true;
            break;
        }
        const std::uint8_t id = file_[position_ + 3];
        if (id == kPackStart) {
            ++packs_;
            if (position_ % kSectorBytes != 0) facts_.sectorPacks = false;
        } else if (id == kPrivateStream2 && packs_ == 1) {
            facts_.navigationPack = true;
        }
        // A last packet cut short is tolerated: the tools drop it.
        position_ = std::min(file_.size(), position_ + *length);
    }
    return !done_;
}

}  // namespace foximager
