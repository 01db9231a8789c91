// What the conversion queue has others do: the tool runs (probing, audio
// repair, conversion, thumbnails, joining) and the hand-offs to DVD
// authoring and disc burning (the RealMedia hand-off is app/rmjob's). Every
// call returns when its work has ended; while it runs, the program's
// messages are dispatched, so Stop and progress notifications reach the
// queue in the middle of it.
// The tool runs answer false when the tool could not start or failed (it
// reported an error or did not exit with status 0); a tool that was stopped
// has not failed.
#pragma once

#include <string>
#include <vector>

#include "app/disc/disc_kind.h"
#include "app/profiles/encoder_options.h"
#include "app/run/media_probe.h"

class QueueTools : public MediaProbe {
public:
    // Re-encodes an input whose audio the encoder cannot decode into
    // `output`, with PCM audio; `durationSeconds` drives its progress.
    virtual bool RepairAudio(const std::string& input, const std::string& output,
                             double durationSeconds) = 0;
    // One conversion with the run's profile.
    virtual bool ConvertFile(const EncoderProfile& profile, const std::string& input,
                             const std::string& output) = 0;
    // The still picture beside a converted file (for the PSP).
    virtual void MakeThumbnail(const std::string& source, const std::string& converted) = 0;
    // Joins the pieces, in order, into `output` without re-encoding video.
    virtual bool JoinFiles(const std::vector<std::string>& pieces, const std::string& output) = 0;
    // Converts one VOB of a DVD title: its video stream and the audio stream
    // with the id given (the first one when empty), with the run's profile.
    virtual bool ConvertDvdPiece(const EncoderProfile& profile, const std::string& vob,
                                 const std::string& audioStreamId, const std::string& output) = 0;
};

class QueueHandOffs {
public:
    virtual ~QueueHandOffs() = default;

    // Authors a DVD-Video folder in `exportFolder` + "DVD/" from one
    // converted file; non-zero on success.
    virtual int BuildDvdImage(const std::string& file, const std::string& exportFolder) = 0;
    // Why the last BuildDvdImage returned 0, for the status line.
    virtual std::string DvdImageFailure() const { return {}; }
    // The modal burning window for a disc of this kind with these files.
    virtual void OpenBurningWindow(DiscKind kind, const std::vector<std::string>& files) = 0;
};

// The hand-offs as they stand without DVD authoring (the program's own
// hand-offs build the DVD image with the image SDK): no DVD image is built.
// The main window's model
// overrides the burning window's hand-off; on its own this opens none.
class PendingHandOffs : public QueueHandOffs {
public:
    int BuildDvdImage(const std::string&, const std::string&) override { return 0; }
    void OpenBurningWindow(DiscKind, const std::vector<std::string>&) override {}
};
