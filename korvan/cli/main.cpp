// zarvo-mpegenc: the MPEG encoder of the Korvan library on the command line.
// A target's preset, a settings file over it, then one mode.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "korvan/cli/cli_errors.h"
#include "korvan/cli/cli_modes.h"
#include "korvan/cli/cli_options.h"
#include "korvan/mpegenc/settings/encoder_settings_file.h"

namespace korvan::cli {
namespace {

// Inputs are checked before anything runs, so a mode never starts on a file
// that is not there.
std::string MissingInput(const CliOptions& options) {
    const std::pair<const char*, const std::string*> inputs[] = {
        {"settings file", &options.settingsPath}, {"video input", &options.videoInput},
        {"audio input", &options.audioInput},     {"video stream", &options.muxVideoInput},
        {"audio stream", &options.muxAudioInput}, {"second audio stream", &options.muxAudio1Input},
        {"input", &options.sourceInput},
    };
    for (const auto& [what, path] : inputs) {
        if (path->empty()) continue;
        struct stat info {};
        if (stat(path->c_str(), &info) != 0 || access(path->c_str(), R_OK) != 0) {
            return std::string("cannot read ") + what + " '" + *path + "': " + std::strerror(errno);
        }
        if (S_ISDIR(info.st_mode)) return std::string(what) + " '" + *path + "' is a folder";
    }
    return {};
}

void PrintMessage(const EncoderMessage& message) {
    std::fprintf(stderr, "%s\n", message.text.c_str());
}

int Run(int argc, const char* const* argv) {
    const CliParse parse = ParseCliOptions(argc, argv);
    if (!parse.error.empty()) {
        PrintError(parse.error);
        return kExitUsage;
    }
    const CliOptions& options = parse.options;
    if (options.help) {
        std::fputs(kUsage, stdout);
        return kExitSuccess;
    }
    if (const std::string missing = MissingInput(options); !missing.empty()) {
        PrintError(missing);
        return kExitUsage;
    }

    const MessageSink messages = PrintMessage;
    EncoderSettings settings = PresetSettings(options.preset, options.system);
    if (!options.settingsPath.empty() &&
        !LoadEncoderSettings(settings, options.settingsPath, messages)) {
        return kExitUsage;
    }
    if (options.printSettings) std::fputs(FormatEncoderSettings(settings).c_str(), stdout);

    ModeContext context{options, settings, messages};
    switch (ModeOf(options)) {
        case CliMode::kMux:
            return RunMuxMode(context);
        case CliMode::kVideo:
            return RunVideoMode(context);
        case CliMode::kAudio:
            return RunAudioMode(context);
        case CliMode::kInput:
            return RunInputMode(context);
        case CliMode::kSettingsOnly:
            break;
    }
    return kExitSuccess;
}

}  // namespace
}  // namespace korvan::cli

int main(int argc, char** argv) { return korvan::cli::Run(argc, argv); }
