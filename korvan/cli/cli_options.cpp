#include "korvan/cli/cli_options.h"

#include <string_view>

namespace korvan::cli {
namespace {

struct ValueOption {
    std::string_view name;
    std::string CliOptions::*field;
};

constexpr ValueOption kValueOptions[] = {
    {"--settings", &CliOptions::settingsPath},      {"--video", &CliOptions::videoInput},
    {"--audio", &CliOptions::audioInput},           {"-o", &CliOptions::programOutput},
    {"--video-es", &CliOptions::videoStreamOutput}, {"--audio-es", &CliOptions::audioStreamOutput},
    {"--mux-video", &CliOptions::muxVideoInput},    {"--mux-audio", &CliOptions::muxAudioInput},
};

struct FlagOption {
    std::string_view name;
    bool CliOptions::*field;
};

constexpr FlagOption kFlagOptions[] = {
    {"--print-settings", &CliOptions::printSettings},
    {"--help", &CliOptions::help},
    {"-h", &CliOptions::help},
};

struct TargetName {
    std::string_view name;
    EncoderPreset preset;
};

constexpr TargetName kTargets[] = {
    {"mpeg1", EncoderPreset::kMpeg1},   {"mpeg2", EncoderPreset::kMpeg2},
    {"dvd", EncoderPreset::kDvd},       {"vcd", EncoderPreset::kVideoCd},
    {"svcd", EncoderPreset::kSuperVcd},
};

bool SetTarget(CliOptions& options, std::string_view name) {
    for (const TargetName& target : kTargets) {
        if (target.name == name) {
            options.preset = target.preset;
            return true;
        }
    }
    return false;
}

bool Any(const std::string& a, const std::string& b, const std::string& c = {}) {
    return !a.empty() || !b.empty() || !c.empty();
}

class Parser {
public:
    Parser(int argc, const char* const* argv) : argc_(argc), argv_(argv) {}

    CliParse Run() {
        for (next_ = 1; next_ < argc_ && error_.empty();) Take(argv_[next_++]);
        if (error_.empty()) CheckWhole();
        return CliParse{options_, error_};
    }

private:
    void Take(std::string_view argument) {
        std::string_view name = argument;
        std::string_view inlineValue;
        bool hasInlineValue = false;
        if (argument.starts_with("--")) {
            if (std::size_t equals = argument.find('='); equals != std::string_view::npos) {
                name = argument.substr(0, equals);
                inlineValue = argument.substr(equals + 1);
                hasInlineValue = true;
            }
        }

        for (const FlagOption& flag : kFlagOptions) {
            if (flag.name != name) continue;
            if (hasInlineValue) return Fail("option " + std::string(name) + " takes no value");
            options_.*flag.field = true;
            return;
        }
        if (name == "--ntsc") {
            if (hasInlineValue) return Fail("option --ntsc takes no value");
            options_.system = TvSystem::kNtsc;
            return;
        }

        std::string value;
        if (!IsValueOption(name)) {
            if (!name.starts_with("-"))
                return Fail("unexpected argument '" + std::string(argument) + "'");
            return Fail("unknown option '" + std::string(name) + "'");
        }
        if (hasInlineValue) {
            value = inlineValue;
        } else if (next_ < argc_) {
            value = argv_[next_++];
        }
        if (value.empty()) return Fail("option " + std::string(name) + " needs a value");

        if (name == "--target") {
            if (targetGiven_) return Fail("option --target given twice");
            targetGiven_ = true;
            if (!SetTarget(options_, value)) {
                return Fail("unknown target '" + value + "' (mpeg1, mpeg2, dvd, vcd or svcd)");
            }
            return;
        }
        for (const ValueOption& option : kValueOptions) {
            if (option.name != name) continue;
            std::string& field = options_.*option.field;
            if (!field.empty()) return Fail("option " + std::string(name) + " given twice");
            field = value;
            return;
        }
    }

    static bool IsValueOption(std::string_view name) {
        if (name == "--target") return true;
        for (const ValueOption& option : kValueOptions) {
            if (option.name == name) return true;
        }
        return false;
    }

    void CheckWhole() {
        if (options_.help) return;
        if (!targetGiven_) return Fail("option --target is required");
        const CliOptions& o = options_;
        const bool mux = Any(o.muxVideoInput, o.muxAudioInput);
        if (mux && Any(o.videoInput, o.audioInput)) {
            return Fail("--mux-video and --mux-audio take ready streams, not --video or --audio");
        }
        if (mux && Any(o.videoStreamOutput, o.audioStreamOutput)) {
            return Fail("--mux-video and --mux-audio write only a program stream (-o)");
        }
        if (ModeOf(o) == CliMode::kSettingsOnly && !o.printSettings) {
            return Fail("nothing to do: give --print-settings, an input or an output");
        }
    }

    void Fail(std::string error) { error_ = std::move(error); }

    int argc_;
    const char* const* argv_;
    int next_ = 1;
    CliOptions options_;
    bool targetGiven_ = false;
    std::string error_;
};

}  // namespace

CliParse ParseCliOptions(int argc, const char* const* argv) { return Parser(argc, argv).Run(); }

CliMode ModeOf(const CliOptions& o) {
    if (Any(o.muxVideoInput, o.muxAudioInput)) return CliMode::kMux;
    if (Any(o.videoInput, o.videoStreamOutput, o.programOutput)) return CliMode::kVideo;
    if (Any(o.audioInput, o.audioStreamOutput)) return CliMode::kAudio;
    return CliMode::kSettingsOnly;
}

}  // namespace korvan::cli
