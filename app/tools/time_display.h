// The main window's progress texts for a conversion: " Finished" (control
// 1021) and " Remain" (control 1022) from the ProgressClock, and
// " Converting ... Now..." (control 1020) with the file's name.
#pragma once

#include <string>

#include "app/tools/run_context.h"

inline constexpr int kConvertingTextControl = 1020;
inline constexpr int kFinishedTextControl = 1021;
inline constexpr int kRemainTextControl = 1022;

struct TimeDisplay {
    std::string finished;    // " Finished: 00:01:05"
    std::string remain;      // " Remain: 00:02:10"
    std::string converting;  // " Converting /a/b.avi Now..."
};

TimeDisplay TimeDisplayTexts(const ProgressClock& clock, const std::string& fileName);

// " Converting %s Now...", cut after 70 characters with "..." appended
// when longer. The status panes use the same rule.
std::string ConvertingText(const std::string& fileName);
