// AVI files written by the writer and read back by ffprobe and ffmpeg.
#include "korvan/media/avi_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "korvan/media/avi_rate_patch.h"
#include "korvan/media/source_reader.h"
#include "tests/korvan/media/media_test_support.h"

namespace {

using korvan::EncoderMessage;
using korvan::media::AviWriter;
using korvan::media::AviWriterHooks;
using korvan::media::CompressorChoice;
using korvan::media::CompressorOptions;
using korvan::media::DialogAnswer;
using korvan::media::FourCc;
using korvan::media::VideoCompressor;

// A dialog whose user picks `fourcc`, and the number of times it was shown.
struct ScriptedDialog {
    uint32_t fourcc = 0;
    DialogAnswer answer = DialogAnswer::kConfirmed;
    int shown = 0;
    korvan::media::CompressorDialog Dialog() {
        return [this](const CompressorOptions& current, std::span<const VideoCompressor> offered,
                      uint32_t) {
            ++shown;
            CompressorChoice choice{answer, current};
            choice.options.handler = fourcc;
            bool offeredHere = false;
            for (const VideoCompressor& c : offered) offeredHere |= c.fourcc == fourcc;
            if (!offeredHere) choice.answer = DialogAnswer::kCancelled;
            return choice;
        };
    }
};

AviWriterHooks Hooks(const std::string& folder, korvan::media::CompressorDialog dialog = {},
                     std::vector<EncoderMessage>* messages = nullptr) {
    AviWriterHooks hooks;
    hooks.hostFolder = folder;
    hooks.compressorDialog = std::move(dialog);
    hooks.throttleInterval = std::chrono::milliseconds(0);
    if (messages) hooks.messages = [messages](const EncoderMessage& m) { messages->push_back(m); };
    return hooks;
}

// A packed 32-bit bitmap of a moving gradient.
std::vector<uint8_t> Picture(int width, int height, int frame) {
    std::vector<uint8_t> rows(static_cast<std::size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &rows[(static_cast<std::size_t>(y) * width + x) * 4];
            p[0] = static_cast<uint8_t>(x * 4 + frame);
            p[1] = static_cast<uint8_t>(y * 4);
            p[2] = static_cast<uint8_t>(128 + frame * 3);
        }
    }
    std::vector<uint8_t> packed(korvan::media::PackedBitmap32Bytes(width, height));
    korvan::media::PackBitmap32(width, height, rows, packed);
    return packed;
}

