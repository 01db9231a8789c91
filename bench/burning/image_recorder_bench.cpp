// The image recorder of the burning SDK beside the image tool alone: a
// DVD-Video folder of about a gigabyte (a short DVD clip repeated without
// re-encoding, authored by dvdauthor) written into an ISO through the SDK
// (Prepare, Burn, the events on the loop) and by genisoimage with the same
// options. Prints the seconds of each (best of several runs, in turns, so
// that both read from a warm cache, each after the dirty pages of the run
// before have been written back) and the ratio, with the median of the
// runs' own ratios beside it.
//
//   image_recorder_bench [--megabytes 1024] [--runs 3]

#include <glib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/disc/burning_sdk.h"
#include "tests/support/caller_loop.h"
#include "tests/support/disc_media.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

bool MakeLargeDvdFolder(const std::string& folder, int megabytes) {
    const std::string clip = folder + "clip.mpg";
    // 20 s at 8 Mbit/s is about 20 MB.
    if (!test::MakeDiscClip(clip, "pal-dvd", 20, "-b:v 8000k -maxrate 9000k")) return false;
    const long long clipBytes = static_cast<long long>(fs::file_size(clip));
    const long long loops = std::max(0LL, megabytes * 1048576LL / clipBytes - 1);
    int exitCode = -1;
    test::RunTool("ffmpeg -nostdin -v error -y -stream_loop " + std::to_string(loops) + " -i " +
                      test::Quoted(clip) + " -c copy -f dvd " + test::Quoted(folder + "title.mpg"),
                  &exitCode);
    if (exitCode != 0) return false;
    fs::remove(clip);
    const bool made = test::MakeVideoTsFolder(folder + "DVD", folder + "title.mpg");
    fs::remove(folder + "title.mpg");
    return made;
}

double SecondsOfTool(const std::string& folder, const std::string& iso) {
    // The gigabyte the run before wrote would be written back during this one.
    sync();
    const auto start = Clock::now();
    int exitCode = -1;
    test::RunTool("genisoimage -input-charset utf-8 -dvd-video -V Bench -o " + test::Quoted(iso) +
                      " " + test::Quoted(folder + "DVD"),
                  &exitCode);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    fs::remove(iso);
    return exitCode == 0 ? seconds : -1;
}

struct Burn {
    bool done = false;
    int code = -1;
};

double SecondsOfRecorder(const BurningSdk& sdk, const std::string& folder,
                         const std::string& images) {
    Burn burn;
    sdk.SetBurnDoneEventCallback(
        [](void* context, int code) {
            static_cast<Burn*>(context)->done = true;
            static_cast<Burn*>(context)->code = code;
        },
        &burn);
    sdk.CreateProject(FOXBURNER_PROJECT_DVD_VIDEO);
    FoxBurnerOptions options;
    sdk.GetOptions(&options);
    std::strcpy(options.volumeLabel, "Bench");
    sdk.SetOptions(&options);
    sdk.SetImageFolder(images.c_str());
    char entries[26 * FOXBURNER_DEVICE_ENTRY_BYTES];
    int count = 26;
    sdk.GetDevices(entries, &count, 1);
    sdk.SetDevice(entries[(count - 1) * FOXBURNER_DEVICE_ENTRY_BYTES]);
    sdk.AddDir((folder + "DVD/VIDEO_TS/").c_str(), "\\VIDEO_TS\\", "*.*", 63, 1);
    sync();
    const auto start = Clock::now();
    if (sdk.Prepare() != 0 || sdk.Burn() != 0) return -1;
    test::RunLoopUntil([&] { return burn.done; }, std::chrono::hours(1));
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    sdk.DeleteProject();
    fs::remove(images + "Bench.iso");
    return burn.code == 0 ? seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
    int megabytes = 1024;
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--megabytes") == 0) {
            megabytes = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::atoi(argv[i + 1]);
        } else {
            std::fprintf(stderr, "usage: image_recorder_bench [--megabytes 1024] [--runs 3]\n");
            return 2;
        }
    }
    runs = std::max(1, runs);
    std::string error;
    const BurningSdk* sdk = LoadBurningSdk(ZARVO_PROGRAM_FOLDER, error);
    if (!sdk || sdk->Initialize() != 0) {
        std::fprintf(stderr, "cannot load the burning SDK: %s\n", error.c_str());
        return 1;
    }
    test::TempDir work("image recorder bench");
    const std::string folder = work.Folder();
    const std::string images = folder + "images/";
    fs::create_directories(images);
    std::printf("making a DVD-Video folder of about %d MB...\n", megabytes);
    if (!MakeLargeDvdFolder(folder, megabytes)) {
        std::fprintf(stderr, "cannot make the DVD-Video folder\n");
        return 1;
    }
    long long bytes = 0;
    for (const auto& entry : fs::directory_iterator(folder + "DVD/VIDEO_TS")) {
        bytes += static_cast<long long>(entry.file_size());
    }
    double bestTool = 1e9;
    double bestRecorder = 1e9;
    std::vector<double> ratios;
    for (int run = 0; run < runs; ++run) {
        // Each goes first in every other run: the one after finds the other's
        // gigabyte still being written back.
        double tool = 0;
        double recorder = 0;
        if (run % 2 == 0) {
            tool = SecondsOfTool(folder, images + "tool.iso");
            recorder = SecondsOfRecorder(*sdk, folder, images);
        } else {
            recorder = SecondsOfRecorder(*sdk, folder, images);
            tool = SecondsOfTool(folder, images + "tool.iso");
        }
        if (tool < 0 || recorder < 0) {
            std::fprintf(stderr, "a run failed\n");
            return 1;
        }
        std::printf("run %d: genisoimage %.2f s, image recorder %.2f s\n", run + 1, tool, recorder);
        bestTool = std::min(bestTool, tool);
        bestRecorder = std::min(bestRecorder, recorder);
        ratios.push_back(recorder / tool);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf(
        "DVD-Video folder %.0f MB: genisoimage %.2f s (%.0f MB/s), image recorder %.2f s;"
        " ratio %.3f (median of the runs' ratios %.3f)\n",
        bytes / 1048576.0, bestTool, bytes / 1048576.0 / bestTool, bestRecorder,
        bestRecorder / bestTool, ratios[ratios.size() / 2]);
    return 0;
}
