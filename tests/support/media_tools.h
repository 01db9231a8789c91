// Test media made with the installed ffmpeg, and what ffprobe says about a
// file. Paths may hold blanks: they are quoted on the command lines here.
#pragma once

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "platform/child_process.h"

namespace test {

inline std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// Runs a command line (split into words as the program does) and returns
// everything it printed; `exitCode` gets its exit status (-1 when it did not
// run or end normally).
inline std::string RunTool(const std::string& commandLine, int* exitCode = nullptr) {
    platform::ChildProcess child;
    std::string text;
    if (exitCode) *exitCode = -1;
    if (child.Start(commandLine, "") != platform::StartResult::kStarted) return text;
    char buffer[4096];
    while (std::size_t n = child.ReadOutput(buffer, sizeof buffer)) text.append(buffer, n);
    const platform::ChildExit exit = child.Finish(std::chrono::seconds(5));
    if (exitCode && exit.how == platform::ChildExit::How::kExited) *exitCode = exit.code;
    return text;
}

// A clip of test pictures and a tone; `extraOptions` chooses codecs and
// container ("-c:v mpeg4 -c:a mp2"). True when ffmpeg made it.
inline bool MakeClip(const std::string& path, double seconds, const std::string& extraOptions,
                     const std::string& size = "320x240") {
    const std::string length = std::to_string(seconds);
    int exitCode = -1;
    RunTool("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=" + size + ":rate=25:duration=" +
                length + " -f lavfi -i sine=frequency=440:duration=" + length + " -shortest " +
                extraOptions + " " + Quoted(path),
            &exitCode);
    return exitCode == 0;
}

struct ProbedFile {
    std::string formatName;  // ffprobe's, "mov,mp4,m4a,3gp,3g2,mj2"
    std::string majorBrand;  // of MP4-like files: "isom", "3gp4", "3g2a", "MSNV"
    std::string videoCodec;  // decoder names: "mpeg4", "h264", "msmpeg4v3"
    std::string audioCodec;
    int width = 0;  // of the video stream
    int height = 0;
    double durationSeconds = 0;
};

inline ProbedFile ProbeWithFfprobe(const std::string& path) {
    ProbedFile file;
    std::istringstream format(
        RunTool("ffprobe -v error -show_entries format=format_name,duration:format_tags="
                "major_brand -of default=nw=1 " +
                Quoted(path)));
    for (std::string line; std::getline(format, line);) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key == "format_name") file.formatName = value;
        if (key == "TAG:major_brand") file.majorBrand = value;
        if (key == "duration") file.durationSeconds = std::atof(value.c_str());
    }
    std::istringstream streams(RunTool(
        "ffprobe -v error -show_entries stream=codec_name,codec_type,width,height -of csv=p=0 " +
        Quoted(path)));
    // "mpeg4,video,320,240" or "aac,audio"; side data may add empty fields.
    for (std::string line; std::getline(streams, line);) {
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string field; std::getline(split, field, ',');) fields.push_back(field);
        if (fields.size() >= 4 && fields[1] == "video" && file.videoCodec.empty()) {
            file.videoCodec = fields[0];
            file.width = std::atoi(fields[2].c_str());
            file.height = std::atoi(fields[3].c_str());
        }
        if (fields.size() >= 2 && fields[1] == "audio" && file.audioCodec.empty()) {
            file.audioCodec = fields[0];
        }
    }
    return file;
}

}  // namespace test
