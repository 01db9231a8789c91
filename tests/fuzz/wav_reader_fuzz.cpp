// A WAV file of any content given to the encoder tool's audio mode: its
// header is refused with a reason, or names data inside the file, which is
// then coded.
#include "korvan/cli/audio_encode.h"
#include "korvan/mpegenc/settings/encoder_presets.h"
#include "tests/fuzz/fuzz_input.h"

void FuzzInput(const uint8_t* data, size_t size) {
    const fuzz::MemoryFile file(data, size);
    korvan::cli::WavInput input;
    if (!input.Open(file.Path()).empty()) return;
    const korvan::cli::WavFormat& format = input.Format();
    FUZZ_CHECK(format.dataOffset + format.dataBytes <= size);

    korvan::EncoderSettings settings =
        korvan::PresetSettings(korvan::EncoderPreset::kMpeg1, korvan::TvSystem::kPal);
    korvan::cli::TakeAudioModeFromInput(settings, format.channels, "");
    input.EncodeInto(settings, fuzz::ScratchFolder() + "audio.mp2");
}
