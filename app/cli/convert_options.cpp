#include "app/cli/convert_options.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "app/profiles/profile.h"
#include "platform/ini_text.h"

const char kConvertUsageText[] =
    "usage: zarvo-convert --target TARGET [--profile N|NAME] [--merge] [--export DIR]\n"
    "                     [--image DIR] [--replace-dvd] FILE...\n"
    "       zarvo-convert --target TARGET [--profile N|NAME] [--export DIR]\n"
    "                     --dvd-title DVDFOLDER [--audio N]\n"
    "       zarvo-convert --list-targets\n"
    "       zarvo-convert --list-profiles TARGET\n"
    "       zarvo-convert --help\n"
    "Converts the files as the window's \"Convert Now!\" does, with the same profiles,\n"
    "settings and output names, and without a window.\n"
    "  --target TARGET         AVI, MPEG, WMV, DVD, 3GP, iPod, PSP, iPhone or Zune\n"
    "                          (in any case)\n"
    "  --profile N|NAME        the target's profile by its number (from 0) or its name;\n"
    "                          profile 0 when not given\n"
    "  --merge                 join the files into one output named after the first\n"
    "  --export DIR            write the outputs into DIR, not the settings' export folder\n"
    "  --image DIR             DVD target only: record the DVD folder (or the SuperVCD or\n"
    "                          VideoCD file) as an ISO or BIN/CUE image into DIR\n"
    "  --replace-dvd           DVD target only: replace a DVD folder the export folder\n"
    "                          holds already (without it that folder is kept, and said so)\n"
    "  --dvd-title DVDFOLDER   convert the main title of a DVD folder instead of FILEs\n"
    "  --audio N               with --dvd-title: take the title's audio stream N (from 0)\n"
    "  --list-targets          print the targets\n"
    "  --list-profiles TARGET  print the target's profiles with their numbers\n"
    "  -h, --help              print this text\n"
    "Ctrl-C stops the run as the window's Stop does.\n"
    "Exit status: 0 all converted, 1 a file failed or the run was stopped,\n"
    "2 a bad command line (nothing is started).\n";

namespace {

struct ValueOption {
    std::string_view name;
    std::string* field;
};

// A whole number from 0 to `limit` - 1, digits only.
std::optional<int> IndexBelow(std::string_view text, int limit) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || text.front() == '-' || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    if (value >= limit) return std::nullopt;
    return value;
}

// An argument shown in a message: quoted, and cut when long, so that one
// line of garbage gives one readable line back.
std::string Shown(std::string_view word) {
    constexpr std::size_t kMostShown = 60;
    std::size_t cut = std::min(word.size(), kMostShown);
    // Not inside a UTF-8 character.
    while (cut < word.size() && cut > 0 && (static_cast<unsigned char>(word[cut]) & 0xc0) == 0x80) {
        --cut;
    }
    std::string shown = "'";
    for (const char c : word.substr(0, cut)) {
        const auto byte = static_cast<unsigned char>(c);
        shown += byte < 0x20 || byte == 0x7f ? '?' : c;
    }
    if (cut < word.size()) shown += "...";
    return shown + "'";
}

// "AVI, MPEG, ... iPhone or Zune", as the buttons spell them.
std::string TargetNameList() {
    std::string list;
    for (int target = 0; target < kTargetCount; ++target) {
        const std::optional<TargetInfo> info = InfoOfTarget(target);
        if (!info) continue;
        if (!list.empty()) list += target + 1 == kTargetCount ? " or " : ", ";
        list += info->caption;
    }
    return list;
}

class Parser {
public:
    Parser(int argc, const char* const* argv) : argc_(argc), argv_(argv) {}

    ConvertParse Run() {
        while (next_ < argc_ && error_.empty()) Take(argv_[next_++]);
        if (error_.empty()) Finish();
        return ConvertParse{error_.empty() ? options_ : ConvertOptions{}, error_};
    }

private:
    void Take(std::string_view argument) {
        if (argument.empty()) return Fail("an empty argument is not a file name");
        if (optionsEnded_ || argument == "-" || !argument.starts_with("-")) {
            options_.files.emplace_back(argument);
            return;
        }
        if (argument == "--") {
            optionsEnded_ = true;
            return;
        }
        std::string_view name = argument;
        std::optional<std::string_view> inlineValue;
        if (const std::size_t equals = argument.find('=');
            argument.starts_with("--") && equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            inlineValue = argument.substr(equals + 1);
        }

        if (bool* flag = FlagNamed(name)) {
            if (inlineValue) return Fail("option " + Shown(name) + " takes no value");
            if (*flag) return Fail("option " + Shown(name) + " given twice");
            *flag = true;
            return;
        }
        std::string* field = ValueFieldNamed(name);
        if (field == nullptr) return Fail("unknown option " + Shown(name));
        std::string_view value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (next_ < argc_) {
            value = argv_[next_++];
        }
        // "--export --merge" lost its folder: the next option is no value.
        if (value.empty() || (!inlineValue && value.starts_with("--"))) {
            return Fail("option " + Shown(name) + " needs a value");
        }
        if (!field->empty()) return Fail("option " + Shown(name) + " given twice");
        *field = value;
    }

