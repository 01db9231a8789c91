// Picture and sound in step, measured by ffmpeg: a clip of dark pictures
// with one white picture and silence with a short tone from that picture's
// time on; in a converted file the white picture's time and the tone's
// start must still agree. Each time includes the stream's start.
#pragma once

#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

#include "tests/support/media_tools.h"

namespace test {

// The clip: `seconds` long at `rate` pictures per second ("25",
// "30000/1001"), dark moving pictures but picture `flashPicture` white, and
// silence but a 1 kHz tone of 0.2 s from its time on (no sound track at all
// when `sound` is false). `codecs` chooses codecs and container ("-c:v rv20
// -c:a ac3 -f rm").
inline bool MakeFlashAndBeepClip(const std::string& path, double seconds, int flashPicture,
                                 const std::string& codecs, const std::string& size = "320x240",
                                 const std::string& rate = "25", bool sound = true) {
    const std::size_t slash = rate.find('/');
    const double picturesPerSecond =
        std::atof(rate.c_str()) /
        (slash == std::string::npos ? 1.0 : std::atof(rate.c_str() + slash + 1));
    const double flash = flashPicture / picturesPerSecond;
    std::vector<std::string> words = {
        "ffmpeg",
        "-nostdin",
        "-v",
        "error",
        "-y",
        "-f",
        "lavfi",
        "-i",
        "testsrc2=size=" + size + ":rate=" + rate +
            ",lutyuv=y=val*0.4,drawbox=color=white:thickness=fill:enable='eq(n," +
            std::to_string(flashPicture) + ")'"};
    if (sound) {
        words.insert(words.end(),
                     {"-f", "lavfi", "-i",
                      "aevalsrc='if(gte(t," + std::to_string(flash) + ")*lt(t," +
                          std::to_string(flash + 0.2) + "),0.5*sin(2*PI*1000*t),0)':s=44100"});
    }
    words.insert(words.end(), {"-t", std::to_string(seconds)});
    for (const std::string& word : platform::SplitCommandLine(codecs)) words.push_back(word);
    words.push_back(path);
    int exitCode = -1;
    RunArguments(words, &exitCode);
    return exitCode == 0;
}

// The time of the first picture brighter than mid-grey; -1 when none.
inline double FlashSeconds(const std::string& path) {
    const std::string printed = RunArguments(
        {"ffmpeg", "-nostdin", "-v", "error", "-i", path, "-map", "0:v:0", "-vf",
         "signalstats,metadata=mode=print:key=lavfi.signalstats.YAVG:file=-", "-f", "null", "-"});
    std::istringstream lines(printed);
    double time = -1;
    for (std::string line; std::getline(lines, line);) {
        const std::size_t at = line.find("pts_time:");
        if (at != std::string::npos) time = std::atof(line.c_str() + at + 9);
        const std::size_t value = line.find("YAVG=");
        if (value != std::string::npos && std::atof(line.c_str() + value + 5) > 128) return time;
    }
    return -1;
}

// The time the first sound after the opening silence starts; -1 when none.
inline double BeepSeconds(const std::string& path) {
    const std::string printed =
        RunArguments({"ffmpeg", "-nostdin", "-i", path, "-map", "0:a:0", "-af",
                      "silencedetect=n=-30dB:d=0.1", "-f", "null", "-"});
    const std::size_t at = printed.find("silence_end: ");
    return at == std::string::npos ? -1 : std::atof(printed.c_str() + at + 13);
}

// The durations ffprobe gives the first video and audio stream (-1 when it
// has none), and the pictures it counts in the video. PCM sound in an AVI
// has no duration of its own: its length in samples is read instead.
struct StreamFacts {
    double videoSeconds = -1;
    double audioSeconds = -1;
    long pictures = 0;
};

inline StreamFacts ProbeStreamFacts(const std::string& path) {
    StreamFacts facts;
    std::istringstream lines(
        RunArguments({"ffprobe", "-v", "error", "-count_frames", "-show_entries",
                      "stream=codec_type,duration,nb_read_frames,sample_rate,nb_frames", path}));
    std::map<std::string, std::string> stream;
    const auto value = [&stream](const std::string& key) {
        const auto found = stream.find(key);
        return found == stream.end() || found->second == "N/A" ? -1.0
                                                               : std::atof(found->second.c_str());
    };
    for (std::string line; std::getline(lines, line);) {
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) stream[line.substr(0, equals)] = line.substr(equals + 1);
        if (line != "[/STREAM]") continue;
        if (stream["codec_type"] == "video" && facts.videoSeconds < 0) {
            facts.videoSeconds = value("duration");
            facts.pictures = static_cast<long>(value("nb_read_frames"));
        }
        if (stream["codec_type"] == "audio" && facts.audioSeconds < 0) {
            facts.audioSeconds = value("duration");
            if (facts.audioSeconds < 0 && value("sample_rate") > 0 && value("nb_frames") > 0) {
                facts.audioSeconds = value("nb_frames") / value("sample_rate");
            }
        }
        stream.clear();
    }
    return facts;
}

}  // namespace test
