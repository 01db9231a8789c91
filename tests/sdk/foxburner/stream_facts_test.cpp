// The facts of real program streams made by ffmpeg, the VideoCD and
// SuperVCD rules applied to them beside vcdimager's own verdict, and the
// reader on garbage.
#include "sdk/foxburner/stream_facts.h"

#include <gtest/gtest.h>

#include <random>

#include "sdk/foxburner/disc_compliance.h"
#include "tests/support/disc_media.h"
#include "tests/support/temp_dir.h"

namespace {

using foxburner::ComplianceProblem;
using foxburner::ReadStreamFacts;
using foxburner::StreamFacts;
using foxburner::VcdImagerProblem;
using foxburner::VideoDiscFormat;

struct Verdicts {
    StreamFacts facts;
    std::string ours;
    std::string vcdimager;
};

class StreamFactsTest : public ::testing::Test {
protected:
    // The facts of a clip, our rules' verdict, and vcdimager's.
    Verdicts Judge(const std::string& name, const std::string& discTarget, VideoDiscFormat format,
                   const std::string& options = "") {
        const std::string path = folder_ / name;
        EXPECT_TRUE(test::MakeDiscClip(path, discTarget, 2, options)) << name;
        Verdicts verdicts;
        verdicts.facts = ReadStreamFacts(test::ReadFile(path));
        verdicts.ours = ComplianceProblem(verdicts.facts, format);
        int exitCode = -1;
        const std::string output =
            test::RunTool("vcdimager -t " + std::string(foxburner::VcdImagerType(format)) +
                              " --cue-file=/dev/null --bin-file=/dev/null " + test::Quoted(path),
                          &exitCode);
        verdicts.vcdimager = VcdImagerProblem(output, exitCode);
        return verdicts;
    }

