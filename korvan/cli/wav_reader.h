// Reading the PCM of a WAV file for the audio mode: the header's facts and
// where the samples are.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace korvan::cli {

struct WavFormat {
    int formatTag = 0;  // 1 PCM; an extensible header reports its sub-format
    int channels = 0;
    int sampleRateHz = 0;
    int bitsPerSample = 0;
    uint64_t dataOffset = 0;  // bytes from the file's start
    uint64_t dataBytes = 0;   // as far as the file holds them
};

// Reads the RIFF header and the chunks up to "data". Returns an empty text,
// or what is wrong with the file in a few words.
std::string ReadWavFormat(std::FILE* file, WavFormat& format);

}  // namespace korvan::cli
