// Packet choice and output: which stream sends next, and the packs that
// carry it, padding and navigation.
#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "korvan/mpegenc/mux/multiplexer_run.h"

namespace korvan::mux {

namespace {

// Audio goes ahead of video once its next frame is due this soon.
constexpr double kAudioDueTicks = 0.1 * kTicksPerSecond;
// A clock jump of the variable-rate mode leaves at least this much time
// before the next video and audio units are due.
constexpr double kVideoLeadTicks = 0.5 * kTicksPerSecond;
constexpr double kAudioLeadTicks = 0.1 * kTicksPerSecond;
// The fourth pack of a VideoCD stream carries audio.
constexpr uint64_t kVcdAudioPack = 3;
constexpr size_t kVcdAudioPaddingZeros = 20;
constexpr size_t kLargestStuffing = 6;

}  // namespace

SystemHeaderFields Multiplexer::SystemHeader() const {
    SystemHeaderFields fields;
    const bool mpeg1 = syntax_ == SystemSyntax::kMpeg1;
    fields.rateBound = muxRate_;
    fields.audioBound = audioCount_;
    fields.videoBound = video_ ? 1 : 0;
    fields.constrained = mpeg1;
    fields.audioLock = mpeg1;
    fields.videoLock = mpeg1;
    for (const auto& stream : streams_) {
        BufferBound bound = stream->StdBuffer();
        auto same =
            std::find_if(fields.bounds.begin(), fields.bounds.end(),
                         [&](const BufferBound& b) { return b.streamId == bound.streamId; });
        // Two AC-3 streams share private stream 1 and one entry.
        if (same != fields.bounds.end()) {
            same->size += bound.size;
        } else {
            fields.bounds.push_back(bound);
        }
    }
    return fields;
}

Status Multiplexer::Choose(size_t roomBytes, double scr, Candidate& chosen) {
    candidates_.clear();
    PlanRules rules;
    rules.syntax = syntax_;
    rules.frameTimestamps = settings_.frameTimestamps;
    rules.alignSequenceHeaders = settings_.alignSequenceHeaders != 0;
    rules.originalOrCopy = IsSvcd();
    for (size_t i = 0; i < streams_.size(); ++i) {
        MuxStream& stream = *streams_[i];
        if (!stream.HasData()) continue;
        // VideoCD and SuperVCD players want the buffer size in every packet.
        rules.stdBuffer = !stdSent_[i] || IsVcd() || IsSvcd();
        bool readFailed = false;
        Candidate candidate;
        candidate.stream = &stream;
        candidate.index = static_cast<int>(i);
        candidate.plan = stream.Plan(roomBytes, rules, readFailed);
        if (readFailed) return UnitReadFailed(stream);
        const PacketPlan& plan = candidate.plan;
        candidate.canSend =
            plan.valid &&
            stream.Buffer().OccupancyAt(scr) + plan.dataBytes <= stream.Buffer().Capacity() &&
            plan.lastRemoval - scr <= kLongestWaitTicks;
        candidates_.push_back(std::move(candidate));
    }

    const Candidate* pick = nullptr;
    const auto earliestAudio = [&](double within) {
        const Candidate* best = nullptr;
        for (const Candidate& c : candidates_) {
            if (c.stream->IsVideo() || !c.canSend || c.plan.firstRemoval - scr >= within) continue;
            if (!best || c.plan.firstRemoval < best->plan.firstRemoval) best = &c;
        }
        return best;
    };
    if (IsVcd() && packInFile_ == kVcdAudioPack) pick = earliestAudio(kInfinity);
    if (!pick) pick = earliestAudio(kAudioDueTicks);
    if (!pick) {
        for (const Candidate& c : candidates_) {
            if (c.stream->IsVideo() && c.canSend) pick = &c;
        }
    }
    if (!pick) pick = earliestAudio(kInfinity);
    chosen = pick ? *pick : Candidate{};
    return Status::Ok();
}

void Multiplexer::Jump(double scr) {
    // Skip the time in which no stream could send, in whole pack intervals:
    // up to when the first stream can, but never so far that the next video
    // or audio unit is due sooner than its lead.
    double target = kInfinity;
    for (const Candidate& c : candidates_) {
        if (!c.plan.valid) continue;
        const double room = c.stream->Buffer().TimeWhenRoomFor(c.plan.dataBytes);
        target = std::min(target, std::max(room, c.plan.lastRemoval - kLongestWaitTicks));
    }
    for (const Candidate& c : candidates_) {
        if (!c.plan.valid) continue;
        const double lead = c.stream->IsVideo() ? kVideoLeadTicks : kAudioLeadTicks;
        target = std::min(target, c.plan.firstRemoval - lead);
    }
    int64_t packs = 1;
    if (std::isfinite(target) && target > scr)
        packs = std::max<int64_t>(1, static_cast<int64_t>(std::floor((target - scr) / scrStep_)));
    scrSlot_ += packs;
    ++report_.statistics.scrJumps;
}

Status Multiplexer::WriteNextPack() {
    const double scr = Scr();
    if (IsDvd() && packInFile_ == 0) {
        if (video_ && video_->AtUnitStart()) {
            VideoUnit unit;
            if (video_->Next() < video_->UnitCount() &&
                video_->ReadVideoUnit(video_->Next(), unit) && unit.type == kPictureI) {
                navigationUnit_ = video_->Next();
            }
        }
        return WriteNavigationPack(scr);
    }
    const bool systemHeader = (packInFile_ == 0 && !IsDvd()) || settings_.alwaysWriteSysHeader;
    const size_t packHeader =
        PackHeaderBytes(syntax_) + (systemHeader ? SystemHeaderBytes(SystemHeader()) : 0);
    const size_t room = sectorBytes_ - packHeader;
    const size_t slotRoom = room / static_cast<size_t>(packetsPerPack_);

    Candidate chosen;
    Status step = Choose(packetsPerPack_ == 1 ? room : slotRoom, scr, chosen);
    if (!step.IsOk()) return step;
    if (!chosen.stream) {
        if (settings_.vbrMultiplex) {
            Jump(scr);
            return Status::Ok();
        }
        return WritePaddingPack(scr, systemHeader);
    }
    if (IsDvd() && chosen.stream->IsVideo() && chosen.plan.containsIStart &&
        navigationUnit_ != chosen.plan.iStartUnit) {
        navigationUnit_ = chosen.plan.iStartUnit;
        return WriteNavigationPack(scr);
    }

    BitWriter out;
    WritePackHeader(out, syntax_, scr, muxRate_);
    if (systemHeader) WriteSystemHeader(out, syntax_, SystemHeader());
    size_t left = room;
    for (int slot = 0; slot < packetsPerPack_; ++slot) {
        const size_t slotBytes = slot + 1 == packetsPerPack_ ? left : slotRoom;
        if (slot > 0) {
            step = Choose(slotBytes, scr, chosen);
            if (!step.IsOk()) return step;
            if (!chosen.stream) {
                WritePaddingPacket(out, syntax_, left);
                lastPadding_ = left;
                left = 0;
                break;
            }
        }
        step = WritePacket(out, chosen, slotBytes, scr);
        if (!step.IsOk()) return step;
        left -= slotBytes;
    }
    step = WriteOut(out);
    if (!step.IsOk()) return step;
    ++scrSlot_;
    ++packInFile_;
    ++report_.statistics.packs;
    return Status::Ok();
}

Status Multiplexer::WritePacket(BitWriter& out, Candidate& chosen, size_t roomBytes, double scr) {
    PacketPlan& plan = chosen.plan;
    MuxStream& stream = *chosen.stream;
    const size_t used = plan.headerBytes + plan.subHeaderBytes + plan.dataBytes;
    const size_t rest = roomBytes - used;
    if (rest <= kLargestStuffing) plan.header.stuffingBytes = static_cast<int>(rest);
    if (!stream.ReadPlannedData(plan, data_))
        return Status::Failed("Error reading from an input file.");
    WritePacketHeader(out, syntax_, plan.header, data_.size());
    for (uint8_t byte : data_) out.Put(byte, 8);
    lastPadding_ = 0;
    if (rest > kLargestStuffing) {
        WritePaddingPacket(out, syntax_, rest);
        lastPadding_ = rest;
    }

    stream.Commit(plan, scr);
    stdSent_[static_cast<size_t>(chosen.index)] = true;
    if (scanOffsets_ && stream.IsVideo() && plan.containsIStart) {
        const uint32_t pack = static_cast<uint32_t>(packInFile_);
        const uint8_t bytes[4] = {static_cast<uint8_t>(pack), static_cast<uint8_t>(pack >> 8),
                                  static_cast<uint8_t>(pack >> 16),
                                  static_cast<uint8_t>(pack >> 24)};
        if (::write(scanPacks_.get(), bytes, sizeof bytes) != static_cast<ssize_t>(sizeof bytes)) {
            return Status::Failed(
                FormatText("Unable to write to SVCD temporary file %s.", scanPacksPath_.c_str()));
        }
    }
    return Status::Ok();
}

Status Multiplexer::WritePaddingPack(double scr, bool systemHeader) {
    BitWriter out;
    WritePackHeader(out, syntax_, scr, muxRate_);
    if (systemHeader) WriteSystemHeader(out, syntax_, SystemHeader());
    const size_t rest = sectorBytes_ - out.Bytes().size();
    if (IsVcd() && !video_ && settings_.padVCDAudio) {
        WritePaddingPacket(out, syntax_, rest - kVcdAudioPaddingZeros);
        for (size_t i = 0; i < kVcdAudioPaddingZeros; ++i) out.Put(0, 8);
    } else {
        WritePaddingPacket(out, syntax_, rest);
        lastPadding_ = rest;
    }
    Status step = WriteOut(out);
    if (!step.IsOk()) return step;
    ++scrSlot_;
    ++packInFile_;
    ++report_.statistics.packs;
    ++report_.statistics.paddingPacks;
    return Status::Ok();
}

Status Multiplexer::WriteNavigationPack(double scr) {
    BitWriter out;
    korvan::mux::WriteNavigationPack(out, scr, muxRate_, sectorBytes_,
                                     settings_.usePrivateStream2
                                         ? NavigationContent::kPrivateStream2
                                         : NavigationContent::kPadding);
    Status step = WriteOut(out);
    if (!step.IsOk()) return step;
    ++scrSlot_;
    ++packInFile_;
    ++report_.statistics.packs;
    ++report_.statistics.navigationPacks;
    return Status::Ok();
}

}  // namespace korvan::mux
