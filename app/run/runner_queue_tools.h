// The conversion queue's tools on the real encoders: ffmpeg through the
// ToolRunner and the profile's command line, mencoder for audio repair and
// joining. Also the main window's probe for durations and audio streams.
//
// A file is probed once: the list, the RealVideo check and the queue ask
// about the same file, and a later question about a file that has not
// changed (same inode, size and time of change) is answered from the first
// probe.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "app/profiles/conversion.h"
#include "app/run/queue_tools.h"
#include "app/tools/command_target.h"

struct RunContext;

class RunnerQueueTools : public QueueTools {
public:
    // The tools run in `context` (not owned), with their temporary names in
    // the program's temporary folder; progress goes to `notifyTarget`.
    RunnerQueueTools(RunContext& context, CommandTarget* notifyTarget);

    MediaInfo Probe(const std::string& file) override;
    std::string LastFailure() const override;
    bool RepairAudio(const std::string& input, const std::string& output,
                     double durationSeconds) override;
    bool ConvertFile(const EncoderProfile& profile, const std::string& input,
                     const std::string& output) override;
    void MakeThumbnail(const std::string& source, const std::string& converted) override;
    bool JoinFiles(const std::vector<std::string>& pieces, const std::string& output) override;
    bool ConvertDvdPiece(const EncoderProfile& profile, const std::string& vob,
                         const std::string& audioStreamId, const std::string& output) override;

private:
    // The failure notification is posted when a tool has ended; handling it
    // at once lays it to the account of the run that failed, and none is
    // left to arrive after the queue has finished.
    void HandleNotifications();

    // A real tool run is about to start: its failure, not a remembered
    // probe's, is the last one.
    void ToolRunStarts() { answeredFailure_.reset(); }

    RunContext& context_;
    ConversionSetup setup_;
    // The newest probe, until the conversion of that file uses it.
    struct Probed {
        std::string file;
        MediaInfo media;
    };
    std::optional<Probed> lastProbe_;
    // What each probed file was when it was probed, and what the probe said.
    struct ProbeAnswer {
        std::string stamp;
        MediaInfo media;
        std::string failure;
    };
    std::map<std::string, ProbeAnswer> probes_;
    // The failure of a probe answered from `probes_`, while it is the last.
    std::optional<std::string> answeredFailure_;
};

// The mencoder command that joins pieces into one file, as the words mencoder
// gets: each path is a word of its own, whatever it holds.
std::vector<std::string> JoinArguments(const std::vector<std::string>& pieces,
                                       const std::string& output);
// The mencoder command that re-encodes an input with PCM audio, as words.
std::vector<std::string> AudioRepairArguments(const std::string& input, const std::string& output);