// ffprobe's fields of each stream, "codec_type" first.
std::vector<std::map<std::string, std::string>> ProbeStreams(const std::string& path,
                                                             const std::string& extra = "") {
    std::vector<std::map<std::string, std::string>> streams;
    std::istringstream text(
        test::RunTool("ffprobe -v error " + extra + " -show_streams " + test::Quoted(path)));
    for (std::string line; std::getline(text, line);) {
        if (line == "[STREAM]") streams.emplace_back();
        const std::size_t equals = line.find('=');
        if (!streams.empty() && equals != std::string::npos) {
            streams.back()[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return streams;
}

std::string DecodeErrors(const std::string& path) {
    return test::RunTool("ffmpeg -nostdin -v error -i " + test::Quoted(path) + " -f null -");
}

TEST(AviWriterTest, EveryCodecWithSoundFirstOrVideoOnlyReadsBackInFfprobe) {
    test::TempDir dir("zarvo avi ü");
    const korvan::media::WaveFormat sound = korvan::media::PcmFormat(44100, 2, 16);
    const std::vector<uint8_t> tenthOfASecond(4410 * 4, 0);
    struct Codec {
        uint32_t fourcc;
        const char* decoder;
    };
    for (const Codec codec : {Codec{FourCc("DIB "), "rawvideo"}, Codec{FourCc("MJPG"), "mjpeg"},
                              Codec{FourCc("XVID"), "mpeg4"}, Codec{FourCc("H264"), "h264"}}) {
        // H.264 only where libavcodec has its encoder.
        if (!korvan::media::FindCompressor(codec.fourcc)) continue;
        const std::string decoder = codec.decoder;
        for (const bool soundFirst : {true, false}) {
            SCOPED_TRACE(decoder + (soundFirst ? " with sound" : " video only"));
            std::remove((dir / "avicode.dat").c_str());
            ScriptedDialog dialog{codec.fourcc};
            const std::string path = dir / ("out " + decoder + ".avi");
            AviWriter writer(Hooks(dir.Folder(), dialog.Dialog()));
            writer.OpenAvi(path);
            if (soundFirst) writer.OpenAviAudioStream(sound);
            for (int i = 0; i < 30; ++i) {
                writer.WriteAviFrame(Picture(64, 48, i));
                if (soundFirst) writer.WriteAviAudio(tenthOfASecond.data(), 4410 * 4);
            }
            EXPECT_FALSE(writer.Failed());
            EXPECT_EQ(writer.FrameCount(), 30);
            writer.SetDurationMs(3000);
            writer.CloseAvi();
            EXPECT_EQ(dialog.shown, 1);

            const auto streams = ProbeStreams(path, "-count_frames");
            ASSERT_EQ(streams.size(), soundFirst ? 2u : 1u);
            const auto& video = streams[soundFirst ? 1 : 0];
            EXPECT_EQ(video.at("codec_name"), decoder);
            EXPECT_EQ(video.at("width"), "64");
            EXPECT_EQ(video.at("r_frame_rate"), "10/1");
            EXPECT_EQ(video.at("nb_read_frames"), "30");
            if (soundFirst) {
                EXPECT_EQ(streams[0].at("codec_name"), "pcm_s16le");
                EXPECT_EQ(streams[0].at("sample_rate"), "44100");
                EXPECT_EQ(streams[0].at("nb_frames"), "132300");  // 3 s of sample frames
            }
            EXPECT_EQ(DecodeErrors(path), "");
        }
    }
}

TEST(AviWriterTest, UncompressedPicturesComeBackExactlyAndTheRightWayUp) {
    test::TempDir dir;
    ScriptedDialog dialog{FourCc("DIB ")};
    const std::string path = dir / "exact.avi";
    AviWriter writer(Hooks(dir.Folder(), dialog.Dialog()));
    writer.OpenAvi(path);
    const std::vector<uint8_t> packed = Picture(32, 16, 7);
    writer.WriteAviFrame(packed);
    writer.CloseAvi();
    int exitCode = -1;
    test::RunTool("ffmpeg -nostdin -v error -y -i " + test::Quoted(path) +
                      " -f rawvideo -pix_fmt bgr24 " + test::Quoted(dir / "back.bgr"),
                  &exitCode);
    ASSERT_EQ(exitCode, 0);
    const std::vector<uint8_t> back = [&] {
        const std::string s = test::ReadFile(dir / "back.bgr");
        return std::vector<uint8_t>(s.begin(), s.end());
    }();
    EXPECT_GE(test::LumaPsnr(packed.data() + korvan::media::kBitmapHeaderBytes, back, 32, 16), 99);
}

TEST(AviWriterTest, TheRatePatchLandsOnTheVideoHeaderWhereverItIs) {
    using korvan::media::PatchedFrameRate;
    EXPECT_EQ(PatchedFrameRate(300, 20000), 15000u);
    EXPECT_EQ(PatchedFrameRate(301, 20000), 15050u);
    EXPECT_EQ(PatchedFrameRate(24691, 2000000), 12345u);  // 12345.5
    EXPECT_EQ(PatchedFrameRate(24693, 2000000), 12346u);  // 12346.5
    EXPECT_EQ(PatchedFrameRate(1, 3), 333333u);
    EXPECT_EQ(PatchedFrameRate(300, 0), 0u);

    // The layout of a file whose 18-byte audio format comes first: the
    // video rate is at offset 234.
    std::vector<uint8_t> header;
    // Byte by byte: GCC 12 takes an insert of four bytes here for an overflow.
    auto code = [&](const char* c) {
        for (int i = 0; i < 4; ++i) header.push_back(static_cast<uint8_t>(c[i]));
    };
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) header.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    code("RIFF"), u32(1000), code("AVI ");
    code("LIST"), u32(4 + 64 + 2 * 12 + 2 * 64 + 26 + 48), code("hdrl");
    code("avih"), u32(56), header.resize(header.size() + 56);
    code("LIST"), u32(4 + 64 + 26), code("strl");
    code("strh"), u32(56), code("auds"), header.resize(header.size() + 52);
    code("strf"), u32(18), header.resize(header.size() + 18);
    code("LIST"), u32(4 + 64 + 48), code("strl");
    code("strh"), u32(56), code("vids"), header.resize(header.size() + 52);
    code("strf"), u32(40), header.resize(header.size() + 40);
    EXPECT_EQ(korvan::media::FindVideoRateOffset(header), 234);

    // Damaged headers never send the patch astray.
    std::mt19937 random(14);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> damaged = header;
        damaged.resize(random() % (header.size() + 1));
        for (int k = 0; k < 3 && !damaged.empty(); ++k) {
            damaged[random() % damaged.size()] = static_cast<uint8_t>(random());
        }
        const long long offset = korvan::media::FindVideoRateOffset(damaged);
        ASSERT_TRUE(offset == -1 ||
                    (offset >= 4 && offset + 4 <= static_cast<long long>(damaged.size())));
    }

    // 300 frames over 20 s in a real file, sound first and video only; a
    // duration of 0 leaves 15 frames per second.
    test::TempDir dir;
    ScriptedDialog dialog{FourCc("MJPG")};
    for (const int durationMs : {20000, 0}) {
        for (const bool sound : {true, false}) {
            const std::string path = dir / "rate.avi";
            AviWriter writer(Hooks(dir.Folder(), dialog.Dialog()));
            writer.OpenAvi(path);
            if (sound) writer.OpenAviAudioStream(korvan::media::PcmFormat(22050, 1, 16));
            const std::vector<uint8_t> packed = Picture(16, 16, 0);
            for (int i = 0; i < 300; ++i) writer.WriteAviFrame(packed);
            writer.SetDurationMs(durationMs);
            writer.CloseAvi();
            writer.CloseAvi();  // a second close repeats the same patch
            const std::string bytes = test::ReadFile(path);
            const long long at = korvan::media::FindVideoRateOffset(std::span<const uint8_t>(
                reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
            ASSERT_GT(at, 0);
            uint32_t scale = 0;
            uint32_t rate = 0;
            std::memcpy(&scale, bytes.data() + at - 4, 4);
            std::memcpy(&rate, bytes.data() + at, 4);
            EXPECT_EQ(scale, 1000u);
            EXPECT_EQ(rate, 15000u);
            const auto streams = ProbeStreams(path);
            ASSERT_EQ(streams.size(), sound ? 2u : 1u);
            EXPECT_EQ(streams[sound ? 1 : 0].at("r_frame_rate"), "15/1");
            EXPECT_EQ(streams[sound ? 1 : 0].at("nb_frames"), "300");
        }
    }
}

TEST(AviWriterTest, CompressorChoiceIsAskedOnceKeptAndDamagedRecordsAreIgnored) {
    test::TempDir dir;
    const std::string saved = dir / "avicode.dat";

    // Nobody to ask: the default is used, said in the trace, and not kept,
    // so that the next host that can ask, asks.
    ::testing::internal::CaptureStdout();
    {
        AviWriter writer(Hooks(dir.Folder()));
        writer.OpenAvi(dir / "default.avi");
        writer.WriteAviFrame(Picture(64, 48, 0));
        writer.CloseAvi();
    }
    EXPECT_NE(::testing::internal::GetCapturedStdout().find(
                  "Nobody to ask for the AVI compressor: the default, MPEG-4 Part 2 (Xvid "
                  "compatible), is used"),
              std::string::npos);
    EXPECT_EQ(ProbeStreams(dir / "default.avi").at(0).at("codec_name"), "mpeg4");
    EXPECT_FALSE(std::filesystem::exists(saved));
    EXPECT_FALSE(korvan::media::ChooseCompressor(dir.Folder(), {}));
    EXPECT_FALSE(std::filesystem::exists(saved));

    // A cancelled dialog fails the file without a message.
    ScriptedDialog cancelling{FourCc("MJPG"), DialogAnswer::kCancelled};
    std::vector<EncoderMessage> messages;
    {
        AviWriter writer(Hooks(dir.Folder(), cancelling.Dialog(), &messages));
        writer.OpenAvi(dir / "cancelled.avi");
        writer.WriteAviFrame(Picture(64, 48, 0));
        EXPECT_TRUE(writer.Failed());
        EXPECT_EQ(writer.FrameCount(), 0);
    }
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(std::filesystem::exists(saved));

    // A saved record with its parameter block round-trips and is used
    // without asking; one of size 0 loads with an empty block.
    CompressorOptions options = korvan::media::DefaultCompressorOptions();
    options.handler = FourCc("MJPG");
    options.parameters = {1, 2, 3, 4, 5};
    ASSERT_TRUE(korvan::media::SaveCompressorOptions(dir.Folder(), options));
    const auto loaded = korvan::media::LoadCompressorOptions(dir.Folder());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->handler, FourCc("MJPG"));
    EXPECT_EQ(loaded->parametersSize, 5u);
    EXPECT_EQ(loaded->parameters, options.parameters);
    ScriptedDialog unused{FourCc("DIB ")};
    {
        AviWriter writer(Hooks(dir.Folder(), unused.Dialog()));
        writer.OpenAvi(dir / "saved.avi");
        writer.WriteAviFrame(Picture(64, 48, 0));
        writer.CloseAvi();
    }
    EXPECT_EQ(unused.shown, 0);
    EXPECT_EQ(ProbeStreams(dir / "saved.avi").at(0).at("codec_name"), "mjpeg");
    options.parameters.clear();
    ASSERT_TRUE(korvan::media::SaveCompressorOptions(dir.Folder(), options));
    ASSERT_TRUE(korvan::media::LoadCompressorOptions(dir.Folder()));
    EXPECT_TRUE(korvan::media::LoadCompressorOptions(dir.Folder())->parameters.empty());

    // Short records, and blocks longer than the file, are no record.
    const std::string whole = test::ReadFile(saved);
    test::WriteFile(saved, whole.substr(0, 43));
    EXPECT_FALSE(korvan::media::LoadCompressorOptions(dir.Folder()));
    std::string lying = whole;
    lying[36] = 100;
    test::WriteFile(saved, lying);
    EXPECT_FALSE(korvan::media::LoadCompressorOptions(dir.Folder()));

    // A codec this system does not have: the user is asked to choose again.
    options.handler = FourCc("cvid");
    ASSERT_TRUE(korvan::media::SaveCompressorOptions(dir.Folder(), options));
    {
        AviWriter writer(Hooks(dir.Folder(), {}, &messages));
        writer.OpenAvi(dir / "unknown.avi");
        writer.WriteAviFrame(Picture(64, 48, 0));
        EXPECT_TRUE(writer.Failed());
        writer.CloseAvi();
        EXPECT_FALSE(writer.Failed());
    }
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Please setup decoder option again.");
    EXPECT_EQ(messages[0].icon, korvan::MessageIcon::kQuestion);

    // ChooseCompressor asks from the saved choice and keeps the answer.
    EXPECT_TRUE(korvan::media::SavedCompressorMissingHere(dir.Folder()));
    ScriptedDialog choosing{FourCc("DIB ")};
    EXPECT_TRUE(korvan::media::ChooseCompressor(dir.Folder(), choosing.Dialog()));
    EXPECT_EQ(choosing.shown, 1);
    EXPECT_EQ(korvan::media::LoadCompressorOptions(dir.Folder())->handler, FourCc("DIB "));
    EXPECT_FALSE(korvan::media::SavedCompressorMissingHere(dir.Folder()));
}

TEST(AviWriterTest, FailuresAreTracedAndFlagged) {
    test::TempDir dir;
    ::testing::internal::CaptureStdout();
    AviWriter writer(Hooks(dir.Folder()));
    writer.OpenAvi(dir / "no such folder/out.avi");
    EXPECT_TRUE(writer.Failed());
    korvan::media::BitmapInfoHeader header;
    header.width = 8;
    header.height = 8;
    header.bitCount = 24;
    const std::vector<uint8_t> pixels(8 * 8 * 3);
    writer.WriteAviFrame(header, pixels.data());
    const std::string traced = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(traced.find("\nerror AVIFileOpen"), std::string::npos);
    EXPECT_NE(traced.find("\nerror AVIStreamWrite2"), std::string::npos);
    writer.CloseAvi();
    EXPECT_FALSE(writer.Failed());

    // A damaged bitmap is skipped without a word.
    writer.OpenAvi(dir / "skipped.avi");
    writer.WriteAviFrame(std::span<const uint8_t>(pixels.data(), 20));
    EXPECT_FALSE(writer.Failed());
    EXPECT_EQ(writer.FrameCount(), 0);
}

// The encode driver's AVI output in small: pictures and sound fetched from a
// reader, written one output frame at a time.
TEST(AviWriterTest, AClipReadThroughTheReaderIsWrittenWithItsSound) {
    test::TempDir dir("zarvo avi from reader");
    const std::string source = dir / "source clip.mp4";
    ASSERT_TRUE(test::MakeMediaClip(source, 2, "160x120", "libx264", "aac"));
    korvan::media::SourceReader reader;
    ASSERT_TRUE(korvan::media::OpenSourceReader(reader, source, {}));
    ScriptedDialog dialog{FourCc("MJPG")};
    const std::string path = dir / "converted.avi";
    AviWriter writer(Hooks(dir.Folder(), dialog.Dialog()));
    writer.OpenAvi(path);
    writer.OpenAviAudioStream(reader.audioFormat);
    std::vector<uint8_t> packed(korvan::media::PackedBitmap32Bytes(160, 120));
    long long position = 0;
    for (long long n = 0; n <= reader.lastFrame; ++n) {
        int rowBytes = 0;
        const uint8_t* pixels = nullptr;
        ASSERT_EQ(korvan::media::FetchSourceFrame(reader, n, rowBytes, pixels), 0);
        korvan::media::PackBitmap32(160, 120, std::span<const uint8_t>(pixels, rowBytes * 120),
                                    packed);
        writer.WriteAviFrame(packed);
        reader.chunkDurationSeconds = 1 / reader.outputFrameRate;
        long long count = 0;
        long long bytes = 0;
        const uint8_t* sound = nullptr;
        if (korvan::media::FetchSourceAudio(reader, position,
                                            korvan::media::AudioFetchForm::kSourceFormat, count,
                                            bytes, sound) == 0) {
            writer.WriteAviAudio(sound, bytes);
            position += count;
        }
    }
    writer.SetDurationMs(static_cast<int32_t>(writer.FrameCount() * 1000 / reader.frameRate));
    writer.CloseAvi();
    const auto streams = ProbeStreams(path);
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].at("codec_name"), "pcm_s16le");
    EXPECT_NEAR(std::stod(streams[0].at("nb_frames")) / std::stod(streams[0].at("sample_rate")),
                2.0, 0.05);
    EXPECT_EQ(streams[1].at("nb_frames"), "50");
    EXPECT_EQ(streams[1].at("r_frame_rate"), "25/1");
    EXPECT_EQ(DecodeErrors(path), "");
}

}  // namespace
