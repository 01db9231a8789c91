// Test media made with the installed ffmpeg, and what ffprobe says about a
// file. Paths are handed to the tools as words of their own, so they may
// hold blanks and double quotes.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "platform/command_line.h"

namespace test {

inline std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// Runs a tool with these words as its arguments and returns everything it
// printed; `exitCode` gets its exit status (-1 when it did not run or end
// normally).
inline std::string RunArguments(std::vector<std::string> arguments, int* exitCode = nullptr) {
    platform::ChildProcess child;
    std::string text;
    if (exitCode) *exitCode = -1;
    if (child.StartArguments(std::move(arguments), "") != platform::StartResult::kStarted) {
        return text;
    }
    char buffer[4096];
    while (std::size_t n = child.ReadOutput(buffer, sizeof buffer)) text.append(buffer, n);
    const platform::ChildExit exit = child.Finish(std::chrono::seconds(5));
    if (exitCode && exit.how == platform::ChildExit::How::kExited) *exitCode = exit.code;
    return text;
}

// The same for a command line, split into words as the program does.
inline std::string RunTool(const std::string& commandLine, int* exitCode = nullptr) {
    return RunArguments(platform::SplitCommandLine(commandLine), exitCode);
}

// A command line's words followed by one more: a path, whatever it holds.
inline std::vector<std::string> WordsThen(const std::string& commandLine, const std::string& path) {
    std::vector<std::string> words = platform::SplitCommandLine(commandLine);
    words.push_back(path);
    return words;
}

// A clip of test pictures and a tone; `extraOptions` chooses codecs and
// container ("-c:v mpeg4 -c:a mp2"). True when ffmpeg made it.
inline bool MakeClip(const std::string& path, double seconds, const std::string& extraOptions,
                     const std::string& size = "320x240") {
    const std::string length = std::to_string(seconds);
    int exitCode = -1;
    RunArguments(WordsThen("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=" + size +
                               ":rate=25:duration=" + length +
                               " -f lavfi -i sine=frequency=440:duration=" + length +
                               " -shortest " + extraOptions,
                           path),
                 &exitCode);
    return exitCode == 0;
}

// Tones that tell two audio tracks apart after any conversion.
constexpr int kFirstTrackToneHz = 440;
constexpr int kSecondTrackToneHz = 1000;

// A DVD-style MPEG-2 program stream with two AC-3 tracks: 0x80 (stereo,
// kFirstTrackToneHz) and 0x81 (mono, kSecondTrackToneHz).
inline bool MakeTwoTrackVob(const std::string& path, double seconds = 2) {
    const std::string length = std::to_string(seconds);
    int exitCode = -1;
    RunArguments(
        WordsThen(
            "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=720x576:rate=25:duration=" +
                length + " -f lavfi -i sine=frequency=" + std::to_string(kFirstTrackToneHz) +
                ":duration=" + length + " -f lavfi -i sine=frequency=" +
                std::to_string(kSecondTrackToneHz) + ":duration=" + length +
                " -map 0 -map 1 -map 2 -c:v mpeg2video -aspect 4:3 -c:a ac3 -ar 48000"
                " -ac:a:0 2 -ac:a:1 1 -f dvd",
            path),
        &exitCode);
    return exitCode == 0;
}

// The frequency of the tone in a file's first audio stream, from the zero
// crossings of its decoded samples; 0 when it cannot be decoded. `scratch`
// is a file name the decoded samples may be written to.
inline double ToneFrequencyHz(const std::string& path, const std::string& scratch) {
    constexpr int kRateHz = 48000;
    int exitCode = -1;
    RunArguments({"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", path, "-vn", "-ac", "1", "-ar",
                  std::to_string(kRateHz), "-f", "s16le", "-c:a", "pcm_s16le", scratch},
                 &exitCode);
    if (exitCode != 0) return 0;
    std::ifstream in(scratch, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t count = bytes.size() / 2;
    if (count < 2) return 0;
    // Coding noise around silence must not count: a crossing is a swing from
    // below -kLevel to above +kLevel or back (the tones peak near 4096).
    constexpr int kLevel = 1000;
    int crossings = 0;
    int side = 0;
    std::size_t first = 0;
    std::size_t last = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const auto low = static_cast<unsigned char>(bytes[2 * i]);
        const auto high = static_cast<unsigned char>(bytes[2 * i + 1]);
        const int sample = static_cast<std::int16_t>(static_cast<std::uint16_t>(low | high << 8));
        const int now = sample > kLevel ? 1 : (sample < -kLevel ? -1 : side);
        if (now != side) {
            if (side != 0) {
                ++crossings;
                last = i;
            } else {
                first = i;
            }
            side = now;
        }
    }
    if (crossings < 2) return 0;
    // Half a period between crossings, timed from the first swing to the last.
    return crossings / 2.0 / (static_cast<double>(last - first) / kRateHz);
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
        RunArguments(WordsThen("ffprobe -v error -show_entries format=format_name,duration:"
                               "format_tags=major_brand -of default=nw=1",
                               path)));
    for (std::string line; std::getline(format, line);) {
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key == "format_name") file.formatName = value;
        if (key == "TAG:major_brand") file.majorBrand = value;
        if (key == "duration") file.durationSeconds = std::atof(value.c_str());
    }
    std::istringstream streams(RunArguments(WordsThen(
        "ffprobe -v error -show_entries stream=codec_name,codec_type,width,height -of csv=p=0",
        path)));
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
