// The burning window's model on the real burning SDK, headless: a DVD-Video
// folder authored here by dvdauthor burned through the image recorder, a
// VideoCD list with a file that is not VideoCD, Cancel before and during a
// burn, and an export folder without room.
#include "app/disc/burning_window_model.h"

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <algorithm>
#include <filesystem>

#include "tests/support/caller_loop.h"
#include "tests/support/disc_media.h"
#include "tests/support/own_temp_folder.h"
#include "tests/support/process_checks.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

// What the Qt window would show, recorded: timer 0 is fired by the test.
class RecordingView : public BurningWindowView {
public:
    void SetTimer(int id, int delayMs) override {
        timerId = id;
        timerDelayMs = delayMs;
    }
    void KillTimer(int id) override {
        if (id == timerId) timerId = -1;
    }
    void ShowMessageBox(const std::string& text, const std::string& caption,
                        MessageIcon icon) override {
        boxes.push_back({text, caption, icon});
    }
    void WaitForMessages() override { test::RunLoopFor(std::chrono::milliseconds(5)); }
    void EndDialog(int result) override { endedWith = result; }

    struct Box {
        std::string text;
        std::string caption;
        MessageIcon icon;
    };
    int timerId = -1;
    int timerDelayMs = 0;
    std::vector<Box> boxes;
    int endedWith = 0;
};

// Every call of the SDK's functions, by name, in order.
std::vector<std::string> sdkCalls;
BurningSdk realSdk;

// The function of `sdk` that records its name before it calls the real one.
#define RECORD_SDK_CALL(sdk, name)         \
    (sdk).name = [](auto... arguments) {   \
        sdkCalls.push_back(#name);         \
        return realSdk.name(arguments...); \
    }

class BurningWindowModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        const BurningSdk* loaded = LoadBurningSdk(ZARVO_PROGRAM_FOLDER, error);
        ASSERT_NE(loaded, nullptr) << error;
        realSdk = *loaded;
        sdkCalls.clear();
        RECORD_SDK_CALL(sdk_, Initialize);
        RECORD_SDK_CALL(sdk_, SetASPI);
        RECORD_SDK_CALL(sdk_, SetFinalizeEventCallback);
        RECORD_SDK_CALL(sdk_, SetBurnDoneEventCallback);
        RECORD_SDK_CALL(sdk_, SetProcessEventCallback);
        RECORD_SDK_CALL(sdk_, SetVideoScannerEventCallback);
        RECORD_SDK_CALL(sdk_, SetVideoScanDoneEventCallback);
        RECORD_SDK_CALL(sdk_, CreateProject);
        RECORD_SDK_CALL(sdk_, GetOptions);
        RECORD_SDK_CALL(sdk_, SetOptions);
        RECORD_SDK_CALL(sdk_, SetImageFolder);
        RECORD_SDK_CALL(sdk_, GetDevices);
        RECORD_SDK_CALL(sdk_, SetDevice);
        RECORD_SDK_CALL(sdk_, ClearAll);
        RECORD_SDK_CALL(sdk_, AddDir);
        RECORD_SDK_CALL(sdk_, AddFile);
        RECORD_SDK_CALL(sdk_, IsDeviceReady);
        RECORD_SDK_CALL(sdk_, SetBurnSpeed);
        RECORD_SDK_CALL(sdk_, Prepare);
        RECORD_SDK_CALL(sdk_, Burn);
        RECORD_SDK_CALL(sdk_, Abort);
        RECORD_SDK_CALL(sdk_, GetText);
        RECORD_SDK_CALL(sdk_, GetImageFile);
        RECORD_SDK_CALL(sdk_, DeleteProject);
        fs::create_directories(export_);
    }

    std::unique_ptr<BurningWindowModel> OpenWindow(DiscKind kind, Texts files = {},
                                                   const std::string& exportFolder = "") {
        auto window = std::make_unique<BurningWindowModel>(
            sdk_, kind, std::move(files), exportFolder.empty() ? export_ : exportFolder);
        window->SetView(&view_);
        window->Open();
        // The image recorder is the last device (the only one without drives).
        window->SelectDevice(static_cast<int>(window->Devices().size()) - 1);
        EXPECT_EQ(view_.timerId, kFillProjectTimer);
        EXPECT_EQ(view_.timerDelayMs, 500);
        window->OnTimer(kFillProjectTimer);
        EXPECT_EQ(view_.timerId, -1);
        return window;
    }

    void MakeDvdFolder(const std::string& exportFolder, double seconds = 2) {
        ASSERT_TRUE(test::MakeDiscClip(folder_ / "title.mpg", "pal-dvd", seconds));
        ASSERT_TRUE(test::MakeVideoTsFolder(exportFolder + "DVD", folder_ / "title.mpg"));
    }

    static long CallsOf(const std::string& name) {
        return std::count(sdkCalls.begin(), sdkCalls.end(), name);
    }

    BurningSdk sdk_;
    RecordingView view_;
    test::TempDir folder_{"burning window ü"};
    std::string export_ = folder_ / "export folder/";
};

