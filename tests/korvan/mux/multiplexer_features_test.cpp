// The multiplexer's exact numbers and its features on real streams: the
// VideoCD sector clock, DVD navigation packs, SuperVCD scan offsets against
// vcdimager's, split output, the time range, progress and cancelling, file
// names, and zarvo-mpegenc's mux mode.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "korvan/mpegenc/mux/svcd_scan_offsets.h"
#include "korvan/mpegenc/settings/encoder_presets.h"
#include "tests/korvan/mux/mux_media.h"
#include "tests/korvan/mux/std_buffer_checker.h"
#include "tests/support/temp_dir.h"

namespace {

using korvan::EncoderPreset;
using korvan::EncoderSettings;
using korvan::TvSystem;
using korvan::mux::MuxReport;

uint8_t At(const std::string& bytes, size_t offset) { return static_cast<uint8_t>(bytes[offset]); }

bool StartCodeAt(const std::string& bytes, size_t offset, uint8_t code) {
    return offset + 4 <= bytes.size() && At(bytes, offset) == 0 && At(bytes, offset + 1) == 0 &&
           At(bytes, offset + 2) == 1 && At(bytes, offset + 3) == code;
}

size_t CountOf(const std::string& bytes, const std::string& pattern) {
    size_t count = 0;
    for (size_t at = bytes.find(pattern); at != std::string::npos; at = bytes.find(pattern, at + 1))
        ++count;
    return count;
}

// Checks that hold for every program stream the tests make.
void ExpectSound(const std::string& path) {
    const test::StdReport report = test::CheckProgramStream(path);
    EXPECT_TRUE(report.error.empty()) << report.Summary();
    EXPECT_EQ(report.Overflows(), 0u) << report.Summary();
    EXPECT_EQ(report.Underflows(), 0u) << report.Summary();
    EXPECT_EQ(report.scrProblems, 0u) << report.Summary();
    EXPECT_EQ(test::DecodeErrors(path), "") << path;
}

TEST(VideoCdTest, PacksComeAtTheCdSectorRate) {
    test::TempDir folder("vcd clock");
    const EncoderSettings settings =
        korvan::PresetSettings(EncoderPreset::kVideoCd, TvSystem::kPal);
    const MuxReport report = test::RunMultiplex(
        settings, test::VideoFor(EncoderPreset::kVideoCd, TvSystem::kPal),
        test::AudioFor(EncoderPreset::kVideoCd), test::SecondAudioFor(EncoderPreset::kDvd),
        folder / "vcd.mpg", folder.Folder());
    ASSERT_EQ(report.status.code, korvan::StatusCode::kOk) << report.status.message;
    EXPECT_EQ(report.statistics.muxRate, 3528u);
    EXPECT_DOUBLE_EQ(report.statistics.scrStepTicks, 360000);
    const std::string bytes = test::ReadFile(folder / "vcd.mpg");
    ASSERT_EQ(bytes.size() % 2324, 0u);
    uint64_t previous = 0;
    for (size_t pack = 0; pack * 2324 < bytes.size(); ++pack) {
        const size_t at = pack * 2324;
        ASSERT_TRUE(StartCodeAt(bytes, at, 0xBA)) << pack;
        // SCR of the MPEG-1 pack header, in 90 kHz units.
        const auto byte = [&](size_t i) { return static_cast<uint64_t>(At(bytes, at + i)); };
        const uint64_t scr = (byte(4) >> 1 & 7) << 30 | byte(5) << 22 | (byte(6) >> 1) << 15 |
                             byte(7) << 7 | byte(8) >> 1;
        if (pack == 0) {
            EXPECT_EQ(scr, 36000u);  // the 400 ms sector delay
        } else {
            EXPECT_EQ((scr - previous) * 300, 360000u) << pack;
        }
        previous = scr;
        EXPECT_EQ(bytes.substr(at + 9, 3), std::string("\x80\x1B\x91", 3));  // 3528
    }
    // The system header opens the stream; the fourth pack is audio.
    EXPECT_TRUE(StartCodeAt(bytes, 12, 0xBB));
    EXPECT_TRUE(StartCodeAt(bytes, 3 * 2324 + 12, 0xC0));
    // A VideoCD has one audio stream: the second one asked for is left out.
    const test::StdReport std = test::CheckProgramStream(folder / "vcd.mpg");
    EXPECT_EQ(std.streams.size(), 2u);
    EXPECT_TRUE(std.endsWithEndCode);
    ExpectSound(folder / "vcd.mpg");
}

TEST(DvdTest, NavigationPacksOpenEveryGop) {
    const std::string video = test::VideoFor(EncoderPreset::kDvd, TvSystem::kPal);
    const std::string videoBytes = test::ReadFile(video);
    const size_t gops = CountOf(videoBytes, std::string("\x00\x00\x01\xB8", 4));
    ASSERT_GT(gops, 3u);
    for (const bool authoring : {false, true}) {
        SCOPED_TRACE(authoring ? "private stream 2" : "padding");
        test::TempDir folder("dvd navigation");
        EncoderSettings settings = korvan::PresetSettings(EncoderPreset::kDvd, TvSystem::kPal);
        settings.usePrivateStream2 = authoring;
        const MuxReport report =
            test::RunMultiplex(settings, video, test::AudioFor(EncoderPreset::kDvd), "",
                               folder / "dvd.mpg", folder.Folder());
        ASSERT_EQ(report.status.code, korvan::StatusCode::kOk) << report.status.message;
        const std::string bytes = test::ReadFile(folder / "dvd.mpg");
        ASSERT_EQ(bytes.size() % 2048, 0u);
        size_t navigation = 0;
        for (size_t at = 0; at < bytes.size(); at += 2048) {
            if (!StartCodeAt(bytes, at + 14, 0xBB)) continue;
            ++navigation;
            EXPECT_EQ(bytes.substr(at + 14, 24),
                      std::string("\x00\x00\x01\xBB\x00\x12\x80\xC4\xE1\x04\xE1\x7F"
                                  "\xB9\xE0\xE8\xB8\xC0\x20\xBD\xE0\x3A\xBF\xE0\x02",
                                  24));
            if (authoring) {
                EXPECT_EQ(bytes.substr(at + 38, 6), std::string("\x00\x00\x01\xBF\x03\xD4", 6));
                EXPECT_EQ(bytes.substr(at + 1024, 6), std::string("\x00\x00\x01\xBF\x03\xFA", 6));
            } else {
                // One padding packet of 2004 bytes.
                EXPECT_EQ(bytes.substr(at + 38, 6), std::string("\x00\x00\x01\xBE\x07\xD4", 6));
                EXPECT_EQ(bytes.substr(at + 44, 2004), std::string(2004, '\xFF'));
            }
            // The next video packet begins the GOP with its sequence header.
            size_t next = at + 2048;
            while (next < bytes.size() && !StartCodeAt(bytes, next + 14, 0xE0)) next += 2048;
            ASSERT_LT(next, bytes.size());
            const size_t data = next + 14 + 9 + At(bytes, next + 14 + 8);
            EXPECT_TRUE(StartCodeAt(bytes, data, 0xB3)) << at / 2048;
        }
        EXPECT_EQ(navigation, gops);
        EXPECT_EQ(report.statistics.navigationPacks, gops);
        ExpectSound(folder / "dvd.mpg");
    }
}

// The twelve address bytes after every scan-offset block, in file order,
// with the pack each block is in.
struct ScanBlock {
    size_t pack;
    std::string addresses;
};

std::vector<ScanBlock> ScanBlocks(const std::string& bytes) {
    std::vector<ScanBlock> blocks;
    const std::string start("\x00\x00\x01\xB2\x10\x0E", 6);
    for (size_t at = bytes.find(start); at != std::string::npos; at = bytes.find(start, at + 1))
        blocks.push_back({at / 2324, bytes.substr(at + 6, 12)});
    return blocks;
}

std::string Address(size_t pack) {
    const std::array<uint8_t, 3> address = korvan::mux::CdTimeAddress(static_cast<uint32_t>(pack));
    return std::string(address.begin(), address.end());
}

TEST(SuperVcdTest, ScanOffsetsPointAtTheIPicturesAsVcdimagerSays) {
    const std::string video = test::MuxMedia("svcd-long-pal.m2v");
    const std::string audio = test::MuxMedia("mp2-44100-long.mp2");
    ASSERT_FALSE(video.empty());
    test::TempDir folder("svcd scan offsets ünï");
    const EncoderSettings settings =
        korvan::PresetSettings(EncoderPreset::kSuperVcd, TvSystem::kPal);
    const MuxReport report =
        test::RunMultiplex(settings, video, audio, "", folder / "svcd.mpg", folder.Folder());
    ASSERT_EQ(report.status.code, korvan::StatusCode::kOk) << report.status.message;
    ExpectSound(folder / "svcd.mpg");
    EXPECT_EQ(test::VcdImagerComplaints(folder / "svcd.mpg", folder.Folder(), "svcd"), "");

    const std::string bytes = test::ReadFile(folder / "svcd.mpg");
    const std::vector<ScanBlock> blocks = ScanBlocks(bytes);
    const auto& facts = report.statistics.video;
    ASSERT_EQ(blocks.size(), facts.picturesOfType[1]);
    ASSERT_GT(blocks.size(), 20u);
    const int span =
        korvan::mux::ScanOffsetSpan(facts.frameRateCode, false, facts.pictures, facts.gops);
    const int count = static_cast<int>(blocks.size());
    const std::string none("\xFF\xFF\xFF", 3);
    for (int k = 0; k < count; ++k) {
        const std::string& a = blocks[static_cast<size_t>(k)].addresses;
        const auto pack = [&](int i) { return blocks[static_cast<size_t>(i)].pack; };
        EXPECT_EQ(a.substr(0, 3), k == 0 ? none : Address(pack(k - 1))) << k;
        EXPECT_EQ(a.substr(3, 3), k + 1 == count ? none : Address(pack(k + 1))) << k;
        EXPECT_EQ(a.substr(6, 3), Address(k >= span ? pack(k - span) : 0)) << k;
        EXPECT_EQ(a.substr(9, 3), Address(pack(std::min(k + span, count - 1)))) << k;
    }

    // vcdimager fills blanked addresses itself; vcdxrip gives the track back.
    std::string blank = bytes;
    const std::string start("\x00\x00\x01\xB2\x10\x0E", 6);
    for (size_t at = blank.find(start); at != std::string::npos; at = blank.find(start, at + 1))
        blank.replace(at + 6, 12,
                      std::string("\x00\x80\x80\x00\x80\x80\x00\x80\x80\x00\x80\x80", 12));
    test::WriteFile(folder / "blank.mpg", blank);
    EXPECT_EQ(test::VcdImagerComplaints(folder / "blank.mpg", folder.Folder(), "svcd",
                                        {"--update-scan-offsets"}),
              "");
    const test::ToolRun rip = test::RunInstalled(
        "env", {"-C", folder.Folder(), "vcdxrip", "-q", "-b", folder / "videocd.bin"});
    ASSERT_EQ(rip.exitCode, 0) << rip.err;
    const std::vector<ScanBlock> theirs = ScanBlocks(test::ReadFile(folder / "avseq01.mpg"));
    ASSERT_EQ(theirs.size(), blocks.size());
    // The previous and next I pictures agree, up to one sector offset
    // between the two numberings (none has been seen).
    const auto number = [](const std::string& a) {
        const auto bcd = [](uint8_t v) { return (v >> 4) * 10 + (v & 15); };
        return bcd(static_cast<uint8_t>(a[0])) * 4500 +
               bcd(static_cast<uint8_t>(a[1]) & 0x7F) * 75 + bcd(static_cast<uint8_t>(a[2]) & 0x7F);
    };
    const int offset =
        number(theirs[0].addresses.substr(3, 3)) - number(blocks[0].addresses.substr(3, 3));
    EXPECT_EQ(offset, 0);
    for (size_t k = 0; k < blocks.size(); ++k) {
        for (size_t field = 0; field < 2; ++field) {
            const std::string ours = blocks[k].addresses.substr(field * 3, 3);
            const std::string other = theirs[k].addresses.substr(field * 3, 3);
            if (ours == none) {
                EXPECT_EQ(other, none) << k;
            } else {
                EXPECT_EQ(number(other) - number(ours), offset) << k << " field " << field;
            }
        }
    }
}

TEST(SplitTest, ASizeLimitedDvdSplitsIntoFilesThatEachPass) {
    const std::string video = test::MuxMedia("dvd-long-pal.m2v");
    const std::string audio = test::MuxMedia("ac3-48000-long.ac3");
    ASSERT_FALSE(video.empty());
    test::TempDir folder("dvd split ünï");
    EncoderSettings settings = korvan::PresetSettings(EncoderPreset::kDvd, TvSystem::kPal);
    settings.maxFileSize = 3;
    const MuxReport report =
        test::RunMultiplex(settings, video, audio, "", folder / "Movie.mpg", folder.Folder());
    ASSERT_EQ(report.status.code, korvan::StatusCode::kOk) << report.status.message;
    ASSERT_GE(report.programFiles.size(), 3u);
    EXPECT_EQ(report.programFiles[0], folder / "movie.mpg");
    EXPECT_EQ(report.programFiles[1], folder / "movie_2.mpg");
    uint64_t pictures = 0;
    uint64_t frames = 0;
    for (size_t i = 0; i < report.programFiles.size(); ++i) {
        const std::string& path = report.programFiles[i];
        SCOPED_TRACE(path);
        EXPECT_LE(std::filesystem::file_size(path), 3u << 20);
        ExpectSound(path);
        const test::StdReport std = test::CheckProgramStream(path);
        ASSERT_EQ(std.streams.count(0xE0), 1u);
        const uint64_t filePictures = std.streams.at(0xE0).units;
        pictures += filePictures;
        frames += std.streams.at(0x180).units;
        // Every file ends its video with a sequence end code.
        const auto& es = std.streams.at(0xE0).elementaryStream;
        EXPECT_EQ(std::string(es.end() - 4, es.end()), std::string("\x00\x00\x01\xB7", 4));
        const test::DvdAuthoring dvd =
            test::AuthorDvd(path, folder / ("dvd" + std::to_string(i)), TvSystem::kPal);
        EXPECT_EQ(dvd.complaints, "");
        EXPECT_NEAR(dvd.titleSeconds, filePictures / 25.0, 1.0);
    }
    EXPECT_EQ(pictures, test::MeasureStream(video).frames);
    EXPECT_EQ(frames, test::MeasureStream(audio).frames);
}

TEST(SplitTest, SuperVcdFilesStartTheirClocksAgain) {
    const std::string video = test::MuxMedia("svcd-long-pal.m2v");
    const std::string audio = test::MuxMedia("mp2-44100-long.mp2");
    test::TempDir folder("svcd split");
    EncoderSettings settings = korvan::PresetSettings(EncoderPreset::kSuperVcd, TvSystem::kPal);
    settings.maxFileSize = 1;
    const MuxReport report =
        test::RunMultiplex(settings, video, audio, "", folder / "svcd.mpg", folder.Folder());
    ASSERT_EQ(report.status.code, korvan::StatusCode::kOk) << report.status.message;
    ASSERT_GE(report.programFiles.size(), 2u);
    uint64_t pictures = 0;
    uint64_t frames = 0;
    for (const std::string& path : report.programFiles) {
        SCOPED_TRACE(path);
        ExpectSound(path);
        // vcdimager notes a track shorter than a second of CD sectors, which
        // the last file may be.
        const std::string shortTrack = "++ WARN: mpeg stream shorter than 75 sectors\n";
        const bool isShort = std::filesystem::file_size(path) < 75 * 2324;
        EXPECT_EQ(test::VcdImagerComplaints(path, folder.Folder(), "svcd"),
                  isShort ? shortTrack : "");
        const test::StdReport std = test::CheckProgramStream(path);
        pictures += std.streams.at(0xE0).units;
        frames += std.streams.at(0xC0).units;
        EXPECT_LT(std.streams.at(0xE0).firstPtsSeconds, 1.0);
        EXPECT_LT(std.streams.at(0xC0).firstPtsSeconds, 1.0);
        // Sound and pictures of a file cover the same time.
        EXPECT_NEAR(std.streams.at(0xC0).endSeconds, std.streams.at(0xE0).endSeconds, 0.1);
    }
    EXPECT_EQ(pictures, test::MeasureStream(video).frames);
    EXPECT_EQ(frames, test::MeasureStream(audio).frames);
}

TEST(TimeRangeTest, StartAndStopCutAtGops) {
    const std::string video = test::MuxMedia("svcd-long-pal.m2v");
    const std::string audio = test::MuxMedia("mp2-44100-long.mp2");
    // Picture types in display order; the GOPs are closed, so a GOP begins
    // with its I picture in display and in coded order alike.
    const test::ToolRun types = test::RunInstalled(
        "ffprobe", {"-v", "error", "-show_entries", "frame=pict_type", "-of", "csv=p=0", video});
    std::vector<size_t> intra;
    size_t index = 0;
    for (size_t at = 0; at < types.out.size(); ++at) {
        if (types.out[at] == '\n') continue;
        if (types.out[at] == 'I') intra.push_back(index);
        ++index;
    }
    const auto firstIFrom = [&](size_t picture) {
        for (size_t i : intra) {
            if (i >= picture) return i;
        }
        return index;
    };
    const size_t expected = firstIFrom(7 * 25) - firstIFrom(3 * 25);

    test::TempDir folder("time range");
    EncoderSettings settings = korvan::PresetSettings(EncoderPreset::kSuperVcd, TvSystem::kPal);
    settings.muxStartTime = 3;
    settings.muxStopTime = 7;
    const MuxReport report =
        test::RunMultiplex(settings, video, audio, "", folder / "range.mpg", folder.Folder());
    ASSERT_EQ(report.status.code, korvan::StatusCode::kOk) << report.status.message;
    ExpectSound(folder / "range.mpg");
    const test::StdReport std = test::CheckProgramStream(folder / "range.mpg");
    EXPECT_EQ(std.streams.at(0xE0).units, expected);
    EXPECT_NEAR(std.streams.at(0xC0).endSeconds - std.streams.at(0xC0).firstPtsSeconds,
                expected / 25.0, 0.06);
    EXPECT_EQ(test::VcdImagerComplaints(folder / "range.mpg", folder.Folder(), "svcd"), "");

    settings.muxStopTime = 0;
    settings.muxStartTime = 100;
    const MuxReport late =
        test::RunMultiplex(settings, video, audio, "", folder / "late.mpg", folder.Folder());
    EXPECT_EQ(late.status.code, korvan::StatusCode::kFailed);
    EXPECT_EQ(late.status.message, "Mux start time is greater than the total time 12 seconds.");
}

class RecordingHost : public korvan::mux::MuxHost {
public:
    explicit RecordingHost(std::string cancelAt = "") : cancelAt_(std::move(cancelAt)) {}
    void ReportProgress(const std::string& text, int percent) override {
        texts.push_back(text);
        percents.push_back(percent);
        if (!cancelAt_.empty() && text.rfind(cancelAt_, 0) == 0) cancelled_ = true;
    }
    bool IsCancelled() override { return cancelled_; }

