#include "app/tools/output_parser.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <optional>

namespace {

constexpr std::size_t npos = std::string_view::npos;

// What older ffmpeg printed when it gave up on a file.
constexpr std::array<std::string_view, 3> kClassicFailureTexts = {
    "Unsupported codec", "Unknown format", "I/O error occured"};

// What ffmpeg 5.1 prints instead. The run's exit status catches the rest;
// these are what a probe (which always exits with 1) has to go by.
constexpr std::array<std::string_view, 7> kFailureTexts = {
    "No such file or directory",                 // "/a/b.avi: No such file or directory"
    "Permission denied",                         // "/a/b.avi: Permission denied"
    "Invalid data found when processing input",  // "b.avi: Invalid data found when ..."
    "Unknown encoder",                           // "Unknown encoder 'amr_nb'"
    "Invalid frame size",                        // "Invalid frame size: 0x0."
    "Error selecting an encoder",                // "Error selecting an encoder for stream 0:1"
    "Conversion failed!",
};

// A packet the decoder could not read; the tool goes on, the output is made:
// "Error while decoding stream #0:1: Invalid data found when processing input".
constexpr std::string_view kSurvivedError = "Error while decoding";

// "Stream #0." is the older text, "Stream #0:" that of ffmpeg 5.1; both are
// followed by the stream index.
constexpr std::string_view kOldStreamMarker = "Stream #0.";
constexpr std::string_view kStreamMarker = "Stream #0:";
constexpr std::size_t kStreamMarkerLength = 10;

bool Contains(std::string_view text, std::string_view marker) { return text.find(marker) != npos; }

// A double from its decimal text after leading blanks; 0 when none can be
// read or it is not finite.
double ReadDecimal(std::string_view text) {
    std::size_t start = text.find_first_not_of(" \t\r\n");
    if (start == npos) return 0;
    if (text[start] == '+') ++start;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data() + start, text.data() + text.size(), value,
                                              std::chars_format::fixed);
    static_cast<void>(end);
    return error == std::errc() && std::isfinite(value) ? value : 0;
}

// A truncated double as an int, safe for any value.
int Truncate(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}

// The position of a progress line: seconds in older text, a time string in
// ffmpeg 5.1's. A negative time (5.1 prints one at the start of some inputs)
// carries no progress.
std::optional<double> ReadPosition(std::string_view text) {
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == npos || text[start] == '-') return std::nullopt;
    return text.find(':') != npos ? ParseTimeString(text) : ReadDecimal(text);
}

void UpdateProgress(ToolOutputState& state, ProgressClock& clock) {
    const double duration = state.media.durationSeconds;
    clock.positionSeconds = Truncate(state.positionSeconds);
    clock.totalSeconds = Truncate(duration);
    state.percent = Truncate(state.positionSeconds / duration * 100);
}

// The closing line of a probe: "...at least one output file..." in older
// text, "At least one output file must be ..." in ffmpeg 5.1's.
bool EndsProbe(std::string_view chunk) {
    return Contains(chunk, "at least") || Contains(chunk, "At least");
}

std::size_t FindStreamMarker(std::string_view text, std::size_t from) {
    return std::min(text.find(kOldStreamMarker, from), text.find(kStreamMarker, from));
}

// The codec name of a stream line's codec field, the text up to its comma.
// ffmpeg 5.1 adds descriptions in brackets ("aac (LC) (mp4a / 0x6134706D)");
// they are not part of the name, and the codec tag in them must not be taken
// for the name of a codec the tool cannot decode.
std::string CodecName(std::string_view field) {
    field = field.substr(0, field.find(','));
    field = field.substr(0, field.find(" ("));
    const std::size_t last = field.find_last_not_of(' ');
    return std::string(field.substr(0, last == npos ? 0 : last + 1));
}

int ReadIndex(std::string_view line, std::size_t& position) {
    long long index = 0;
    while (position < line.size() && line[position] >= '0' && line[position] <= '9') {
        if (index < INT_MAX) index = index * 10 + (line[position] - '0');
        ++position;
    }
    return index > INT_MAX ? INT_MAX : static_cast<int>(index);
}

// A whole number at the start of `text`, or -1 when there is none.
int LeadingNumber(std::string_view text) {
    std::size_t position = 0;
    if (text.empty() || text[0] < '0' || text[0] > '9') return -1;
    return ReadIndex(text, position);
}

// "1920x1080" as the first ", WxH" of a video line (a codec tag such as
// "0x31637661" follows no comma).
void ReadFrameSize(std::string_view line, PictureFacts& picture) {
    for (std::size_t comma = line.find(", "); comma != npos; comma = line.find(", ", comma + 2)) {
        std::size_t position = comma + 2;
        const int width = LeadingNumber(line.substr(position));
        if (width <= 0) continue;
        ReadIndex(line, position);
        if (position >= line.size() || line[position] != 'x') continue;
        const int height = LeadingNumber(line.substr(position + 1));
        if (height <= 0) continue;
        picture.widthPx = width;
        picture.heightPx = height;
        return;
    }
}

