// Reading what the burning tools print: the drive list and media state of
// xorriso, the progress lines of xorriso and cdrdao, the image size of
// genisoimage, and whether a run failed (several of these tools can exit 0
// after an error, so their words count as much as their exit status). Each is
// a pure function of the text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace foxburner {

// Lines of tool output; CR (progress lines) and LF both end a line.
std::vector<std::string_view> OutputLines(std::string_view text);

struct DriveInfo {
    std::string path;  // "/dev/sr0"
    std::string vendor;
    std::string model;
};

// The drives of `xorriso -devices`:
//   0  -dev '/dev/sr0' rwrw-- :  'HL-DT-ST' 'DVDRAM GH24NSD1'
std::vector<DriveInfo> ParseDriveList(std::string_view text);

enum class MediaState { kWritable, kNotWritable, kNoMedium, kUnknown };

// The medium as `xorriso -outdev DRIVE` describes it ("Media status : is
// blank", "is written , is appendable", "Media current: ... overwriteable").
MediaState ParseMediaState(std::string_view text);

struct WriteProgress {
    double percent = 0;
    double bufferPercent = 0;
    double bytesWritten = 0;
};

// "xorriso : UPDATE :   16 of   60 MB written (fifo 99%) [buf  50%]  10.1x."
bool ParseXorrisoProgress(std::string_view line, WriteProgress& progress);
// "Wrote 12 of 30 MB (Buffers 100%  96%)." (the second is the drive's buffer)
bool ParseCdrdaoProgress(std::string_view line, WriteProgress& progress);

// The number of 2048-byte sectors `genisoimage -print-size` reports; -1
// when there is none.
long long ParsePrintSize(std::string_view text);

enum class Tool { kGenisoimage, kXorriso, kVcdimager, kCdrdao };

// "" when the run succeeded, else the line that tells why it did not (or a
// text naming the exit status).
std::string ToolFailure(Tool tool, std::string_view output, int exitCode);

// A cue sheet whose FILE lines name `binName`, so that the cue still finds
// its BIN file beside it once both are moved.
std::string CueWithBinName(std::string_view cue, const std::string& binName);

}  // namespace foxburner
