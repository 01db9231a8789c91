// What the encode driver needs from the AVI writer when a job's output is
// an AVI file: one file at a time, the audio stream created before the
// first picture, then pictures and sound, and at the close the frame rate
// patched from the frame count and the duration.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvan {

// PCM as the source delivers it.
struct AviAudioFormat {
    int sampleRateHz = 0;
    int channels = 0;
    int bitsPerSample = 0;
    int blockAlign = 0;  // bytes of one sample of every channel
};

// One picture: 32-bit pels (B, G, R, ignored), the bottom row first.
struct AviFrame {
    const uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int strideBytes = 0;
};

class AviSink {
public:
    virtual ~AviSink() = default;
    // Each returns false when the writer's failure flag is set afterwards.
    virtual bool OpenAvi(const std::string& path) = 0;
    virtual bool OpenAviAudioStream(const AviAudioFormat& format) = 0;
    // The rate the pictures are meant for, told before the first one; a
    // writer that codes at a rate of its own may ignore it.
    virtual void ExpectFrameRate(double /*picturesPerSecond*/) {}
    virtual bool WriteAviFrame(const AviFrame& frame) = 0;
    virtual bool WriteAviAudio(const uint8_t* bytes, size_t byteCount) = 0;
    // Closes the file and patches its frame rate to frames / duration.
    virtual bool CloseAvi(uint32_t durationMs) = 0;
};

}  // namespace korvan
