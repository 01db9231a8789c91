// The DVD image SDK's whole build of a disc (two DVD-compliant titles and a
// menu: probing, the stream walk, the menu's sound and buttons, authoring)
// beside dvdauthor alone on the same inputs prepared by hand (the menu with
// its buttons made once beforehand). Prints the seconds of each (best of
// several runs) and the ratio; the titles are used as they are, so the
// ratio shows what the SDK adds to the authoring itself. Besides the wall
// clock it prints the processor seconds (the builder's own and its tools'),
// which a busy machine does not inflate.
//
//   dvd_image_bench [--seconds 60] [--runs 3]

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "platform/file_bytes.h"
#include "sdk/foximager/authoring_xml.h"
#include "sdk/foximager/fox_imager.h"
#include "sdk/foximager/menu_buttons.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

bool Run(std::vector<std::string> words, const platform::StandardFiles& files = {}) {
    platform::ChildProcess child;
    if (child.StartArguments(std::move(words), "", files) != platform::StartResult::kStarted)
        return false;
    char buffer[4096];
    while (child.ReadOutput(buffer, sizeof buffer) > 0) {
    }
    const platform::ChildExit exit = child.Finish(std::chrono::seconds(10));
    return exit.how == platform::ChildExit::How::kExited && exit.code == 0;
}

bool Write(const std::string& path, const std::string& text) {
    return platform::WriteFileBytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Processor seconds used so far by this process and its ended children.
double ProcessorSeconds() {
    const auto seconds = [](const rusage& u) {
        return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
               static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    rusage self{};
    rusage children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    return seconds(self) + seconds(children);
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 60;
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--seconds") seconds = std::atoi(argv[i + 1]);
        if (name == "--runs") runs = std::atoi(argv[i + 1]);
    }
    if (argc % 2 == 0 || seconds <= 0 || runs <= 0) {
        std::fprintf(stderr, "usage: dvd_image_bench [--seconds 60] [--runs 3]\n");
        return 2;
    }
    const test::TempDir work("zarvo dvd bench");
    const std::string length = std::to_string(seconds);
    std::vector<std::string> titles;
    for (const char* name : {"title one.mpg", "title two.mpg"}) {
        titles.push_back(work / name);
        if (!Run({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                  "testsrc2=size=720x576:rate=25:duration=" + length, "-f", "lavfi", "-i",
                  "sine=duration=" + length, "-target", "pal-dvd", "-aspect", "4:3",
                  titles.back()})) {
            std::fprintf(stderr, "ffmpeg could not make the titles\n");
            return 1;
        }
    }
    // The menu as the program makes it: a still clip without sound.
    const std::string menu = work / "menu.mpg";
    Run({"ffmpeg", "-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
         "color=c=navy:size=720x576:rate=25:duration=2", "-c:v", "mpeg2video", "-f", "mpeg", menu});
    std::vector<foximager::DiscTitle> buttons(2);
    buttons[0].file = titles[0];
    buttons[0].button = {60, 60, 300, 240};
    buttons[1].file = titles[1];
    buttons[1].button = {420, 60, 660, 240};
    std::string ini = "[Infos]\nMenu=" + menu + "\nSelections=2\n";
    for (std::size_t i = 0; i < 2; ++i) {
        const foximager::ButtonRect& b = buttons[i].button;
        ini += "[" + std::to_string(i) + "]\nfile=" + titles[i] +
               "\nTopLeft=" + std::to_string(b.left) + "," + std::to_string(b.top) +
               "\nRightBottom=" + std::to_string(b.right) + "," + std::to_string(b.bottom) +
               "\nLineWidth=500\n";
    }
    Write(work / "dvdimage.ini", ini);

    // dvdauthor's inputs made by hand: the menu with sound and buttons.
    const std::string soundMenu = work / "menu sound.mpg";
    const std::string buttonMenu = work / "menu buttons.mpg";
    const auto onVideo = foximager::ButtonsOnVideo(buttons, 720, 576);
    platform::WriteFileBytes(
        work / "hl.png", foximager::ButtonFramesPng(720, 576, onVideo, buttons, {255, 255, 20}));
    Write(work / "spu.xml", foximager::SpumuxXml(work / "hl.png", work / "hl.png", onVideo));
    const bool prepared = Run({"ffmpeg",
                               "-nostdin",
                               "-v",
                               "error",
                               "-y",
                               "-i",
                               menu,
                               "-f",
                               "lavfi",
                               "-i",
                               "anullsrc=r=48000:cl=stereo",
                               "-map",
                               "0:v",
                               "-map",
                               "1:a",
                               "-c:v",
                               "copy",
                               "-bsf:v",
                               "mpeg2_metadata=display_aspect_ratio=4/3",
                               "-c:a",
                               "ac3",
                               "-shortest",
                               "-f",
                               "dvd",
                               soundMenu}) &&
                          Run({"spumux", "-m", "dvd", work / "spu.xml"}, {soundMenu, buttonMenu});
    foximager::AuthoringPlan plan;
    plan.destination = work / "alone/DVD";
    plan.menu = buttonMenu;
    plan.titles = titles;
    Write(work / "dvdauthor.xml", foximager::AuthoringXml(plan));
    if (!prepared) {
        std::fprintf(stderr, "the menu could not be prepared\n");
        return 1;
    }

    double best[2] = {1e9, 1e9};
    double processor[2] = {1e9, 1e9};
    for (int run = 0; run < runs; ++run) {
        std::error_code ignored;
        fs::remove_all(work / "alone", ignored);
        fs::create_directories(work / "alone");
        auto start = Clock::now();
        double used = ProcessorSeconds();
        if (!Run({"dvdauthor", "-x", work / "dvdauthor.xml"})) {
            std::fprintf(stderr, "dvdauthor failed\n");
            return 1;
        }
        best[1] = std::min(best[1], Seconds(start));
        processor[1] = std::min(processor[1], ProcessorSeconds() - used);

        fs::remove_all(work / "sdk", ignored);
        fs::create_directories(work / "sdk");
        const DVDImageBuildHandle builder = DVDImageBuild_Create();
        DVDImageBuild_LoadINI(builder, (work / "dvdimage.ini").c_str());
        DVDImageBuild_SetOutputFolder(builder, (work / "sdk").c_str());
        start = Clock::now();
        used = ProcessorSeconds();
        const int built = DVDImageBuild_BuildDVD(builder);
        best[0] = std::min(best[0], Seconds(start));
        processor[0] = std::min(processor[0], ProcessorSeconds() - used);
        if (!built) {
            std::fprintf(stderr, "the SDK failed: %s\n", DVDImageBuild_GetErrorText(builder));
            return 1;
        }
        DVDImageBuild_Destory(builder);
    }
    double load = 0;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1) load = 0;
        std::fclose(f);
    }
    std::printf("two %d s DVD titles with a menu, best of %d (load average %.1f)\n", seconds, runs,
                load);
    std::printf("                      wall clock   processor\n");
    std::printf("  image SDK build     %8.2f s  %8.2f s\n", best[0], processor[0]);
    std::printf("  dvdauthor alone     %8.2f s  %8.2f s\n", best[1], processor[1]);
    std::printf("  ratio SDK / alone   %8.2f    %8.2f\n", best[0] / best[1],
                processor[0] / processor[1]);
    return 0;
}
