// The entry, and the run that takes the phases in turn: set-up, then packs
// until every file is written.
#include "korvan/mpegenc/mux/multiplexer.h"

#include "korvan/mpegenc/mux/multiplexer_run.h"

namespace korvan::mux {

MuxReport Multiplexer::Run() {
    StepResult step = ScanStreams();
    if (step.ok()) step = SetUp();
    if (step.ok()) step = WriteAll();
    MuxStatistics& stats = report_.statistics;
    for (const auto& stream : streams_) {
        stats.underflows += stream->Underflows();
        stats.earlyUnits += stream->EarlyUnits();
    }
    report_.status = step.status;
    report_.message = step.message;
    return report_;
}

StepResult Multiplexer::WriteAll() {
    if (streams_.empty()) return StepResult::Ok();
    firstPath_ = LowerCaseFileName(request_.programPath);
    if (scanOffsets_) temporary_.Add(scanPacksPath_);
    scrOrigin_ = sectorDelayTicks_;
    scrSlot_ = 0;
    StepResult step = OpenFile(firstPath_);
    if (!step.ok()) return step;

    uint64_t lastCompleted = ~uint64_t{0};
    for (;;) {
        if (host_.IsCancelled()) {
            if (FlushPendingPack().ok()) file_.Flush();
            return StepResult::Cancelled();
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
            if (!step.ok() || last) break;
            step = StartNextFile();
            if (!step.ok()) break;
            continue;
        }
        step = ArmSplit();
        if (step.ok()) step = WriteNextPack();
        if (!step.ok()) break;

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
    if (!step.ok() && file_.IsOpen() && FlushPendingPack().ok()) {
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
