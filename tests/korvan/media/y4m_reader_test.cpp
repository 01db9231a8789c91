#include "korvan/media/y4m_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace {

std::string Picture(int bytes, char value) { return "FRAME\n" + std::string(bytes, value); }

TEST(Y4mReaderTest, ReadsTheHeaderAndEveryPicture) {
    test::TempDir dir("zarvo y4m ü");
    const std::string path = dir / "two pictures.y4m";
    // 4 x 2 in 4:2:0: 8 + 2 + 2 bytes a picture.
    test::WriteFile(path, "YUV4MPEG2 W4 H2 F30000:1001 It A1:1 C420jpeg XYSCSS=420JPEG\n" +
                              Picture(12, 'a') + Picture(12, 'b'));
    korvan::Y4mReader reader;
    ASSERT_TRUE(reader.Open(path).IsOk());
    EXPECT_EQ(reader.Header().width, 4);
    EXPECT_EQ(reader.Header().height, 2);
    EXPECT_EQ(reader.Header().rateNumerator, 30000);
    EXPECT_EQ(reader.Header().rateDenominator, 1001);
    EXPECT_EQ(reader.Header().chromaFormat, korvan::kChroma420);
    EXPECT_EQ(reader.CountPictures(), 2);

    korvan::YuvFrame frame;
    frame.Allocate(korvan::MakeCodingGeometry(4, 2, 1, false));
    EXPECT_EQ(reader.ReadPicture(frame), 1);
    EXPECT_EQ(frame.luma().Row(1)[3], 'a');
    EXPECT_EQ(frame.plane(2).Row(0)[1], 'a');
    EXPECT_EQ(reader.ReadPicture(frame), 1);
    EXPECT_EQ(frame.plane(1).Row(0)[0], 'b');
    EXPECT_EQ(reader.ReadPicture(frame), 0);
}

TEST(Y4mReaderTest, OtherChromaLayoutsAndOddSizes) {
    test::TempDir dir;
    const std::string path = dir / "422.y4m";
    // 3 x 3 in 4:2:2: 9 + 2 * (2 x 3) bytes.
    test::WriteFile(path, "YUV4MPEG2 W3 H3 F25:1 C422\n" + Picture(21, 'x'));
    korvan::Y4mReader reader;
    ASSERT_TRUE(reader.Open(path).IsOk());
    EXPECT_EQ(reader.Header().chromaFormat, korvan::kChroma422);
    EXPECT_EQ(reader.CountPictures(), 1);
    korvan::YuvFrame frame;
    frame.Allocate(korvan::MakeCodingGeometry(3, 3, 2, false));
    EXPECT_EQ(reader.ReadPicture(frame), 1);
    EXPECT_EQ(frame.plane(1).Row(2)[1], 'x');
}

TEST(Y4mReaderTest, DamagedFilesAreRefusedWithoutCrashing) {
    test::TempDir dir;
    const std::string path = dir / "bad.y4m";
    korvan::Y4mReader reader;
    const korvan::Status missing = reader.Open(dir / "missing.y4m");
    EXPECT_EQ(missing.code, korvan::StatusCode::kSourceFailed);
    EXPECT_NE(missing.message.find("Cannot open"), std::string::npos);
    for (const std::string& text :
         {std::string("RIFF junk\n"), std::string("YUV4MPEG2 W0 H2\n"),
          std::string("YUV4MPEG2 W99999999999 H2\n"), std::string("YUV4MPEG2 W4 H2 Cmono\n"),
          std::string("YUV4MPEG2 W4 H2 F25:0\n"),
          std::string("YUV4MPEG2 W4") + std::string(10000, ' ')}) {
        test::WriteFile(path, text);
        EXPECT_FALSE(reader.Open(path).IsOk()) << text.substr(0, 30);
    }
    // A cut-off last picture is not counted and reads as damaged.
    test::WriteFile(path, "YUV4MPEG2 W4 H2\n" + Picture(12, 'a') + Picture(5, 'b'));
    ASSERT_TRUE(reader.Open(path).IsOk());
    EXPECT_EQ(reader.CountPictures(), 1);
    korvan::YuvFrame frame;
    frame.Allocate(korvan::MakeCodingGeometry(4, 2, 1, false));
    EXPECT_EQ(reader.ReadPicture(frame), 1);
    EXPECT_EQ(reader.ReadPicture(frame), -1);
    // A picture line that is not FRAME.
    test::WriteFile(path, "YUV4MPEG2 W4 H2\nFRAMX\n" + std::string(12, 'a'));
    ASSERT_TRUE(reader.Open(path).IsOk());
    EXPECT_EQ(reader.CountPictures(), 0);
    EXPECT_EQ(reader.ReadPicture(frame), -1);
}

TEST(Y4mWriterTest, WritesWhatTheReaderReads) {
    test::TempDir dir;
    const std::string path = dir / "out.y4m";
    korvan::Y4mHeader header;
    header.width = 6;
    header.height = 4;
    header.rateNumerator = 25;
    korvan::YuvFrame frame;
    frame.Allocate(korvan::MakeCodingGeometry(6, 4, 1, false));
    frame.luma().Row(3)[5] = 77;
    frame.plane(2).Row(1)[2] = 99;
    korvan::Y4mWriter writer;
    ASSERT_TRUE(writer.Open(path, header));
    ASSERT_TRUE(writer.WritePicture(frame));
    ASSERT_TRUE(writer.Close());

    korvan::Y4mReader reader;
    ASSERT_TRUE(reader.Open(path).IsOk());
    EXPECT_EQ(reader.CountPictures(), 1);
    korvan::YuvFrame back;
    back.Allocate(korvan::MakeCodingGeometry(6, 4, 1, false));
    ASSERT_EQ(reader.ReadPicture(back), 1);
    EXPECT_EQ(back.luma().Row(3)[5], 77);
    EXPECT_EQ(back.plane(2).Row(1)[2], 99);
}

}  // namespace
