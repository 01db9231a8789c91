// The encode driver's AVI forms written by the library's AVI writer.
#pragma once

#include <vector>

#include "korvan/media/avi_writer.h"
#include "korvan/mpegenc/driver/avi_sink.h"

namespace korvan {

class MediaAviSink : public AviSink {
public:
    // The writer gets `hooks` without its pause after each block of sound:
    // that pause paces the RealMedia engine's playback, and an encode that
    // pulls its pictures and sound itself has nothing to pace.
    explicit MediaAviSink(media::AviWriterHooks hooks);

    bool OpenAvi(const std::string& path) override;
    bool OpenAviAudioStream(const AviAudioFormat& format) override;
    void ExpectFrameRate(double picturesPerSecond) override;
    bool WriteAviFrame(const AviFrame& frame) override;
    bool WriteAviAudio(const uint8_t* bytes, size_t byteCount) override;
    bool CloseAvi(uint32_t durationMs) override;

private:
    media::AviWriter writer_;
    std::vector<uint8_t> rows_;  // a picture with rows of another length, packed
};

}  // namespace korvan
