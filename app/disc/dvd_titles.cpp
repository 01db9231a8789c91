#include "app/disc/dvd_titles.h"

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <utility>

#include "platform/file_names.h"

namespace {

constexpr int kVideoTsGroup = 0;
constexpr int kMenuGroup = 1;
constexpr int kMaxSeconds = 1 << 30;

std::string UpperCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The group of one VOB by its name, or -1 when the name carries no title.
int GroupOfVob(const std::string& path) {
    const std::string name = UpperCase(platform::BaseName(path));
    if (name == "VIDEO_TS") return kVideoTsGroup;
    if (!name.empty() && name.back() == '0') return kMenuGroup;
    // "VTS_01_1": the title set number stands at positions 4 and 5.
    if (name.size() < 6 || !std::isdigit(static_cast<unsigned char>(name[4])) ||
        !std::isdigit(static_cast<unsigned char>(name[5]))) {
        return -1;
    }
    const int title = (name[4] - '0') * 10 + (name[5] - '0');
    // Title set 99 would need a 101st group.
    return title + 1 < kDvdTitleGroups ? title + 1 : -1;
}

}  // namespace

std::vector<std::string> ListVobFiles(const std::string& dvdFolder) {
    const std::string videoTs =
        platform::ResolveFileName(platform::WithTrailingSlash(dvdFolder) + "VIDEO_TS") + "/";
    std::vector<std::string> paths;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(videoTs.c_str()), closedir);
    if (!dir) return paths;
    while (const dirent* entry = readdir(dir.get())) {
        if (platform::EndsWithIgnoringCase(entry->d_name, ".vob")) {
            paths.push_back(videoTs + entry->d_name);
        }
    }
    // By name without regard to case, as the parts of a title are numbered.
    std::sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
        return UpperCase(a) < UpperCase(b);
    });
    return paths;
}

DvdTitleGroups GroupVobFiles(const std::vector<std::string>& vobPaths) {
    DvdTitleGroups groups;
    for (const std::string& path : vobPaths) {
        const int group = GroupOfVob(path);
        if (group >= 0) groups[static_cast<std::size_t>(group)].push_back(path);
    }
    std::stable_partition(groups.begin(), groups.end(),
                          [](const std::vector<std::string>& group) { return !group.empty(); });
    return groups;
}

int GroupDurationSeconds(const std::vector<std::string>& group, const DurationOf& durationOf) {
    int seconds = 0;
    for (const std::string& path : group) {
        const double duration = durationOf(path);
        if (!(duration > 0)) continue;
        // A garbled probe must not overflow the count of whole seconds.
        seconds = static_cast<int>(std::min(seconds + duration, double{kMaxSeconds}));
    }
    return seconds;
}

int LongestGroup(const DvdTitleGroups& groups, const DurationOf& durationOf) {
    int longest = 0;
    int longestSeconds = -1;
    for (int i = 0; i < kDvdTitleGroups; ++i) {
        const auto& group = groups[static_cast<std::size_t>(i)];
        if (group.empty()) continue;
        const int seconds = GroupDurationSeconds(group, durationOf);
        if (seconds > longestSeconds) {
            longest = i;
            longestSeconds = seconds;
        }
    }
    return longest;
}

std::vector<std::string> MainTitleOf(const std::string& dvdFolder, const DurationOf& durationOf) {
    DvdTitleGroups groups = GroupVobFiles(ListVobFiles(dvdFolder));
    return std::move(groups[static_cast<std::size_t>(LongestGroup(groups, durationOf))]);
}
