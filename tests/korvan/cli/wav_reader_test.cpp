#include "korvan/cli/wav_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

namespace {

using korvan::cli::ReadWavFormat;
using korvan::cli::WavFormat;

std::string Le32(uint32_t v) {
    return {char(v & 0xFF), char(v >> 8 & 0xFF), char(v >> 16 & 0xFF), char(v >> 24)};
}

std::string ValidWav() {
    std::string fmt = std::string("\x01\x00\x02\x00", 4) + Le32(48000) + Le32(192000) +
                      std::string("\x04\x00\x10\x00", 4);
    return "RIFF" + Le32(0) + "WAVE" + "fmt " + Le32(16) + fmt + "data" + Le32(8) +
           std::string(8, '\x01');
}

std::string Read(const std::string& bytes, WavFormat& format) {
    std::FILE* file = std::tmpfile();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    const std::string problem = ReadWavFormat(file, format);
    std::fclose(file);
    return problem;
}

TEST(WavReaderTest, ReadsTheFormatAndFindsTheData) {
    WavFormat format;
    ASSERT_EQ(Read(ValidWav(), format), "");
    EXPECT_EQ(format.formatTag, 1);
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.sampleRateHz, 48000);
    EXPECT_EQ(format.bitsPerSample, 16);
    EXPECT_EQ(format.dataOffset, 44u);
    EXPECT_EQ(format.dataBytes, 8u);
}

// Every cut of a good file and random bytes after a good start give a
// verdict, never a crash, a hang or a data range beyond the file.
TEST(WavReaderTest, DamagedFilesGetAVerdict) {
    const std::string good = ValidWav();
    for (size_t cut = 0; cut < good.size(); ++cut) {
        WavFormat format;
        const std::string problem = Read(good.substr(0, cut), format);
        if (problem.empty()) {
            EXPECT_LE(format.dataOffset + format.dataBytes, cut);
        }
    }
    std::mt19937 random(4);
    for (int trial = 0; trial < 2000; ++trial) {
        std::string bytes = good.substr(0, 12 + random() % 40);
        const size_t extra = random() % 200;
        for (size_t i = 0; i < extra; ++i) bytes += char(random());
        if (trial % 3 == 0) bytes.replace(12, 4, "fmt ");
        WavFormat format;
        const std::string problem = Read(bytes, format);
        if (problem.empty()) {
            EXPECT_LE(format.dataOffset + format.dataBytes, bytes.size());
        }
    }
    WavFormat format;
    std::string huge = good;
    huge.replace(16, 4, Le32(0xFFFFFFFF));  // a format chunk longer than the file
    EXPECT_NE(Read(huge, format), "");
}

}  // namespace
