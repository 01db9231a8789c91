// The encode driver's AVI outputs on the media layer's AVI writer: a writer
// per file, its compressor from "avicode.dat" beside the host (the default
// when there is none, since nobody can be asked from a host without a
// window).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "korvan/media/avi_writer.h"
#include "korvan/mpegenc/driver/avi_sink.h"

namespace korvan {

class AviSinkAdapter : public AviSink {
public:
    AviSinkAdapter(std::string hostFolder, MessageSink messages);
    ~AviSinkAdapter() override;

    bool OpenAvi(const std::string& path) override;
    bool OpenAviAudioStream(const AviAudioFormat& format) override;
    bool WriteAviFrame(const AviFrame& frame) override;
    bool WriteAviAudio(const uint8_t* bytes, size_t byteCount) override;
    bool CloseAvi(uint32_t durationMs) override;

private:
    std::string hostFolder_;
    MessageSink messages_;
    std::unique_ptr<media::AviWriter> writer_;
    std::vector<uint8_t> rows_;  // a picture's rows made contiguous
};

}  // namespace korvan
