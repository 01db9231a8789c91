#include "korvan/entry/library_exports.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "korvan/entry/conversion_control.h"
#include "korvan/entry/converting_dialog.h"
#include "korvan/entry/job_file.h"
#include "korvan/entry/module_state.h"
#include "korvan/media/media_trace.h"
#include "korvan/media/source_classification.h"

KORVAN_EXPORT int bIsRMFile(const char* path) {
    korvan::media::RealMediaFlags& flags = korvan::State().realMediaFlags;
    if (!path) {
        flags = korvan::media::RealMediaFlags{};
        return 0;
    }
    korvan::media::IsRealMediaPath(path, flags);
    return flags.realMedia || flags.metafile ? 1 : 0;
}

KORVAN_EXPORT int ConvertRM2AVI() {
    korvan::ModuleState& module = korvan::State();
    const korvan::JobFile jobFile(module.writableFolder + job_file::kFileName);
    int result = job_file::kCannotOpen;
    // Nothing thrown may reach the host: memory running out mid-job ends the
    // job as one that could not be done.
    try {
        module.tip.clear();
        korvan::ConvertingDialog dialog(module);
        module.currentDialog = &dialog;
        dialog.DoModal();
        module.currentDialog = nullptr;
        result = dialog.JobResult();
    } catch (const std::exception& error) {
        module.currentDialog = nullptr;
        korvan::media::Trace("ConvertRM2AVI: %s\n", error.what());
        jobFile.WriteCommonInt(job_file::kPercentKey, job_file::kJobEnded);
    }
    jobFile.WriteCommonInt(job_file::kErrorCodeKey, result);
    return result;
}

KORVAN_EXPORT int CancelConverting() {
    korvan::CancelConversion(korvan::State());
    return 0;
}

KORVAN_EXPORT unsigned GetConvertingTip(char* buffer) {
    korvan::ModuleState& module = korvan::State();
    if (!buffer) return 0;
    const auto copy = [buffer](const std::string& text) {
        const std::size_t length = std::min(text.size(), korvan::kTipCapacity - 1);
        std::memcpy(buffer, text.data(), length);
        buffer[length] = '\0';
        return length;
    };
    if (!module.tip.empty()) return static_cast<unsigned>(copy(module.tip) + 1);
    std::string progressLine;
    if (module.encode.ProgressLine(progressLine)) copy(progressLine);
    return 0;
}

KORVAN_EXPORT void EndConvertingDialog() {
    korvan::ModuleState& module = korvan::State();
    if (module.currentDialog) module.currentDialog->EndDialog(1);
    module.currentDialog = nullptr;
}
