// Small elementary streams put together byte by byte, for tests that need a
// stream of exactly known pictures or frames: types and order, fields,
// repeated fields, user data, sizes, and damage.
#pragma once

#include <cstdint>
#include <vector>

#include "korvan/mpegenc/common/bit_writer.h"

namespace test {

struct PictureShape {
    int type = 1;  // 1 I, 2 P, 3 B
    int temporalReference = 0;
    int structure = 3;  // 1 top field, 2 bottom field, 3 frame
    bool topFieldFirst = false;
    bool repeatFirstField = false;
    int sliceRows = 18;   // slices written, one per row from the top
    int sliceBytes = 40;  // bytes of each slice after its start code
};

class SyntheticVideo {
public:
    // MPEG-2 streams get the sequence and picture coding extensions.
    SyntheticVideo(bool mpeg2, int width, int height, int frameRateCode)
        : mpeg2_(mpeg2), width_(width), height_(height), frameRateCode_(frameRateCode) {}

    void SequenceHeader(bool progressiveSequence = true, uint32_t bitRate400 = 5000) {
        Start(0xB3);
        out_.Put(static_cast<uint32_t>(width_), 12);
        out_.Put(static_cast<uint32_t>(height_), 12);
        out_.Put(2, 4);
        out_.Put(static_cast<uint32_t>(frameRateCode_), 4);
        out_.Put(bitRate400, 18);
        out_.PutBit(true);
        out_.Put(112, 10);
        out_.PutBit(false);
        out_.Put(0, 2);  // no quantiser matrices
        if (!mpeg2_) return;
        Start(0xB5);
        out_.Put(1, 4);
        out_.Put(0x48, 8);  // Main profile at Main level
        out_.PutBit(progressiveSequence);
        out_.Put(1, 2);  // 4:2:0
        out_.Put(0, 4);
        out_.Put(0, 12);
        out_.PutBit(true);
        out_.Put(0, 8);
        out_.PutBit(false);
        out_.Put(0, 7);
    }

    void Gop() {
        Start(0xB8);
        out_.Put(0, 25);     // time code
        out_.PutBit(true);   // closed
        out_.PutBit(false);  // broken link
        out_.Put(0, 5);
    }

    void UserData(const std::vector<uint8_t>& bytes) {
        Start(0xB2);
        for (uint8_t byte : bytes) out_.Put(byte, 8);
    }

    // The picture header, its coding extension (MPEG-2) and its slices.
    void Picture(const PictureShape& shape) {
        PictureHeader(shape);
        Slices(shape);
    }

    void PictureHeader(const PictureShape& shape) {
        Start(0x00);
        out_.Put(static_cast<uint32_t>(shape.temporalReference), 10);
        out_.Put(static_cast<uint32_t>(shape.type), 3);
        out_.Put(0xFFFF, 16);
        if (shape.type >= 2) out_.Put(mpeg2_ ? 7 : 1, 4);
        if (shape.type == 3) out_.Put(mpeg2_ ? 7 : 1, 4);
        out_.PutBit(false);
        out_.AlignToByte();
        if (!mpeg2_) return;
        Start(0xB5);
        out_.Put(8, 4);
        out_.Put(0xFFFF, 16);
        out_.Put(0, 2);
        out_.Put(static_cast<uint32_t>(shape.structure), 2);
        out_.PutBit(shape.topFieldFirst);
        out_.PutBit(shape.structure == 3);  // frame_pred_frame_dct
        out_.Put(0, 4);
        out_.PutBit(shape.repeatFirstField);
        out_.PutBit(true);
        out_.PutBit(shape.structure == 3);
        out_.PutBit(false);
    }

    void Slices(const PictureShape& shape) {
        for (int row = 1; row <= shape.sliceRows; ++row) {
            Start(static_cast<uint8_t>(row));
            out_.Put(8 << 3, 8);
            // 0x55 never forms a start code with its neighbours.
            for (int i = 1; i < shape.sliceBytes; ++i) out_.Put(0x55, 8);
        }
    }

    void SequenceEnd() { Start(0xB7); }

    std::vector<uint8_t> Bytes() {
        out_.AlignToByte();
        return out_.Bytes();
    }
    // Bytes so far; the next start code goes here.
    size_t Size() {
        out_.AlignToByte();
        return out_.Bytes().size();
    }

private:
    void Start(uint8_t code) {
        out_.AlignToByte();
        out_.Put(0x000001, 24);
        out_.Put(code, 8);
    }

    bool mpeg2_;
    int width_;
    int height_;
    int frameRateCode_;
    korvan::BitWriter out_;
};

// MPEG-1 audio frames: layer II at `bitRateIndex`, 44.1 kHz, padding as
// asked, the rest of each frame zero.
inline std::vector<uint8_t> MpegAudioFrame(int layer, int bitRateIndex, int samplingIndex,
                                           bool padding, int frameBytes) {
    std::vector<uint8_t> frame(static_cast<size_t>(frameBytes), 0);
    frame[0] = 0xFF;
    frame[1] = static_cast<uint8_t>(0xF8 | ((4 - layer) << 1) | 1);
    frame[2] = static_cast<uint8_t>(bitRateIndex << 4 | samplingIndex << 2 | (padding ? 2 : 0));
    frame[3] = 0x04;
    return frame;
}

// An AC-3 frame header with the rest of the frame zero.
inline std::vector<uint8_t> Ac3Frame(int samplingCode, int frameSizeCode, int frameBytes) {
    std::vector<uint8_t> frame(static_cast<size_t>(frameBytes), 0);
    frame[0] = 0x0B;
    frame[1] = 0x77;
    frame[4] = static_cast<uint8_t>(samplingCode << 6 | frameSizeCode);
    frame[5] = 8 << 3;  // bit stream id 8
    return frame;
}

}  // namespace test