// "SAR 4:3", in brackets after the size or, for some codecs, on its own
// ("PAR 4:3" in older text). Where the container says another shape than
// the coded picture, ffmpeg prints both ("[SAR 12:11 DAR 4:3], ..., SAR 1:1
// DAR 11:9") and goes by the container's, the last. A zero or unreadable
// shape ("SAR 0:1") leaves square pixels.
void ReadSampleAspect(std::string_view line, PictureFacts& picture) {
    std::size_t sar = line.rfind("SAR ");
    if (sar == npos) sar = line.rfind("PAR ");
    if (sar == npos) return;
    std::size_t position = sar + 4;
    const int width = LeadingNumber(line.substr(position));
    ReadIndex(line, position);
    if (width <= 0 || position >= line.size() || line[position] != ':') return;
    const int height = LeadingNumber(line.substr(position + 1));
    if (height <= 0) return;
    picture.sampleAspectWidth = width;
    picture.sampleAspectHeight = height;
}

// The field order ffmpeg names among the pixel format's details:
// "yuv420p(top first)", "yuv420p(tv, bt709, progressive)". A stream coded
// top field first but shown bottom first reads "top coded first (swapped)".
FieldOrder ReadFieldOrder(std::string_view line) {
    if (Contains(line, "top coded first")) return FieldOrder::kBottomFirst;
    if (Contains(line, "bottom coded first")) return FieldOrder::kTopFirst;
    if (Contains(line, "top first")) return FieldOrder::kTopFirst;
    if (Contains(line, "bottom first")) return FieldOrder::kBottomFirst;
    if (Contains(line, "progressive")) return FieldOrder::kProgressive;
    return FieldOrder::kUnknown;
}

// "displaymatrix: rotation of -90.00 degrees" among the lines that follow
// a video stream's line; whole degrees.
int ReadRotation(std::string_view details) {
    constexpr std::string_view kMarker = "rotation of ";
    const std::size_t at = details.find(kMarker);
    if (at == npos) return 0;
    const std::string_view number = details.substr(at + kMarker.size());
    const double degrees = ReadDecimal(number.substr(0, number.find_first_of(" \r\n")));
    return Truncate(std::fmod(std::round(degrees), 360.0));
}

// One stream line, from its marker to its line end; `details` are the lines
// that follow it up to the next stream.
void ReadStreamLine(std::string_view line, std::string_view details,
                    const std::string& preferredAudioId, MediaInfo& media) {
    std::size_t position = kStreamMarkerLength;
    const int index = ReadIndex(line, position);
    // A bracketed id follows the index at once ("Stream #0:1[0x80]"); a
    // bracket further on belongs to something else ("[SAR 1:1 DAR 4:3]").
    const bool bracketed =
        position < line.size() && line[position] == '[' && line.find(']', position) != npos;
    const std::size_t k = line.find(": ", position);
    // Lines of the stream mapping ("Stream #0:0 -> #0:0 (...)") have none.
    if (k == npos) return;
    const std::string_view kind = line.substr(k + 2, 5);
    const std::size_t codecStart = k + 9;
    if (kind == "Video") {
        media.videoCodec = CodecName(line.substr(std::min(codecStart, line.size())));
        media.videoStreamIndex = index;
        media.picture = {};
        ReadFrameSize(line, media.picture);
        ReadSampleAspect(line, media.picture);
        media.picture.fieldOrder = ReadFieldOrder(line);
        media.picture.rotationDegrees = ReadRotation(details);
        return;
    }
    // Streams whose codec is only a zero tag are skipped entirely.
    if (kind != "Audio" || line.substr(std::min(codecStart, line.size()), 6) == "0x0000") return;
    ++media.audioStreamCount;

    std::string_view id;
    if (bracketed) {
        media.audioStreamLines.emplace_back(line);
        const std::size_t open = line.find('[');
        id = line.substr(open + 1, line.find(']', open) - open - 1);
    }
    const bool take = (!media.streamInfoComplete && preferredAudioId.empty()) ||
                      (!preferredAudioId.empty() && preferredAudioId == id);
    if (!take) return;
    media.audioCodec = CodecName(line.substr(std::min(codecStart, line.size())));
    media.streamInfoComplete = true;
    media.audioStreamIndex = index;
}

}  // namespace

double ParseTimeString(std::string_view text) {
    const std::size_t first = text.find(':');
    if (first == npos) return 0;
    const std::size_t last = text.rfind(':');
    const double hours = ReadDecimal(text.substr(0, first));
    const double minutes =
        last == first ? 0 : ReadDecimal(text.substr(first + 1, last - first - 1));
    const double seconds = ReadDecimal(text.substr(last + 1));
    return hours * 3600 + minutes * 60 + seconds;
}

