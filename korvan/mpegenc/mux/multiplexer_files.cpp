// Files and splitting: program files are opened, split at GOPs when they
// grow too large, and ended with their end code and scan offsets.
#include <fcntl.h>

#include <algorithm>

#include "korvan/mpegenc/mux/multiplexer_run.h"
#include "korvan/mpegenc/mux/svcd_scan_offsets.h"

namespace korvan::mux {

namespace {

constexpr uint64_t kBytesPerMiB = 1048576;

}  // namespace

Status Multiplexer::OpenFile(const std::string& path) {
    if (!file_.Create(path))
        return Status::Failed(FormatText("Unable to open program file %s.", path.c_str()));
    report_.programFiles.push_back(path);
    if (scanOffsets_) {
        scanPacks_.Reset(
            ::open(scanPacksPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!scanPacks_) {
            return Status::Failed(FormatText("Unable to open SVCD scan offsets temporary file %s.",
                                             scanPacksPath_.c_str()));
        }
    }
    packInFile_ = 0;
    stdSent_.assign(streams_.size(), false);
    navigationUnit_ = ~uint64_t{0};
    splitArmed_ = false;
    audioCut_ = false;
    return Status::Ok();
}

bool Multiplexer::FileDone() {
    if (video_ && video_->HasData()) return false;
    // With continuous clocks a split file ends with its video and the frame
    // each audio stream is in; the rest of the audio goes on in the next file.
    if (splitArmed_ && video_ && !settings_.resetClocks && !audioCut_) {
        audioCut_ = true;
        for (auto& stream : streams_) {
            if (!stream->IsVideo())
                stream->SetLimit(stream->AtUnitStart() ? stream->Next() : stream->Next() + 1);
        }
    }
    return std::none_of(streams_.begin(), streams_.end(),
                        [](const auto& stream) { return stream->HasData(); });
}

bool Multiplexer::AllDone() const {
    for (size_t i = 0; i < streams_.size(); ++i) {
        if (streams_[i]->Next() < finalLimits_[i] || streams_[i]->HasData()) return false;
    }
    return true;
}

Status Multiplexer::ArmSplit() {
    if (settings_.maxFileSize <= 0 || splitArmed_ || noMoreSplits_) return Status::Ok();
    const double threshold =
        static_cast<double>(settings_.maxFileSize) * kBytesPerMiB - muxRate_ * 50.0;
    if (static_cast<double>(FileBytes()) < threshold) return Status::Ok();

    if (!video_) {
        for (auto& stream : streams_)
            stream->SetLimit(stream->AtUnitStart() ? stream->Next() : stream->Next() + 1);
        splitArmed_ = true;
        return Status::Ok();
    }
    // The next file begins with a GOP: at the first I picture not yet begun
    // that leaves this file at least one picture.
    uint64_t from = video_->AtUnitStart() ? video_->Next() : video_->Next() + 1;
    from = std::max(from, video_->FirstUnitOfFile() + 1);
    uint64_t split = 0;
    Status step = FindI(from, finalLimits_[0], -kInfinity, split);
    if (!step.IsOk()) return step;
    if (split >= finalLimits_[0]) {
        noMoreSplits_ = true;
        return Status::Ok();
    }
    bool ends = false;
    step = EndsWithSequenceEnd(split - 1, ends);
    if (!step.IsOk()) return step;
    video_->SetLimit(split);
    video_->SetEndCodePending(!ends);
    if (settings_.resetClocks) {
        // Each file holds the sound of its own pictures.
        double cut = 0;
        step = GroupStart(split, cut);
        if (!step.IsOk()) return step;
        for (auto& stream : streams_) {
            if (stream->IsVideo()) continue;
            uint64_t limit = 0;
            step = FindAudio(*stream, stream->Next(), cut, limit);
            if (!step.IsOk()) return step;
            stream->SetLimit(
                std::max(limit, stream->AtUnitStart() ? stream->Next() : stream->Next() + 1));
        }
    }
    splitArmed_ = true;
    return Status::Ok();
}

Status Multiplexer::StartNextFile() {
    ++fileNumber_;
    const uint64_t firstVideo = video_ ? video_->Limit() : 0;
    Status step = OpenFile(SplitFileName(firstPath_, fileNumber_));
    if (!step.IsOk()) return step;
    for (size_t i = 0; i < streams_.size(); ++i) streams_[i]->SetLimit(finalLimits_[i]);
    if (video_) {
        video_->SetFirstUnitOfFile(firstVideo);
        bool ends = false;
        step = EndsWithSequenceEnd(finalLimits_[0] - 1, ends);
        if (!step.IsOk()) return step;
        video_->SetEndCodePending(!ends);
    }
    if (!settings_.resetClocks) return Status::Ok();

    // Clocks start again: the earliest unit of the new file is presented at
    // its stream's start-up delay.
    double base = kInfinity;
    if (video_ && video_->HasData()) {
        step = GroupStart(firstVideo, base);
        if (!step.IsOk()) return step;
    }
    for (auto& stream : streams_) {
        if (stream->IsVideo() || !stream->HasData()) continue;
        AudioUnit unit;
        if (!stream->ReadAudioUnit(stream->Next(), unit)) return UnitReadFailed(*stream);
        base = std::min(base, unit.pts);
    }
    if (base == kInfinity) base = 0;
    step = StartClocks(base);
    if (!step.IsOk()) return step;
    for (auto& stream : streams_) stream->Buffer().Reset();
    scrOrigin_ = sectorDelayTicks_;
    scrSlot_ = 0;
    return Status::Ok();
}

Status Multiplexer::EndFile(bool last) {
    const std::string& path = file_.Path();
    Status step = settings_.writeProgramEndCode && (last || settings_.writeEndCodes)
                      ? WriteEndCode()
                      : FlushPendingPack();
    if (!step.IsOk()) return step;
    if (!file_.Flush()) {
        return Status::Failed(
            FormatText("Unable to flush the buffers of program file %s.", path.c_str()));
    }
    if (!file_.SetEnd()) {
        return Status::Failed(
            FormatText("Unable to set the end of file for program file %s.", path.c_str()));
    }
    file_.Close();
    if (!scanOffsets_) return Status::Ok();
    if (!scanPacks_.Close()) {
        return Status::Failed(
            FormatText("Unable to write to SVCD temporary file %s.", scanPacksPath_.c_str()));
    }
    const VideoFacts& facts = report_.statistics.video;
    const int span =
        ScanOffsetSpan(facts.frameRateCode, facts.pulldown != 0, facts.pictures, facts.gops);
    ProgressThrottle progress(host_);
    return WriteScanOffsets(path, scanPacksPath_, span, progress);
}

Status Multiplexer::FlushPendingPack() {
    if (!file_.Write(pendingPack_.data(), pendingPack_.size())) {
        return Status::Failed(
            FormatText("Unable to write to program file %s.", file_.Path().c_str()));
    }
    pendingPack_.clear();
    pendingPadding_ = 0;
    return Status::Ok();
}

Status Multiplexer::WriteOut(BitWriter& out) {
    Status step = FlushPendingPack();
    if (!step.IsOk()) return step;
    pendingPack_ = out.TakeBytes();
    pendingPadding_ = lastPadding_;
    lastPadding_ = 0;
    return Status::Ok();
}

Status Multiplexer::WriteEndCode() {
    // Disc authoring reads whole sectors, so the end code takes the last
    // four bytes of the last pack: from its padding, or in a pack of its own.
    constexpr size_t kEndCodeBytes = 4;
    constexpr size_t kSmallestPadding = kPacketStartBytes + 1;
    BitWriter tail;
    if (pendingPadding_ >= kSmallestPadding + kEndCodeBytes) {
        pendingPack_.resize(pendingPack_.size() - pendingPadding_);
        WritePaddingPacket(tail, syntax_, pendingPadding_ - kEndCodeBytes);
    } else {
        Status step = FlushPendingPack();
        if (!step.IsOk()) return step;
        WritePackHeader(tail, syntax_, Scr(), muxRate_);
        WritePaddingPacket(tail, syntax_, sectorBytes_ - PackHeaderBytes(syntax_) - kEndCodeBytes);
        ++scrSlot_;
        ++report_.statistics.packs;
        ++report_.statistics.paddingPacks;
    }
    tail.Put(kProgramEndCode, 32);
    const std::vector<uint8_t>& bytes = tail.Bytes();
    pendingPack_.insert(pendingPack_.end(), bytes.begin(), bytes.end());
    pendingPadding_ = 0;
    return FlushPendingPack();
}

}  // namespace korvan::mux
