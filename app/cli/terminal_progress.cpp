#include "app/cli/terminal_progress.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr std::string_view kEllipsis = "...";
constexpr int kShortestBar = 10;
constexpr int kLongestBar = 30;
// What a line holds besides the name and the bar, with times of an hour.
constexpr int kColumnsBesideBar =
    static_cast<int>(std::string_view("  []  100%  0:00:00  left 0:00:00").size());
// Columns a name keeps before the bar and then the times give way to it.
constexpr int kNameColumnsKept = 12;

// One UTF-8 sequence: its bytes' length, and its code point when it is
// valid (shortest form, no surrogate, at most U+10FFFF).
struct Sequence {
    std::size_t length = 1;
    std::optional<char32_t> codePoint;
};

Sequence SequenceAt(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) return {1, lead};
    std::size_t length = 0;
    char32_t value = 0;
    char32_t least = 0;
    if ((lead & 0xe0) == 0xc0) {
        length = 2, value = lead & 0x1f, least = 0x80;
    } else if ((lead & 0xf0) == 0xe0) {
        length = 3, value = lead & 0x0f, least = 0x800;
    } else if ((lead & 0xf8) == 0xf0) {
        length = 4, value = lead & 0x07, least = 0x10000;
    } else {
        return {};
    }
    if (pos + length > text.size()) return {};
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xc0) != 0x80) return {};
        value = (value << 6) | (next & 0x3f);
    }
    if (value < least || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff)) return {};
    return {length, value};
}

bool MovesCursor(char32_t c) { return c < 0x20 || (c >= 0x7f && c <= 0x9f); }

struct Range {
    char32_t first;
    char32_t last;
};

bool InRanges(char32_t c, const auto& ranges) {
    return std::any_of(std::begin(ranges), std::end(ranges),
                       [c](const Range& r) { return c >= r.first && c <= r.last; });
}

// Marks drawn onto the character before them, and characters of no width.
constexpr Range kZeroWidth[] = {
    {0x0300, 0x036f}, {0x0483, 0x0489}, {0x0591, 0x05bd}, {0x0610, 0x061a},
    {0x064b, 0x065f}, {0x1ab0, 0x1aff}, {0x1dc0, 0x1dff}, {0x200b, 0x200f},
    {0x20d0, 0x20ff}, {0xfe00, 0xfe0f}, {0xfe20, 0xfe2f},
};
// East Asian wide and full-width characters, and pictographs, which
// terminals draw two columns wide.
constexpr Range kDoubleWidth[] = {
    {0x1100, 0x115f},   {0x2e80, 0x303e},   {0x3041, 0x33ff},   {0x3400, 0x4dbf},
    {0x4e00, 0x9fff},   {0xa000, 0xa4cf},   {0xac00, 0xd7a3},   {0xf900, 0xfaff},
    {0xfe30, 0xfe4f},   {0xff00, 0xff60},   {0xffe0, 0xffe6},   {0x1f300, 0x1f64f},
    {0x1f900, 0x1f9ff}, {0x20000, 0x2fffd}, {0x30000, 0x3fffd},
};

int ColumnsOf(const Sequence& sequence) {
    if (!sequence.codePoint) return 1;
    const char32_t c = *sequence.codePoint;
    if (InRanges(c, kZeroWidth)) return 0;
    return InRanges(c, kDoubleWidth) ? 2 : 1;
}

// A printable text cut into its characters, each with its columns.
struct Piece {
    std::string_view bytes;
    int columns;
};

std::vector<Piece> Pieces(std::string_view printable) {
    std::vector<Piece> pieces;
    for (std::size_t pos = 0; pos < printable.size();) {
        const Sequence sequence = SequenceAt(printable, pos);
        pieces.push_back({printable.substr(pos, sequence.length), ColumnsOf(sequence)});
        pos += sequence.length;
    }
    return pieces;
}

