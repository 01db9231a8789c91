// libFoxBurner.so as its client sees it, loaded by the program's loader:
// projects burned by the image recorder into images that lsdvd, isoinfo and
// vcd-info read back; scans that accept and refuse; a burn aborted half
// way; a folder that runs out of room; every error with its text.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <cstring>
#include <filesystem>
#include <set>

#include "app/disc/burning_sdk.h"
#include "tests/support/caller_loop.h"
#include "tests/support/disc_media.h"
#include "tests/support/own_temp_folder.h"
#include "tests/support/process_checks.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

struct ScanDone {
    std::string file;
    int refused = -1;
    double frameRate = 0;
    int bitRate = 0;
    int width = 0;
    int height = 0;
};

// Everything the SDK's events said, in order.
struct Events {
    std::vector<std::string> order;
    std::vector<float> percents;
    double bytesWritten = 0;
    bool done = false;
    int doneCode = -1;
    int scannerEvents = 0;
    std::vector<ScanDone> scans;
};

Events& Of(void* context) { return *static_cast<Events*>(context); }

class SdkClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        sdk_ = LoadBurningSdk(ZARVO_PROGRAM_FOLDER, error);
        ASSERT_NE(sdk_, nullptr) << error;
        ASSERT_EQ(sdk_->Initialize(), 0);
        sdk_->SetFinalizeEventCallback([](void* c) { Of(c).order.push_back("finalize"); },
                                       &events_);
        sdk_->SetBurnDoneEventCallback(
            [](void* c, int code) {
                Of(c).order.push_back("done");
                Of(c).done = true;
                Of(c).doneCode = code;
            },
            &events_);
        sdk_->SetProcessEventCallback(
            [](void* c, float percent, float, double bytes) {
                if (Of(c).order.empty() || Of(c).order.back() != "process") {
                    Of(c).order.push_back("process");
                }
                Of(c).percents.push_back(percent);
                Of(c).bytesWritten = bytes;
            },
            &events_);
        sdk_->SetVideoScannerEventCallback([](void* c, float) { ++Of(c).scannerEvents; }, &events_);
        sdk_->SetVideoScanDoneEventCallback(
            [](void* c, const char* file, int refused, double frameRate, int bitRate, int,
               int width, int height) {
                Of(c).scans.push_back({file, refused, frameRate, bitRate, width, height});
            },
            &events_);
    }
    void TearDown() override {
        if (sdk_) sdk_->DeleteProject();
    }

    // A project with the image recorder chosen and the folder it writes to.
    void StartProject(int type, const std::string& imageFolder, const std::string& label) {
        ASSERT_EQ(sdk_->CreateProject(type), 0);
        FoxBurnerOptions options;
        ASSERT_EQ(sdk_->GetOptions(&options), 0);
        std::strcpy(options.volumeLabel, label.c_str());
        ASSERT_EQ(sdk_->SetOptions(&options), 0);
        ASSERT_EQ(sdk_->SetImageFolder(imageFolder.c_str()), 0);
        char entries[26 * FOXBURNER_DEVICE_ENTRY_BYTES];
        int count = 26;
        ASSERT_EQ(sdk_->GetDevices(entries, &count, 1), 0);
        ASSERT_GE(count, 1);
        // The image recorder is the last entry (the only one without drives).
        const char* recorder = entries + (count - 1) * FOXBURNER_DEVICE_ENTRY_BYTES;
        ASSERT_NE(std::strstr(recorder, "Image Recorder"), nullptr) << recorder;
        ASSERT_EQ(sdk_->SetDevice(recorder[0]), 0);
    }

    // Adds a file to a VideoCD or SuperVCD project and waits for its scan.
    void Scan(const std::string& file) {
        const std::size_t before = events_.scans.size();
        ASSERT_EQ(sdk_->AddFile(file.c_str()), 0);
        ASSERT_TRUE(test::RunLoopUntil([&] { return events_.scans.size() > before; }));
    }

    // Prepare and Burn, then the loop until the burn done event.
    int BurnToEnd() {
        events_ = Events{};
        const int prepared = sdk_->Prepare();
        EXPECT_EQ(prepared, 0) << Text(prepared);
        EXPECT_EQ(sdk_->Burn(), 0);
        EXPECT_TRUE(test::RunLoopUntil([&] { return events_.done; }));
        return events_.doneCode;
    }

    std::string Text(int code) {
        char text[2048];
        sdk_->GetText(code, text, sizeof text);
        return text;
    }

    // A DVD-Video folder made by dvdauthor: folder_/DVD/VIDEO_TS.
    std::string MakeDvdFolder(double seconds = 2) {
        EXPECT_TRUE(test::MakeDiscClip(folder_ / "title.mpg", "pal-dvd", seconds));
        EXPECT_TRUE(test::MakeVideoTsFolder(folder_ / "DVD", folder_ / "title.mpg"));
        return folder_ / "DVD/VIDEO_TS/";
    }

    std::vector<std::string> FolderNames(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

    const BurningSdk* sdk_ = nullptr;
    Events events_;
    test::TempDir folder_{"sdk client ü"};
};

