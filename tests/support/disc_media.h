// Disc material made at test time with the installed tools, and what the
// independent readers (lsdvd, isoinfo, vcd-info) say about a finished disc
// image.
#pragma once

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/media_tools.h"

namespace test {

// A clip made for a disc by ffmpeg's own disc target ("pal-vcd",
// "pal-svcd", "pal-dvd").
inline bool MakeDiscClip(const std::string& path, const std::string& discTarget, double seconds = 2,
                         const std::string& extraOptions = "") {
    const std::string length = std::to_string(seconds);
    int exitCode = -1;
    RunTool("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=320x240:rate=25:duration=" +
                length + " -f lavfi -i sine=frequency=440:duration=" + length + " -target " +
                discTarget + " " + extraOptions + " " + Quoted(path),
            &exitCode);
    return exitCode == 0;
}

// Authors a DVD-Video folder with one title from a "pal-dvd" clip:
// `parent`/VIDEO_TS (and AUDIO_TS), as dvdauthor writes it.
inline bool MakeVideoTsFolder(const std::string& parent, const std::string& dvdClip) {
    // The table of contents needs a video standard; the clips are PAL.
    setenv("VIDEO_FORMAT", "PAL", 1);
    int exitCode = -1;
    RunTool("dvdauthor -o " + Quoted(parent) + " -t " + Quoted(dvdClip), &exitCode);
    if (exitCode != 0) return false;
    RunTool("dvdauthor -o " + Quoted(parent) + " -T", &exitCode);
    return exitCode == 0;
}

// The title lengths lsdvd reads from a disc image or folder, in seconds.
inline std::vector<double> LsdvdTitleSeconds(const std::string& disc) {
    std::vector<double> lengths;
    std::istringstream lines(RunTool("lsdvd " + Quoted(disc)));
    for (std::string line; std::getline(lines, line);) {
        // "Title: 01, Length: 00:00:02.000 Chapters: 01, ..."
        const std::size_t at = line.find("Length: ");
        if (!line.starts_with("Title: ") || at == std::string::npos) continue;
        const std::string time = line.substr(at + 8, 12);
        lengths.push_back(std::atoi(time.substr(0, 2).c_str()) * 3600 +
                          std::atoi(time.substr(3, 2).c_str()) * 60 +
                          std::atof(time.substr(6).c_str()));
    }
    return lengths;
}

// The files of an ISO image's folder and their sizes, as isoinfo lists them
// ("VTS_01_1.VOB" without the ";1").
inline std::map<std::string, long long> IsoFolderFiles(const std::string& iso,
                                                       const std::string& folder) {
    std::map<std::string, long long> files;
    std::istringstream lines(RunTool("isoinfo -l -i " + Quoted(iso)));
    bool inFolder = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("Directory listing of ")) {
            inFolder = line == "Directory listing of " + folder;
            continue;
        }
        // "----------   0    0    0     1728512 Dec  8 2026 [    312 00]  VTS_01_1.VOB;1 "
        const std::size_t bracket = line.find("]  ");
        if (!inFolder || bracket == std::string::npos || line.starts_with("d")) continue;
        std::string name = line.substr(bracket + 3);
        name = name.substr(0, name.find(';'));
        std::istringstream fields(line);
        std::string permissions, links, user, group;
        long long size = -1;
        fields >> permissions >> links >> user >> group >> size;
        files[name] = size;
    }
    return files;
}

// What vcd-info reads from a BIN/CUE image: the number of video entries and
// the format it names ("VCD 2.0", "SVCD").
struct VideoCdImageInfo {
    int entries = -1;
    std::string format;
};

inline VideoCdImageInfo ReadVideoCdImage(const std::string& cue) {
    VideoCdImageInfo info;
    std::istringstream lines(
        RunTool("vcd-info --no-banner -c " + Quoted(cue) + " --show-entries-all --show-format"));
    for (std::string line; std::getline(lines, line);) {
        const std::size_t entries = line.find(" entries: ");
        if (entries != std::string::npos) info.entries = std::atoi(line.c_str() + entries + 10);
        // "VCD 2.0 detected"
        if (line.ends_with(" detected") && info.format.empty()) {
            info.format = line.substr(0, line.size() - 9);
        }
    }
    return info;
}

}  // namespace test
