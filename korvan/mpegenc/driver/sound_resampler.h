// Sound at the rate the target needs: the readers deliver 44 100 Hz and a
// DVD's audio stream is 48 000 Hz, so the audio step converts between the
// two on the way into the audio coder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace korvan {

// The rate a target kind's audio stream is coded at for a source at
// `sourceRateHz`: 48 000 Hz on a DVD, 44 100 Hz on a VideoCD or a SuperVCD,
// the source's own rate otherwise.
int CodedSampleRateHz(int targetKind, int sourceRateHz);

// 16-bit interleaved PCM from one rate to another, same channels. Keeps
// what it cannot convert yet until the next block or the flush.
class SoundResampler {
public:
    SoundResampler();
    ~SoundResampler();
    SoundResampler(const SoundResampler&) = delete;
    SoundResampler& operator=(const SoundResampler&) = delete;

    bool Open(int fromRateHz, int toRateHz, int channels);
    // Converts whole sample frames of `bytes` (a partial frame is kept for
    // the next call). The result stays valid until the next call; false when
    // the conversion failed.
    bool Convert(const uint8_t* bytes, size_t byteCount, const uint8_t*& out, size_t& outBytes);
    // What the filter still holds, at the end of the sound.
    bool Flush(const uint8_t*& out, size_t& outBytes);

private:
    bool Run(const uint8_t* in, int inFrames, const uint8_t*& out, size_t& outBytes);

    struct Context;
    std::unique_ptr<Context> context_;
    int channels_ = 0;
    std::vector<uint8_t> partial_;  // bytes of a sample frame cut by a block's end
    std::vector<uint8_t> whole_;
    std::vector<uint8_t> output_;
};

}  // namespace korvan