TEST_F(SdkClientTest, TheImageRecorderWritesADvdVideoIsoThatLsdvdReads) {
    const std::string videoTs = MakeDvdFolder();
    const std::string images = folder_ / "export folder/";
    fs::create_directories(images);
    StartProject(FOXBURNER_PROJECT_DVD_VIDEO, images, "Holiday 2024");
    ASSERT_EQ(sdk_->AddDir(videoTs.c_str(), "\\VIDEO_TS\\", "*.*", 63, 1), 0);
    ASSERT_EQ(sdk_->IsDeviceReady(), 0);
    ASSERT_EQ(BurnToEnd(), 0) << Text(events_.doneCode);
    EXPECT_EQ(events_.order, std::vector<std::string>({"process", "finalize", "done"}));
    EXPECT_TRUE(std::is_sorted(events_.percents.begin(), events_.percents.end()));
    EXPECT_EQ(events_.percents.back(), 100);

    const std::string iso = images + "Holiday 2024.iso";
    EXPECT_EQ(events_.bytesWritten, static_cast<double>(fs::file_size(iso)));
    const std::vector<double> titles = test::LsdvdTitleSeconds(iso);
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_NEAR(titles[0], 2.0, 0.5);
    std::map<std::string, long long> expected;
    for (const auto& entry : fs::directory_iterator(videoTs)) {
        expected[entry.path().filename()] = static_cast<long long>(entry.file_size());
    }
    EXPECT_EQ(test::IsoFolderFiles(iso, "/VIDEO_TS/"), expected);
    EXPECT_NE(test::RunTool("isoinfo -d -i " + test::Quoted(iso)).find("Volume id: Holiday 2024"),
              std::string::npos);

    char written[4096];
    ASSERT_EQ(sdk_->GetImageFile(written, sizeof written), 0);
    EXPECT_EQ(std::string(written), iso);

    // A second burn never writes over the first image, and says which name
    // it took; a buffer too small for the path gets nothing.
    ASSERT_EQ(BurnToEnd(), 0);
    EXPECT_EQ(FolderNames(images),
              std::vector<std::string>({"Holiday 2024 (2).iso", "Holiday 2024.iso"}));
    ASSERT_EQ(sdk_->GetImageFile(written, sizeof written), 0);
    EXPECT_EQ(std::string(written), images + "Holiday 2024 (2).iso");
    char tooSmall[8] = "x";
    EXPECT_EQ(sdk_->GetImageFile(tooSmall, sizeof tooSmall), FOXBURNER_ERROR_BUFFER_TOO_SMALL);
    EXPECT_STREQ(tooSmall, "");
}