bool ReportsToolFailure(std::string_view chunk) {
    while (!chunk.empty()) {
        const std::size_t end = chunk.find_first_of("\r\n");
        const std::string_view line = chunk.substr(0, end);
        chunk = end == npos ? std::string_view() : chunk.substr(end + 1);
        for (std::string_view text : kClassicFailureTexts) {
            if (Contains(line, text)) return true;
        }
        if (Contains(line, kSurvivedError)) continue;
        for (std::string_view text : kFailureTexts) {
            if (Contains(line, text)) return true;
        }
    }
    return false;
}

void ParseMediaDescription(std::string_view text, const std::string& preferredAudioId,
                           MediaInfo& media) {
    // Every pass reads the whole text again, so the list is rebuilt, not
    // added to.
    media.audioStreamLines.clear();
    media.audioStreamCount = 0;

    std::size_t e = npos;
    const std::size_t n = text.find("from '");
    if (n != npos) {
        e = text.find("':", n);
        if (e != npos) media.inputName = std::string(text.substr(n + 6, e - n - 6));
    }
    std::size_t c = npos;
    const std::size_t d = text.find("Duration: ", e == npos ? 0 : e);
    if (d != npos) {
        c = text.find(',', d);
        if (c != npos) media.durationSeconds = ParseTimeString(text.substr(d + 10, c - d - 10));
    }

    for (std::size_t g = FindStreamMarker(text, c == npos ? 0 : c); g != npos;
         g = FindStreamMarker(text, g + kStreamMarkerLength)) {
        const std::size_t lineEnd = text.find_first_of("\r\n", g);
        // The rest of the line is still to come.
        if (lineEnd == npos) break;
        const std::size_t next = FindStreamMarker(text, lineEnd);
        const std::string_view details = text.substr(lineEnd, next == npos ? npos : next - lineEnd);
        ReadStreamLine(text.substr(g, lineEnd - g), details, preferredAudioId, media);
    }
}

FieldOrder ReadFieldDetection(std::string_view text) {
    constexpr std::string_view kMarker = "Multi frame detection:";
    const std::size_t at = text.rfind(kMarker);
    if (at == npos) return FieldOrder::kUnknown;
    const std::string_view line = text.substr(at, text.find_first_of("\r\n", at) - at);
    auto count = [&](std::string_view name) {
        const std::size_t label = line.find(name);
        return label == npos ? 0 : Truncate(ReadDecimal(line.substr(label + name.size(), 12)));
    };
    const long long top = count("TFF:");
    const long long bottom = count("BFF:");
    const long long progressive = count("Progressive:");
    if (top + bottom + progressive <= 0) return FieldOrder::kUnknown;
    // Still or quiet pictures look progressive whatever they are; pictures
    // that show two fields at all are mostly found so.
    if (top + bottom <= progressive) return FieldOrder::kProgressive;
    return top >= bottom ? FieldOrder::kTopFirst : FieldOrder::kBottomFirst;
}

void ParseFfmpegChunk(std::string_view chunk, std::string_view commandPrefix,
                      ToolOutputState& state, ProgressClock& clock) {
    if (ReportsToolFailure(chunk)) {
        state.success = false;
        return;
    }
    if (const FieldOrder detected = ReadFieldDetection(chunk); detected != FieldOrder::kUnknown) {
        state.detectedFieldOrder = detected;
    }
    // The newest progress line of a chunk counts: when the tool is quick,
    // several arrive in one read, its final one among them.
    const std::size_t t = chunk.rfind("time=");
    if (t != npos && state.media.durationSeconds > 0) {
        const std::size_t b = chunk.find(" bitrate=", t);
        if (b != npos) {
            if (auto position = ReadPosition(chunk.substr(t + 5, b - t - 5))) {
                state.positionSeconds = *position;
            }
        }
        UpdateProgress(state, clock);
        return;
    }
    if (state.media.streamInfoComplete || !Contains(commandPrefix, "ffmpeg")) return;
    state.probeText.Append(chunk);
    if (!state.probeOnly || EndsProbe(chunk)) {
        ParseMediaDescription(state.probeText.View(), state.preferredAudioId, state.media);
    }
}

void ParsePositionChunk(std::string_view chunk, ToolOutputState& state, ProgressClock& clock) {
    if (ReportsToolFailure(chunk)) {
        state.success = false;
        return;
    }
    const std::size_t p = chunk.rfind("Pos:");
    if (p == npos || state.media.durationSeconds <= 0) return;
    const std::size_t s = chunk.find("s  ", p);
    if (s != npos) {
        if (auto position = ReadPosition(chunk.substr(p + 4, s - p - 4))) {
            state.positionSeconds = *position;
        }
    }
    UpdateProgress(state, clock);
}