    test::TempDir folder_{"stream facts ü"};
};

TEST_F(StreamFactsTest, VideoCdAndSuperVcdStreamsAreReadAndJudgedAsVcdimagerJudgesThem) {
    const Verdicts vcd = Judge("pal vcd.mpg", "pal-vcd", VideoDiscFormat::kVideoCd);
    EXPECT_EQ(vcd.facts.packVersion, 1);
    EXPECT_EQ(vcd.facts.video.mpegVersion, 1);
    EXPECT_EQ(vcd.facts.video.width, 352);
    EXPECT_EQ(vcd.facts.video.height, 288);
    EXPECT_EQ(vcd.facts.video.frameRateCode, 3);
    EXPECT_DOUBLE_EQ(vcd.facts.video.frameRate, 25.0);
    EXPECT_EQ(vcd.facts.video.bitRate, 1150000);
    EXPECT_FALSE(vcd.facts.video.variableBitRate);
    EXPECT_EQ(vcd.facts.audio.layer, 2);
    EXPECT_EQ(vcd.facts.audio.sampleRateHz, 44100);
    EXPECT_EQ(vcd.facts.audio.bitRate, 224000);
    EXPECT_EQ(vcd.facts.audio.channels, 2);
    EXPECT_EQ(vcd.ours, "");
    EXPECT_EQ(vcd.vcdimager, "");

    const Verdicts svcd = Judge("pal svcd.mpg", "pal-svcd", VideoDiscFormat::kSuperVcd);
    EXPECT_EQ(svcd.facts.packVersion, 2);
    EXPECT_EQ(svcd.facts.video.mpegVersion, 2);
    EXPECT_EQ(svcd.facts.video.width, 480);
    EXPECT_EQ(svcd.facts.video.height, 576);
    EXPECT_EQ(svcd.facts.video.aspectRatioCode, 2);  // 4:3
    EXPECT_EQ(svcd.facts.video.bitRate, 2516000);    // ffmpeg's SuperVCD maximum
    EXPECT_EQ(svcd.ours, "");
    EXPECT_EQ(svcd.vcdimager, "");

    const Verdicts ntsc = Judge("ntsc vcd.mpg", "ntsc-vcd", VideoDiscFormat::kVideoCd);
    EXPECT_EQ(ntsc.facts.video.height, 240);
    EXPECT_NEAR(ntsc.facts.video.frameRate, 29.97, 0.01);
    EXPECT_EQ(ntsc.ours, "");
}

TEST_F(StreamFactsTest, StreamsOfTheWrongFormatAreRefused) {
    // The other disc's stream: both judges refuse it.
    const Verdicts svcdAsVcd = Judge("svcd.mpg", "pal-svcd", VideoDiscFormat::kVideoCd);
    EXPECT_NE(svcdAsVcd.ours, "");
    EXPECT_NE(svcdAsVcd.vcdimager, "");
    const Verdicts vcdAsSvcd = Judge("vcd.mpg", "pal-vcd", VideoDiscFormat::kSuperVcd);
    EXPECT_NE(vcdAsSvcd.ours, "");
    EXPECT_NE(vcdAsSvcd.vcdimager, "");

    // A DVD stream: AC-3 sound at 48 kHz, MPEG-2 at 720 x 576.
    const Verdicts dvd = Judge("dvd.mpg", "pal-dvd", VideoDiscFormat::kVideoCd);
    EXPECT_TRUE(dvd.facts.privateStreamAudio);
    EXPECT_NE(dvd.ours, "");
    EXPECT_NE(dvd.vcdimager, "");

    // vcdimager takes a VideoCD-muxed MPEG-1 stream of 480 x 576 without a
    // word: the picture size is only ours to check.
    const Verdicts wideVcd =
        Judge("wide vcd.mpg", "pal-vcd", VideoDiscFormat::kVideoCd, "-s 480x576");
    EXPECT_EQ(wideVcd.facts.video.width, 480);
    EXPECT_NE(wideVcd.ours, "");
    EXPECT_EQ(wideVcd.vcdimager, "");

    // 48 kHz sound: vcdimager says so in a WARN line and exits 0.
    const Verdicts sound48 = Judge("48k.mpg", "pal-vcd", VideoDiscFormat::kVideoCd, "-ar 48000");
    EXPECT_NE(sound48.ours, "");
    EXPECT_NE(sound48.vcdimager.find("44100"), std::string::npos) << sound48.vcdimager;
}

TEST_F(StreamFactsTest, AGeneralMpegFileIsNoVideoCdTrack) {
    // What "-f mpeg" makes of VideoCD settings: 2048-byte packs and the
    // MPEG-1 "variable bit rate" marker.
    const std::string path = folder_ / "plain.mpg";
    int exitCode = -1;
    test::RunTool(
        "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=352x288:rate=25:duration=1"
        " -f lavfi -i sine=duration=1 -c:v mpeg1video -b:v 1150000 -c:a mp2 -ar 44100"
        " -f mpeg " +
            test::Quoted(path),
        &exitCode);
    ASSERT_EQ(exitCode, 0);
    const StreamFacts facts = ReadStreamFacts(test::ReadFile(path));
    EXPECT_TRUE(facts.video.variableBitRate);
    EXPECT_NE(ComplianceProblem(facts, VideoDiscFormat::kVideoCd), "");
}

TEST(StreamFactsGarbageTest, AnyBytesAreReadWithoutHarm) {
    test::TempDir folder("stream facts garbage");
    const std::string path = folder / "svcd.mpg";
    ASSERT_TRUE(test::MakeDiscClip(path, "pal-svcd", 1));
    const std::string real = test::ReadFile(path);
    const StreamFacts whole = ReadStreamFacts(real);
    ASSERT_TRUE(whole.video.found && whole.audio.found);
    // A cut stream tells what the whole one does, or less; never other facts.
    for (std::size_t length = 0; length < std::min<std::size_t>(real.size(), 60000);
         length += 331) {
        const StreamFacts facts = ReadStreamFacts(std::string_view(real).substr(0, length));
        if (facts.video.found) {
            EXPECT_EQ(facts.video.width, whole.video.width) << length;
            EXPECT_EQ(facts.video.bitRate, whole.video.bitRate) << length;
        }
        if (facts.audio.found) {
            EXPECT_EQ(facts.audio.sampleRateHz, whole.audio.sampleRateHz);
        }
    }
    // Damaged streams: whatever is found is within what the syntax allows.
    std::mt19937 random(19);
    std::string damaged = real.substr(0, 200000);
    for (int round = 0; round < 200; ++round) {
        for (int k = 0; k < 50; ++k) {
            damaged[random() % damaged.size()] = static_cast<char>(random());
        }
        const StreamFacts facts = ReadStreamFacts(damaged);
        if (facts.video.found) {
            EXPECT_GE(facts.video.frameRateCode, 1);
            EXPECT_LE(facts.video.frameRateCode, 8);
        }
        if (facts.audio.found) {
            EXPECT_GE(facts.audio.layer, 1);
        }
    }
    std::string noise(1 << 16, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    for (const std::string& bytes :
         {noise, std::string(1000, '\0'), std::string("\0\0\1", 3), std::string("\0\0\1\xBA", 4),
          std::string("\0\0\1\xE0\xFF\xFF", 6)}) {
        const StreamFacts facts = ReadStreamFacts(bytes);
        EXPECT_NE(ComplianceProblem(facts, VideoDiscFormat::kSuperVcd), "");
    }
}

}  // namespace