TEST_F(BurningWindowModelTest, ADvdFolderIsBurnedIntoAnIsoByTheImageRecorder) {
    MakeDvdFolder(export_);
    auto window = OpenWindow(kDvdDisc, {export_ + "title.mpg"});
    // The SDK start as the window shows it.
    ASSERT_FALSE(window->Devices().empty());
    EXPECT_TRUE(window->Devices().back().ends_with(": Image Recorder (ISO or BIN/CUE file)"));
    EXPECT_EQ(window->VolumeLabel(), "Zarvo Video Burn");
    EXPECT_TRUE(window->Finalize());
    EXPECT_FALSE(window->EjectAfterBurn());
    // The SDK start in its order, the device chosen, then one folder and no
    // file tree; no error was reported (GetText).
    EXPECT_EQ(sdkCalls, Texts({"Initialize", "SetASPI", "SetFinalizeEventCallback",
                               "SetBurnDoneEventCallback", "SetProcessEventCallback",
                               "SetVideoScannerEventCallback", "SetVideoScanDoneEventCallback",
                               "CreateProject", "GetOptions", "SetOptions", "SetImageFolder",
                               "GetDevices", "SetDevice", "ClearAll", "SetDevice", "AddDir"}));
    EXPECT_FALSE(window->Layout().fileTreeVisible);
    EXPECT_TRUE(window->FileTree().empty());
    EXPECT_TRUE(window->Messages().empty());

    window->SetVolumeLabel("Our Holiday");
    window->OnCommand(kCmdBurnNow);
    EXPECT_TRUE(window->Burning());
    EXPECT_FALSE(window->IsCommandAvailable(kCmdBurnNow));
    EXPECT_EQ(window->BufferText(), "0");
    EXPECT_EQ(Texts(sdkCalls.begin() + 16, sdkCalls.end()),
              Texts({"IsDeviceReady", "GetOptions", "SetOptions", "SetBurnSpeed", "SetDevice",
                     "Prepare", "Burn"}));
    ASSERT_TRUE(test::RunLoopUntil([&] { return window->Closed(); }));
    EXPECT_EQ(window->Messages(),
              Texts({"Prepare Collection", "Start Burning...", "Finalize...", "Burn Done"}));
    ASSERT_EQ(view_.boxes.size(), 1u);
    const std::string iso = export_ + "Our Holiday.iso";
    EXPECT_EQ(view_.boxes[0].text, "Success to Burn Disc!\r\n" + iso);
    EXPECT_EQ(window->Result(), kBurningResultBurned);
    EXPECT_EQ(view_.endedWith, kBurningResultBurned);
    EXPECT_EQ(window->Progress(), 100);
    EXPECT_EQ(window->BytesWrittenText(), WrittenText(static_cast<double>(fs::file_size(iso))));
    EXPECT_FALSE(window->BufferShown());
    // A finished disc is not burned again from this window.
    EXPECT_FALSE(window->BurnNowEnabled());
    EXPECT_EQ(test::LsdvdTitleSeconds(iso).size(), 1u);
    // Closing ends the project; nothing was aborted.
    EXPECT_EQ(sdkCalls.back(), "DeleteProject");
    EXPECT_EQ(CallsOf("Abort"), 0);
}