TEST_F(SdkClientTest, VideoCdTracksAreScannedAndWrittenAsBinCue) {
    const std::string first = folder_ / "first clip.mpg";
    const std::string second = folder_ / "second.mpg";
    const std::string superVcd = folder_ / "super.mpg";
    ASSERT_TRUE(test::MakeDiscClip(first, "pal-vcd", 2));
    ASSERT_TRUE(test::MakeDiscClip(second, "pal-vcd", 1));
    ASSERT_TRUE(test::MakeDiscClip(superVcd, "pal-svcd", 1));
    const std::string images = folder_ / "images/";
    fs::create_directories(images);

    StartProject(FOXBURNER_PROJECT_VIDEO_CD, images, "Zarvo Video Burn");
    Scan(first);
    Scan(superVcd);
    Scan(second);
    ASSERT_EQ(events_.scans.size(), 3u);
    EXPECT_EQ(events_.scans[0].file, first);
    EXPECT_EQ(events_.scans[0].refused, 0);
    EXPECT_DOUBLE_EQ(events_.scans[0].frameRate, 25.0);
    EXPECT_EQ(events_.scans[0].bitRate, 1150000);
    EXPECT_EQ(events_.scans[0].width, 352);
    EXPECT_EQ(events_.scans[0].height, 288);
    EXPECT_EQ(events_.scans[1].refused, 1);
    EXPECT_EQ(events_.scans[1].width, 480);
    EXPECT_EQ(events_.scans[2].refused, 0);
    EXPECT_GT(events_.scannerEvents, 3);
    EXPECT_NE(Text(FOXBURNER_ERROR_REFUSED_VIDEO).find("MPEG-1"), std::string::npos);

    // The refused file is not burned: two tracks.
    ASSERT_EQ(BurnToEnd(), 0) << Text(events_.doneCode);
    EXPECT_EQ(FolderNames(images),
              std::vector<std::string>({"Zarvo Video Burn.bin", "Zarvo Video Burn.cue"}));
    const test::VideoCdImageInfo vcd = test::ReadVideoCdImage(images + "Zarvo Video Burn.cue");
    EXPECT_EQ(vcd.entries, 2);
    EXPECT_EQ(vcd.format, "VCD 2.0");

    StartProject(FOXBURNER_PROJECT_SUPER_VCD, images, "Super");
    Scan(superVcd);
    EXPECT_EQ(events_.scans.back().refused, 0);
    ASSERT_EQ(BurnToEnd(), 0) << Text(events_.doneCode);
    const test::VideoCdImageInfo svcd = test::ReadVideoCdImage(images + "Super.cue");
    EXPECT_EQ(svcd.entries, 1);
    EXPECT_EQ(svcd.format, "SVCD");

    // ffmpeg's NTSC VideoCD file, whose sectors end in zeros as the PAL
    // one's do.
    const std::string ntsc = folder_ / "ntsc clip.mpg";
    ASSERT_TRUE(test::MakeDiscClip(ntsc, "ntsc-vcd", 1));
    StartProject(FOXBURNER_PROJECT_VIDEO_CD, images, "Ntsc");
    Scan(ntsc);
    EXPECT_EQ(events_.scans.back().refused, 0);
    EXPECT_EQ(events_.scans.back().height, 240);
    ASSERT_EQ(BurnToEnd(), 0) << Text(events_.doneCode);
    const test::VideoCdImageInfo ntscVcd = test::ReadVideoCdImage(images + "Ntsc.cue");
    EXPECT_EQ(ntscVcd.entries, 1);
    EXPECT_EQ(ntscVcd.format, "VCD 2.0");
}

TEST_F(SdkClientTest, AnAbortedBurnLeavesNoImageAndNoTool) {
    const std::string videoTs = MakeDvdFolder(8);
    const std::string images = folder_ / "images/";
    fs::create_directories(images);
    StartProject(FOXBURNER_PROJECT_DVD_VIDEO, images, "Aborted");
    ASSERT_EQ(sdk_->AddDir(videoTs.c_str(), "\\VIDEO_TS\\", "*.*", 63, 1), 0);
    ASSERT_EQ(sdk_->Prepare(), 0);
    ASSERT_EQ(sdk_->Burn(), 0);
    // The first process event comes once genisoimage runs.
    ASSERT_TRUE(test::RunLoopUntil([&] { return !events_.percents.empty(); }));
    EXPECT_TRUE(test::HasChildProcess());
    EXPECT_EQ(sdk_->Abort(), 0);
    test::RunLoopFor(std::chrono::milliseconds(700));
    EXPECT_FALSE(events_.done);
    EXPECT_FALSE(test::HasChildProcess());
    EXPECT_TRUE(FolderNames(images).empty());
    EXPECT_EQ(sdk_->Abort(), FOXBURNER_ERROR_NOT_BURNING);
}