// The printable text in at most `columns` columns: whole when it fits, else
// its start and end around "...", cut between characters.
std::string Elided(const std::string& printable, int columns) {
    if (TextColumns(printable) <= columns) return printable;
    const std::vector<Piece> pieces = Pieces(printable);
    const int ellipsisColumns = static_cast<int>(kEllipsis.size());
    const bool withEllipsis = columns > ellipsisColumns;
    const int room = withEllipsis ? columns - ellipsisColumns : columns;
    const int headRoom = withEllipsis ? (room + 1) / 2 : room;
    const int tailRoom = room - headRoom;

    std::string head;
    int used = 0;
    std::size_t headEnd = 0;
    for (; headEnd < pieces.size() && used + pieces[headEnd].columns <= headRoom; ++headEnd) {
        head += pieces[headEnd].bytes;
        used += pieces[headEnd].columns;
    }
    if (!withEllipsis) return head;

    std::size_t tailBegin = pieces.size();
    used = 0;
    while (tailBegin > headEnd && used + pieces[tailBegin - 1].columns <= tailRoom) {
        --tailBegin;
        used += pieces[tailBegin].columns;
    }
    // A mark that belonged to a character left out would sit on the "...".
    while (tailBegin < pieces.size() && pieces[tailBegin].columns == 0) ++tailBegin;
    std::string tail;
    for (std::size_t i = tailBegin; i < pieces.size(); ++i) tail += pieces[i].bytes;
    return head + std::string(kEllipsis) + tail;
}

// "  0%", " 42%", "100%", " --%".
std::string PercentText(std::optional<int> percent) {
    if (!percent) return " --%";
    char text[8];
    std::snprintf(text, sizeof text, "%3d%%", std::clamp(*percent, 0, 100));
    return text;
}

std::string Bar(std::optional<int> percent, int columns) {
    const int filled = percent ? std::clamp(*percent, 0, 100) * columns / 100 : 0;
    return "[" + std::string(static_cast<std::size_t>(filled), '#') +
           std::string(static_cast<std::size_t>(columns - filled), '.') + "]";
}

std::string_view ResultWord(FileResult result) {
    switch (result) {
        case FileResult::kConverted:
            return "converted";
        case FileResult::kFailed:
            return "failed";
        case FileResult::kStopped:
            return "stopped";
    }
    return "";
}

// The line after the name: the bar (when wanted), percentage, elapsed
// time, and the time left or how the file ended.
std::string AfterName(const FileProgress& progress, std::optional<int> barColumns,
                      std::string_view ending) {
    std::string text;
    if (barColumns) text += "  " + Bar(progress.percent, *barColumns);
    text += "  " + PercentText(progress.percent) + "  " + DurationText(progress.elapsedSeconds);
    return text + "  " + std::string(ending);
}

std::string TerminalLine(const FileProgress& progress, int widthColumns, std::string_view ending) {
    const int room = std::max(widthColumns - 1, 0);
    const std::string name = PrintableName(progress.name);
    const int nameKept = std::min(TextColumns(name), kNameColumnsKept);
    // The bar takes the room the name and the longest times leave, so that it
    // keeps its length while the times grow and shrink.
    const int barColumns =
        std::clamp(room - TextColumns(name) - kColumnsBesideBar, kShortestBar, kLongestBar);

    const std::string forms[] = {
        AfterName(progress, barColumns, ending),
        AfterName(progress, std::nullopt, ending),
        "  " + PercentText(progress.percent),
    };
    for (const std::string& after : forms) {
        const int left = room - static_cast<int>(after.size());
        if (left >= nameKept) return Elided(name, left) + after;
    }
    return Elided(name, room);
}

}  // namespace

