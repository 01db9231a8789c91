// What the authoring tools print while they work, read line by line. Pure
// functions of the text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace foximager {

// Splits what a tool prints into lines at "\n" and "\r" (progress lines end
// in "\r"), across the pieces it arrives in.
class LineSplitter {
public:
    // Calls `take` with each whole line of the piece, without its ending.
    template <typename Take>
    void Feed(std::string_view piece, Take&& take) {
        for (const char c : piece) {
            if (c == '\n' || c == '\r') {
                if (!partial_.empty()) take(std::string_view(partial_));
                partial_.clear();
            } else if (partial_.size() < kMaxLine) {
                partial_ += c;
            }
        }
    }
    // The unfinished last line.
    template <typename Take>
    void Flush(Take&& take) {
        if (!partial_.empty()) take(std::string_view(partial_));
        partial_.clear();
    }

private:
    static constexpr std::size_t kMaxLine = 4096;
    std::string partial_;
};

// ffmpeg's "-progress" lines: "out_time_us=5120000" gives 5.12 seconds.
std::optional<double> FfmpegProgressSeconds(std::string_view line);

// dvdauthor's "STAT: VOBU 16 at 3MB, 1 PGCs" gives 3 (MiB written of the
// file at hand).
std::optional<double> DvdauthorMegabytes(std::string_view line);

// dvdauthor's "STAT: Processing FILE..." gives the file it starts on.
std::optional<std::string> DvdauthorFile(std::string_view line);

// spumux's "STAT: 0:00:01.240" gives 1.24 seconds.
std::optional<double> SpumuxSeconds(std::string_view line);

// dvdauthor and spumux mark the faults they stop at with "ERR:".
bool IsErrorLine(std::string_view line);

}  // namespace foximager