    std::vector<std::string> texts;
    std::vector<int> percents;

private:
    std::string cancelAt_;
    bool cancelled_ = false;
};

korvan::mux::MuxRequest SuperVcdRequest(const std::string& folder) {
    korvan::mux::MuxRequest request;
    request.videoPath = test::VideoFor(EncoderPreset::kSuperVcd, TvSystem::kPal);
    request.audioPath = test::AudioFor(EncoderPreset::kSuperVcd);
    request.programPath = folder + "svcd.mpg";
    request.unitFolder = folder;
    request.flags = korvan::mux::kMuxVideo | korvan::mux::kMuxAudio;
    return request;
}

TEST(ProgressTest, EveryPhaseReportsInItsOwnWords) {
    test::TempDir folder("progress");
    const korvan::mux::MuxRequest request = SuperVcdRequest(folder.Folder());
    RecordingHost host;
    const MuxReport report = korvan::mux::Multiplex(
        korvan::PresetSettings(EncoderPreset::kSuperVcd, TvSystem::kPal), request, host);
    ASSERT_EQ(report.status.code, korvan::StatusCode::kOk) << report.status.message;
    ASSERT_GT(host.texts.size(), 10u);
    const double videoBytes = static_cast<double>(std::filesystem::file_size(request.videoPath));
    EXPECT_EQ(host.texts.front(), "Scanning video stream: 0% - byte offset 0 of " +
                                      std::to_string(static_cast<long>(videoBytes)) + ".");
    const uint64_t units = report.statistics.video.pictures + report.statistics.audio[0].frames;
    const uint64_t intra = report.statistics.video.picturesOfType[1];
    EXPECT_EQ(host.texts.back(), "SVCD Scan Offsets: 100% - " + std::to_string(intra) + " of " +
                                     std::to_string(intra) + "  I-Frames.");
    const std::string muxDone = "Multiplexing: 100% - " + std::to_string(units) + " of " +
                                std::to_string(units) + "  A/V units.";
    EXPECT_NE(std::find(host.texts.begin(), host.texts.end(), muxDone), host.texts.end());
    // Within each phase the percent only grows.
    const char* phases[] = {"Scanning video", "Scanning audio", "Multiplexing", "SVCD Scan"};
    for (const char* phase : phases) {
        int last = -1;
        size_t seen = 0;
        for (size_t i = 0; i < host.texts.size(); ++i) {
            if (host.texts[i].rfind(phase, 0) != 0) continue;
            EXPECT_GE(host.percents[i], last) << host.texts[i];
            last = host.percents[i];
            ++seen;
        }
        EXPECT_GT(seen, 0u) << phase;
        EXPECT_EQ(last, 100) << phase;
    }
    // The temporary unit files are gone; the program file has a lower-case name.
    for (const char* name : {"tmp_v", "tmp_a", "tmpa1", "tmp_s"})
        EXPECT_FALSE(std::filesystem::exists(folder / name)) << name;
}

TEST(ProgressTest, CancellingStopsBetweenPacksAndKeepsWhatWasWritten) {
    for (const char* phase : {"Scanning audio", "Multiplexing: 2"}) {
        SCOPED_TRACE(phase);
        test::TempDir folder("cancel");
        RecordingHost host(phase);
        const MuxReport report =
            korvan::mux::Multiplex(korvan::PresetSettings(EncoderPreset::kSuperVcd, TvSystem::kPal),
                                   SuperVcdRequest(folder.Folder()), host);
        EXPECT_EQ(report.status.code, korvan::StatusCode::kCancelled);
        EXPECT_EQ(report.status.message, "");
        const bool packing = std::string(phase).rfind("Multiplexing", 0) == 0;
        EXPECT_EQ(std::filesystem::exists(folder / "svcd.mpg"), packing);
        if (packing) {
            const auto bytes = std::filesystem::file_size(folder / "svcd.mpg");
            EXPECT_GT(bytes, 0u);
            EXPECT_EQ(bytes % 2324, 0u);
        }
        for (const char* name : {"tmp_v", "tmp_a", "tmp_s"})
            EXPECT_FALSE(std::filesystem::exists(folder / name)) << name;
    }
}

TEST(StreamSetTest, AudioOnlyVideoOnlyAndTwoAc3Streams) {
    test::TempDir folder("stream sets");
    // A VideoCD of sound alone, its padding packs ending in 20 zero bytes.
    EncoderSettings vcd = korvan::PresetSettings(EncoderPreset::kVideoCd, TvSystem::kPal);
    vcd.padVCDAudio = 1;
    MuxReport report = test::RunMultiplex(vcd, "", test::AudioFor(EncoderPreset::kVideoCd), "",
                                          folder / "audio.mpg", folder.Folder());
    ASSERT_EQ(report.status.code, korvan::StatusCode::kOk) << report.status.message;
    EXPECT_GT(report.statistics.paddingPacks, 0u);
    const std::string audioOnly = test::ReadFile(folder / "audio.mpg");
    size_t padded = 0;
    // The last pack ends with the program end code instead.
    for (size_t at = 0; at + 2 * 2324 <= audioOnly.size(); at += 2324) {
        if (!StartCodeAt(audioOnly, at + 12, 0xBE)) continue;
        ++padded;
        EXPECT_EQ(audioOnly.substr(at + 2304, 20), std::string(20, '\0'));
    }
    EXPECT_GT(padded, 10u);
    ExpectSound(folder / "audio.mpg");

    // MPEG-2 video alone.
    const EncoderSettings mpeg2 = korvan::PresetSettings(EncoderPreset::kMpeg2, TvSystem::kNtsc);
    report = test::RunMultiplex(mpeg2, test::VideoFor(EncoderPreset::kMpeg2, TvSystem::kNtsc), "",
                                "", folder / "video.mpg", folder.Folder());
    ASSERT_EQ(report.status.code, korvan::StatusCode::kOk) << report.status.message;
    ExpectSound(folder / "video.mpg");
    EXPECT_EQ(test::CheckProgramStream(folder / "video.mpg").streams.size(), 1u);

    // Two AC-3 streams share private stream 1 as sub-streams 0x80 and 0x81.
    report =
        test::RunMultiplex(mpeg2, test::VideoFor(EncoderPreset::kMpeg2, TvSystem::kNtsc),
                           test::MuxMedia("ac3-48000.ac3"), test::MuxMedia("second-ac3-48000.ac3"),
                           folder / "ac3.mpg", folder.Folder());
    ASSERT_EQ(report.status.code, korvan::StatusCode::kOk) << report.status.message;
    ExpectSound(folder / "ac3.mpg");
    const test::StdReport std = test::CheckProgramStream(folder / "ac3.mpg");
    ASSERT_EQ(std.streams.count(0x180), 1u);
    ASSERT_EQ(std.streams.count(0x181), 1u);
    EXPECT_EQ(std.streams.at(0x181).badSubHeaders, 0u);
    const std::string bytes = test::ReadFile(folder / "ac3.mpg");
    // One system header entry for private stream 1, holding both buffers.
    EXPECT_NE(bytes.find(std::string("\xBD\xE0\x08", 3)), std::string::npos);
}

TEST(FailureTest, InputsAndOutputsThatCannotBeUsed) {
    test::TempDir folder("failures ünï");
    const EncoderSettings settings = korvan::PresetSettings(EncoderPreset::kMpeg2, TvSystem::kPal);
    const std::string video = test::VideoFor(EncoderPreset::kMpeg2, TvSystem::kPal);
    const std::string audio = test::AudioFor(EncoderPreset::kMpeg2);
    MuxReport report = test::RunMultiplex(settings, folder / "absent.m2v", audio, "",
                                          folder / "o.mpg", folder.Folder());
    EXPECT_EQ(report.status.message, "Input file " + folder / "absent.m2v" + " was not found.");
    report = test::RunMultiplex(settings, video, audio, folder / "absent.mp2", folder / "o.mpg",
                                folder.Folder());
    EXPECT_EQ(report.status.message, "Input file " + folder / "absent.mp2" + " was not found.");
    report =
        test::RunMultiplex(settings, video, audio, "", folder / "no folder/o.mpg", folder.Folder());
    EXPECT_EQ(report.status.message,
              "Unable to open program file " + folder / "no folder/o.mpg" + ".");
    report =
        test::RunMultiplex(settings, video, audio, "", folder / "o.mpg", folder / "no folder/");
    EXPECT_EQ(report.status.message,
              "Unable to create temporary video units file " + folder / "no folder/tmp_v" + ".");
    EncoderSettings odd = settings;
    odd.sectorSize = 100;
    report = test::RunMultiplex(odd, video, audio, "", folder / "o.mpg", folder.Folder());
    EXPECT_EQ(report.status.message, "Invalid program stream settings: sector size.");
    odd = settings;
    odd.audioBufferSize = 0;
    report = test::RunMultiplex(odd, video, audio, "", folder / "o.mpg", folder.Folder());
    EXPECT_EQ(report.status.message, "Invalid program stream settings: audio buffer size.");
    EXPECT_EQ(report.status.code, korvan::StatusCode::kFailed);
}

TEST(CommandLineTest, ZarvoMpegencMultiplexesReadyStreams) {
    const std::string tool = std::string(ZARVO_PROGRAM_FOLDER) + "zarvo-mpegenc";
    test::TempDir folder("mpegenc mux ünï");
    const test::ToolRun run = test::RunInstalled(
        tool, {"--target", "svcd", "--ntsc", "--mux-video",
               test::VideoFor(EncoderPreset::kSuperVcd, TvSystem::kNtsc), "--mux-audio",
               test::AudioFor(EncoderPreset::kSuperVcd), "--mux-audio1",
               test::SecondAudioFor(EncoderPreset::kSuperVcd), "-o", folder / "Clip.MPG"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, folder / "clip.mpg\n");
    EXPECT_EQ(run.err, "");
    ExpectSound(folder / "clip.mpg");
    EXPECT_EQ(test::CheckProgramStream(folder / "clip.mpg").streams.size(), 3u);
    EXPECT_EQ(test::VcdImagerComplaints(folder / "clip.mpg", folder.Folder(), "svcd"), "");

    const test::ToolRun refused = test::RunInstalled(
        tool, {"--target", "dvd", "--mux-video",
               test::VideoFor(EncoderPreset::kDvd, TvSystem::kPal), "--mux-audio",
               test::VideoFor(EncoderPreset::kDvd, TvSystem::kPal), "-o", folder / "x.mpg"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "File " + test::VideoFor(EncoderPreset::kDvd, TvSystem::kPal) +
                               " is not an AC3 or MPEG Audio stream.\n");
    const test::ToolRun noOutput = test::RunInstalled(
        tool, {"--target", "dvd", "--mux-audio", test::AudioFor(EncoderPreset::kDvd)});
    EXPECT_EQ(noOutput.exitCode, 2);
    EXPECT_EQ(noOutput.err, "zarvo-mpegenc: option '-o' is required to multiplex\n");
}

}  // namespace
