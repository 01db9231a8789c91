// A decoder's buffer replayed from a video elementary stream alone: the
// sequence header's bit_rate and vbv_buffer_size, every picture's vbv_delay,
// its display flags and where its bytes lie. Bits enter the buffer at the
// bit rate; at its decoding time a picture leaves it whole, together with
// the sequence and GOP headers in front of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace test {

struct VbvReport {
    double bitRate = 0;     // bit/s, from the sequence header
    double bufferBits = 0;  // vbv_buffer_size in bits
    double frameRate = 0;
    int pictures = 0;
    double durationSeconds = 0;  // the display time of all pictures
    uint64_t streamBits = 0;
    int underflows = 0;                 // a picture not all there at its decoding time
    int overflows = 0;                  // the buffer fuller than its size
    int badDelays = 0;                  // vbv_delay off the decoding times the first one fixed
    int unknownDelays = 0;              // vbv_delay 0xFFFF
    std::vector<uint64_t> pictureBits;  // each picture with its leading headers
    std::string error;                  // the stream could not be read

    double MeasuredBitRate() const {
        return durationSeconds > 0 ? static_cast<double>(streamBits) / durationSeconds : 0;
    }
};

VbvReport CheckVbv(const std::string& stream);

}  // namespace test
