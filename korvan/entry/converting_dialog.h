// The converting dialog: ConvertRM2AVI runs one job inside it. It has no
// window (the host runs hidden); it is a target of the thread's message loop
// with a modal loop of its own. Opening it runs the whole job: it reads the
// job file, classifies the first input, and walks over the inputs, each one
// read by the media layer and encoded by the encoder. The walk advances one
// input each time the dialog receives the notify message (WM_USER+100,
// wParam 120), which the encoder's progress reports post to it; a cancel
// poll reads the job file's stop request every second.
#pragma once

#include <chrono>
#include <deque>
#include <memory>
#include <string>

#include "korvan/entry/frame_window.h"
#include "korvan/entry/job_file.h"
#include "korvan/entry/job_progress.h"
#include "korvan/entry/media_dispatch.h"
#include "korvan/entry/module_state.h"
#include "korvan/media/source_reader.h"
#include "korvan/mpegenc/driver/compile_request.h"
#include "korvan/mpegenc/driver/encode_source.h"
#include "korvan/mpegenc/driver/media_avi_sink.h"
#include "korvan/realmedia/real_media_playback.h"
#include "platform/message_loop.h"

namespace korvan {

inline constexpr unsigned kNotifyMessage = platform::kUserMessage + 100;
inline constexpr std::uintptr_t kNotifyAdvance = 120;
inline constexpr unsigned kCancelPollTimer = 1004;
inline constexpr unsigned kRealMediaTickTimer = 1003;
// Posted to the dialog when the engine reports the end of the presentation,
// so the tick's work runs then rather than up to a second later.
inline constexpr unsigned kPresentationEndMessage = platform::kUserMessage + 101;
// Limits of one output file, from the library's settings (section "korvan"
// of "zarvo.ini" beside the host): "durationlimit" in seconds and
// "sizelimit" in MiB, 0 for none. An input that reaches one goes on in
// further files, movie001.mpg and on.
struct OutputFileLimits {
    double durationSeconds = 0;
    double sizeMiB = 0;
};

class ConvertingDialog : public platform::MessageTarget, public EncodeHost {
public:
    explicit ConvertingDialog(ModuleState& module);
    ~ConvertingDialog() override;

    // Opens the dialog (which runs the job) and returns when it has ended,
    // with the result it was ended with.
    int DoModal();
    void EndDialog(int result);
    int JobResult() const { return jobResult_; }

    // The dialog's part of CancelConverting: the walk stops and the dialog
    // ends.
    void Cancel();

    // EncodeHost: the encode's progress reports come here.
    void PostToHost(unsigned message, uintptr_t wParam, intptr_t lParam) override;
    void PollCancel() override;

protected:
    void OnMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
    void OnTimer(unsigned id) override;

private:
    // How the next encode of the current input starts.
    enum class Continuation { kNewInput, kSplit };

    void OnInitDialog();
    int ReadAndRunJob();
    void StartConversion();
    void TakeNextInput();
    void PrepareAndEncode(Continuation continuation);
    // Opens the current input and works out its pictures and output name;
    // false when it cannot be read.
    bool OpenCurrentInput();
    // Closes both readers of the current input.
    void CloseInput();
    void EncodeCurrentWindow();
    // Removes the elementary streams the encode of the current output (or of
    // all merged inputs) wrote.
    void DeleteElementaryStreams() const;
    // Posts the notify message that takes the walk on, for an input whose
    // encode posted none.
    void AdvanceLater();
    // A RealMedia input only the engine can play: it is played into an
    // intermediate AVI, which becomes the job's result once it is closed.
    int RunRealMediaJob(const std::string& input);
    void OnRealMediaTick();
    void OnPlaybackProgress(const realmedia::PlaybackProgress& progress);
    void OnCancelPoll();
    void DeleteTemporaryInput(const std::string& input) const;

    ModuleState& module_;
    platform::ModalLoop loop_;
    JobFile jobFile_;
    std::string exportFolder_;
    std::string handOffPath_;
    OutputFileLimits limits_;
    // The current input as a source of its kind, read by reader_.
    EncodeSource source_;
    media::SourceReader reader_;
    // The same input again, for its sound when that is read on a thread of
    // its own; closed whenever reader_ is.
    media::SourceReader soundReader_;
    MediaAviSink aviWriter_;

    JobDescription job_;
    MediaDispatch dispatch_;
    bool pal_ = false;  // the current input's TV system
    bool done_ = false;
    bool cancelled_ = false;
    // An input of the job was not converted into its output.
    bool outputFailed_ = false;
    int jobResult_ = job_file::kConverted;

    std::deque<std::string> pending_;  // inputs not yet taken
    std::size_t inputIndex_ = 0;       // of the current input in the job
    std::string currentInput_;
    std::string currentOutput_;
    // The last output made (the job's result), empty while none.
    std::string result_;
    // The current input's pictures still to encode, and how many the last
    // encode wrote before a size or duration limit cut it.
    FrameWindow window_;
    bool splitPending_ = false;
    std::uint32_t framesEncoded_ = 0;
    int splitCount_ = 0;

    std::uint32_t inputStart_ = 0;  // the first picture of the input's window

    // The running encode's request, the notify messages it posted, the
    // job's progress and what the job file was last given of it, and when
    // the stop request was last read.
    CompileRequest* runningRequest_ = nullptr;
    int notificationsPosted_ = 0;
    JobProgress progress_;
    int writtenPercent_ = 0;
    std::string writtenTip_;
    std::chrono::steady_clock::time_point lastCancelPoll_{};

    // The RealMedia playback of a job answered with code 5, its percent,
    // and whether its AVI writer failed.
    std::unique_ptr<realmedia::RealMediaPlayback> playback_;
    int playbackPercent_ = 0;
    bool captureFailed_ = false;
};

}  // namespace korvan
