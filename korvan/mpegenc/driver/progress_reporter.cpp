#include "korvan/mpegenc/driver/progress_reporter.h"

#include "contracts/real_media_job_file.h"
#include "platform/private_profile.h"

namespace korvan {
namespace {

constexpr int kFinishedPercent = 100;
constexpr intptr_t kFinishedNotification = -1;

}  // namespace

void ProgressReporter::WriteJobFile(const std::string& text, int percent) {
    if (request_.jobFilePath.empty()) return;
    // Each key is one whole write: the program reads the file while we work.
    if (!written_ || text != writtenText_) {
        platform::WritePrivateProfileString(job_file::kCommonSection, job_file::kTipKey, text,
                                            request_.jobFilePath);
    }
    if (!written_ || percent != writtenPercent_) {
        platform::WritePrivateProfileString(job_file::kCommonSection, job_file::kPercentKey,
                                            std::to_string(percent), request_.jobFilePath);
    }
    written_ = true;
    writtenText_ = text;
    writtenPercent_ = percent;
}

void ProgressReporter::ReportProgress(const std::string& text, int percent) {
    request_.progress.Set(text);
    WriteJobFile(text, percent);
    if (request_.host) {
        request_.host->PostToHost(request_.notifyMessage, request_.notifyWParam, percent);
        request_.host->PollCancel();
    }
}

void ProgressReporter::ReportFinished() {
    if (!request_.jobFilePath.empty()) {
        platform::WritePrivateProfileString(job_file::kCommonSection, job_file::kPercentKey,
                                            std::to_string(kFinishedPercent), request_.jobFilePath);
    }
    if (request_.host) {
        request_.host->PostToHost(request_.notifyMessage, request_.notifyWParam,
                                  kFinishedNotification);
    }
}

}  // namespace korvan
