// zarvo-convert's progress on standard output: on a terminal one line per
// file, redrawn in place as the file converts; elsewhere (a pipe, a log) one
// plain line per file when it ends. Then the run's summary. The caller
// measures the terminal's width and the times; this only formats and writes.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// Where the lines go: a terminal redraws a line in place with "\r"; any
// other output gets only whole lines.
enum class ProgressOutput { kTerminal, kPlainLines };

struct FileProgress {
    std::string name;                     // the file as shown (UTF-8 or not)
    std::optional<int> percent;           // 0..100 (clamped); unknown without a duration
    int elapsedSeconds = 0;               // since the file started
    std::optional<int> remainingSeconds;  // unknown until there is a rate to go by
};

enum class FileResult { kConverted, kFailed, kStopped };

// "mm:ss" below an hour, "h:mm:ss" from an hour on; "--:--" for a negative
// or unknown time.
std::string DurationText(std::optional<int> seconds);

// The name with every byte that would move the cursor or is not UTF-8
// (control characters, a broken sequence) shown as "?".
std::string PrintableName(std::string_view name);

// How many terminal columns the UTF-8 text takes (wide East Asian
// characters two, combining marks none).
int TextColumns(std::string_view text);

// The terminal's line for a file: "name  [#####.....]  42%  00:12  left 00:17",
// at most `widthColumns` - 1 columns (the last column is left free, so the
// cursor never wraps), the name shortened in its middle with "..." to fit,
// the bar left out when the line is narrow.
std::string ProgressLine(const FileProgress& progress, int widthColumns);

// The plain line for a file that ended: "name  42%  00:12  failed", the
// name whole (only made printable).
std::string EndLine(const FileProgress& progress, FileResult result);

struct FailedFile {
    std::string name;
    std::string reason;
};

struct RunSummary {
    int convertedCount = 0;
    std::vector<FailedFile> failed;
    int stoppedCount = 0;              // not converted because the run was stopped
    std::vector<std::string> outputs;  // where the outputs went: folders, image files
};

// For standard output: "Converted 2 of 3 files; 1 failed." (and how many the
// stop left), then "Output: PATH" for each place.
std::string SummaryText(const RunSummary& summary);

// For standard error: "failed: NAME: REASON" for each failed file, a reason
// of several lines indented under it.
std::string FailuresText(const RunSummary& summary);

// Writes the progress of a run's files to `out`, one file after another.
class TerminalProgress {
public:
    TerminalProgress(std::ostream& out, ProgressOutput output, int widthColumns);

    // The file's progress now. A terminal gets the line redrawn when its text
    // changed; plain lines get nothing until the file ends.
    void Update(const FileProgress& progress);

    // The file's last state and how it ended: its line is finished with a
    // line break (on a terminal, the bar with the result in place of the
    // time left).
    void End(const FileProgress& progress, FileResult result);

private:
    void Draw(const std::string& line);

    std::ostream& out_;
    ProgressOutput output_;
    int widthColumns_;
    std::string drawn_;  // the line on the terminal now, "" at the start of a line
};
