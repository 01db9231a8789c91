#include "korvan/entry/job_file.h"

#include "platform/private_profile.h"

namespace korvan {
namespace {

constexpr std::size_t kPathBufferSize = 4096;
// More inputs than this cannot be meant; a damaged count must not make the
// reader spin through millions of absent keys.
constexpr int kMaxInputs = 10000;

}  // namespace

JobDescription JobFile::ReadDescription() const {
    JobDescription job;
    job.startSeconds =
        platform::GetPrivateProfileInt(job_file::kCommonSection, job_file::kStartTimeKey, 0, path_);
    job.endSeconds =
        platform::GetPrivateProfileInt(job_file::kCommonSection, job_file::kEndTimeKey, 0, path_);
    job.mediaType =
        platform::GetPrivateProfileInt(job_file::kOutputSection, job_file::kMediaTypeKey, 0, path_);
    job.temporaryInputs =
        platform::GetPrivateProfileInt(job_file::kInputsSection, job_file::kTemporaryInputsKey, 0,
                                       path_) == 1;
    job.inputCount = platform::GetPrivateProfileInt(job_file::kInputsSection,
                                                    job_file::kInputCountKey, 0, path_);
    for (int i = 0; i < job.inputCount && i < kMaxInputs; ++i) {
        std::string input = platform::GetPrivateProfileString(
            job_file::kInputsSection, job_file::InputKey(i), "", kPathBufferSize, path_);
        if (!input.empty()) job.inputs.push_back(std::move(input));
    }
    job.merge =
        job.inputs.size() > 1 && platform::GetPrivateProfileInt(job_file::kOutputSection,
                                                                job_file::kMergeKey, 0, path_) != 0;
    job.operation = platform::GetPrivateProfileInt(
        job_file::kCommonSection, job_file::kOperationKey, job_file::kConvertOperation, path_);
    job.plannedResult = platform::GetPrivateProfileString(
        job_file::kOutputSection, job_file::kResultNameKey, "", kPathBufferSize, path_);
    return job;
}

int JobFile::ReadCommonInt(std::string_view key, int defaultValue) const {
    return platform::GetPrivateProfileInt(job_file::kCommonSection, key, defaultValue, path_);
}

void JobFile::WriteCommonInt(std::string_view key, int value) const {
    platform::WritePrivateProfileString(job_file::kCommonSection, key, std::to_string(value),
                                        path_);
}

void JobFile::WriteCommonText(std::string_view key, std::string_view text) const {
    // A value is one line; the encoder's progress lines hold line breaks.
    std::string line(text);
    for (char& c : line) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    platform::WritePrivateProfileString(job_file::kCommonSection, key, line, path_);
}

void JobFile::WriteResultName(const std::string& path) const {
    platform::WritePrivateProfileString(job_file::kOutputSection, job_file::kResultNameKey, path,
                                        path_);
}

}  // namespace korvan
