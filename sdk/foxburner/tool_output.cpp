#include "sdk/foxburner/tool_output.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

namespace foxburner {
namespace {

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// The decimal number (digits and one ".") starting at the first digit at or
// after `from`; `end` gets the position after it.
std::optional<double> NumberAfter(std::string_view text, std::size_t from, std::size_t* end) {
    const std::size_t start = text.find_first_of("0123456789", from);
    if (start == std::string_view::npos) return std::nullopt;
    std::size_t stop = start;
    while (stop < text.size() &&
           (std::isdigit(static_cast<unsigned char>(text[stop])) || text[stop] == '.')) {
        ++stop;
    }
    double value = 0;
    const auto [ptr, error] = std::from_chars(text.data() + start, text.data() + stop, value);
    if (error != std::errc()) return std::nullopt;
    if (end) *end = static_cast<std::size_t>(ptr - text.data());
    return value;
}

// The number just before the "%" that follows `label`.
std::optional<double> PercentAfter(std::string_view line, std::string_view label) {
    const std::size_t at = line.find(label);
    if (at == std::string_view::npos) return std::nullopt;
    std::size_t end = 0;
    const std::optional<double> value = NumberAfter(line, at + label.size(), &end);
    if (!value || end >= line.size() || line[end] != '%') return std::nullopt;
    return value;
}

std::string FirstLineWhere(std::string_view output, bool (*matches)(std::string_view)) {
    for (std::string_view line : OutputLines(output)) {
        if (matches(Trimmed(line))) return std::string(Trimmed(line));
    }
    return {};
}

bool IsGenisoimageError(std::string_view line) {
    return line.starts_with("genisoimage:") && !Contains(line, "Warning");
}

bool IsXorrisoError(std::string_view line) {
    return Contains(line, " : FAILURE : ") || Contains(line, " : FATAL : ") ||
           Contains(line, " : SORRY : ") || Contains(line, " : ABORT : ");
}

bool IsVcdimagerError(std::string_view line) { return Contains(line, "ERROR"); }

bool IsCdrdaoError(std::string_view line) { return line.starts_with("ERROR"); }

}  // namespace

std::vector<std::string_view> OutputLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<DriveInfo> ParseDriveList(std::string_view text) {
    std::vector<DriveInfo> drives;
    for (std::string_view line : OutputLines(text)) {
        const std::size_t dev = line.find("-dev '");
        if (dev == std::string_view::npos) continue;
        const std::size_t pathStart = dev + 6;
        const std::size_t pathEnd = line.find('\'', pathStart);
        if (pathEnd == std::string_view::npos || pathEnd == pathStart) continue;
        DriveInfo drive;
        drive.path = std::string(line.substr(pathStart, pathEnd - pathStart));
        // Vendor and model follow the colon, each in single quotes.
        std::size_t at = line.find(':', pathEnd);
        std::string* fields[] = {&drive.vendor, &drive.model};
        for (std::string* field : fields) {
            if (at == std::string_view::npos) break;
            const std::size_t open = line.find('\'', at);
            if (open == std::string_view::npos) break;
            // A name whose closing quote is missing runs to the line's end.
            const std::size_t close = std::min(line.find('\'', open + 1), line.size());
            *field = std::string(Trimmed(line.substr(open + 1, close - open - 1)));
            at = close == line.size() ? std::string_view::npos : close + 1;
        }
        drives.push_back(std::move(drive));
    }
    return drives;
}

MediaState ParseMediaState(std::string_view text) {
    MediaState state = MediaState::kUnknown;
    for (std::string_view line : OutputLines(text)) {
        if (Contains(line, "No media") || Contains(line, "is not present")) {
            return MediaState::kNoMedium;
        }
        // Overwriteable media (DVD+RW, DVD-RAM, a stdio file) take a new
        // image whatever they hold.
        if (line.starts_with("Media current:") && Contains(line, "overwriteable")) {
            return MediaState::kWritable;
        }
        if (!line.starts_with("Media status :")) continue;
        if (Contains(line, "is blank") || Contains(line, "is appendable")) {
            state = MediaState::kWritable;
        } else {
            state = MediaState::kNotWritable;
        }
    }
    return state;
}

bool ParseXorrisoProgress(std::string_view line, WriteProgress& progress) {
    if (!Contains(line, "UPDATE :")) return false;
    const std::size_t of = line.find(" of ");
    if (of != std::string_view::npos && Contains(line, "MB written")) {
        std::size_t end = 0;
        const std::optional<double> done = NumberAfter(line, line.find("UPDATE :"), &end);
        const std::optional<double> total = NumberAfter(line, of, nullptr);
        if (!done || !total || end > of) return false;
        progress.percent = *total > 0 ? std::min(100.0, *done * 100 / *total) : 0;
        progress.bytesWritten = *done * 1048576;
    } else if (Contains(line, "Writing:")) {
        // Native mode: "Writing: 8192s 78.5% fifo 100% buf 50% 0.0xD"
        std::size_t end = 0;
        const std::optional<double> sectors = NumberAfter(line, line.find("Writing:"), &end);
        if (!sectors || end >= line.size() || line[end] != 's') return false;
        const std::optional<double> percent = NumberAfter(line, end, nullptr);
        if (!percent) return false;
        progress.percent = std::min(100.0, *percent);
        progress.bytesWritten = *sectors * 2048;
    } else {
        return false;
    }
    if (const std::optional<double> buffer = PercentAfter(line, "buf")) {
        progress.bufferPercent = *buffer;
    }
    return true;
}

bool ParseCdrdaoProgress(std::string_view line, WriteProgress& progress) {
    line = Trimmed(line);
    if (!line.starts_with("Wrote ")) return false;
    const std::size_t of = line.find(" of ");
    if (of == std::string_view::npos || !Contains(line, " MB")) return false;
    std::size_t end = 0;
    const std::optional<double> done = NumberAfter(line, 0, &end);
    const std::optional<double> total = NumberAfter(line, of, nullptr);
    if (!done || !total || end > of) return false;
    progress.percent = *total > 0 ? std::min(100.0, *done * 100 / *total) : 0;
    progress.bytesWritten = *done * 1048576;
    // "(Buffers 100%  96%)": the fifo, then the drive; "(Buffer 96%)": the drive.
    const std::size_t buffers = line.find("(Buffers");
    if (buffers != std::string_view::npos) {
        const std::size_t firstPercent = line.find('%', buffers);
        if (firstPercent != std::string_view::npos) {
            std::size_t drivePercentEnd = 0;
            const std::optional<double> drive = NumberAfter(line, firstPercent, &drivePercentEnd);
            if (drive) progress.bufferPercent = *drive;
        }
    } else if (const std::optional<double> buffer = PercentAfter(line, "(Buffer")) {
        progress.bufferPercent = *buffer;
    }
    return true;
}

long long ParsePrintSize(std::string_view text) {
    constexpr std::string_view kScheduled = "Total extents scheduled to be written = ";
    long long sectors = -1;
    for (std::string_view line : OutputLines(text)) {
        line = Trimmed(line);
        const std::size_t at = line.find(kScheduled);
        std::string_view digits =
            at == std::string_view::npos ? line : line.substr(at + kScheduled.size());
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
            continue;
        }
        long long value = 0;
        const auto [ptr, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (error == std::errc()) sectors = value;
    }
    return sectors;
}

std::string ToolFailure(Tool tool, std::string_view output, int exitCode) {
    std::string complaint;
    bool finishedWell = true;
    switch (tool) {
        case Tool::kGenisoimage:
            complaint = FirstLineWhere(output, IsGenisoimageError);
            break;
        case Tool::kXorriso:
            complaint = FirstLineWhere(output, IsXorrisoError);
            finishedWell = Contains(output, "completed successfully");
            break;
        case Tool::kVcdimager:
            complaint = FirstLineWhere(output, IsVcdimagerError);
            finishedWell = Contains(output, "finished ok");
            break;
        case Tool::kCdrdao:
            complaint = FirstLineWhere(output, IsCdrdaoError);
            break;
    }
    if (!complaint.empty()) return complaint;
    if (exitCode != 0) return "exit status " + std::to_string(exitCode);
    if (!finishedWell) return "the tool ended without reporting a finished write";
    return {};
}

std::string CueWithBinName(std::string_view cue, const std::string& binName) {
    std::string result;
    std::size_t start = 0;
    while (start < cue.size()) {
        std::size_t end = cue.find('\n', start);
        const bool hasEnd = end != std::string_view::npos;
        if (!hasEnd) end = cue.size();
        std::string_view line = cue.substr(start, end - start);
        const std::string_view trimmed = Trimmed(line);
        if (trimmed.starts_with("FILE ")) {
            // The type (BINARY) follows the closing quote of the old name.
            const std::size_t open = trimmed.find('"');
            const std::size_t close =
                open == std::string_view::npos ? open : trimmed.find('"', open + 1);
            const std::string_view type =
                close == std::string_view::npos ? " BINARY" : trimmed.substr(close + 1);
            result += "FILE \"" + binName + "\"" + std::string(type);
        } else {
            result += line;
        }
        if (hasEnd) result += '\n';
        start = end + 1;
    }
    return result;
}

}  // namespace foxburner
