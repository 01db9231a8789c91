// The entry, and the run that takes the phases in turn: set-up, then packs
// until every file is written.
#include "korvan/mpegenc/mux/multiplexer.h"

#include "korvan/mpegenc/mux/multiplexer_run.h"

namespace korvan::mux {

MuxReport Multiplexer::Run() {
    Status step = ScanStreams();
    if (step.IsOk()) step = SetUp();
    if (step.IsOk()) step = WriteAll();
    MuxStatistics& stats = report_.statistics;
    for (const auto& stream : streams_) {
        stats.underflows += stream->Underflows();
        stats.earlyUnits += stream->EarlyUnits();
    }
    report_.status = step;
    return report_;
}

Status Multiplexer::WriteAll() {
    if (streams_.empty()) return Status::Ok();
    firstPath_ = LowerCaseFileName(request_.programPath);
    if (scanOffsets_) temporary_.Add(scanPacksPath_);
    scrOrigin_ = sectorDelayTicks_;
    scrSlot_ = 0;
    Status step = OpenFile(firstPath_);
    if (!step.IsOk()) return step;

    uint64_t lastCompleted = ~uint64_t{0};
    for (;;) {
        if (host_.IsCancelled()) {
            if (FlushPendingPack().IsOk()) file_.Flush();
            return Status::Cancelled();
        }
        if (FileDone()) {
            const bool last = AllDone();
            if (last) {
                host_.ReportProgress(
                    FormatText("Multiplexing: 100%% - %d of %d  A/V units.",
                               static_cast<int>(totalUnits_), static_cast<int>(totalUnits_)),
                    100);
            }
            step = EndFile(last);
            if (!step.IsOk() || last) break;
            step = StartNextFile();
            if (!step.IsOk()) break;
            continue;
        }
        step = ArmSplit();
        if (step.IsOk()) step = WriteNextPack();
        if (!step.IsOk()) break;

        uint64_t completed = 0;
        for (const auto& stream : streams_) completed += stream->UnitsCompleted();
        if (completed != lastCompleted && totalUnits_ > 0) {
            lastCompleted = completed;
            const int percent = static_cast<int>(completed * 100 / totalUnits_);
            if (progress_.Due(percent)) {
                host_.ReportProgress(
                    FormatText("Multiplexing: %d%% - %d of %d  A/V units.", percent,
                               static_cast<int>(completed), static_cast<int>(totalUnits_)),
                    percent);
            }
        }
    }
    if (!step.IsOk() && file_.IsOpen() && FlushPendingPack().IsOk()) {
        // What was written so far stays.
        file_.Flush();
    }
    return step;
}

MuxReport Multiplex(const EncoderSettings& settings, const MuxRequest& request, MuxHost& host) {
    Multiplexer multiplexer(settings, request, host);
    return multiplexer.Run();
}

}  // namespace korvan::mux
