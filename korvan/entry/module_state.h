// The library runs one conversion per process on the host's thread; what it
// keeps between calls lives here, in one named place.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>

#include "korvan/media/source_classification.h"
#include "korvan/mpegenc/driver/compile_request.h"
#include "korvan/mpegenc/driver/encoder_state.h"
#include "platform/program_folder.h"
#include "platform/writable_files.h"

namespace korvan {

class ConvertingDialog;

// The room a host gives GetConvertingTip, terminating NUL included; longer
// lines are cut.
inline constexpr std::size_t kTipCapacity = 1024;

// What the exports can see of an encode while it runs: its request, whose
// cancel flag CancelConverting sets and whose progress line
// GetConvertingTip reads, from any thread.
class RunningEncode {
public:
    // The request is made known for the time of one encode.
    void Begin(CompileRequest& request) {
        std::lock_guard lock(mutex_);
        request_ = &request;
    }
    void End() {
        std::lock_guard lock(mutex_);
        request_ = nullptr;
    }
    // False while no encode runs.
    bool Cancel() {
        std::lock_guard lock(mutex_);
        if (request_) request_->cancel = true;
        return request_ != nullptr;
    }
    bool ProgressLine(std::string& line) {
        std::lock_guard lock(mutex_);
        if (request_) line = request_->progress.Get();
        return request_ != nullptr;
    }

private:
    std::mutex mutex_;
    CompileRequest* request_ = nullptr;
};

struct ModuleState {
    // The folder of the host program that loaded the library, with "/".
    std::string hostFolder = platform::ProgramFolder();
    // Where the files the library reads and writes beside the program live
    // ("zarvo.ini", "avicode.dat", "Tobrin.ini"): the host's folder in a build
    // tree, the user's own folder when the program is installed. Ends in "/".
    std::string writableFolder = platform::WritableFolder();
    // What the last RealMedia test found about an input.
    media::RealMediaFlags realMediaFlags;
    // The dialog of the running ConvertRM2AVI, else null.
    ConvertingDialog* currentDialog = nullptr;
    // The latest status line of a RealMedia playback; emptied by each job.
    std::string tip;
    RunningEncode encode;
    EncoderState encoder;
};

ModuleState& State();

}  // namespace korvan
