#include "tests/korvan/mux/mux_media.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "platform/program_lookup.h"
#include "tests/support/run_program.h"

namespace test {

namespace {

using korvan::EncoderPreset;
using korvan::TvSystem;

// The folder name holds a blank and non-ASCII letters on purpose.
std::string MediaFolder() { return std::string(ZARVO_TEST_FOLDER) + "mux media ünï/"; }

struct Recipe {
    std::vector<std::string> input;   // lavfi source
    std::vector<std::string> coding;  // codec options and output format
};

std::vector<std::string> VideoSource(const std::string& size, bool pal, int seconds) {
    return {"-f", "lavfi",
            "-i", "testsrc2=size=" + size + ":rate=" + (pal ? "25" : "30000/1001"),
            "-t", std::to_string(seconds)};
}

std::vector<std::string> AudioSource(int rate, int seconds) {
    return {"-f",  "lavfi", "-i", "sine=frequency=440:sample_rate=" + std::to_string(rate),
            "-ac", "2",     "-t", std::to_string(seconds)};
}

// Video shaped like each target's own: VideoCD constant 1150 kbit/s in its
// 40 KB VBV, SuperVCD and DVD variable with their rate ceilings and 224 KB.
bool VideoRecipe(const std::string& name, Recipe& recipe) {
    const bool pal = name.find("-pal.") != std::string::npos;
    const bool longer = name.find("-long-") != std::string::npos;
    const std::string gop = name.rfind("dvd", 0) == 0 && pal ? "12" : "15";
    const std::string sd = pal ? "288" : "240";
    const std::string hd = pal ? "576" : "480";
    std::vector<std::string> common = {"-g", gop, "-bf", "2"};
    if (longer) common.insert(common.end(), {"-flags", "+cgop", "-sc_threshold", "1000000000"});
    const int seconds = longer ? 12 : 2;
    if (name.rfind("mpeg1-", 0) == 0) {
        recipe.input = VideoSource("352x" + sd, pal, seconds);
        recipe.coding = {"-c:v", "mpeg1video", "-b:v", "1800k"};
    } else if (name.rfind("vcd-", 0) == 0) {
        recipe.input = VideoSource("352x" + sd, pal, seconds);
        recipe.coding = {"-c:v",  "mpeg1video", "-b:v",  "1150k",    "-minrate",
                         "1150k", "-maxrate",   "1150k", "-bufsize", "327680"};
    } else if (name.rfind("mpeg2-", 0) == 0) {
        recipe.input = VideoSource("720x" + hd, pal, seconds);
        recipe.coding = {"-c:v",  "mpeg2video", "-b:v",    "6000k",   "-maxrate",
                         "9000k", "-bufsize",   "1835008", "-aspect", "4:3"};
    } else if (name.rfind("svcd-", 0) == 0) {
        recipe.input = VideoSource("480x" + hd, pal, seconds);
        recipe.coding = {"-c:v",  "mpeg2video", "-b:v",    "2000k",   "-maxrate",
                         "2376k", "-bufsize",   "1835008", "-aspect", "4:3"};
    } else if (name.rfind("dvd-", 0) == 0) {
        recipe.input = VideoSource("720x" + hd, pal, seconds);
        recipe.coding = {"-c:v",  "mpeg2video", "-b:v",    "6000k",   "-maxrate",
                         "9800k", "-bufsize",   "1835008", "-aspect", "4:3"};
    } else {
        return false;
    }
    recipe.coding.insert(recipe.coding.end(), common.begin(), common.end());
    recipe.coding.insert(recipe.coding.end(),
                         {"-f", recipe.coding[1] == "mpeg1video" ? "mpeg1video" : "mpeg2video"});
    return true;
}

bool AudioRecipe(const std::string& name, Recipe& recipe) {
    const bool second = name.rfind("second-", 0) == 0;
    const std::string base = second ? name.substr(7) : name;
    const int seconds = base.find("-long") != std::string::npos ? 12 : 2;
    const bool ac3 = base.rfind("ac3-", 0) == 0;
    if (!ac3 && base.rfind("mp2-", 0) != 0) return false;
    const int rate = base.find("44100") != std::string::npos ? 44100 : 48000;
    recipe.input = AudioSource(rate, seconds);
    const std::string bitRate = ac3 ? (second ? "192k" : "448k") : (second ? "192k" : "224k");
    recipe.coding = {"-c:a", ac3 ? "ac3" : "mp2", "-b:a", bitRate, "-f", ac3 ? "ac3" : "mp2"};
    return true;
}

std::string Program(const std::string& name) { return platform::FindProgram(name, ""); }

}  // namespace

korvan::mux::MuxReport RunMultiplex(const korvan::EncoderSettings& settings,
                                    const std::string& video, const std::string& audio,
                                    const std::string& secondAudio, const std::string& programPath,
                                    const std::string& unitFolder) {
    korvan::mux::MuxRequest request;
    request.videoPath = video;
    request.audioPath = audio;
    request.secondAudioPath = secondAudio;
    request.programPath = programPath;
    request.unitFolder = unitFolder;
    if (!video.empty()) request.flags |= korvan::mux::kMuxVideo;
    if (!audio.empty()) request.flags |= korvan::mux::kMuxAudio;
    if (!secondAudio.empty()) request.flags |= korvan::mux::kMuxSecondAudio;
    korvan::mux::QuietMuxHost host;
    return korvan::mux::Multiplex(settings, request, host);
}

ToolRun RunInstalled(const std::string& program, const std::vector<std::string>& arguments,
                     const std::vector<std::string>& environment) {
    std::vector<std::string> command;
    if (!environment.empty()) {
        command.push_back(Program("env"));
        command.insert(command.end(), environment.begin(), environment.end());
    }
    command.push_back(Program(program));
    command.insert(command.end(), arguments.begin(), arguments.end());
    const ProgramRun run = RunProgram(command);
    return {run.exitCode, run.out, run.err};
}

std::string MuxMedia(const std::string& name) {
    const std::string path = MediaFolder() + name;
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && info.st_size > 0) return path;
    Recipe recipe;
    if (!VideoRecipe(name, recipe) && !AudioRecipe(name, recipe)) return {};
    std::filesystem::create_directories(MediaFolder());
    // Test programs run side by side: each makes its own copy and renames
    // it into place, so no one reads a half-written stream.
    const std::string partial = path + ".part" + std::to_string(getpid());
    std::vector<std::string> arguments = {"-v", "error", "-y"};
    arguments.insert(arguments.end(), recipe.input.begin(), recipe.input.end());
    arguments.insert(arguments.end(), recipe.coding.begin(), recipe.coding.end());
    arguments.push_back(partial);
    const ToolRun run = RunInstalled("ffmpeg", arguments);
    if (run.exitCode != 0 || std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        return {};
    }
    return path;
}

