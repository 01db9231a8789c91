// The titles of a DVD folder: its VOB files grouped by title set, and the
// choice of the main title (the group that plays longest).
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

constexpr int kDvdTitleGroups = 100;
using DvdTitleGroups = std::array<std::vector<std::string>, kDvdTitleGroups>;

// The "*.vob" files (any case) in the VIDEO_TS folder of a DVD folder, sorted
// by file name. Empty when there is no such folder.
std::vector<std::string> ListVobFiles(const std::string& dvdFolder);

// Puts every VOB into a group: "VIDEO_TS.VOB" into 0, menu VOBs (names
// ending in "0") into 1, title VOBs "VTS_tt_n" into tt + 1; then moves the
// groups that are not empty to the front, keeping their order. Names that
// carry no title number are left out.
DvdTitleGroups GroupVobFiles(const std::vector<std::string>& vobPaths);

// The whole seconds a group plays: the probed durations added one by one,
// truncated after each addition.
using DurationOf = std::function<double(const std::string& path)>;
int GroupDurationSeconds(const std::vector<std::string>& group, const DurationOf& durationOf);

// The group with the largest duration; the lower index on equal totals.
int LongestGroup(const DvdTitleGroups& groups, const DurationOf& durationOf);

// The VOBs of a DVD folder's main title: its longest group. Empty when the
// folder holds no title.
std::vector<std::string> MainTitleOf(const std::string& dvdFolder, const DurationOf& durationOf);
