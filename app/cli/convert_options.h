// zarvo-convert's command line, parsed into a value the run is made from.
// Only the words are checked here: whether the files exist and which
// profile a name means are the caller's to find out (that needs the disk
// and the profile files).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/profiles/conversion_target.h"

inline constexpr char kConvertProgramName[] = "zarvo-convert";

// What --help prints.
extern const char kConvertUsageText[];

// The audio streams a DVD title may carry are numbered 0 to 7.
inline constexpr int kDvdAudioStreamCount = 8;

enum class ConvertAction {
    kConvert,       // convert the files (or the DVD title) to the target
    kListTargets,   // --list-targets
    kListProfiles,  // --list-profiles TARGET
    kHelp,          // --help, -h
};

// --profile N|NAME. A whole number is the profile's place in the target's
// list; any other text is a name the caller looks up.
struct ProfileChoice {
    std::optional<int> index = 0;  // profile 0 unless --profile says otherwise
    std::string name;              // set when index is not
};

// What to answer when the export folder holds a DVD folder already.
enum class DvdFolderAnswer { kKeep, kReplace };

struct ConvertOptions {
    ConvertAction action = ConvertAction::kConvert;
    // --target, or the TARGET of --list-profiles; never kTargetReserved.
    ConversionTarget target = kTargetAvi;
    ProfileChoice profile;
    bool merge = false;              // --merge
    std::string exportFolder;        // --export DIR; empty: the settings' folder
    std::string imageFolder;         // --image DIR (DVD target only)
    std::string dvdTitleFolder;      // --dvd-title DVDFOLDER
    std::optional<int> audioStream;  // --audio N (with --dvd-title only)
    DvdFolderAnswer dvdFolderAnswer = DvdFolderAnswer::kKeep;  // kReplace with --replace-dvd
    std::vector<std::string> files;                            // FILE..., as given
};

struct ConvertParse {
    ConvertOptions options;
    std::string error;  // one line for the user; empty when the command line is sound
};

// Options take their value as the next word or after "=" ("--target=ipod");
// "--" ends the options, so that a file may start with "-".
ConvertParse ParseConvertOptions(int argc, const char* const* argv);

// The target a name means, without regard to case ("ipod", "DVD"), as the
// target buttons spell them.
std::optional<ConversionTarget> TargetOfName(std::string_view name);
