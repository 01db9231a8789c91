#include "sdk/foximager/program_stream_scan.h"

#include <algorithm>

namespace foximager {
namespace {

constexpr std::uint64_t kSectorBytes = 2048;
constexpr std::uint8_t kPackStart = 0xBA;
constexpr std::uint8_t kEndCode = 0xB9;
constexpr std::uint8_t kSystemHeader = 0xBB;
constexpr std::uint8_t kPrivateStream2 = 0xBF;
constexpr std::uint8_t kFirstPacketId = 0xBC;
constexpr std::uint8_t kPrivateStream1 = 0xBD;
constexpr std::uint8_t kFirstAudioId = 0xC0;
constexpr std::uint8_t kLastAudioId = 0xDF;

}  // namespace

std::size_t ProgramStreamScanner::UnitLength() const {
    const std::vector<std::uint8_t>& h = header_;
    if (h.size() < 4) return 0;
    const std::uint8_t id = h[3];
    if (id == kEndCode) return 4;
    if (id == kPackStart) {
        if (h.size() < 5) return 0;
        if ((h[4] & 0xF0) == 0x20) return 12;  // MPEG-1
        if (h.size() < 14) return 0;
        return 14 + (h[13] & 0x07);
    }
    if (h.size() < 6) return 0;
    return 6 + (static_cast<std::size_t>(h[4]) << 8 | h[5]);
}

void ProgramStreamScanner::Damaged(std::uint64_t offset) {
    facts_.damagedAt = offset;
    state_ = State::kDone;
}

void ProgramStreamScanner::StartUnit() {
    const std::uint8_t id = header_[3];
    if (id == kPackStart) {
        if (packs_++ == 0) facts_.mpeg2Packs = (header_[4] & 0xC0) == 0x40;
        if (unitStart_ % kSectorBytes != 0) facts_.sectorPacks = false;
    } else if (id == kPrivateStream2 && packs_ == 1) {
        facts_.navigationPack = true;
    } else if (id == kPrivateStream1 || (id >= kFirstAudioId && id <= kLastAudioId)) {
        facts_.soundPackets = true;
    }
}

void ProgramStreamScanner::TakeBetweenUnits(std::uint8_t byte) {
    const std::uint64_t at = offset_ - 1;
    if (!facts_.startsWithPack) {
        // The first unit starts the file, or it is no program stream at all.
        if (at < 2 && byte == 0) return;
        if (at == 2 && byte == 1) {
            unitStart_ = 0;
            header_ = {0, 0, 1};
        } else {
            state_ = State::kDone;
        }
        return;
    }
    if (byte == 0) {
        ++zeros_;
    } else if (byte == 1 && zeros_ >= 2) {
        // The run's last two zeros begin the next unit's start code.
        unitStart_ = at - 2;
        header_ = {0, 0, 1};
        zeros_ = 0;
    } else {
        Damaged(at);
    }
}

void ProgramStreamScanner::TakeHeader(std::uint8_t byte) {
    header_.push_back(byte);
    if (header_.size() == 4) {
        const std::uint8_t id = header_[3];
        const bool known =
            id == kEndCode || id == kPackStart || id == kSystemHeader || id >= kFirstPacketId;
        if (unitStart_ == 0) {
            facts_.startsWithPack = id == kPackStart;
            if (!facts_.startsWithPack) {
                state_ = State::kDone;
                return;
            }
        } else if (!known) {
            Damaged(unitStart_);
            return;
        }
    }
    if (header_.size() == 5 && header_[3] == kPackStart && (header_[4] & 0xC0) != 0x40 &&
        (header_[4] & 0xF0) != 0x20) {
        Damaged(unitStart_);
        return;
    }
    // The header is whole once its length is known; a packet's first
    // bytes are read as far as 14, which changes nothing.
    const std::size_t length = UnitLength();
    if (length == 0 || header_.size() < std::min<std::size_t>(length, 14)) return;
    StartUnit();
    payloadLeft_ = length - header_.size();
    header_.clear();
    if (payloadLeft_ > 0) state_ = State::kPayload;
}

bool ProgramStreamScanner::Feed(std::span<const std::uint8_t> bytes) {
    std::size_t i = 0;
    while (i < bytes.size() && state_ != State::kDone) {
        if (state_ == State::kPayload) {
            const std::uint64_t take = std::min<std::uint64_t>(payloadLeft_, bytes.size() - i);
            payloadLeft_ -= take;
            i += static_cast<std::size_t>(take);
            offset_ += take;
            if (payloadLeft_ == 0) state_ = State::kHeader;
            continue;
        }
        const std::uint8_t byte = bytes[i++];
        ++offset_;
        if (header_.empty()) {
            TakeBetweenUnits(byte);
        } else {
            TakeHeader(byte);
        }
    }
    return state_ != State::kDone;
}

const ProgramStreamFacts& ProgramStreamScanner::Finish() {
    if (!facts_.startsWithPack) facts_.sectorPacks = false;
    state_ = State::kDone;
    return facts_;
}

}  // namespace foximager
