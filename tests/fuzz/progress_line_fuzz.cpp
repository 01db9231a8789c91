// Any file name and any figures on a terminal of any width: the line fits
// the width, holds whole UTF-8 characters and nothing that moves the
// cursor; a log's line and the failure list keep one file to a line.
#include <algorithm>
#include <string>

#include "app/cli/terminal_progress.h"
#include "tests/fuzz/fuzz_input.h"

void FuzzInput(const uint8_t* data, size_t size) {
    fuzz::InputFields fields(data, size);
    const int width = fields.Byte();
    const uint8_t percentByte = fields.Byte();
    const int elapsed = fields.Byte() * 997;
    const std::optional<int> percent =
        percentByte == 255 ? std::nullopt : std::optional<int>(percentByte - 50);
    const std::optional<int> remaining =
        percentByte % 3 == 0 ? std::nullopt : std::optional<int>(elapsed - 5000);
    const std::string name(fields.Field());
    const std::string reason(fields.Rest());
    const FileProgress progress{name, percent, elapsed, remaining};

    const std::string line = ProgressLine(progress, width);
    FUZZ_CHECK(TextColumns(line) <= std::max(width - 1, 0));
    FUZZ_CHECK(PrintableName(line) == line);

    const std::string end = EndLine(progress, FileResult::kFailed);
    FUZZ_CHECK(PrintableName(end) == end);
    FUZZ_CHECK(end.ends_with("  failed"));

    RunSummary summary;
    summary.failed = {{name, reason}, {reason, name}};
    const std::string failures = FailuresText(summary);
    FUZZ_CHECK(failures.starts_with("failed: "));
    FUZZ_CHECK(failures.ends_with("\n"));
    std::size_t start = 0;
    int failedLines = 0;
    while (start < failures.size()) {
        const std::size_t stop = failures.find('\n', start);
        const std::string failureLine = failures.substr(start, stop - start);
        FUZZ_CHECK(PrintableName(failureLine) == failureLine);
        FUZZ_CHECK(failureLine.starts_with("failed: ") || failureLine.starts_with("    "));
        failedLines += failureLine.starts_with("failed: ") ? 1 : 0;
        start = stop + 1;
    }
    FUZZ_CHECK(failedLines == 2);
}