// A tmpfs of a given size, mounted for the test.
class SmallFileSystem {
public:
    SmallFileSystem(const std::string& folder, long long bytes) : folder_(folder) {
        fs::create_directories(folder);
        const std::string options = "size=" + std::to_string(bytes);
        mounted_ = mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallFileSystem() {
        if (mounted_) umount(folder_.c_str());
    }
    bool Mounted() const { return mounted_; }

private:
    std::string folder_;
    bool mounted_ = false;
};

TEST_F(SdkClientTest, AFolderWithoutRoomIsAnErrorAndKeepsNoHalfImage) {
    const std::string videoTs = MakeDvdFolder();
    long long content = 0;
    for (const auto& entry : fs::directory_iterator(videoTs)) {
        content += static_cast<long long>(entry.file_size());
    }
    // Too small for the files themselves: the recorder is not ready.
    SmallFileSystem tiny(folder_ / "tiny/", content / 2);
    if (!tiny.Mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
    StartProject(FOXBURNER_PROJECT_DVD_VIDEO, folder_ / "tiny/", "Full");
    ASSERT_EQ(sdk_->AddDir(videoTs.c_str(), "\\VIDEO_TS\\", "*.*", 63, 1), 0);
    EXPECT_EQ(sdk_->IsDeviceReady(), FOXBURNER_ERROR_NO_ROOM);
    EXPECT_NE(Text(FOXBURNER_ERROR_NO_ROOM).find("MB free"), std::string::npos);

    // Room for the files but not for the image: the write fails half way.
    SmallFileSystem small(folder_ / "small/", content + 256 * 1024);
    ASSERT_TRUE(small.Mounted());
    ASSERT_EQ(sdk_->SetImageFolder((folder_ / "small/").c_str()), 0);
    ASSERT_EQ(sdk_->IsDeviceReady(), 0);
    EXPECT_EQ(BurnToEnd(), FOXBURNER_ERROR_NO_ROOM);
    EXPECT_EQ(events_.order.back(), "done");
    EXPECT_NE(Text(FOXBURNER_ERROR_NO_ROOM).find("No space left on device"), std::string::npos)
        << Text(FOXBURNER_ERROR_NO_ROOM);
    EXPECT_TRUE(FolderNames(folder_ / "small/").empty());
    // A failed burn wrote no image.
    char written[4096] = "x";
    EXPECT_EQ(sdk_->GetImageFile(written, sizeof written), 0);
    EXPECT_STREQ(written, "");
}

TEST_F(SdkClientTest, ErrorsOptionsAndMisuse) {
    std::set<std::string> texts;
    for (int code = 1; code <= FOXBURNER_ERROR_BUFFER_TOO_SMALL; ++code) texts.insert(Text(code));
    EXPECT_EQ(texts.size(), static_cast<std::size_t>(FOXBURNER_ERROR_BUFFER_TOO_SMALL));
    EXPECT_EQ(Text(9999), "Unknown error.");
    char shortText[8];
    EXPECT_EQ(sdk_->GetText(FOXBURNER_ERROR_NO_ROOM, shortText, sizeof shortText), 0);
    EXPECT_EQ(std::strlen(shortText), 7u);

    EXPECT_EQ(sdk_->CreateProject(7), FOXBURNER_ERROR_BAD_PROJECT_TYPE);
    ASSERT_EQ(sdk_->CreateProject(FOXBURNER_PROJECT_DVD_VIDEO), 0);
    // "Not defined" fields keep their values.
    FoxBurnerOptions options;
    std::memset(&options, 0xFF, sizeof options);
    std::strcpy(options.volumeLabel, "New Label");
    std::strcpy(options.publisher, "BS_NDEF");
    std::strcpy(options.applicationId, "BS_NDEF");
    options.finalize = 0;
    ASSERT_EQ(sdk_->SetOptions(&options), 0);
    FoxBurnerOptions read;
    ASSERT_EQ(sdk_->GetOptions(&read), 0);
    EXPECT_STREQ(read.volumeLabel, "New Label");
    EXPECT_STREQ(read.applicationId, "FoxBurner");
    EXPECT_EQ(read.finalize, 0);
    EXPECT_EQ(read.ejectAfterBurn, 0);
    EXPECT_EQ(read.writeSpeed, 0);

    EXPECT_EQ(sdk_->AddFile("/no/such.mpg"), FOXBURNER_ERROR_WRONG_PROJECT_TYPE);
    EXPECT_EQ(sdk_->AddDir("/no/such/folder/", "\\VIDEO_TS\\", "*.*", 63, 1),
              FOXBURNER_ERROR_FOLDER_UNREADABLE);
    EXPECT_EQ(sdk_->SetDevice('#'), FOXBURNER_ERROR_NO_SUCH_DEVICE);
    EXPECT_EQ(sdk_->Prepare(), FOXBURNER_ERROR_NOTHING_TO_BURN);
    // A burn that cannot start still ends with its event.
    events_ = Events{};
    EXPECT_EQ(sdk_->Burn(), FOXBURNER_ERROR_NOT_PREPARED);
    ASSERT_TRUE(test::RunLoopUntil([&] { return events_.done; }));
    EXPECT_EQ(events_.doneCode, FOXBURNER_ERROR_NOT_PREPARED);

    ASSERT_EQ(sdk_->CreateProject(FOXBURNER_PROJECT_VIDEO_CD), 0);
    EXPECT_EQ(sdk_->AddFile("/no/such.mpg"), FOXBURNER_ERROR_FILE_UNREADABLE);
    EXPECT_EQ(sdk_->AddDir("/tmp/", "\\", "*.*", 63, 1), FOXBURNER_ERROR_WRONG_PROJECT_TYPE);
}

}  // namespace
