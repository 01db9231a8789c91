// A job file of any content, and the same text as an input's clip file: the
// description reads without an empty or made-up input, the output of every
// input and its follow-on files are never one of the job's inputs, and the
// pictures the clip marks
// and the job's time window choose lie inside the input, first before last.
#include <algorithm>
#include <cmath>

#include "korvan/entry/frame_window.h"
#include "korvan/entry/job_file.h"
#include "korvan/entry/media_dispatch.h"
#include "korvan/entry/output_names.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

constexpr double kRates[] = {25, 29.97002997, 23.976, 1, 0.5, 120, 0, 1e9};

void CheckWindow(korvan::FrameWindow window, korvan::FrameWindow input) {
    FUZZ_CHECK(window.first <= window.last);
    FUZZ_CHECK(window.first >= input.first);
    FUZZ_CHECK(window.last <= input.last);
}

}  // namespace

void FuzzInput(const uint8_t* data, size_t size) {
    fuzz::InputFields fields(data, size);
    const double rate = kRates[fields.Byte() % std::size(kRates)];
    const uint8_t first = fields.Byte();
    const uint8_t length = fields.Byte();
    const korvan::FrameWindow input{first, static_cast<std::uint32_t>(first) * 7 + length * 131u};
    const std::string exportFolder(fields.Field());
    const fuzz::MemoryFile file(reinterpret_cast<const uint8_t*>(fields.Rest().data()),
                                fields.Rest().size());

    const korvan::JobDescription job = korvan::JobFile(file.Path()).ReadDescription();
    FUZZ_CHECK(job.inputs.size() <= static_cast<std::size_t>(std::max(0, job.inputCount)));
    FUZZ_CHECK(std::none_of(job.inputs.begin(), job.inputs.end(),
                            [](const std::string& name) { return name.empty(); }));
    FUZZ_CHECK(!job.merge || job.inputs.size() > 1);

    if (const auto dispatch = korvan::DispatchMediaType(job.mediaType)) {
        FUZZ_CHECK(job.mediaType >= 0 && job.mediaType <= 6);
        const korvan::PictureSize picture =
            korvan::OutputPictureSize(*dispatch, first & 1, {first * 4 + 2, length * 2 + 2});
        FUZZ_CHECK(picture.width > 0 && picture.height > 0);
        const std::string planned = job.inputs.size() == 1 ? job.plannedResult : std::string();
        for (const std::string& name : job.inputs) {
            const std::string output =
                korvan::OutputNameFor(exportFolder, name, planned, dispatch->form, job.inputs);
            FUZZ_CHECK(std::find(job.inputs.begin(), job.inputs.end(), output) == job.inputs.end());
            // The follow-on files in order, each named after the one before.
            int splitCount = 0;
            std::string current = output;
            for (int piece = 0; piece <= length % 3; ++piece) {
                const int before = splitCount;
                const std::string next =
                    korvan::NextSplitOutputName(current, splitCount, job.inputs);
                FUZZ_CHECK(next != current && splitCount > before);
                FUZZ_CHECK(std::find(job.inputs.begin(), job.inputs.end(), next) ==
                           job.inputs.end());
                current = next;
            }
        }
    } else {
        FUZZ_CHECK(job.mediaType < 0 || job.mediaType > 6);
    }

    // Clip files are INI files too; the same bytes as one.
    const korvan::ClipMarks marks = korvan::ReadClipMarks(file.Path());
    const korvan::FrameWindow clip = korvan::ClipFrameWindow(marks, rate, input);
    CheckWindow(clip, input);
    CheckWindow(korvan::JobFrameWindow(clip, job.startSeconds, job.endSeconds, rate, input), input);
}
