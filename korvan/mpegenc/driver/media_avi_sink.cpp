#include "korvan/mpegenc/driver/media_avi_sink.h"

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "korvan/media/bitmap_header.h"
#include "korvan/media/wave_format.h"

namespace korvan {
namespace {

constexpr int kBitsPerPel = 32;

media::AviWriterHooks Unpaced(media::AviWriterHooks hooks) {
    hooks.throttleInterval = std::chrono::milliseconds{0};
    return hooks;
}

}  // namespace

MediaAviSink::MediaAviSink(media::AviWriterHooks hooks) : writer_(Unpaced(std::move(hooks))) {}

bool MediaAviSink::OpenAvi(const std::string& path) {
    writer_.OpenAvi(path);
    return !writer_.Failed();
}

bool MediaAviSink::OpenAviAudioStream(const AviAudioFormat& format) {
    writer_.OpenAviAudioStream(media::PcmFormat(static_cast<uint32_t>(format.sampleRateHz),
                                                static_cast<uint16_t>(format.channels),
                                                static_cast<uint16_t>(format.bitsPerSample)));
    return !writer_.Failed();
}

void MediaAviSink::ExpectFrameRate(double picturesPerSecond) {
    writer_.SetExpectedFrameRate(picturesPerSecond);
}

bool MediaAviSink::WriteAviFrame(const AviFrame& frame) {
    if (!frame.pixels || frame.width <= 0 || frame.height <= 0) return false;
    media::BitmapInfoHeader header;
    header.width = frame.width;
    header.height = frame.height;  // bottom row first
    header.bitCount = kBitsPerPel;
    const size_t rowBytes = media::DibRowBytes(frame.width, kBitsPerPel);
    header.sizeImage = static_cast<uint32_t>(rowBytes * static_cast<size_t>(frame.height));
    const uint8_t* pixels = frame.pixels;
    // The writer takes rows of exactly one row's bytes; a source picture cut
    // on the right has longer ones.
    if (static_cast<size_t>(frame.strideBytes) != rowBytes) {
        rows_.resize(header.sizeImage);
        for (int row = 0; row < frame.height; ++row) {
            const uint8_t* from = frame.pixels + static_cast<ptrdiff_t>(row) * frame.strideBytes;
            std::copy(from, from + rowBytes,
                      rows_.begin() + static_cast<ptrdiff_t>(row * rowBytes));
        }
        pixels = rows_.data();
    }
    writer_.WriteAviFrame(header, pixels);
    return !writer_.Failed();
}

bool MediaAviSink::WriteAviAudio(const uint8_t* bytes, size_t byteCount) {
    writer_.WriteAviAudio(bytes, static_cast<long long>(byteCount));
    return !writer_.Failed();
}

bool MediaAviSink::CloseAvi(uint32_t durationMs) {
    // The close clears the failure flag: what went wrong before it counts.
    const bool sound = !writer_.Failed();
    writer_.SetDurationMs(static_cast<int32_t>(std::min<uint32_t>(durationMs, INT32_MAX)));
    writer_.CloseAvi();
    return sound;
}

}  // namespace korvan
