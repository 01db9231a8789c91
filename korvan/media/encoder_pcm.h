// Turns a source's PCM into what the encoder takes: 44 100 Hz, stereo, 16
// bits. The converter keeps its state from chunk to chunk, so that chunk
// boundaries neither click nor lose the resampler's fractions.
#pragma once

#include <cstdint>

#include "korvan/media/wave_format.h"
#include "libav/libav_handles.h"

namespace korvan::media {

class EncoderPcmConverter {
public:
    // Forgets what earlier chunks left behind (a new position in the source).
    void Restart() { resampler_.reset(); }

    // Converts `length` bytes of `from` PCM (8 or 16 bits, one or two
    // channels) into `out`, at most `capacity` bytes (what does not fit
    // comes out with the next chunk). Returns the bytes written, or -1 when
    // the format cannot be converted.
    long long ConvertToEncoderPcm(const WaveFormat& from, const uint8_t* source, long long length,
                                  uint8_t* out, long long capacity);

private:
    libav::ResamplerHandle resampler_;
    WaveFormat madeFor_;
};

}  // namespace korvan::media
