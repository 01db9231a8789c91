#include "app/profiles/ffmpeg_adaptations.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 1> kRenamedVideoEncoders = {{
    {"xvid", "libxvid"},
}};

}  // namespace

std::string_view EncoderVideoCodec(std::string_view profileCodec) {
    for (const auto& [name, encoder] : kRenamedVideoEncoders) {
        if (name == profileCodec) return encoder;
    }
    return profileCodec;
}

bool KeepsInputFrameSize(int frameWidth, int frameHeight) {
    return frameWidth == 0 && frameHeight == 0;
}

int AudioBitRateOptionValue(int bitRateKbps) { return bitRateKbps * 1000; }
