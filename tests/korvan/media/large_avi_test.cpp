// An AVI past 1 GiB stays readable to its last frame (OpenDML parts). It
// writes about 1.1 GB and removes it again; `ctest -LE large` skips it on a
// small disk.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "korvan/media/avi_writer.h"
#include "tests/korvan/media/media_test_support.h"

namespace {

TEST(LargeAviTest, UncompressedFramesPastOneGibibyteAreReadToTheLastFrame) {
    test::TempDir dir("zarvo large avi");
    korvan::media::CompressorOptions options = korvan::media::DefaultCompressorOptions();
    options.handler = korvan::media::FourCc("DIB ");
    ASSERT_TRUE(korvan::media::SaveCompressorOptions(dir.Folder(), options));
    korvan::media::AviWriterHooks hooks;
    hooks.hostFolder = dir.Folder();
    hooks.throttleInterval = std::chrono::milliseconds(0);
    korvan::media::AviWriter writer(hooks);
    const std::string path = dir / "large.avi";
    writer.OpenAvi(path);
    writer.OpenAviAudioStream(korvan::media::PcmFormat(8000, 1, 16));

    constexpr int kWidth = 640;
    constexpr int kHeight = 480;
    constexpr int kFrames = 1200;  // 921 600 bytes each
    korvan::media::BitmapInfoHeader header;
    header.width = kWidth;
    header.height = kHeight;
    header.bitCount = 24;
    std::vector<uint8_t> pixels(static_cast<std::size_t>(kWidth) * kHeight * 3);
    const std::vector<uint8_t> sound(320 * 2, 0);
    for (int i = 0; i < kFrames; ++i) {
        pixels[static_cast<std::size_t>(i) * 3 % pixels.size()] = static_cast<uint8_t>(i);
        writer.WriteAviFrame(header, pixels.data());
        writer.WriteAviAudio(sound.data(), static_cast<long long>(sound.size()));
    }
    ASSERT_FALSE(writer.Failed());
    writer.SetDurationMs(kFrames * 40);
    writer.CloseAvi();
    EXPECT_GT(std::filesystem::file_size(path), 1ull << 30);

    const std::string counted = test::RunTool(
        "ffprobe -v error -select_streams v -count_frames -show_entries "
        "stream=nb_read_frames,r_frame_rate -of default=nw=1 " +
        test::Quoted(path));
    EXPECT_NE(counted.find("nb_read_frames=1200"), std::string::npos) << counted;
    EXPECT_NE(counted.find("r_frame_rate=25/1"), std::string::npos) << counted;
}

}  // namespace
