#include "korvan/entry/converting_dialog.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "contracts/program_settings.h"
#include "korvan/entry/audio_hand_off.h"
#include "korvan/entry/conversion_control.h"
#include "korvan/entry/library_messages.h"
#include "korvan/entry/output_names.h"
#include "korvan/media/source_classification.h"
#include "korvan/mpegenc/driver/encoder_entry.h"
#include "platform/file_names.h"
#include "platform/private_profile.h"

namespace korvan {
namespace {

using namespace std::chrono_literals;

constexpr char kEncoderStartFailedMessage[] = "Could not initialize dovarez.dll.";
constexpr char kUnknownMediaTypeMessage[] = "The job asks for an unknown media type %s.";

// A job whose first input is not read ends with its classification as the
// result code.
static_assert(media::kSourceReadable == job_file::kConverted &&
              media::kSourceUnopenable == job_file::kCannotOpen &&
              media::kSourceTooShort == job_file::kTooShort &&
              media::kSourceMissing == job_file::kMissing &&
              media::kSourceUnreadable == job_file::kUnreadable &&
              media::kSourceRealMedia == job_file::kRealMedia);

bool Exists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// The export folder as the program's settings name it, with "/"; the
// default until a value has been read is the user's own.
std::string ReadExportFolder(const std::string& settingsPath) {
    const std::string folder = platform::GetPrivateProfileString(program_settings::kCommonSection,
                                                                 program_settings::kExportFolderKey,
                                                                 "", 4096, settingsPath);
    if (!folder.empty()) return platform::WithTrailingSlash(folder);
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/ZarvoExport/";
}

// The library's AVI files take their compressor from "avicode.dat" among the
// writable files; without one the user is asked through the host, when it
// has anyone to ask.
media::AviWriterHooks AviWriterHooksFor(const ModuleState& module) {
    media::AviWriterHooks hooks;
    hooks.hostFolder = module.writableFolder;
    hooks.messages = LibraryMessageSink();
    hooks.compressorDialog = LibraryCompressorDialog();
    return hooks;
}

OutputFileLimits ReadOutputFileLimits(const std::string& settingsPath) {
    const auto read = [&settingsPath](const char* key) {
        return static_cast<double>(std::max(
            0, platform::GetPrivateProfileInt(media::kLibrarySection, key, 0, settingsPath)));
    };
    return {read("durationlimit"), read("sizelimit")};
}

}  // namespace

ConvertingDialog::ConvertingDialog(ModuleState& module)
    : module_(module),
      jobFile_(module.writableFolder + job_file::kFileName),
      aviWriter_(AviWriterHooksFor(module)) {}

ConvertingDialog::~ConvertingDialog() { CloseInput(); }

int ConvertingDialog::DoModal() {
    OnInitDialog();
    return loop_.Run();
}

void ConvertingDialog::EndDialog(int result) { loop_.End(result); }

void ConvertingDialog::OnInitDialog() {
    done_ = false;
    const std::string settingsPath = module_.writableFolder + program_settings::kFileName;
    exportFolder_ = ReadExportFolder(settingsPath);
    limits_ = ReadOutputFileLimits(settingsPath);
    mkdir(exportFolder_.c_str(), 0777);
    mkdir((exportFolder_ + "tmpmd/").c_str(), 0777);
    handOffPath_ = AudioHandOffPath();

    EncoderServices services{LibraryMessageSink(), nullptr};
    EncoderExchange exchange;
    if (EncoderEntry(module_.encoder, kSelectStartUp, services, exchange, 0) != 0) {
        ShowLibraryMessage(kEncoderStartFailedMessage);
        // Nobody could end a dialog without a window: the job ends here, so
        // the program is not left polling a host that waits for nothing.
        jobFile_.WriteCommonInt(job_file::kPercentKey, job_file::kJobEnded);
        jobResult_ = job_file::kCannotOpen;
        EndDialog(1);
        return;
    }
    for (int index = 0; EncoderEntry(module_.encoder, kSelectDescribeVideoFormat, services,
                                     exchange, index) != kNoSuchFormat;
         ++index) {
    }
    jobResult_ = ReadAndRunJob();
    jobFile_.WriteCommonInt(job_file::kErrorCodeKey, jobResult_);
    EndDialog(1);
}

int ConvertingDialog::ReadAndRunJob() {
    CloseInput();
    pending_.clear();
    job_ = jobFile_.ReadDescription();
    if (job_.inputCount == 0) {
        jobFile_.WriteCommonInt(job_file::kPercentKey, job_file::kJobEnded);
        return job_file::kCannotOpen;
    }
    pending_.assign(job_.inputs.begin(), job_.inputs.end());
    progress_ = JobProgress(job_.inputs.size());
    SetTimer(kCancelPollTimer, 1000ms);

    const std::string first = job_.inputs.empty() ? std::string() : job_.inputs.front();
    const int classification = media::ClassifySource(
        first, media::ReadMediaLayerSettings(module_.writableFolder), module_.realMediaFlags);
    if (job_.operation == job_file::kTestReadableOperation) {
        const bool readable =
            classification == job_file::kConverted || classification == job_file::kRealMedia;
        jobFile_.WriteCommonInt(job_file::kReadableKey, readable ? 1 : 0);
        return classification;
    }
    if (classification != job_file::kConverted && classification != job_file::kRealMedia) {
        return classification;
    }

    const auto dispatch = DispatchMediaType(job_.mediaType);
    if (!dispatch) {
        ShowLibraryMessage(FillMessage(kUnknownMediaTypeMessage, std::to_string(job_.mediaType)));
        jobFile_.WriteCommonInt(job_file::kPercentKey, job_file::kJobEnded);
        return job_file::kCannotOpen;
    }
    dispatch_ = *dispatch;

    if (classification == job_file::kRealMedia) return RunRealMediaJob(first);

    StartConversion();
    while (!done_) {
        if (platform::DispatchPendingMessages() == 0 && !done_) platform::WaitForMessages(500ms);
    }
    KillTimer(kCancelPollTimer);
    CloseInput();
    // A stopped job names no result: the program has stopped listening, and
    // a cut-short output is none. Nor does a failed one, so that the name
    // the program planned is not taken for a file that was made.
    if (cancelled_) {
        DeleteElementaryStreams();
    } else {
        jobFile_.WriteResultName(outputFailed_ ? std::string() : result_);
    }
    if (job_.temporaryInputs && Exists(currentInput_)) DeleteTemporaryInput(currentInput_);
    jobFile_.WriteCommonInt(job_file::kPercentKey, job_file::kJobEnded);
    return outputFailed_ && !cancelled_ ? job_file::kOutputFailed : job_file::kConverted;
}

int ConvertingDialog::RunRealMediaJob(const std::string& input) {
    // Only the first input is played; the program sends one at a time.
    pending_.clear();
    currentInput_ = input;
    const std::string avi = input + job_file::kIntermediateAviSuffix;
    // A file of that name is someone's (another input, say): never written
    // over, never deleted.
    struct stat existing {};
    if (lstat(avi.c_str(), &existing) == 0) {
        ShowLibraryMessage("The file " + avi +
                           " exists already; it is kept, and this input is not converted.");
        jobFile_.WriteCommonInt(job_file::kPercentKey, job_file::kJobEnded);
        return job_file::kCannotOpen;
    }
    realmedia::PlaybackSetup setup;
    setup.hostFolder = module_.hostFolder;
    setup.writerHooks = AviWriterHooksFor(module_);
    setup.messages = LibraryMessageSink();
    setup.progress = [this](const realmedia::PlaybackProgress& progress) {
        OnPlaybackProgress(progress);
    };
    playback_ = std::make_unique<realmedia::RealMediaPlayback>(std::move(setup));
    playbackPercent_ = 0;
    captureFailed_ = false;
    playback_->Start(input, avi);
    const bool started = playback_->HasPlayer();
    if (started) {
        SetTimer(kRealMediaTickTimer, 1000ms);
        while (!done_) {
            if (platform::DispatchPendingMessages() == 0 && !done_)
                platform::WaitForMessages(500ms);
        }
    }
    KillTimer(kRealMediaTickTimer);
    KillTimer(kCancelPollTimer);
    playback_->End();
    const long long frames = playback_->FramesWritten();
    const bool aviCreated = playback_->AviCreated();
    playback_.reset();

    // The AVI is closed before anything names it: the program takes it as
    // the job's result as soon as it reads the name and the end mark. A
    // playback that never started, failed, was stopped or captured no
    // picture leaves no file behind and ends as an input that cannot be
    // opened.
    if (cancelled_ || captureFailed_ || !started || frames == 0) {
        if (aviCreated) unlink(avi.c_str());
        jobFile_.WriteCommonInt(job_file::kPercentKey, job_file::kJobEnded);
        return job_file::kCannotOpen;
    }
    jobFile_.WriteResultName(avi);
    jobFile_.WriteCommonInt(job_file::kPercentKey, job_file::kJobEnded);
    return job_file::kRealMedia;
}

void ConvertingDialog::OnRealMediaTick() {
    if (!playback_ || !playback_->HasPlayer()) {
        KillTimer(kRealMediaTickTimer);
        return;
    }
    if (playback_->IsDone() || playback_->WriterFailed()) {
        captureFailed_ = playback_->WriterFailed();
        playback_->End();
        KillTimer(kRealMediaTickTimer);
        // The end mark is written once the AVI is named (RunRealMediaJob).
        done_ = true;
        return;
    }
    if (module_.tip.empty()) {
        module_.tip = realmedia::ProcessedTip(playback_->CurrentPlayTimeMs());
        jobFile_.WriteCommonText(job_file::kTipKey, module_.tip);
        playbackPercent_ = 10;
    }
    // Nothing is posted to the dialog: its notify message takes the walk to
    // the next input, and a RealMedia job has no other.
    jobFile_.WriteCommonInt(job_file::kPercentKey, playbackPercent_);
}

void ConvertingDialog::OnPlaybackProgress(const realmedia::PlaybackProgress& progress) {
    playbackPercent_ = progress.percent;
    if (progress.lengthMs > 0 && progress.positionMs >= progress.lengthMs) {
        Post(kPresentationEndMessage, 0, 0);
    }
    if (progress.tip != module_.tip) {
        module_.tip = progress.tip;
        jobFile_.WriteCommonText(job_file::kTipKey, module_.tip);
    }
}

void ConvertingDialog::StartConversion() {
    splitCount_ = 0;
    splitPending_ = false;
    if (pending_.empty()) return;
    BeginAudioHandOff(handOffPath_);
    TakeNextInput();
}

void ConvertingDialog::TakeNextInput() {
    // Notify messages still queued after the walk has ended change nothing.
    if (done_) return;
    if (splitPending_) {
        splitPending_ = false;
        window_.first = std::min(window_.first + framesEncoded_, window_.last);
        currentOutput_ = NextSplitOutputName(currentOutput_, splitCount_, job_.inputs);
        PrepareAndEncode(Continuation::kSplit);
        return;
    }
    if (pending_.empty()) {
        done_ = true;
        return;
    }
    if (job_.temporaryInputs && !currentInput_.empty() && Exists(currentInput_)) {
        DeleteTemporaryInput(currentInput_);
    }
    if (!currentInput_.empty()) ++inputIndex_;
    currentInput_ = pending_.front();
    pending_.pop_front();
    splitCount_ = 0;
    PrepareAndEncode(Continuation::kNewInput);
}

void ConvertingDialog::OnMessage(unsigned message, std::uintptr_t wParam, std::intptr_t) {
    if (message == kNotifyMessage && wParam == kNotifyAdvance) TakeNextInput();
    if (message == kPresentationEndMessage && HasTimer(kRealMediaTickTimer)) OnRealMediaTick();
}

void ConvertingDialog::OnTimer(unsigned id) {
    if (id == kCancelPollTimer) OnCancelPoll();
    if (id == kRealMediaTickTimer) OnRealMediaTick();
}

void ConvertingDialog::OnCancelPoll() {
    if (jobFile_.ReadCommonInt(job_file::kCancelKey, 0) != 0) CancelConversion(module_);
}

void ConvertingDialog::Cancel() {
    if (playback_) playback_->End();
    if (job_.temporaryInputs && !currentInput_.empty() && Exists(currentInput_)) {
        DeleteTemporaryInput(currentInput_);
    }
    KillTimer(kCancelPollTimer);
    pending_.clear();
    splitPending_ = false;
    cancelled_ = true;
    done_ = true;
    EndDialog(1);
}

void ConvertingDialog::DeleteTemporaryInput(const std::string& input) const {
    // "dvdmode" 1 says the inputs are the program's own temporary copies.
    unlink(input.c_str());
}

}  // namespace korvan