TEST_F(BurningWindowModelTest, AVideoCdListStopsAtTheFirstFileThatIsNotVideoCd) {
    const std::string good = folder_ / "good clip.mpg";
    const std::string bad = folder_ / "super video cd.mpg";
    const std::string never = folder_ / "third.mpg";
    ASSERT_TRUE(test::MakeDiscClip(good, "pal-vcd", 2));
    ASSERT_TRUE(test::MakeDiscClip(bad, "pal-svcd", 1));
    ASSERT_TRUE(test::MakeDiscClip(never, "pal-vcd", 1));
    auto window = OpenWindow(kVideoCdDisc, {good, bad, never});

    ASSERT_EQ(view_.boxes.size(), 1u);
    EXPECT_EQ(view_.boxes[0].text, "Invalid Mpeg file - " + bad + "\r\nIt is not VCD format");
    EXPECT_EQ(view_.boxes[0].caption, "Error");
    EXPECT_EQ(view_.boxes[0].icon, BurningWindowView::MessageIcon::kStop);
    EXPECT_EQ(window->ScanStateValue(), kScanRefused);
    // The third file is never added; the window closes and ends the project.
    EXPECT_EQ(CallsOf("AddFile"), 2);
    EXPECT_EQ(sdkCalls.back(), "DeleteProject");
    EXPECT_TRUE(window->Closed());
    EXPECT_EQ(window->Result(), kBurningResultCancelled);
    // The first file made it into the tree with its own facts.
    ASSERT_EQ(window->FileTree().size(), 1u);
    const FileTreeEntry& entry = window->FileTree()[0];
    EXPECT_EQ(entry.name, good);
    // The aspect ratio code, read straight from the first sequence header.
    const std::string bytes = test::ReadFile(good);
    const std::size_t header = bytes.find(std::string("\0\0\1\xB3", 4));
    ASSERT_NE(header, std::string::npos);
    const int aspectCode = static_cast<unsigned char>(bytes[header + 7]) >> 4;
    EXPECT_EQ(entry.lines,
              MakeFileTreeEntry(kVideoCdDisc, good, static_cast<long long>(fs::file_size(good)),
                                25.0, 1150000, aspectCode, 352, 288)
                  .lines);
    EXPECT_EQ(entry.lines[3], "Aspect Ratio: 4:3");
    EXPECT_EQ(entry.lines[1], "Framerate: 25.00 Frames/sec");
    EXPECT_EQ(entry.lines[2], "Bitrate: 1123 Kbits/s");
    EXPECT_EQ(entry.lines[4], "Width(Pixel): 352 / Height(Pixel): 288");
    EXPECT_EQ(window->InformationText(), "Information");
}

TEST_F(BurningWindowModelTest, TextsOfTheFileTreeAndTheScanLine) {
    EXPECT_EQ(MakeFileTreeEntry(kSuperVcdDisc, "a.mpg", 1572864, 29.97, 2516000, 2, 480, 480).lines,
              Texts({"Filesize: 1.50 MB", "Framerate: 29.97 Frames/sec", "Bitrate: 2457 Kbits/s",
                     "Aspect Ratio: 4:3", "Width(Pixel): 480 / Height(Pixel): 480"}));
    // The codes as each MPEG version reads them.
    EXPECT_EQ(AspectRatioText(kVideoCdDisc, 8, 352, 288), "4:3");
    EXPECT_EQ(AspectRatioText(kVideoCdDisc, 12, 352, 240), "4:3");
    EXPECT_EQ(AspectRatioText(kVideoCdDisc, 3, 352, 288), "16:9");
    EXPECT_EQ(AspectRatioText(kSuperVcdDisc, 3, 480, 576), "16:9");
    EXPECT_EQ(AspectRatioText(kSuperVcdDisc, 4, 480, 576), "2.21:1");
    EXPECT_EQ(AspectRatioText(kVideoCdDisc, 1, 640, 480), "4:3");
    EXPECT_EQ(AspectRatioText(kSuperVcdDisc, 1, 1280, 720), "16:9");
    EXPECT_EQ(AspectRatioText(kSuperVcdDisc, 9, 480, 576), "code 9");
    EXPECT_EQ(WrittenText(1572864), "1.5 MB");
    const std::string name(75, 'n');
    EXPECT_EQ(ScanningText(name), "Scanning Video - " + name.substr(0, 70) + " ...");
    EXPECT_EQ(ScanningText("short.mpg"), "Scanning Video - short.mpg");
    EXPECT_EQ(DiscFolderFor("/export/DVD/VIDEO_TS/"), "\\VIDEO_TS\\");
    EXPECT_EQ(DiscFolderFor("/export/DVD/Video_Ts"), "\\");

    const BurningWindowLayout dvd = LayOutBurningWindow(kDvdDisc);
    const BurningWindowLayout vcd = LayOutBurningWindow(kSuperVcdDisc);
    EXPECT_EQ(vcd.height, dvd.height + 100);
    EXPECT_EQ(vcd.fileTree.top, vcd.information.bottom + 10);
    EXPECT_EQ(vcd.fileTree.bottom, vcd.information.bottom + 110);
    for (const BurningWindowLayout& l : {dvd, vcd}) {
        EXPECT_EQ(l.cancel.Width(), 115);
        EXPECT_EQ(l.cancel.Height(), 21);
        EXPECT_EQ(l.cancel.right, BurningWindowLayout::kWidth - 10);
        EXPECT_EQ(l.cancel.bottom, l.height - 10);
        EXPECT_EQ(l.burnNow.Width(), 115);
        EXPECT_EQ(l.burnNow.right, l.cancel.left - 10);
        EXPECT_EQ(l.burnNow.top, l.cancel.top);
        EXPECT_LE(l.progress.bottom, l.cancel.top);
    }
}

