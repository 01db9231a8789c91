// Timing: where the multiplex starts and stops, the streams' start-up
// delays and the clocks of each file.
#include <algorithm>
#include <cmath>

#include "korvan/mpegenc/mux/es_file.h"
#include "korvan/mpegenc/mux/multiplexer_run.h"
#include "korvan/mpegenc/mux/mux_plan.h"

namespace korvan::mux {

Status Multiplexer::UnitReadFailed(const MuxStream& stream) const {
    if (stream.IsVideo()) {
        return Status::Failed(
            FormatText("Unable to read from video units file %s.", videoUnitsPath_.c_str()));
    }
    const bool second = streams_.back().get() == &stream && audioCount_ == 2;
    return Status::Failed(FormatText(second ? "Unable to read from secondary audio units file %s."
                                            : "Unable to read from audio units file %s.",
                                     audioUnitsPaths_[second ? 1 : 0].c_str()));
}

Status Multiplexer::VideoUnitAt(uint64_t index, VideoUnit& unit) {
    return video_->ReadVideoUnit(index, unit) ? Status::Ok() : UnitReadFailed(*video_);
}

Status Multiplexer::GroupStart(uint64_t index, double& ticks) {
    VideoUnit unit;
    Status step = VideoUnitAt(index, unit);
    if (!step.IsOk()) return step;
    ticks = unit.pts;
    for (uint64_t next = index + 1; next < video_->UnitCount(); ++next) {
        step = VideoUnitAt(next, unit);
        if (!step.IsOk()) return step;
        if (unit.type != kPictureB) break;
        ticks = std::min(ticks, unit.pts);
    }
    return Status::Ok();
}

Status Multiplexer::FindI(uint64_t from, uint64_t to, double notBefore, uint64_t& found) {
    found = to;
    for (uint64_t index = from; index < to; ++index) {
        VideoUnit unit;
        Status step = VideoUnitAt(index, unit);
        if (!step.IsOk()) return step;
        if (unit.type == kPictureI && unit.pts >= notBefore) {
            found = index;
            break;
        }
    }
    return Status::Ok();
}

Status Multiplexer::FindAudio(MuxStream& stream, uint64_t from, double notBefore, uint64_t& found) {
    found = stream.UnitCount();
    for (uint64_t index = from; index < stream.UnitCount(); ++index) {
        AudioUnit unit;
        if (!stream.ReadAudioUnit(index, unit)) return UnitReadFailed(stream);
        if (unit.pts >= notBefore) {
            found = index;
            break;
        }
    }
    return Status::Ok();
}

Status Multiplexer::EndsWithSequenceEnd(uint64_t unit, bool& ends) {
    if (unit + 1 >= video_->UnitCount()) {
        ends = report_.statistics.video.endsWithSequenceEnd;
        return Status::Ok();
    }
    VideoUnit record;
    Status step = VideoUnitAt(unit, record);
    if (!step.IsOk()) return step;
    ends = false;
    if (record.length < 4) return Status::Ok();
    EsFile es;
    uint8_t tail[4] = {};
    if (!es.Open(request_.videoPath) || !es.ReadAt(record.offset + record.length - 4, tail, 4))
        return Status::Failed("Error reading from an input file.");
    ends = tail[0] == 0 && tail[1] == 0 && tail[2] == 1 && tail[3] == 0xB7;
    return Status::Ok();
}

Status Multiplexer::PlaceStartAndStop() {
    const MuxStatistics& stats = report_.statistics;
    double base = 0;
    if (settings_.muxStartTime > 0) {
        const double start = settings_.muxStartTime * kTicksPerSecond;
        const double total = video_ ? stats.video.durationTicks : stats.audio[0].durationTicks;
        const auto beyondEnd = [&] {
            return Status::Failed(
                FormatText("Mux start time is greater than the total time %u seconds.",
                           static_cast<unsigned>(total / kTicksPerSecond)));
        };
        if (video_) {
            uint64_t first = 0;
            Status step = FindI(0, video_->UnitCount(), start, first);
            if (!step.IsOk()) return step;
            if (first == video_->UnitCount()) return beyondEnd();
            step = GroupStart(first, base);
            if (!step.IsOk()) return step;
            video_->MoveTo(first);
            video_->SetFirstUnitOfFile(first);
        } else {
            base = start;
        }
        for (auto& stream : streams_) {
            if (stream->IsVideo()) continue;
            uint64_t first = 0;
            Status step = FindAudio(*stream, 0, base, first);
            if (!step.IsOk()) return step;
            if (first == stream->UnitCount() && !video_) return beyondEnd();
            stream->MoveTo(first);
        }
    }

    if (settings_.muxStopTime > 0) {
        const double stop = settings_.muxStopTime * kTicksPerSecond;
        double cut = stop;
        if (video_) {
            uint64_t last = 0;
            Status step = FindI(video_->Next() + 1, video_->UnitCount(), stop, last);
            if (!step.IsOk()) return step;
            cut = kInfinity;
            if (last < video_->UnitCount()) {
                step = GroupStart(last, cut);
                if (!step.IsOk()) return step;
            }
            finalLimits_[0] = last;
            video_->SetLimit(last);
        }
        for (size_t i = 0; i < streams_.size(); ++i) {
            if (streams_[i]->IsVideo()) continue;
            uint64_t limit = 0;
            Status step = FindAudio(*streams_[i], streams_[i]->Next(), cut, limit);
            if (!step.IsOk()) return step;
            finalLimits_[i] = limit;
            streams_[i]->SetLimit(limit);
        }
    }
    if (video_) {
        bool ends = false;
        Status step = EndsWithSequenceEnd(video_->Limit() - 1, ends);
        if (!step.IsOk()) return step;
        video_->SetEndCodePending(!ends);
    }
    for (size_t i = 0; i < streams_.size(); ++i)
        totalUnits_ += finalLimits_[i] - streams_[i]->Next();
    clockBase_ = base;
    return Status::Ok();
}

void Multiplexer::ComputeDelays() {
    MuxStatistics& stats = report_.statistics;
    // By default the streams start once their first units can have arrived.
    double packets = 0;
    for (auto& stream : streams_) {
        UnitView view;
        if (stream->Next() < stream->UnitCount() && stream->View(stream->Next(), view))
            packets += static_cast<double>(view.muxBytes) / stats.payloadBytes;
    }
    const double muxBytesPerSecond = muxRate_ * 50.0;
    double automatic = std::ceil(packets) * static_cast<double>(sectorBytes_) / muxBytesPerSecond *
                       kTicksPerSecond;
    if (IsDvd()) automatic += scrStep_;  // the navigation pack goes first
    // The delays are presentation times; the first picture is decoded one
    // picture period before it is shown.
    if (video_) automatic += stats.video.picturePeriodTicks;

    const int configured[3] = {settings_.videoDelay, settings_.audioDelay, settings_.audio1Delay};
    for (size_t i = 0; i < streams_.size(); ++i) {
        const int role =
            streams_[i]->IsVideo() ? 0 : (video_ ? static_cast<int>(i) : static_cast<int>(i) + 1);
        streamDelays_[i] = configured[role] != 0 ? configured[role] * kTicksPerMs : automatic;
    }
}

Status Multiplexer::VideoRunIn(uint64_t first, double& ticks) {
    const MuxStatistics& stats = report_.statistics;
    double videoBytesPerSecond =
        stats.packsPerSecond * stats.payloadBytes * static_cast<double>(packetsPerPack_);
    for (int i = 0; i < audioCount_; ++i) videoBytesPerSecond -= AudioRateBytes(stats.audio[i]);
    ticks = 0;
    if (videoBytesPerSecond <= 0) return Status::Ok();
    // More lead than the buffer holds cannot be had.
    const double longest =
        static_cast<double>(video_->Buffer().Capacity()) / videoBytesPerSecond * kTicksPerSecond;
    double bytes = 0;
    double firstDts = 0;
    for (uint64_t index = first; index < finalLimits_[0] && ticks < longest; ++index) {
        UnitView view;
        if (!video_->View(index, view)) return UnitReadFailed(*video_);
        if (index == first) firstDts = view.dts;
        bytes += static_cast<double>(view.muxBytes);
        ticks =
            std::max(ticks, bytes / videoBytesPerSecond * kTicksPerSecond - (view.dts - firstDts));
    }
    ticks = std::min(ticks, longest);
    return Status::Ok();
}

Status Multiplexer::StartClocks(double base) {
    clockBase_ = base;
    runInShift_ = 0;
    if (video_ && video_->HasData()) {
        double runIn = 0;
        Status step = VideoRunIn(video_->Next(), runIn);
        if (!step.IsOk()) return step;
        VideoUnit first;
        step = VideoUnitAt(video_->Next(), first);
        if (!step.IsOk()) return step;
        // Two packs of slack for the packet choice, one more for the DVD
        // navigation pack that opens the file.
        const double needed = runIn + (IsDvd() ? 3 : 2) * scrStep_;
        const double planned = first.dts - base + streamDelays_[0];
        runInShift_ = std::max(0.0, needed - planned);
    }
    for (size_t i = 0; i < streams_.size(); ++i) {
        streams_[i]->SetClockOffset(streamDelays_[i] + runInShift_ + sectorDelayTicks_ - base);
    }
    if (fileNumber_ == 1) {
        MuxStatistics& stats = report_.statistics;
        stats.videoDelayTicks = video_ ? streamDelays_[0] + runInShift_ : 0;
        stats.audioDelayTicks = audioCount_ > 0 ? streamDelays_[video_ ? 1 : 0] + runInShift_ : 0;
    }
    return Status::Ok();
}

}  // namespace korvan::mux