std::string VideoFor(EncoderPreset preset, TvSystem system) {
    static const char* const kNames[] = {"mpeg1", "vcd", "mpeg2", "svcd", "dvd"};
    const bool mpeg1 = preset == EncoderPreset::kMpeg1 || preset == EncoderPreset::kVideoCd;
    return MuxMedia(std::string(kNames[static_cast<int>(preset)]) +
                    (system == TvSystem::kPal ? "-pal" : "-ntsc") + (mpeg1 ? ".m1v" : ".m2v"));
}

std::string AudioFor(EncoderPreset preset) {
    switch (preset) {
        case EncoderPreset::kMpeg1:
        case EncoderPreset::kVideoCd:
        case EncoderPreset::kSuperVcd:
            return MuxMedia("mp2-44100.mp2");
        case EncoderPreset::kMpeg2:
            return MuxMedia("mp2-48000.mp2");
        case EncoderPreset::kDvd:
            return MuxMedia("ac3-48000.ac3");
    }
    return {};
}

std::string SecondAudioFor(EncoderPreset preset) {
    switch (preset) {
        case EncoderPreset::kMpeg2:
            return MuxMedia("second-ac3-48000.ac3");
        case EncoderPreset::kSuperVcd:
            return MuxMedia("second-mp2-44100.mp2");
        case EncoderPreset::kDvd:
            return MuxMedia("second-mp2-48000.mp2");
        default:
            return {};
    }
}

