#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "korvan/cli/cli_modes.h"
#include "korvan/mpegenc/mux/multiplexer.h"
#include "platform/temp_folder.h"

namespace korvan::cli {

namespace {

// The unit files of one run live in a folder of their own, so that runs side
// by side never share them.
class RunFolder {
public:
    RunFolder() {
        if (platform::TempFolder().empty()) return;
        std::string pattern = platform::TempFolder() + "mux-XXXXXX";
        if (mkdtemp(pattern.data())) path_ = pattern + "/";
    }
    ~RunFolder() {
        if (!path_.empty()) rmdir(path_.c_str());
    }
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

int RunMuxMode(ModeContext& context) {
    const CliOptions& options = context.options;
    if (options.programOutput.empty()) {
        std::fprintf(stderr, "%s: option '-o' is required to multiplex\n", kProgramName);
        return kExitUsage;
    }
    RunFolder folder;
    if (folder.Path().empty()) {
        std::fprintf(stderr, "%s: no private temporary folder can be made\n", kProgramName);
        return kExitFailure;
    }
    mux::MuxRequest request;
    request.videoPath = options.muxVideoInput;
    request.audioPath = options.muxAudioInput;
    request.secondAudioPath = options.muxAudio1Input;
    request.programPath = options.programOutput;
    request.unitFolder = folder.Path();
    if (!request.videoPath.empty()) request.flags |= mux::kMuxVideo;
    if (!request.audioPath.empty()) request.flags |= mux::kMuxAudio;
    if (!request.secondAudioPath.empty()) request.flags |= mux::kMuxSecondAudio;

    mux::QuietMuxHost host;
    const mux::MuxReport report = mux::Multiplex(context.settings, request, host);
    if (report.status != mux::MuxStatus::kOk) {
        ShowMessage(context.messages, report.message, MessageIcon::kError);
        return kExitFailure;
    }
    for (const std::string& file : report.programFiles) std::printf("%s\n", file.c_str());
    return kExitSuccess;
}

}  // namespace korvan::cli
