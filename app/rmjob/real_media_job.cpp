#include "app/rmjob/real_media_job.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "app/tools/activity_log.h"
#include "app/tools/program_ui.h"
#include "app/tools/run_context.h"
#include "contracts/program_settings.h"
#include "contracts/real_media_job_file.h"
#include "platform/file_names.h"
#include "platform/private_profile.h"

namespace {

constexpr std::size_t kTextBufferSize = 4096;

using namespace job_file;

constexpr char kTextFileMessage[] =
    " is a text file, please open it with text editor, download original media file first.";
constexpr char kUnreadableHelp[] =
    "Most probable reasons are:\n"
    "1. Your video file is an audio file only.\n"
    "2. Your video file uses the DivX or XviD codec, and no decoder for it is installed.\n"
    "3. The decoders of ffmpeg are not installed.\n"
    "\n"
    "Please install the proper codecs (the Debian packages ffmpeg and libavcodec-extra) and "
    "try again.";

}  // namespace

std::string JobResultMessage(int resultCode, const std::string& input) {
    switch (resultCode) {
        case kCannotOpen:
            return "Can't open - " + input;
        case kTooShort:
            return input + kTextFileMessage;
        case kMissing:
            return "Can't find - " + input;
        case kUnreadable:
            return "Can't open - " + input + "\n\n" + kUnreadableHelp;
        default:
            return {};
    }
}

bool IsRealVideoCodec(const std::string& videoCodec) {
    std::string codec = videoCodec;
    for (char& c : codec) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return codec.find("rv20") != std::string::npos || codec.find("rv30") != std::string::npos ||
           codec.find("rv40") != std::string::npos;
}

RealMediaJob::RealMediaJob(std::string programFolder, std::string writableFolder, Services services)
    : programFolder_(std::move(programFolder)),
      writableFolder_(std::move(writableFolder)),
      jobFile_(writableFolder_ + kFileName),
      services_(std::move(services)) {}

RealMediaJob::~RealMediaJob() {
    if (host_.Running()) CancelRealMediaJob();
}

bool RealMediaJob::IsRealVideo(const std::string& file) {
    return IsRealVideoCodec(services_.probe(file).videoCodec);
}

bool RealMediaJob::WriteStartValues(const std::vector<std::string>& inputs,
                                    const std::string& plannedOutput) {
    const auto write = [this](const char* section, const std::string& key,
                              const std::string& value) {
        return platform::WritePrivateProfileString(section, key, value, jobFile_);
    };
    // The queue starts jobs only outside DVD source mode, whose inputs would
    // be temporary copies the host deletes.
    bool written = write(kInputsSection, kTemporaryInputsKey, "0");
    services_.context->clock.totalSeconds = 0;
    written = write(kInputsSection, kInputCountKey, std::to_string(inputs.size())) && written;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        written = write(kInputsSection, InputKey(static_cast<int>(i)), inputs[i]) && written;
        const double seconds = services_.probe(inputs[i]).durationSeconds;
        if (std::isfinite(seconds) && seconds > 0) {
            services_.context->clock.totalSeconds += static_cast<int>(seconds);
        }
    }
    written = write(kOutputSection, kResultNameKey, plannedOutput) && written;
    written = write(kOutputSection, kMergeKey, "1") && written;
    written = write(kOutputSection, kMediaTypeKey, "1") && written;
    // The end marks of an earlier job must be gone before any host starts.
    for (const auto& [key, value] : {std::pair<const char*, std::string>{kCancelKey, "0"},
                                     {kTipKey, ""},
                                     {kErrorCodeKey, "0"},
                                     {kPercentKey, "0"},
                                     {kStartTimeKey, "0"},
                                     {kEndTimeKey, "0"},
                                     {kOperationKey, std::to_string(kConvertOperation)}}) {
        written = write(kCommonSection, key, value) && written;
    }
    return written;
}