TEST_F(BurningWindowModelTest, CancelBeforeBurnNowClosesWithoutAbort) {
    MakeDvdFolder(export_);
    auto window = OpenWindow(kDvdDisc);
    window->OnCommand(kCmdCancelBurn);
    EXPECT_TRUE(window->Closed());
    EXPECT_EQ(view_.endedWith, kBurningResultCancelled);
    EXPECT_EQ(CallsOf("Abort"), 0);
    EXPECT_EQ(sdkCalls.back(), "DeleteProject");
}

TEST_F(BurningWindowModelTest, CancelDuringABurnAbortsItAndKeepsNoImage) {
    MakeDvdFolder(export_, 8);
    auto window = OpenWindow(kDvdDisc);
    window->OnCommand(kCmdBurnNow);
    // "Burn Now" shows "0"; the first process event, once the tool runs, "0.0".
    ASSERT_TRUE(test::RunLoopUntil([&] { return window->BufferText() != "0"; }));
    window->OnCommand(kCmdCancelBurn);
    EXPECT_EQ(CallsOf("Abort"), 1);
    EXPECT_EQ(window->Result(), kBurningResultCancelled);
    test::RunLoopFor(std::chrono::milliseconds(500));
    EXPECT_FALSE(test::HasChildProcess());
    for (const auto& entry : fs::directory_iterator(export_)) {
        EXPECT_TRUE(entry.is_directory()) << entry.path();  // only "DVD"
    }
}

TEST_F(BurningWindowModelTest, AnExportFolderWithoutRoomGivesErrorsNeverSuccess) {
    // A tmpfs with room for the DVD's files, not for its image.
    const std::string small = folder_ / "small/";
    fs::create_directories(small);
    MakeDvdFolder(export_);
    long long content = 0;
    for (const auto& entry : fs::directory_iterator(export_ + "DVD/VIDEO_TS")) {
        content += static_cast<long long>(entry.file_size());
    }
    // The copy of the DVD folder, then room for the files once more but not
    // for the image.
    const std::string size = "size=" + std::to_string(2 * content + 300 * 1024);
    if (mount("tmpfs", small.c_str(), "tmpfs", 0, size.c_str()) != 0) {
        GTEST_SKIP() << "mounting a tmpfs needs root";
    }
    fs::copy(export_ + "DVD", small + "DVD", fs::copy_options::recursive);
    {
        auto window = OpenWindow(kDvdDisc, {}, small);
        window->OnCommand(kCmdBurnNow);
        ASSERT_TRUE(test::RunLoopUntil([&] { return !window->Burning(); }));
        const Texts& messages = window->Messages();
        ASSERT_GE(messages.size(), 4u);
        EXPECT_TRUE(messages[messages.size() - 2].starts_with("error: "))
            << messages[messages.size() - 2];
        EXPECT_NE(messages[messages.size() - 2].find("No space left"), std::string::npos);
        EXPECT_EQ(messages.back(), "Burn Done With Errors");
        EXPECT_TRUE(view_.boxes.empty());
        EXPECT_FALSE(window->Closed());
        EXPECT_TRUE(window->IsCommandAvailable(kCmdBurnNow));

        // With the files of another disc in it, not even they fit.
        test::WriteFile(small + "filler", std::string(static_cast<std::size_t>(content / 2), 'f'));
        window->OnCommand(kCmdBurnNow);
        EXPECT_TRUE(window->Messages()[window->Messages().size() - 2].starts_with("error: "));
        EXPECT_EQ(window->Messages().back(), "The current device isn't ready.");
        EXPECT_FALSE(window->Burning());
        window->OnCommand(kCmdCancelBurn);
    }
    for (const auto& entry : fs::directory_iterator(small)) {
        EXPECT_TRUE(entry.path().filename() == "DVD" || entry.path().filename() == "filler")
            << entry.path();
    }
    umount(small.c_str());
}

}  // namespace
