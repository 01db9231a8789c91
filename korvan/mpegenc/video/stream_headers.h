// Writers of the start-code layers of a video elementary stream: sequence
// header and its extensions, GOP header, picture header and its extensions,
// slice header, the SuperVCD user data and the sequence end code. Each
// begins with a start code and so first pads the stream to a whole byte.
#pragma once

#include <cstdint>

#include "korvan/mpegenc/common/bit_writer.h"
#include "korvan/mpegenc/video/coding_parameters.h"

namespace korvan {

// How a frame picture is shown.
struct DisplayFlags {
    bool topFieldFirst = false;
    bool repeatFirstField = false;
    bool progressiveFrame = true;
};

// The flags of display picture `displayIndex`: the configured ones, or under
// pulldown the 3:2 cadence that shows four 24 Hz pictures as five 30 Hz
// frames (ten fields, or in a progressive sequence five frames).
DisplayFlags DisplayFlagsOf(const CodingParameters& p, long long displayIndex);

struct PictureHeaderFields {
    PictureCodingType type = kPictureI;
    int temporalReference = 0;
    int vbvDelay = 0xFFFF;
    int fCode[2][2] = {{15, 15}, {15, 15}};  // [forward/backward][horizontal/vertical]
    DisplayFlags display;
    int structure = 3;  // picture_structure: 1 top field, 2 bottom field, 3 frame
};

struct TimeCode {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int pictures = 0;
};

// The time code of display picture `pictureNumber` (counted from the
// sequence start): pictures at the nominal rate, or at 30 pictures/s from
// the number x 5/4 under pulldown.
TimeCode MakeTimeCode(long long firstFramePictures, long long pictureNumber, double frameRate,
                      int pulldown);

void WriteSequenceHeader(BitWriter& out, const CodingParameters& p);
void WriteSequenceExtension(BitWriter& out, const CodingParameters& p);
void WriteSequenceDisplayExtension(BitWriter& out, const CodingParameters& p);
void WriteGopHeader(BitWriter& out, const TimeCode& timeCode, bool closedGop);
void WritePictureHeader(BitWriter& out, const CodingParameters& p, const PictureHeaderFields& f);
void WritePictureCodingExtension(BitWriter& out, const CodingParameters& p,
                                 const PictureHeaderFields& f);
void WritePictureDisplayExtension(BitWriter& out, const CodingParameters& p,
                                  const DisplayFlags& display);
void WriteSliceHeader(BitWriter& out, const CodingParameters& p, int mbRow, int quantiserScaleCode);
void WriteSvcdUserData(BitWriter& out);
void WriteSequenceEndCode(BitWriter& out);

// Byte offset of bit_rate_value's first byte from the sequence header's start.
inline constexpr int kBitRateByteOffset = 8;

}  // namespace korvan
