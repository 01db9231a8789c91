// The conversion targets, numbered as the target buttons and the profile
// files know them. 3 is reserved (no button selects it).
#pragma once

#include <optional>
#include <string_view>

enum ConversionTarget : int {
    kTargetAvi = 0,
    kTargetMpeg = 1,
    kTargetWmv = 2,
    kTargetReserved = 3,
    kTargetDvd = 4,
    kTarget3gp = 5,
    kTargetIpod = 6,
    kTargetPsp = 7,
    kTargetIphone = 8,
    kTargetZune = 9,
};

constexpr int kTargetCount = 10;

// What the window shows for a target.
struct TargetInfo {
    int commandId;                  // the target button's command
    std::string_view caption;       // the button's text
    std::string_view tooltip;       // the button's tooltip
    std::string_view profileLabel;  // shown before the profile list, followed by ":"
    // The extension the window shows after the base name; empty when it
    // follows the selected profile's FileType.
    std::string_view shownExtension;
    std::string_view editorTitle;  // the profile editor's title
};

// The target's row of the table, or nothing for the reserved index and
// indices outside 0..9.
std::optional<TargetInfo> InfoOfTarget(int target);

// The target a button's command selects, or nothing for other commands.
std::optional<int> TargetOfCommand(int commandId);
