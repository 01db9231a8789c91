// An encoder settings file of any content over each preset: it loads or is
// refused with a message, never both and never neither; a record that loads
// prints as a settings file that loads back into the same record.
#include "korvan/mpegenc/settings/encoder_presets.h"
#include "korvan/mpegenc/settings/encoder_settings_file.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

struct Load {
    bool loaded = false;
    int messages = 0;
};

Load LoadText(korvan::EncoderSettings& settings, std::string_view text) {
    const fuzz::MemoryFile file(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    Load load;
    load.loaded = korvan::LoadEncoderSettings(
        settings, file.Path(), [&](const korvan::EncoderMessage&) { ++load.messages; });
    return load;
}

}  // namespace

void FuzzInput(const uint8_t* data, size_t size) {
    fuzz::InputFields fields(data, size);
    const uint8_t choice = fields.Byte();
    const auto preset = static_cast<korvan::EncoderPreset>(choice % 5);
    const auto system = (choice & 0x80) ? korvan::TvSystem::kNtsc : korvan::TvSystem::kPal;

    korvan::EncoderSettings settings = korvan::PresetSettings(preset, system);
    const Load load = LoadText(settings, fields.Rest());
    FUZZ_CHECK(load.messages == (load.loaded ? 0 : 1));
    if (!load.loaded) return;

    const std::string printed = korvan::FormatEncoderSettings(settings);
    korvan::EncoderSettings again = korvan::PresetSettings(preset, system);
    FUZZ_CHECK(LoadText(again, printed).loaded);
    FUZZ_CHECK(korvan::FormatEncoderSettings(again) == printed);
}
