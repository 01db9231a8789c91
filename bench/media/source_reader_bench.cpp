// The reader layer's speed: every picture and all the sound of a 720 x 576
// 25 Hz MPEG-2 program stream, fetched as the encode driver fetches them
// (FetchSourceFrame for each output frame, FetchSourceAudio chunk by chunk),
// beside `ffmpeg -i same -f null -` in the same go. Both run on one core
// (the benchmark pins itself and the ffmpeg it starts to the first CPU it
// may use). Prints seconds, the multiple of real time and the ratio.
//
//   source_reader_bench [--seconds 30] [--runs 3]

#include <sched.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "korvan/media/source_reader.h"
#include "tests/support/media_tools.h"
#include "tests/support/temp_dir.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor seconds (user and system) of this process, or of its ended
// children.
double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

bool PinToOneCore() {
    cpu_set_t allowed;
    if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return false;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (!CPU_ISSET(cpu, &allowed)) continue;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        return sched_setaffinity(0, sizeof one, &one) == 0;
    }
    return false;
}

struct ReadRun {
    double seconds = 0;
    double cpuSeconds = 0;
    long long pictures = 0;
    long long samples = 0;  // at 44 100 Hz
};

ReadRun ReadEverything(const std::string& path) {
    ReadRun run;
    const Clock::time_point start = Clock::now();
    const double cpuStart = CpuSeconds(RUSAGE_SELF);
    korvan::media::SourceReader reader;
    if (!korvan::media::OpenSourceReader(reader, path, {})) return run;
    for (long long n = 0; n <= reader.lastFrame; ++n) {
        int rowBytes = 0;
        const uint8_t* pixels = nullptr;
        if (korvan::media::FetchSourceFrame(reader, n, rowBytes, pixels) != 0) break;
        ++run.pictures;
    }
    for (;;) {
        long long count = 0;
        long long bytes = 0;
        const uint8_t* buffer = nullptr;
        if (korvan::media::FetchSourceAudio(reader, run.samples,
                                            korvan::media::AudioFetchForm::kEncoderPcm, count,
                                            bytes, buffer) != 0) {
            break;
        }
        run.samples += count;
    }
    run.seconds = Seconds(start);
    run.cpuSeconds = CpuSeconds(RUSAGE_SELF) - cpuStart;
    korvan::media::CloseSourceReader(reader);
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 30;
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--seconds") seconds = std::atoi(argv[i + 1]);
        if (name == "--runs") runs = std::atoi(argv[i + 1]);
    }
    if (seconds <= 0 || runs <= 0) {
        std::fprintf(stderr, "usage: source_reader_bench [--seconds 30] [--runs 3]\n");
        return 2;
    }
    const bool pinned = PinToOneCore();
    test::TempDir dir("zarvo reader bench");
    const std::string path = dir / "source.mpg";
    int exitCode = -1;
    test::RunTool(
        "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=720x576:rate=25:duration=" +
            std::to_string(seconds) +
            " -f lavfi -i sine=frequency=440:sample_rate=48000:"
            "duration=" +
            std::to_string(seconds) +
            " -c:v mpeg2video -b:v 6M -g 12 -bf 2 -c:a mp2 -b:a 224k -f mpeg " + test::Quoted(path),
        &exitCode);
    if (exitCode != 0) {
        std::fprintf(stderr, "ffmpeg could not make the source\n");
        return 1;
    }

    double ours = 1e9;
    double oursCpu = 1e9;
    double theirs = 1e9;
    double theirsCpu = 1e9;
    ReadRun last;
    for (int i = 0; i < runs; ++i) {
        last = ReadEverything(path);
        ours = std::min(ours, last.seconds);
        oursCpu = std::min(oursCpu, last.cpuSeconds);
        const Clock::time_point start = Clock::now();
        const double cpuStart = CpuSeconds(RUSAGE_CHILDREN);
        test::RunTool("ffmpeg -nostdin -v error -i " + test::Quoted(path) + " -f null -",
                      &exitCode);
        theirs = std::min(theirs, Seconds(start));
        theirsCpu = std::min(theirsCpu, CpuSeconds(RUSAGE_CHILDREN) - cpuStart);
        if (exitCode != 0) std::fprintf(stderr, "ffmpeg failed to decode the source\n");
    }
    std::printf("source: %d s of 720 x 576 25 Hz MPEG-2 with MP2 sound; %s; best of %d\n", seconds,
                pinned ? "one core" : "not pinned (affinity refused)", runs);
    std::printf("load average: %s", test::ReadFile("/proc/loadavg").c_str());
    std::printf("%-38s %8s %12s %8s %12s\n", "reader", "seconds", "x real time", "cpu s",
                "x real time");
    std::printf("%-38s %8.2f %12.1f %8.2f %12.1f\n", "FetchSourceFrame + FetchSourceAudio", ours,
                seconds / ours, oursCpu, seconds / oursCpu);
    std::printf("%-38s %8.2f %12.1f %8.2f %12.1f\n", "ffmpeg -i source -f null -", theirs,
                seconds / theirs, theirsCpu, seconds / theirsCpu);
    std::printf("read %lld pictures and %.1f s of sound\n", last.pictures, last.samples / 44100.0);
    std::printf("ratios reader/ffmpeg: time %.2f, processor time %.2f\n", ours / theirs,
                oursCpu / theirsCpu);
    return 0;
}
