#include "korvan/mpegenc/common/bit_writer.h"

#include <gtest/gtest.h>

namespace {

TEST(BitWriterTest, WritesMostSignificantBitFirstAcrossBytes) {
    korvan::BitWriter writer;
    writer.Put(0x000001B3, 32);  // sequence_header_code
    writer.Put(720, 12);
    writer.Put(576, 12);
    writer.Put(2, 4);
    writer.Put(3, 4);
    EXPECT_TRUE(writer.IsByteAligned());
    EXPECT_EQ(writer.Bytes(),
              (std::vector<uint8_t>{0x00, 0x00, 0x01, 0xB3, 0x2D, 0x02, 0x40, 0x23}));
    EXPECT_EQ(writer.BitCount(), 64u);
}

TEST(BitWriterTest, MasksValuesAndAlignsWithZeros) {
    korvan::BitWriter writer;
    writer.Put(0xFF, 3);  // only the low three bits count
    writer.PutBit(false);
    writer.PutBit(true);
    EXPECT_FALSE(writer.IsByteAligned());
    EXPECT_EQ(writer.BitCount(), 5u);
    writer.AlignToByte();
    EXPECT_EQ(writer.Bytes(), (std::vector<uint8_t>{0xE8}));
    writer.Put(0, 0);
    EXPECT_EQ(writer.BitCount(), 8u);
}

TEST(BitWriterTest, TakingBytesKeepsTheCountAndThePartialByte) {
    korvan::BitWriter writer;
    writer.Put(0xABC, 12);
    std::vector<uint8_t> first = writer.TakeBytes();
    EXPECT_EQ(first, (std::vector<uint8_t>{0xAB}));
    writer.Put(0xD, 4);
    EXPECT_EQ(writer.TakeBytes(), (std::vector<uint8_t>{0xCD}));
    EXPECT_EQ(writer.BitCount(), 16u);
}

TEST(BitWriterTest, RestoringAPositionWritesTheStretchAgain) {
    korvan::BitWriter writer;
    writer.Put(0xA, 4);
    const korvan::BitWriter::Position mark = writer.Save();
    writer.Put(0xBCDE, 16);
    writer.Put(0x1, 3);
    // What lies before the mark may go; what follows it must stay.
    EXPECT_EQ(writer.TakeBytesBefore(mark.bytes), (std::vector<uint8_t>{}));
    ASSERT_TRUE(writer.Restore(mark));
    EXPECT_EQ(writer.BitCount(), 4u);
    writer.Put(0x5, 4);
    EXPECT_EQ(writer.TakeBytesBefore(1), (std::vector<uint8_t>{0xA5}));
    const korvan::BitWriter::Position later = writer.Save();
    writer.Put(0x1234, 16);
    EXPECT_EQ(writer.TakeBytesBefore(2), (std::vector<uint8_t>{0x12}));
    // Bytes after the point were handed out: the point is gone.
    EXPECT_FALSE(writer.Restore(later));
    EXPECT_EQ(writer.BitCount(), 24u);
    EXPECT_EQ(writer.TakeBytes(), (std::vector<uint8_t>{0x34}));
}

}  // namespace
