// The console text of ffmpeg and mencoder as the runner reads it: cut into
// pieces of any size by the pipe, into chunks by the chunker, then parsed in
// either mode, with the window's time display after each chunk; and the
// whole text searched for the tool's complaint, as a failed run's is.
#include <algorithm>

#include "app/tools/output_chunker.h"
#include "app/tools/output_parser.h"
#include "app/tools/time_display.h"
#include "app/tools/tool_failure.h"
#include "tests/fuzz/fuzz_input.h"

void FuzzInput(const uint8_t* data, size_t size) {
    fuzz::InputFields fields(data, size);
    const uint8_t flags = fields.Byte();
    const uint8_t pieceBytes = fields.Byte();
    ToolOutputState state;
    state.preferredAudioId = std::string(fields.Field());
    state.probeOnly = (flags & 1) != 0;
    const ParseMode mode = (flags & 2) ? PositionOutput : FfmpegOutput;
    const std::string_view prefix = (flags & 4) ? "mencoder -ovc lavc -o " : "ffmpeg -y -i ";
    // Runs whose duration came from an earlier probe.
    if (flags & 8) state.media.durationSeconds = ParseTimeString(fields.Field());
    if (flags & 16) state.media.streamInfoComplete = true;
    std::string_view text = fields.Rest();

    // One line at most, and only so long.
    const std::string complaint = ToolFailureLine(text);
    FUZZ_CHECK(complaint.size() <= 300);
    FUZZ_CHECK(complaint.find_first_of("\r\n") == std::string::npos);

    ProgressClock clock;
    OutputChunker chunker;
    const auto parse = [&](std::string_view chunk) {
        FUZZ_CHECK(chunk.size() <= OutputChunker::kChunkBytes);
        if (mode == PositionOutput) {
            ParsePositionChunk(chunk, state, clock);
        } else {
            ParseFfmpegChunk(chunk, prefix, state, clock);
        }
        FUZZ_CHECK(state.probeText.View().size() < ProbeText::kCapacity);
        const PictureFacts& picture = state.media.picture;
        FUZZ_CHECK(picture.widthPx >= 0 && picture.heightPx >= 0);
        FUZZ_CHECK(picture.sampleAspectWidth > 0 && picture.sampleAspectHeight > 0);
        FUZZ_CHECK(picture.rotationDegrees > -360 && picture.rotationDegrees < 360);
        FUZZ_CHECK(state.media.audioStreamCount >= 0);
        TimeDisplayTexts(clock, state.media.inputName);
    };
    while (!text.empty()) {
        const std::span<char> space = chunker.FreeSpace();
        FUZZ_CHECK(!space.empty());
        const size_t count = std::min({text.size(), space.size(), size_t{pieceBytes} + 1});
        std::copy_n(text.data(), count, space.data());
        text.remove_prefix(count);
        const std::string_view chunk = chunker.Take(count);
        if (!chunk.empty()) parse(chunk);
    }
    if (!chunker.Rest().empty()) parse(chunker.Rest());
}
