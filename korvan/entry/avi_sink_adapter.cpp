#include "korvan/entry/avi_sink_adapter.h"

#include <cstring>

namespace korvan {

AviSinkAdapter::AviSinkAdapter(std::string hostFolder, MessageSink messages)
    : hostFolder_(std::move(hostFolder)), messages_(std::move(messages)) {}

AviSinkAdapter::~AviSinkAdapter() {
    if (writer_) writer_->CloseAvi();
}

bool AviSinkAdapter::OpenAvi(const std::string& path) {
    media::AviWriterHooks hooks;
    hooks.hostFolder = hostFolder_;
    hooks.messages = messages_;
    // The writer's pause after each piece of sound paces the RealMedia
    // engine's playback; an encode pulls its source itself, and a pause per
    // picture would make an hour of video take hours more.
    hooks.throttleInterval = std::chrono::milliseconds(0);
    writer_ = std::make_unique<media::AviWriter>(std::move(hooks));
    writer_->OpenAvi(path);
    return !writer_->Failed();
}

bool AviSinkAdapter::OpenAviAudioStream(const AviAudioFormat& format) {
    if (!writer_) return false;
    writer_->OpenAviAudioStream(media::PcmFormat(static_cast<uint32_t>(format.sampleRateHz),
                                                 static_cast<uint16_t>(format.channels),
                                                 static_cast<uint16_t>(format.bitsPerSample)));
    return !writer_->Failed();
}

bool AviSinkAdapter::WriteAviFrame(const AviFrame& frame) {
    if (!writer_ || !frame.pixels || frame.width <= 0 || frame.height <= 0) return false;
    media::BitmapInfoHeader header;
    header.width = frame.width;
    header.height = frame.height;  // bottom row first, as the frame comes
    header.bitCount = 32;
    const std::size_t rowBytes = media::DibRowBytes(frame.width, 32);
    header.sizeImage = static_cast<uint32_t>(rowBytes * static_cast<std::size_t>(frame.height));
    const uint8_t* pixels = frame.pixels;
    if (static_cast<std::size_t>(frame.strideBytes) != rowBytes) {
        rows_.resize(header.sizeImage);
        for (int row = 0; row < frame.height; ++row) {
            std::memcpy(rows_.data() + static_cast<std::size_t>(row) * rowBytes,
                        frame.pixels + static_cast<std::ptrdiff_t>(row) * frame.strideBytes,
                        rowBytes);
        }
        pixels = rows_.data();
    }
    writer_->WriteAviFrame(header, pixels);
    return !writer_->Failed();
}

bool AviSinkAdapter::WriteAviAudio(const uint8_t* bytes, size_t byteCount) {
    if (!writer_) return false;
    writer_->WriteAviAudio(bytes, static_cast<long long>(byteCount));
    return !writer_->Failed();
}

bool AviSinkAdapter::CloseAvi(uint32_t durationMs) {
    if (!writer_) return false;
    writer_->SetDurationMs(static_cast<int32_t>(durationMs));
    writer_->CloseAvi();
    const bool written = !writer_->Failed();
    writer_.reset();
    return written;
}

}  // namespace korvan
