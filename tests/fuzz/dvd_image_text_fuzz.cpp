// What the DVD image library reads, of any content: the description file
// "dvdimage.ini" (a description it accepts has a menu, at most kMaxTitles
// titles, each with a file and a button of positive size; one it refuses
// says why) and the authoring tools' lines, split in arbitrary pieces
// (figures are finite and not negative).
#include <cmath>
#include <optional>
#include <string>

#include "sdk/foximager/disc_description.h"
#include "sdk/foximager/tool_output.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

void CheckFigure(const std::optional<double>& figure) {
    if (figure) FUZZ_CHECK(std::isfinite(*figure) && *figure >= 0);
}

}  // namespace

void FuzzInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    std::string error;
    const std::optional<foximager::DiscDescription> description =
        foximager::ParseDiscDescription(text, error);
    if (description) {
        FUZZ_CHECK(!description->menu.empty());
        FUZZ_CHECK(description->titles.size() <= foximager::kMaxTitles);
        for (const foximager::DiscTitle& title : description->titles) {
            FUZZ_CHECK(!title.file.empty());
            FUZZ_CHECK(title.button.right > title.button.left);
            FUZZ_CHECK(title.button.bottom > title.button.top);
        }
    } else {
        FUZZ_CHECK(!error.empty());
    }

    // The same text as a tool's output, arriving in pieces cut by its first
    // byte.
    const size_t piece = 1 + (size == 0 ? 0 : data[0] % 61);
    foximager::LineSplitter splitter;
    const auto take = [](std::string_view line) {
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string_view::npos);
        CheckFigure(foximager::FfmpegProgressSeconds(line));
        CheckFigure(foximager::DvdauthorMegabytes(line));
        CheckFigure(foximager::SpumuxSeconds(line));
        if (const std::optional<std::string> file = foximager::DvdauthorFile(line)) {
            FUZZ_CHECK(file->size() <= line.size());
        }
        foximager::IsErrorLine(line);
    };
    for (size_t at = 0; at < text.size(); at += piece) splitter.Feed(text.substr(at, piece), take);
    splitter.Flush(take);
}