std::string DurationText(std::optional<int> seconds) {
    if (!seconds || *seconds < 0) return "--:--";
    const int hours = *seconds / 3600;
    const int minutes = *seconds / 60 % 60;
    const int rest = *seconds % 60;
    char text[32];
    if (hours == 0) {
        std::snprintf(text, sizeof text, "%02d:%02d", minutes, rest);
    } else {
        std::snprintf(text, sizeof text, "%d:%02d:%02d", hours, minutes, rest);
    }
    return text;
}

std::string PrintableName(std::string_view name) {
    std::string printable;
    for (std::size_t pos = 0; pos < name.size();) {
        const Sequence sequence = SequenceAt(name, pos);
        if (sequence.codePoint && !MovesCursor(*sequence.codePoint)) {
            printable += name.substr(pos, sequence.length);
        } else {
            printable += '?';
        }
        pos += sequence.length;
    }
    return printable;
}

int TextColumns(std::string_view text) {
    int columns = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        const Sequence sequence = SequenceAt(text, pos);
        columns += ColumnsOf(sequence);
        pos += sequence.length;
    }
    return columns;
}

std::string ProgressLine(const FileProgress& progress, int widthColumns) {
    return TerminalLine(progress, widthColumns, "left " + DurationText(progress.remainingSeconds));
}

std::string EndLine(const FileProgress& progress, FileResult result) {
    std::string percent = PercentText(progress.percent);
    percent.erase(0, percent.find_first_not_of(' '));
    return PrintableName(progress.name) + "  " + percent + "  " +
           DurationText(progress.elapsedSeconds) + "  " + std::string(ResultWord(result));
}

std::string SummaryText(const RunSummary& summary) {
    const int failedCount = static_cast<int>(summary.failed.size());
    const int total = summary.convertedCount + failedCount + summary.stoppedCount;
    std::string text = "Converted " + std::to_string(summary.convertedCount) + " of " +
                       std::to_string(total) + (total == 1 ? " file" : " files");
    if (failedCount > 0) text += "; " + std::to_string(failedCount) + " failed";
    if (summary.stoppedCount > 0) {
        text += "; stopped, " + std::to_string(summary.stoppedCount) + " not converted";
    }
    text += ".\n";
    for (const std::string& output : summary.outputs) {
        text += "Output: " + PrintableName(output) + "\n";
    }
    return text;
}

std::string FailuresText(const RunSummary& summary) {
    std::string text;
    for (const FailedFile& file : summary.failed) {
        text += "failed: " + PrintableName(file.name);
        std::string_view reason = file.reason;
        std::string_view separator = ": ";
        while (!reason.empty()) {
            const std::size_t end = reason.find('\n');
            std::string_view line = reason.substr(0, end);
            reason = end == std::string_view::npos ? std::string_view() : reason.substr(end + 1);
            if (line.ends_with('\r')) line.remove_suffix(1);
            if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
            text += std::string(separator) + PrintableName(line);
            separator = "\n    ";
        }
        text += "\n";
    }
    return text;
}

TerminalProgress::TerminalProgress(std::ostream& out, ProgressOutput output, int widthColumns)
    : out_(out), output_(output), widthColumns_(widthColumns) {}

void TerminalProgress::Update(const FileProgress& progress) {
    if (output_ != ProgressOutput::kTerminal) return;
    const std::string line = ProgressLine(progress, widthColumns_);
    if (line != drawn_) Draw(line);
}

void TerminalProgress::End(const FileProgress& progress, FileResult result) {
    if (output_ == ProgressOutput::kTerminal) {
        Draw(TerminalLine(progress, widthColumns_, ResultWord(result)));
    } else {
        out_ << EndLine(progress, result);
    }
    out_ << '\n';
    out_.flush();
    drawn_.clear();
}

void TerminalProgress::Draw(const std::string& line) {
    // A shorter line leaves the end of the longer one unless blanked.
    const int left = TextColumns(drawn_) - TextColumns(line);
    out_ << '\r' << line << std::string(static_cast<std::size_t>(std::max(left, 0)), ' ');
    out_.flush();
    drawn_ = line;
}