std::vector<ProbedStream> ProbeStreams(const std::string& path) {
    const ToolRun run = RunInstalled(
        "ffprobe", {"-v", "error", "-count_frames", "-show_entries",
                    "stream=codec_name,duration,nb_read_frames", "-of", "csv=p=0", path});
    std::vector<ProbedStream> streams;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, ',');) fields.push_back(field);
        if (fields.size() < 3) continue;
        ProbedStream stream;
        stream.codec = fields[0];
        if (fields[1] != "N/A") stream.durationSeconds = std::atof(fields[1].c_str());
        stream.frames = std::atof(fields[2].c_str());
        streams.push_back(stream);
    }
    return streams;
}

std::string DecodeErrors(const std::string& path) {
    const ToolRun run =
        RunInstalled("ffmpeg", {"-v", "error", "-i", path, "-map", "0", "-f", "null", "-"});
    return run.err + (run.exitCode == 0 ? "" : "ffmpeg exit code " + std::to_string(run.exitCode));
}

std::string LinesWith(const std::string& text, const std::vector<std::string>& markers) {
    std::string found;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        for (const std::string& marker : markers) {
            if (line.find(marker) != std::string::npos) {
                found += line + "\n";
                break;
            }
        }
    }
    return found;
}

DvdAuthoring AuthorDvd(const std::string& path, const std::string& folder, TvSystem system) {
    DvdAuthoring result;
    const std::vector<std::string> format = {std::string("VIDEO_FORMAT=") +
                                             (system == TvSystem::kPal ? "PAL" : "NTSC")};
    const ToolRun title = RunInstalled("dvdauthor", {"-o", folder, "-t", path}, format);
    const ToolRun table = RunInstalled("dvdauthor", {"-o", folder, "-T"}, format);
    result.complaints = LinesWith(title.out + title.err + table.out + table.err, {"ERR", "WARN"});
    if (title.exitCode != 0 || table.exitCode != 0) result.complaints += "dvdauthor failed\n";
    const ToolRun list = RunInstalled("lsdvd", {"-x", folder});
    const size_t at = list.out.find("Length: ");
    if (at != std::string::npos) {
        int hours = 0;
        int minutes = 0;
        double seconds = 0;
        if (std::sscanf(list.out.c_str() + at, "Length: %d:%d:%lf", &hours, &minutes, &seconds) ==
            3) {
            result.titleSeconds = hours * 3600 + minutes * 60 + seconds;
        }
    }
    return result;
}

std::string VcdImagerComplaints(const std::string& path, const std::string& folder,
                                const std::string& type, const std::vector<std::string>& options) {
    // vcdimager warns when it overwrites an image.
    std::remove((folder + "videocd.cue").c_str());
    std::remove((folder + "videocd.bin").c_str());
    std::vector<std::string> arguments = {
        "-t", type, "-c", folder + "videocd.cue", "-b", folder + "videocd.bin"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    arguments.push_back(path);
    const ToolRun run = RunInstalled("vcdimager", arguments);
    std::string complaints = LinesWith(run.out + run.err, {"WARN", "ERROR"});
    if (run.exitCode != 0) complaints += "vcdimager failed\n";
    return complaints;
}

StreamLength MeasureStream(const std::string& path) {
    const ToolRun run = RunInstalled("ffprobe", {"-v", "error", "-count_frames", "-show_entries",
                                                 "stream=nb_read_frames,r_frame_rate,sample_rate",
                                                 "-of", "default=noprint_wrappers=1", path});
    std::map<std::string, std::string> values;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    StreamLength length;
    length.frames = std::atof(values["nb_read_frames"].c_str());
    const std::string sampleRate = values["sample_rate"];
    if (!sampleRate.empty() && sampleRate != "N/A") {
        const bool ac3 = path.size() > 4 && path.substr(path.size() - 4) == ".ac3";
        length.seconds = length.frames * (ac3 ? 1536 : 1152) / std::atof(sampleRate.c_str());
        return length;
    }
    int numerator = 0;
    int denominator = 1;
    std::sscanf(values["r_frame_rate"].c_str(), "%d/%d", &numerator, &denominator);
    if (numerator > 0) length.seconds = length.frames * denominator / numerator;
    return length;
}

}  // namespace test
