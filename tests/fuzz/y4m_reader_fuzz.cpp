// A YUV4MPEG2 file of any content given to the encoder tool's video mode:
// refused with a message, or every picture it holds read and coded.
#include "korvan/cli/video_encode.h"
#include "korvan/mpegenc/common/cpu_flags.h"
#include "korvan/mpegenc/settings/encoder_presets.h"
#include "korvan/mpegenc/video/yuv_frame.h"
#include "tests/fuzz/fuzz_input.h"

void FuzzInput(const uint8_t* data, size_t size) {
    fuzz::InputFields fields(data, size);
    const uint8_t choice = fields.Byte();
    const std::string_view bytes = fields.Rest();
    const fuzz::MemoryFile file(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    korvan::EncoderSettings settings =
        korvan::PresetSettings(static_cast<korvan::EncoderPreset>(choice % 5),
                               (choice & 0x80) ? korvan::TvSystem::kNtsc : korvan::TvSystem::kPal);
    if (choice & 0x40) settings.chromaFormat = korvan::kChroma422;

    korvan::VideoModeFiles files;
    files.input = file.Path();
    files.elementary = fuzz::ScratchFolder() + "video.m2v";
    // The plain kernels and the fastest this processor has.
    const korvan::CpuFlags kernelFlags =
        (choice & 0x20) ? korvan::DetectCpuFlags() : korvan::CpuFlags::kNone;
    const korvan::Status result =
        korvan::EncodeVideoFile(settings, files, kernelFlags, nullptr);
    FUZZ_CHECK(result.IsOk() || !result.message.empty());
}