    bool* FlagNamed(std::string_view name) {
        if (name == "--merge") return &options_.merge;
        if (name == "--replace-dvd") return &replaceDvd_;
        if (name == "--list-targets") return &listTargets_;
        if (name == "--help" || name == "-h") return &help_;
        return nullptr;
    }

    std::string* ValueFieldNamed(std::string_view name) {
        const ValueOption options[] = {
            {"--target", &target_},
            {"--profile", &profile_},
            {"--export", &options_.exportFolder},
            {"--image", &options_.imageFolder},
            {"--dvd-title", &options_.dvdTitleFolder},
            {"--audio", &audio_},
            {"--list-profiles", &listProfiles_},
        };
        for (const ValueOption& option : options) {
            if (option.name == name) return option.field;
        }
        return nullptr;
    }

    void Finish() {
        ConvertOptions& o = options_;
        if (help_) {
            o.action = ConvertAction::kHelp;
            return;
        }
        if (listTargets_ || !listProfiles_.empty()) return FinishListing();

        if (target_.empty()) return Fail("option '--target' is required (see --list-targets)");
        if (!TakeTarget(target_)) return;
        if (!profile_.empty()) {
            o.profile.index = IndexBelow(profile_, kMaxProfiles);
            o.profile.name.clear();
            if (!o.profile.index) {
                const std::string_view digits =
                    std::string_view(profile_).substr(profile_.front() == '-' ? 1 : 0);
                if (!digits.empty() && digits.find_first_not_of("0123456789") == digits.npos) {
                    return Fail("profile numbers go from 0 to " + std::to_string(kMaxProfiles - 1));
                }
                o.profile.name = profile_;
            }
        }
        if (o.target != kTargetDvd) {
            if (!o.imageFolder.empty()) return Fail("--image is for the DVD target only");
            if (replaceDvd_) return Fail("--replace-dvd is for the DVD target only");
        }
        o.dvdFolderAnswer = replaceDvd_ ? DvdFolderAnswer::kReplace : DvdFolderAnswer::kKeep;
        if (!audio_.empty()) {
            if (o.dvdTitleFolder.empty()) return Fail("--audio is for --dvd-title only");
            o.audioStream = IndexBelow(audio_, kDvdAudioStreamCount);
            if (!o.audioStream) {
                return Fail("--audio takes an audio stream number from 0 to " +
                            std::to_string(kDvdAudioStreamCount - 1));
            }
        }
        if (!o.dvdTitleFolder.empty()) {
            if (!o.files.empty()) return Fail("give either files or --dvd-title, not both");
            return;
        }
        if (o.files.empty()) return Fail("no files to convert");
    }

    // --list-targets and --list-profiles stand alone.
    void FinishListing() {
        ConvertOptions& o = options_;
        if (listTargets_ && !listProfiles_.empty()) {
            return Fail("give --list-targets or --list-profiles, not both");
        }
        if (!target_.empty() || !profile_.empty() || !audio_.empty() || replaceDvd_ || o.merge ||
            !o.exportFolder.empty() || !o.imageFolder.empty() || !o.dvdTitleFolder.empty() ||
            !o.files.empty()) {
            return Fail("a list option takes nothing else with it");
        }
        if (listTargets_) {
            o.action = ConvertAction::kListTargets;
            return;
        }
        o.action = ConvertAction::kListProfiles;
        TakeTarget(listProfiles_);
    }

    bool TakeTarget(const std::string& name) {
        const std::optional<ConversionTarget> target = TargetOfName(name);
        if (!target) {
            Fail("unknown target " + Shown(name) + " (" + TargetNameList() + ")");
            return false;
        }
        options_.target = *target;
        return true;
    }

    void Fail(std::string error) { error_ = std::move(error); }

    int argc_;
    const char* const* argv_;
    int next_ = 1;
    bool optionsEnded_ = false;
    ConvertOptions options_;
    // Texts as given, checked once every word is read.
    std::string target_;
    std::string profile_;
    std::string audio_;
    std::string listProfiles_;
    bool replaceDvd_ = false;
    bool listTargets_ = false;
    bool help_ = false;
    std::string error_;
};

}  // namespace

ConvertParse ParseConvertOptions(int argc, const char* const* argv) {
    return Parser(argc, argv).Run();
}

std::optional<ConversionTarget> TargetOfName(std::string_view name) {
    for (int target = 0; target < kTargetCount; ++target) {
        const std::optional<TargetInfo> info = InfoOfTarget(target);
        if (info && platform::ini::EqualsIgnoringCase(info->caption, name)) {
            return static_cast<ConversionTarget>(target);
        }
    }
    return std::nullopt;
}
