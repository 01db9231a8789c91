#include "korvan/cli/cli_options.h"

#include <exception>
#include <optional>
#include <string>
#include <string_view>

namespace korvan::cli {
namespace {

struct ValueOption {
    std::string_view name;
    std::string CliOptions::*field;
};

constexpr ValueOption kValueOptions[] = {
    {"--target", &CliOptions::target},
    {"--settings", &CliOptions::settingsPath},
    {"--video", &CliOptions::videoInput},
    {"--audio", &CliOptions::audioInput},
    {"-o", &CliOptions::programOutput},
    {"--video-es", &CliOptions::videoStreamOutput},
    {"--recon", &CliOptions::reconOutput},
    {"--audio-es", &CliOptions::audioStreamOutput},
    {"--mux-video", &CliOptions::muxVideoInput},
    {"--mux-audio", &CliOptions::muxAudioInput},
    {"--mux-audio1", &CliOptions::muxAudio1Input},
    {"--threads", &CliOptions::threads},
    {"--input", &CliOptions::sourceInput},
    {"--avi", &CliOptions::aviOutput},
    {"--size-limit", &CliOptions::sizeLimit},
    {"--duration-limit", &CliOptions::durationLimit},
};

struct FlagOption {
    std::string_view name;
    bool CliOptions::*field;
};

constexpr FlagOption kFlagOptions[] = {
    {"--ntsc", &CliOptions::ntsc},
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

// A positive number (decimals allowed), or nothing.
std::optional<double> PositiveNumber(const std::string& text) {
    std::size_t used = 0;
    double value = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (used != text.size() || !(value > 0) || value > 1e9) return std::nullopt;
    return value;
}

bool Any(const std::string& a, const std::string& b, const std::string& c = {}) {
    return !a.empty() || !b.empty() || !c.empty();
}

class Parser {
public:
    Parser(int argc, const char* const* argv) : argc_(argc), argv_(argv) {}

    CliParse Run() {
        while (next_ < argc_ && error_.empty()) Take(argv_[next_++]);
        if (error_.empty()) Finish();
        return CliParse{options_, error_};
    }

private:
    void Take(std::string_view argument) {
        std::string_view name = argument;
        std::optional<std::string_view> inlineValue;
        if (const std::size_t equals = argument.find('=');
            argument.starts_with("--") && equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            inlineValue = argument.substr(equals + 1);
        }
        const std::string quotedName = "'" + std::string(name) + "'";

        for (const FlagOption& flag : kFlagOptions) {
            if (flag.name != name) continue;
            if (inlineValue) return Fail("option " + quotedName + " takes no value");
            options_.*flag.field = true;
            return;
        }
        for (const ValueOption& option : kValueOptions) {
            if (option.name != name) continue;
            std::string value;
            if (inlineValue) {
                value = *inlineValue;
            } else if (next_ < argc_) {
                value = argv_[next_++];
            }
            if (value.empty()) return Fail("option " + quotedName + " needs a value");
            std::string& field = options_.*option.field;
            if (!field.empty()) return Fail("option " + quotedName + " given twice");
            field = std::move(value);
            return;
        }
        if (name.starts_with("-")) return Fail("unknown option " + quotedName);
        Fail("unexpected argument '" + std::string(argument) + "'");
    }

    void Finish() {
        CliOptions& o = options_;
        if (o.help) return;
        if (o.target.empty()) return Fail("option '--target' is required");
        bool known = false;
        for (const TargetName& target : kTargets) {
            if (target.name == o.target) {
                o.preset = target.preset;
                known = true;
            }
        }
        if (!known)
            return Fail("unknown target '" + o.target + "' (mpeg1, mpeg2, dvd, vcd or svcd)");
        o.system = o.ntsc ? TvSystem::kNtsc : TvSystem::kPal;
        if (!o.threads.empty()) {
            int count = 0;
            for (char c : o.threads) {
                if (c < '0' || c > '9' || count > 1000) {
                    count = 0;
                    break;
                }
                count = 10 * count + (c - '0');
            }
            if (count < 1 || count > 1000)
                return Fail("--threads takes a whole number from 1 to 1000");
            o.threadCount = count;
        }

        if (!o.sizeLimit.empty()) {
            const std::optional<double> value = PositiveNumber(o.sizeLimit);
            if (!value) return Fail("--size-limit takes a number of MB above 0");
            o.sizeLimitMB = *value;
        }
        if (!o.durationLimit.empty()) {
            const std::optional<double> value = PositiveNumber(o.durationLimit);
            if (!value) return Fail("--duration-limit takes a number of seconds above 0");
            o.durationLimitSeconds = *value;
        }
        if (!o.sourceInput.empty()) {
            if (Any(o.videoInput, o.audioInput, o.muxVideoInput) ||
                Any(o.muxAudioInput, o.muxAudio1Input, o.videoStreamOutput) ||
                Any(o.audioStreamOutput, o.reconOutput)) {
                return Fail("--input runs the whole encode: give only -o or --avi with it");
            }
            if (o.programOutput.empty() == o.aviOutput.empty()) {
                return Fail("--input needs one output: -o OUT.mpg or --avi OUT.avi");
            }
            return;
        }
        if (!o.aviOutput.empty() || !o.sizeLimit.empty() || !o.durationLimit.empty()) {
            return Fail("--avi, --size-limit and --duration-limit need --input");
        }

        const bool mux = Any(o.muxVideoInput, o.muxAudioInput, o.muxAudio1Input);
        if (mux && Any(o.videoInput, o.audioInput)) {
            return Fail("--mux-video and --mux-audio take ready streams, not --video or --audio");
        }
        if (mux && Any(o.videoStreamOutput, o.audioStreamOutput)) {
            return Fail("--mux-video and --mux-audio write only a program stream (-o)");
        }
        if (!o.reconOutput.empty() && o.videoInput.empty()) {
            return Fail("--recon needs a video input (--video)");
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
    std::string error_;
};

}  // namespace

CliParse ParseCliOptions(int argc, const char* const* argv) { return Parser(argc, argv).Run(); }

CliMode ModeOf(const CliOptions& o) {
    if (!o.sourceInput.empty()) return CliMode::kInput;
    if (Any(o.muxVideoInput, o.muxAudioInput, o.muxAudio1Input)) return CliMode::kMux;
    if (Any(o.videoInput, o.videoStreamOutput)) return CliMode::kVideo;
    if (Any(o.audioInput, o.audioStreamOutput, o.programOutput)) return CliMode::kAudio;
    return CliMode::kSettingsOnly;
}

}  // namespace korvan::cli
