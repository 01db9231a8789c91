// What the burning tools print, of any content, as the burning stand-in
// reads it: the drive list, the medium's state, progress lines, the image
// size and each tool's verdict; percentages stay within 0..100.
#include <cmath>

#include "sdk/foxburner/disc_compliance.h"
#include "sdk/foxburner/tool_output.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

void CheckProgress(const foxburner::WriteProgress& progress) {
    FUZZ_CHECK(std::isfinite(progress.percent) && progress.percent >= 0 && progress.percent <= 100);
    FUZZ_CHECK(std::isfinite(progress.bufferPercent) && std::isfinite(progress.bytesWritten));
}

}  // namespace

void FuzzInput(const uint8_t* data, size_t size) {
    fuzz::InputFields fields(data, size);
    const int exitCode = static_cast<int8_t>(fields.Byte());
    const std::string binName(fields.Field());
    const std::string_view text = fields.Rest();

    for (const foxburner::DriveInfo& drive : foxburner::ParseDriveList(text)) {
        FUZZ_CHECK(!drive.path.empty());
    }
    foxburner::ParseMediaState(text);
    FUZZ_CHECK(foxburner::ParsePrintSize(text) >= -1);
    for (const std::string_view line : foxburner::OutputLines(text)) {
        FUZZ_CHECK(line.data() >= text.data() &&
                   line.data() + line.size() <= text.data() + text.size());
        foxburner::WriteProgress progress;
        if (foxburner::ParseXorrisoProgress(line, progress)) CheckProgress(progress);
        progress = {};
        if (foxburner::ParseCdrdaoProgress(line, progress)) CheckProgress(progress);
    }
    for (const auto tool : {foxburner::Tool::kGenisoimage, foxburner::Tool::kXorriso,
                            foxburner::Tool::kVcdimager, foxburner::Tool::kCdrdao}) {
        foxburner::ToolFailure(tool, text, exitCode);
        // A failed exit is a failure, whatever was printed.
        if (exitCode != 0) FUZZ_CHECK(!foxburner::ToolFailure(tool, text, exitCode).empty());
    }
    if (exitCode != 0) FUZZ_CHECK(!foxburner::VcdImagerProblem(text, exitCode).empty());
    foxburner::CueWithBinName(text, binName);
}
