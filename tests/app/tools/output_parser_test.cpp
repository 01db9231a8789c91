#include "app/tools/output_parser.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "app/tools/output_chunker.h"
#include "tests/support/temp_dir.h"

namespace {

// Console text recorded from the installed tools (ffmpeg 5.1, mencoder 1.5),
// and texts of the older ffmpeg the program was first written for.
std::string Recorded(const std::string& name) {
    const std::string text =
        test::ReadFile(std::string(ZARVO_SOURCE_DIR) + "/tests/app/tools/data/" + name);
    EXPECT_FALSE(text.empty()) << name;
    return text;
}

// Hands text to the parser the way the runner does: read in pieces of
// `readBytes` (0 = random sizes), cut into chunks at line ends. Returns the
// percent after every chunk.
std::vector<int> Feed(const std::string& text, ParseMode mode, ToolOutputState& state,
                      ProgressClock& clock, std::size_t readBytes = 1024,
                      const std::string& prefix = "ffmpeg -y -i ") {
    std::mt19937 random(12345);
    std::vector<int> percents;
    OutputChunker chunker;
    auto parse = [&](std::string_view chunk) {
        if (mode == PositionOutput) {
            ParsePositionChunk(chunk, state, clock);
        } else {
            ParseFfmpegChunk(chunk, prefix, state, clock);
        }
        percents.push_back(state.percent);
    };
    for (std::size_t done = 0; done < text.size();) {
        std::span<char> space = chunker.FreeSpace();
        std::size_t n = readBytes ? readBytes : 1 + random() % 1024;
        n = std::min({n, space.size(), text.size() - done});
        std::copy_n(text.data() + done, n, space.data());
        done += n;
        const std::string_view chunk = chunker.Take(n);
        if (!chunk.empty()) parse(chunk);
    }
    if (!chunker.Rest().empty()) parse(chunker.Rest());
    return percents;
}

ToolOutputState ProbeState(const std::string& preferredAudioId = "") {
    ToolOutputState state;
    state.probeOnly = true;
    state.preferredAudioId = preferredAudioId;
    return state;
}

TEST(OutputParserTest, TimeStringsAreHoursMinutesSeconds) {
    EXPECT_DOUBLE_EQ(ParseTimeString("00:01:30.50"), 90.5);
    EXPECT_DOUBLE_EQ(ParseTimeString(" 1: 2: 3.5"), 3723.5);
    EXPECT_DOUBLE_EQ(ParseTimeString("100:00:00.00"), 360000);
    // With one colon the minutes are empty: hours and seconds.
    EXPECT_DOUBLE_EQ(ParseTimeString("2:30"), 7230);
    EXPECT_DOUBLE_EQ(ParseTimeString("12.5"), 0);
    EXPECT_DOUBLE_EQ(ParseTimeString("N/A"), 0);
    EXPECT_DOUBLE_EQ(ParseTimeString("inf:nan:1"), 1);
    EXPECT_DOUBLE_EQ(ParseTimeString(""), 0);
}

TEST(OutputParserTest, ClassicProbeGivesDurationCodecsAndIndexes) {
    ToolOutputState state = ProbeState();
    ProgressClock clock;
    Feed(Recorded("classic_probe_avi.txt"), FfmpegOutput, state, clock);
    EXPECT_TRUE(state.success);
    EXPECT_DOUBLE_EQ(state.media.durationSeconds, 90.5);
    EXPECT_EQ(state.media.inputName, "C:\\Videos\\clip.avi");
    EXPECT_EQ(state.media.videoCodec, "mpeg4");
    EXPECT_EQ(state.media.audioCodec, "mp3");
    EXPECT_EQ(state.media.videoStreamIndex, 0);
    EXPECT_EQ(state.media.audioStreamIndex, 1);
    EXPECT_TRUE(state.media.streamInfoComplete);
    // "[PAR 1:1 DAR 4:3]" is no stream id.
    EXPECT_TRUE(state.media.audioStreamLines.empty());
}

TEST(OutputParserTest, AProbeReadsItsFactsOnlyFromTheClosingLine) {
    std::string text = Recorded("ffmpeg51_probe_avi.txt");
    text = text.substr(0, text.find("At least"));
    ToolOutputState state = ProbeState();
    ProgressClock clock;
    Feed(text, FfmpegOutput, state, clock);
    EXPECT_DOUBLE_EQ(state.media.durationSeconds, 0);
    EXPECT_EQ(state.media.videoCodec, "");
    Feed(Recorded("ffmpeg51_probe_avi.txt").substr(text.size()), FfmpegOutput, state, clock);
    EXPECT_DOUBLE_EQ(state.media.durationSeconds, 2.01);
}

TEST(OutputParserTest, Ffmpeg51ProbeGivesCodecNamesWithoutTheirDescriptions) {
    ToolOutputState state = ProbeState();
    ProgressClock clock;
    // Random read sizes: markers and lines split between reads must not
    // matter.
    Feed(Recorded("ffmpeg51_probe_avi.txt"), FfmpegOutput, state, clock, 0);
    EXPECT_TRUE(state.success);
    EXPECT_DOUBLE_EQ(state.media.durationSeconds, 2.01);
    EXPECT_EQ(state.media.inputName, "clip.avi");
    EXPECT_EQ(state.media.videoCodec, "mpeg4");
    EXPECT_EQ(state.media.audioCodec, "mp2");
    EXPECT_EQ(state.media.videoStreamIndex, 0);
    EXPECT_EQ(state.media.audioStreamIndex, 1);
    EXPECT_TRUE(state.media.audioStreamLines.empty());

    // The codec tag in "aac (LC) (mp4a / 0x6134706D)" would otherwise read as
    // an audio format the tool cannot decode.
    state = ProbeState();
    Feed(Recorded("ffmpeg51_probe_mp4.txt"), FfmpegOutput, state, clock, 0);
    EXPECT_EQ(state.media.videoCodec, "h264");
    EXPECT_EQ(state.media.audioCodec, "aac");
    EXPECT_EQ(state.media.audioStreamIndex, 1);
    ASSERT_EQ(state.media.audioStreamLines.size(), 1u);
    EXPECT_EQ(state.media.audioStreamLines[0].substr(0, 38),
              "Stream #0:1[0x2](und): Audio: aac (LC)");
}

// The facts that decide how a picture is fitted to a frame: its size, its
// pixel shape (in brackets, or on its own as ffv1 prints it), the turn a
// phone recorded, its field order, and whether it has sound.
TEST(OutputParserTest, Ffmpeg51ProbeGivesThePicturesShapeTurnAndFields) {
    ProgressClock clock;
    ToolOutputState phone = ProbeState();
    Feed(Recorded("ffmpeg51_probe_rotated_mp4.txt"), FfmpegOutput, phone, clock, 0);
    EXPECT_EQ(phone.media.picture.widthPx, 1920);
    EXPECT_EQ(phone.media.picture.heightPx, 1080);
    EXPECT_EQ(phone.media.picture.sampleAspectWidth, 1);
    EXPECT_EQ(phone.media.picture.sampleAspectHeight, 1);
    EXPECT_EQ(phone.media.picture.rotationDegrees, 90);
    EXPECT_EQ(phone.media.picture.fieldOrder, FieldOrder::kProgressive);
    EXPECT_EQ(phone.media.audioStreamCount, 1);

    ToolOutputState tv = ProbeState();
    Feed(Recorded("ffmpeg51_probe_interlaced_ts.txt"), FfmpegOutput, tv, clock, 0);
    EXPECT_EQ(tv.media.picture.widthPx, 1440);
    EXPECT_EQ(tv.media.picture.heightPx, 1080);
    EXPECT_EQ(tv.media.picture.sampleAspectWidth, 4);
    EXPECT_EQ(tv.media.picture.sampleAspectHeight, 3);
    EXPECT_EQ(tv.media.picture.rotationDegrees, 0);
    EXPECT_EQ(tv.media.picture.fieldOrder, FieldOrder::kTopFirst);

    ToolOutputState capture = ProbeState();
    Feed(Recorded("ffmpeg51_probe_ffv1_avi.txt"), FfmpegOutput, capture, clock, 0);
    EXPECT_EQ(capture.media.videoCodec, "ffv1");
    EXPECT_EQ(capture.media.picture.widthPx, 720);
    EXPECT_EQ(capture.media.picture.heightPx, 576);
    EXPECT_EQ(capture.media.picture.sampleAspectWidth, 1);
    EXPECT_EQ(capture.media.picture.fieldOrder, FieldOrder::kUnknown);
    EXPECT_EQ(capture.media.audioStreamCount, 0);
    EXPECT_EQ(capture.media.audioCodec, "");

    // The coded picture says 12:11, the container 1:1; ffmpeg shows 1:1.
    ToolOutputState phone3gp = ProbeState();
    Feed(Recorded("ffmpeg51_probe_h263_3gp.txt"), FfmpegOutput, phone3gp, clock, 0);
    EXPECT_EQ(phone3gp.media.picture.widthPx, 176);
    EXPECT_EQ(phone3gp.media.picture.sampleAspectWidth, 1);
    EXPECT_EQ(phone3gp.media.picture.sampleAspectHeight, 1);

    // Two tracks of a DVD, and the older text's "[PAR 1:1 DAR 4:3]", which
    // names no pixel shape of its own.
    ToolOutputState dvd = ProbeState();
    Feed(Recorded("ffmpeg51_probe_vob.txt"), FfmpegOutput, dvd, clock, 0);
    EXPECT_EQ(dvd.media.audioStreamCount, 2);
    EXPECT_EQ(dvd.media.picture.widthPx, 720);
    ToolOutputState classic = ProbeState();
    Feed(Recorded("classic_probe_avi.txt"), FfmpegOutput, classic, clock, 0);
    EXPECT_EQ(classic.media.picture.sampleAspectWidth, 1);
    EXPECT_EQ(classic.media.picture.sampleAspectHeight, 1);
}

TEST(OutputParserTest, TheIdetSummaryGivesTheFieldOrder) {
    ToolOutputState state;
    state.media.durationSeconds = 1;
    ProgressClock clock;
    Feed(Recorded("ffmpeg51_idet_bottom_first.txt"), FfmpegOutput, state, clock, 0);
    EXPECT_EQ(state.detectedFieldOrder, FieldOrder::kBottomFirst);

    EXPECT_EQ(ReadFieldDetection("Multi frame detection: TFF:    20 BFF:     1 Progressive:     4 "
                                 "Undetermined:     0"),
              FieldOrder::kTopFirst);
    // Quiet pictures show no fields; a source mostly found progressive is.
    EXPECT_EQ(ReadFieldDetection("Multi frame detection: TFF: 3 BFF: 0 Progressive: 40"),
              FieldOrder::kProgressive);
    EXPECT_EQ(ReadFieldDetection("Multi frame detection: TFF: 0 BFF: 0 Progressive: 0"),
              FieldOrder::kUnknown);
    EXPECT_EQ(ReadFieldDetection("Multi frame detection: TFF: -7 BFF: x"), FieldOrder::kUnknown);
    EXPECT_EQ(ReadFieldDetection("Single frame detection: TFF: 9"), FieldOrder::kUnknown);
}

TEST(OutputParserTest, ProgramStreamAudioTracksAreListedAndThePreferredOneTaken) {
    for (const std::string name : {"classic_probe_vob.txt", "ffmpeg51_probe_vob.txt"}) {
        SCOPED_TRACE(name);
        const std::string text = Recorded(name);
        ToolOutputState first = ProbeState();
        ProgressClock clock;
        Feed(text, FfmpegOutput, first, clock);
        EXPECT_EQ(first.media.videoCodec, "mpeg2video");
        EXPECT_EQ(first.media.audioCodec, "ac3");
        EXPECT_EQ(first.media.audioStreamIndex, 1);
        ASSERT_EQ(first.media.audioStreamLines.size(), 2u);
        EXPECT_NE(first.media.audioStreamLines[0].find("[0x80]: Audio: ac3, 48000 Hz"),
                  std::string::npos);
        EXPECT_NE(first.media.audioStreamLines[1].find("[0x81]: Audio: ac3, 48000 Hz"),
                  std::string::npos);
        EXPECT_EQ(first.media.audioStreamLines[1].find_first_of("\r\n"), std::string::npos);

        ToolOutputState second = ProbeState("0x81");
        Feed(text, FfmpegOutput, second, clock);
        EXPECT_EQ(second.media.audioStreamIndex, 2);
        EXPECT_TRUE(second.media.streamInfoComplete);
        EXPECT_EQ(second.media.audioStreamLines.size(), 2u);

        ToolOutputState absent = ProbeState("0x99");
        Feed(text, FfmpegOutput, absent, clock);
        EXPECT_FALSE(absent.media.streamInfoComplete);
        EXPECT_EQ(absent.media.audioStreamIndex, 1);
        EXPECT_EQ(absent.media.audioCodec, "");
    }
}

TEST(OutputParserTest, AudioWithAZeroCodecTagIsNeitherListedNorTaken) {
    ToolOutputState state = ProbeState();
    ProgressClock clock;
    Feed(
        "Input #0, mpeg, from 'a.vob':\n  Duration: 00:00:10.00, start: 0.2\n"
        "    Stream #0.0[0x1e0]: Video: mpeg2video, 720x576\n"
        "    Stream #0.1[0x80]: Audio: 0x0000, 48000 Hz\n"
        "    Stream #0.2[0x81]: Audio: mp2, 48000 Hz\n"
        "at least one output file\n",
        FfmpegOutput, state, clock);
    EXPECT_EQ(state.media.audioStreamIndex, 2);
    EXPECT_EQ(state.media.audioCodec, "mp2");
    ASSERT_EQ(state.media.audioStreamLines.size(), 1u);
    EXPECT_EQ(state.media.audioStreamLines[0], "Stream #0.2[0x81]: Audio: mp2, 48000 Hz");
}

TEST(OutputParserTest, FailuresOfBothGenerationsClearSuccess) {
    for (const std::string name :
         {"ffmpeg51_missing_input.txt", "ffmpeg51_unreadable_input.txt",
          "ffmpeg51_unknown_encoder.txt", "ffmpeg51_invalid_frame_size.txt"}) {
        ToolOutputState state = ProbeState();
        ProgressClock clock;
        Feed(Recorded(name), FfmpegOutput, state, clock, 0);
        EXPECT_FALSE(state.success) << name;
    }
    for (const std::string line : {"Unsupported codec (id=86017) for input stream #0.1\n",
                                   "a.xyz: Unknown format\n", "C:\\a.avi: I/O error occured\n"}) {
        ToolOutputState state;
        ProgressClock clock;
        Feed(line, FfmpegOutput, state, clock);
        EXPECT_FALSE(state.success) << line;
        state = ToolOutputState();
        Feed(line, PositionOutput, state, clock);
        EXPECT_FALSE(state.success) << line;
    }
}

TEST(OutputParserTest, SurvivedDecodingErrorsAndGoodRunsAreNoFailure) {
    for (const std::string name : {"ffmpeg51_convert_damaged.txt", "ffmpeg51_convert_mp4.txt",
                                   "ffmpeg51_probe_vob.txt", "mencoder15_convert.txt"}) {
        EXPECT_FALSE(ReportsToolFailure(Recorded(name))) << name;
    }
    EXPECT_NE(Recorded("ffmpeg51_convert_damaged.txt")
                  .find("Error while decoding stream #0:1: Invalid data found"),
              std::string::npos);
}

TEST(OutputParserTest, ClassicProgressIsInSeconds) {
    ToolOutputState state;
    ProgressClock clock;
    const std::vector<int> percents =
        Feed(Recorded("classic_convert.txt"), FfmpegOutput, state, clock, 97);
    EXPECT_DOUBLE_EQ(state.media.durationSeconds, 10);
    EXPECT_EQ(state.media.audioCodec, "mp3");
    EXPECT_DOUBLE_EQ(state.positionSeconds, 10);
    EXPECT_EQ(state.percent, 100);
    EXPECT_EQ(clock.positionSeconds, 10);
    EXPECT_EQ(clock.totalSeconds, 10);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_GE(std::count_if(percents.begin(), percents.end(), [](int p) { return p > 0; }), 3);
}

TEST(OutputParserTest, Ffmpeg51ProgressIsATimeStringOnCrEndedLines) {
    const std::string text = Recorded("ffmpeg51_convert_mp4.txt");
    // Byte by byte, every progress line is a chunk of its own, as when the
    // tool prints one every half second.
    ToolOutputState state;
    ProgressClock clock;
    const std::vector<int> percents = Feed(text, FfmpegOutput, state, clock, 1);
    EXPECT_TRUE(state.success);
    EXPECT_DOUBLE_EQ(state.media.durationSeconds, 4.02);
    EXPECT_EQ(state.media.audioStreamIndex, 1);
    std::vector<int> reported;
    for (int p : percents) {
        if (p > 0 && (reported.empty() || p != reported.back())) reported.push_back(p);
    }
    EXPECT_EQ(reported, (std::vector<int>{13, 25, 38, 51, 63, 76, 89, 100}));
    EXPECT_EQ(clock.totalSeconds, 4);
    EXPECT_EQ(clock.positionSeconds, 4);

    // Read in larger pieces, several lines share a chunk; the newest counts,
    // so the run still ends at 100.
    ToolOutputState together;
    Feed(text, FfmpegOutput, together, clock, 0);
    EXPECT_EQ(together.percent, 100);
}

TEST(OutputParserTest, AnInputWithoutSoundStillReportsProgress) {
    ToolOutputState state;
    ProgressClock clock;
    Feed(Recorded("ffmpeg51_convert_silent.txt"), FfmpegOutput, state, clock);
    EXPECT_FALSE(state.media.streamInfoComplete);
    EXPECT_EQ(state.media.audioCodec, "");
    EXPECT_GE(state.percent, 99);
}

TEST(OutputParserTest, ProgressNeedsAKnownDurationAndIsNeverNegative) {
    ToolOutputState state;
    ProgressClock clock;
    const std::string progress = "frame=  1 size= 0kB time=00:00:05.12 bitrate=N/A\r";
    // Without a duration the chunk is gathered as media text instead.
    Feed(progress, FfmpegOutput, state, clock);
    EXPECT_EQ(state.percent, 0);
    EXPECT_NE(state.probeText.View().find("time=00:00:05.12"), std::string_view::npos);

    state.media.durationSeconds = 10.24;
    Feed(progress, FfmpegOutput, state, clock);
    EXPECT_DOUBLE_EQ(state.positionSeconds, 5.12);
    EXPECT_EQ(state.percent, 50);
    EXPECT_EQ(clock.positionSeconds, 5);
    EXPECT_EQ(clock.totalSeconds, 10);

    Feed("frame=  1 size= 0kB time=-00:00:00.04 bitrate=N/A\r", FfmpegOutput, state, clock);
    EXPECT_DOUBLE_EQ(state.positionSeconds, 5.12);
    // Absurd numbers are cut to what an int holds.
    Feed("time=99999999999999:00:00.00 bitrate=x\r", FfmpegOutput, state, clock);
    EXPECT_EQ(clock.positionSeconds, INT_MAX);
    EXPECT_EQ(state.percent, INT_MAX);
}

TEST(OutputParserTest, MencoderPositionAgainstTheCallersDuration) {
    ToolOutputState state;
    ProgressClock clock;
    Feed("Pos:  12.3s    308f ( 5%)  0.00fps Trem:   0min   1mb\r", PositionOutput, state, clock);
    EXPECT_EQ(state.percent, 0);
    state.media.durationSeconds = 246;
    Feed("Pos:  12.3s    308f ( 5%)  0.00fps Trem:   0min   1mb\r", PositionOutput, state, clock);
    EXPECT_DOUBLE_EQ(state.positionSeconds, 12.3);
    EXPECT_EQ(state.percent, 5);
    EXPECT_EQ(clock.positionSeconds, 12);
    EXPECT_EQ(clock.totalSeconds, 246);

    ToolOutputState recorded;
    recorded.media.durationSeconds = 4.0;
    const std::vector<int> percents =
        Feed(Recorded("mencoder15_convert.txt"), PositionOutput, recorded, clock, 0);
    EXPECT_TRUE(recorded.success);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(recorded.percent, 100);
}

TEST(OutputParserTest, OnlyFfmpegCommandsGatherMediaText) {
    ToolOutputState state;
    ProgressClock clock;
    Feed(Recorded("ffmpeg51_probe_avi.txt"), FfmpegOutput, state, clock, 1024,
         "mencoder -oac pcm -ovc copy -idx -o out.avi in.avi");
    EXPECT_TRUE(state.probeText.View().empty());
    EXPECT_EQ(state.media.videoCodec, "");
}

TEST(OutputParserTest, GatheringStopsOnceTheAudioStreamIsTaken) {
    ToolOutputState state;
    ProgressClock clock;
    Feed(Recorded("classic_probe_avi.txt"), FfmpegOutput, state, clock);
    ASSERT_TRUE(state.media.streamInfoComplete);
    const std::size_t gathered = state.probeText.View().size();
    Feed("    Stream #0.3: Audio: aac, 8000 Hz\n", FfmpegOutput, state, clock);
    EXPECT_EQ(state.probeText.View().size(), gathered);
    EXPECT_EQ(state.media.audioCodec, "mp3");
}

TEST(OutputParserTest, TheProbeTextKeepsItsNewestTextAndNeverOverruns) {
    ToolOutputState state = ProbeState();
    ProgressClock clock;
    std::string noise;
    while (noise.size() < 25000) noise += "    comment         : " + std::string(60, 'x') + "\n";
    Feed(noise + Recorded("ffmpeg51_probe_vob.txt"), FfmpegOutput, state, clock, 0);
    EXPECT_EQ(state.probeText.View().size(), ProbeText::kCapacity - 1);
    EXPECT_EQ(state.media.audioStreamLines.size(), 2u);
    EXPECT_DOUBLE_EQ(state.media.durationSeconds, 2.01);

    ProbeText text;
    text.Append(std::string(20000, 'a') + "end");
    EXPECT_EQ(text.View().size(), ProbeText::kCapacity - 1);
    EXPECT_EQ(text.View().substr(text.View().size() - 3), "end");
}

TEST(OutputParserTest, DamagedTextNeverCrashes) {
    // Pieces of real text, cut and shuffled, plus random bytes; run under the
    // sanitizers this shows no read outside the text.
    std::mt19937 random(7);
    const std::string sources[] = {
        Recorded("ffmpeg51_probe_vob.txt"), Recorded("classic_probe_vob.txt"),
        Recorded("mencoder15_convert.txt"), Recorded("ffmpeg51_probe_rotated_mp4.txt"),
        Recorded("ffmpeg51_idet_bottom_first.txt")};
    for (int round = 0; round < 300; ++round) {
        std::string text;
        for (int piece = 0; piece < 8; ++piece) {
            const std::string& source = sources[random() % std::size(sources)];
            const std::size_t start = random() % source.size();
            text += source.substr(start, random() % 200);
            if (random() % 4 == 0) text += static_cast<char>(random());
        }
        text += round % 2 ? "Stream #0:" : "Stream #0.1[0x8";
        ToolOutputState state = ProbeState(round % 3 ? "" : "0x81");
        state.media.durationSeconds = round % 5;
        ProgressClock clock;
        Feed(text + "\nAt least", round % 2 ? FfmpegOutput : PositionOutput, state, clock, 0);
        ParseMediaDescription(text, "0x80", state.media);
        EXPECT_LE(state.probeText.View().size(), ProbeText::kCapacity - 1);
    }
}

}  // namespace
