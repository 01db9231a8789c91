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

// Whole words take a path of their own; at every bit offset and across the
// writer's staging area they must come out as the same bits put one by one.
TEST(BitWriterTest, WordsComeOutAsTheirBitsAtEveryOffset) {
    std::vector<uint32_t> words;
    uint32_t seed = 12345;
    for (int i = 0; i < 100; ++i) {
        seed = seed * 1103515245u + 12345u;
        words.push_back(seed);
    }
    for (int offset = 0; offset < 8; ++offset) {
        for (uint32_t bits : {0u, 5u, 32u, 37u, 3199u}) {
            korvan::BitWriter byWords;
            korvan::BitWriter byBits;
            byWords.Put(0x55, offset);
            byBits.Put(0x55, offset);
            byWords.PutWords(words.data(), bits);
            // The last word's remainder sits in its low bits.
            for (uint32_t i = 0; i < bits; ++i) {
                const uint32_t word = words[i / 32];
                const uint32_t held = i / 32 == bits / 32 ? bits % 32 : 32;
                byBits.PutBit(((word >> (held - 1 - i % 32)) & 1) != 0);
            }
            byWords.Put(0x3, 2);
            byBits.Put(0x3, 2);
            byWords.AlignToByte();
            byBits.AlignToByte();
            EXPECT_EQ(byWords.BitCount(), byBits.BitCount()) << offset << " " << bits;
            EXPECT_EQ(byWords.Bytes(), byBits.Bytes()) << offset << " " << bits;
        }
    }
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
