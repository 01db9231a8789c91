// Codes a YUV4MPEG2 file with the video coder alone and prints how long it
// took, for profilers (valgrind --tool=callgrind) and quick comparisons:
//
//   video_coder_profile dvd|vcd IN.y4m OUT.m2v [THREADS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "korvan/cli/video_encode.h"
#include "korvan/mpegenc/common/cpu_flags.h"
#include "korvan/mpegenc/settings/encoder_presets.h"
#include "korvan/mpegenc/video/video_encoder.h"

int main(int argc, char** argv) {
    if (argc < 4 || (std::strcmp(argv[1], "dvd") != 0 && std::strcmp(argv[1], "vcd") != 0)) {
        std::fprintf(stderr, "usage: %s dvd|vcd IN.y4m OUT [THREADS]\n", argv[0]);
        return 2;
    }
    const korvan::EncoderPreset preset = std::strcmp(argv[1], "dvd") == 0
                                             ? korvan::EncoderPreset::kDvd
                                             : korvan::EncoderPreset::kVideoCd;
    const korvan::EncoderSettings settings = korvan::PresetSettings(preset, korvan::TvSystem::kPal);
    const int threads = argc > 4 ? std::atoi(argv[4]) : 1;
    korvan::VideoStatistics statistics;
    const auto start = std::chrono::steady_clock::now();
    const korvan::Status r = korvan::EncodeVideoFile(
        settings, {argv[2], argv[3], {}}, korvan::DetectCpuFlags(), &statistics, threads);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (!r.IsOk()) {
        std::fprintf(stderr, "%s\n", r.message.c_str());
        return 1;
    }
    std::printf(
        "%d pictures in %.2f s; GOPs coded again %d, measured then coded for their codes %d, "
        "mean mquant %.1f, padding %llu bits (at most %llu in a picture)\n",
        statistics.pictures, elapsed.count(), statistics.gopsCodedAgain,
        statistics.gopsCodedForTheirCodes, statistics.MeanMquant(),
        static_cast<unsigned long long>(statistics.paddingBits),
        static_cast<unsigned long long>(statistics.maxPaddingBits));
    return 0;
}