void RealMediaJob::StartRealMediaJob(const std::vector<std::string>& inputs,
                                     const std::string& plannedOutput) {
    if (host_.Running()) CancelRealMediaJob();
    input_ = inputs.empty() ? std::string() : inputs.front();
    result_.clear();
    tip_.clear();
    const std::string exportFolder = platform::WithTrailingSlash(platform::GetPrivateProfileString(
        program_settings::kCommonSection, program_settings::kExportFolderKey, "", kTextBufferSize,
        writableFolder_ + program_settings::kFileName));
    if (!exportFolder.empty()) platform::MakeEmptyFolder(exportFolder + "tmpmd/");

    running_ = true;
    started_ = std::chrono::steady_clock::now();
    services_.context->log.AddLine(kHostProgramName, "job for " + input_);
    if (!WriteStartValues(inputs, plannedOutput)) {
        FailJob("Can't write the job file " + jobFile_ + ".");
        return;
    }
    // A host that does not start is noticed by the poll's watchdog, as one
    // that starts and dies is.
    host_.Start(programFolder_ + kHostProgramName, programFolder_);
    services_.pollTimer->Start(kJobPollPeriod);
}

void RealMediaJob::OnPollTimer() {
    if (!running_) return;
    std::string tip =
        platform::GetPrivateProfileString(kCommonSection, kTipKey, "", kTextBufferSize, jobFile_);
    if (!tip.empty() && tip != tip_) services_.context->log.AddLine(kHostProgramName, tip);
    tip_ = std::move(tip);
    int error = platform::GetPrivateProfileInt(kCommonSection, kErrorCodeKey, 0, jobFile_);
    const int percent = platform::GetPrivateProfileInt(kCommonSection, kPercentKey, 0, jobFile_);
    if (percent >= 0) {
        ProgressClock& clock = services_.context->clock;
        clock.positionSeconds =
            static_cast<int>(static_cast<long long>(percent) * clock.totalSeconds / 100);
        services_.window->PostCommand(kCommandMessage, kProgressNotification, percent);
    }
    if (percent == kJobEnded && error == 0) {
        // The host writes the result code after the end mark: it is read
        // once the host has gone, so a failure is never taken for success.
        host_.Stop(kHostStopGrace);
        error = platform::GetPrivateProfileInt(kCommonSection, kErrorCodeKey, 0, jobFile_);
    }
    if (error == kRealMedia || (percent == kJobEnded && error == 0)) {
        // The host's last figure falls between two polls as often as not; a
        // job that has ended well is shown whole before its end mark.
        services_.context->clock.positionSeconds = services_.context->clock.totalSeconds;
        services_.window->PostCommand(kCommandMessage, kProgressNotification, 100);
        EndJob(platform::GetPrivateProfileString(kOutputSection, kResultNameKey, "",
                                                 kTextBufferSize, jobFile_));
        return;
    }
    if (error != 0) {
        services_.context->log.AddLine(kHostProgramName,
                                       "result code " + std::to_string(error) + " for " + input_);
        const std::string message = JobResultMessage(error, input_);
        if (message.empty()) {
            EndJob({});
        } else {
            FailJob(message);
        }
        return;
    }
    const bool hostGone = !host_.Running();
    if (hostGone && std::chrono::steady_clock::now() - started_ >= services_.hostWatchdog) {
        FailJob("Can't open - " + input_);
    }
}

void RealMediaJob::EndJob(std::string result) {
    running_ = false;
    services_.context->log.AddLine(kHostProgramName,
                                   result.empty() ? "ended without a result" : "result " + result);
    services_.pollTimer->Stop();
    result_ = std::move(result);
    services_.window->PostCommand(kCommandMessage, kProgressNotification, kJobEnded);
}

void RealMediaJob::FailJob(const std::string& message) {
    EndJob({});
    host_.Stop(kHostStopGrace);
    services_.context->ui.ShowMessage(message, kOpenFileErrorCaption);
}

void RealMediaJob::CancelRealMediaJob() {
    services_.pollTimer->Stop();
    const bool wasRunning = running_ || host_.Running();
    running_ = false;
    if (!wasRunning) return;
    platform::WritePrivateProfileString(kCommonSection, kCancelKey, "1", jobFile_);
    host_.Stop(kHostStopGrace);
}
