#include "korvan/mpegenc/video/stream_headers.h"

#include <cmath>

namespace korvan {
namespace {

constexpr uint32_t kPictureStartCode = 0x00000100;
constexpr uint32_t kUserDataStartCode = 0x000001B2;
constexpr uint32_t kSequenceHeaderCode = 0x000001B3;
constexpr uint32_t kExtensionStartCode = 0x000001B5;
constexpr uint32_t kSequenceEndCode = 0x000001B7;
constexpr uint32_t kGroupStartCode = 0x000001B8;

enum ExtensionId : uint32_t {
    kSequenceExtensionId = 1,
    kSequenceDisplayExtensionId = 2,
    kPictureDisplayExtensionId = 7,
    kPictureCodingExtensionId = 8,
};

void StartCode(BitWriter& out, uint32_t code) {
    out.AlignToByte();
    out.Put(code, 32);
}

void WriteMatrix(BitWriter& out, const Matrix64& matrix) {
    for (int i = 0; i < 64; ++i) out.Put(matrix[kScanOrder[0][i]], 8);
}

}  // namespace

TimeCode MakeTimeCode(long long firstFramePictures, long long pictureNumber, double frameRate,
                      int pulldown) {
    long long count = firstFramePictures + pictureNumber;
    long long rate = static_cast<long long>(std::floor(frameRate + 0.5));
    if (pulldown) {
        count = count * 5 / 4;
        rate = 30;
    }
    if (rate < 1) rate = 1;
    TimeCode t;
    t.pictures = static_cast<int>(count % rate);
    const long long seconds = count / rate;
    t.seconds = static_cast<int>(seconds % 60);
    t.minutes = static_cast<int>(seconds / 60 % 60);
    t.hours = static_cast<int>(seconds / 3600 % 24);
    return t;
}

void WriteSequenceHeader(BitWriter& out, const CodingParameters& p) {
    StartCode(out, kSequenceHeaderCode);
    out.Put(p.geometry.width & 0xFFF, 12);
    out.Put(p.geometry.height & 0xFFF, 12);
    out.Put(p.aspectRatio, 4);
    out.Put(p.frameRateCode, 4);
    out.Put(p.bitRateValue & 0x3FFFF, 18);
    out.PutBit(true);  // marker
    out.Put(p.vbvBufferSize & 0x3FF, 10);
    out.PutBit(p.constrainedParameters);
    out.PutBit(p.matrices.loadIntra);
    if (p.matrices.loadIntra) WriteMatrix(out, p.matrices.intra.weights);
    out.PutBit(p.matrices.loadNonIntra);
    if (p.matrices.loadNonIntra) WriteMatrix(out, p.matrices.nonIntra.weights);
}

void WriteSequenceExtension(BitWriter& out, const CodingParameters& p) {
    StartCode(out, kExtensionStartCode);
    out.Put(kSequenceExtensionId, 4);
    out.Put(p.profileAndLevel, 8);
    out.PutBit(p.progressiveSequence);
    out.Put(p.geometry.chromaFormat, 2);
    out.Put(p.geometry.width >> 12, 2);
    out.Put(p.geometry.height >> 12, 2);
    out.Put(p.bitRateValue >> 18, 12);
    out.PutBit(true);  // marker
    out.Put(p.vbvBufferSize >> 10, 8);
    out.PutBit(false);  // low_delay
    out.Put(0, 2);      // frame_rate_extension_n
    out.Put(0, 5);      // frame_rate_extension_d
}

void WriteSequenceDisplayExtension(BitWriter& out, const CodingParameters& p) {
    StartCode(out, kExtensionStartCode);
    out.Put(kSequenceDisplayExtensionId, 4);
    out.Put(p.videoFormat, 3);
    out.PutBit(true);  // colour_description
    out.Put(p.colourPrimaries, 8);
    out.Put(p.transferCharacteristics, 8);
    out.Put(p.matrixCoefficients, 8);
    out.Put(p.displayWidth, 14);
    out.PutBit(true);  // marker
    out.Put(p.displayHeight, 14);
}

void WriteGopHeader(BitWriter& out, const TimeCode& t, bool closedGop) {
    StartCode(out, kGroupStartCode);
    out.PutBit(false);  // drop_frame_flag
    out.Put(t.hours, 5);
    out.Put(t.minutes, 6);
    out.PutBit(true);  // marker
    out.Put(t.seconds, 6);
    out.Put(t.pictures, 6);
    out.PutBit(closedGop);
    out.PutBit(false);  // broken_link
}

void WritePictureHeader(BitWriter& out, const CodingParameters& p, const PictureHeaderFields& f) {
    StartCode(out, kPictureStartCode);
    out.Put(f.temporalReference & 0x3FF, 10);
    out.Put(f.type, 3);
    out.Put(f.vbvDelay, 16);
    // MPEG-2 carries the f-codes in the picture coding extension and writes 7
    // here.
    if (f.type == kPictureP || f.type == kPictureB) {
        out.PutBit(false);  // full_pel_forward_vector
        out.Put(p.IsMpeg2() ? 7 : f.fCode[0][0], 3);
    }
    if (f.type == kPictureB) {
        out.PutBit(false);  // full_pel_backward_vector
        out.Put(p.IsMpeg2() ? 7 : f.fCode[1][0], 3);
    }
    out.PutBit(false);  // extra_bit_picture
}

void WritePictureCodingExtension(BitWriter& out, const CodingParameters& p,
                                 const PictureHeaderFields& f) {
    const PictureTypeChoices& c = p.Choices(f.type);
    StartCode(out, kExtensionStartCode);
    out.Put(kPictureCodingExtensionId, 4);
    out.Put(f.fCode[0][0], 4);
    out.Put(f.fCode[0][1], 4);
    out.Put(f.fCode[1][0], 4);
    out.Put(f.fCode[1][1], 4);
    out.Put(p.intraDcPrecision, 2);
    out.Put(f.structure, 2);
    out.PutBit(f.display.topFieldFirst);
    out.PutBit(c.framePredFrameDct && f.structure == 3);
    out.PutBit(false);  // concealment_motion_vectors
    out.PutBit(c.nonLinearScale);
    out.PutBit(c.intraVlcFormat);
    out.PutBit(c.alternateScan);
    out.PutBit(f.display.repeatFirstField);
    out.PutBit(p.geometry.chromaFormat == kChroma420 &&
               f.display.progressiveFrame);  // chroma_420_type
    out.PutBit(f.display.progressiveFrame);
    out.PutBit(false);  // composite_display_flag
}

DisplayFlags DisplayFlagsOf(const CodingParameters& p, long long displayIndex) {
    DisplayFlags d{p.topFieldFirst, p.repeatFirstField, p.progressiveFrame};
    if (!p.IsMpeg2() || p.pulldown == 0) return d;
    // Film pictures are whole frames; repeat_first_field needs that said.
    d.progressiveFrame = true;
    const int phase = static_cast<int>(displayIndex % 4);
    if (p.progressiveSequence) {
        d.topFieldFirst = false;
        d.repeatFirstField = phase == 0;
        return d;
    }
    // Fields T B T | B T | B T B | T B: the first field alternates with
    // each picture that shows three.
    const bool first = phase == 0 || phase == 3;
    d.topFieldFirst = p.topFieldFirst ? first : !first;
    d.repeatFirstField = phase == 0 || phase == 2;
    return d;
}

void WritePictureDisplayExtension(BitWriter& out, const CodingParameters& p,
                                  const DisplayFlags& display) {
    // One offset per displayed field or frame of this picture.
    int offsets = 0;
    if (p.progressiveSequence) {
        offsets = display.repeatFirstField ? (display.topFieldFirst ? 3 : 2) : 1;
    } else {
        offsets = display.repeatFirstField ? 3 : 2;
    }
    StartCode(out, kExtensionStartCode);
    out.Put(kPictureDisplayExtensionId, 4);
    for (int i = 0; i < offsets; ++i) {
        out.Put(static_cast<uint32_t>(p.frameCentreHorizontalOffset) & 0xFFFF, 16);
        out.PutBit(true);
        out.Put(static_cast<uint32_t>(p.frameCentreVerticalOffset) & 0xFFFF, 16);
        out.PutBit(true);
    }
}

void WriteSliceHeader(BitWriter& out, const CodingParameters& p, int mbRow,
                      int quantiserScaleCode) {
    const bool tall = p.IsMpeg2() && p.geometry.height > 2800;
    StartCode(out, 0x00000101 + static_cast<uint32_t>(tall ? (mbRow & 127) : mbRow));
    if (tall) out.Put(mbRow >> 7, 3);
    out.Put(quantiserScaleCode, 5);
    out.PutBit(false);  // extra_bit_slice
}

void WriteSvcdUserData(BitWriter& out) {
    StartCode(out, kUserDataStartCode);
    out.Put(0x10, 8);  // tag: scan offsets
    out.Put(14, 8);    // length of what follows
    // Four scan-offset addresses, filled in by the multiplexer.
    for (int i = 0; i < 4; ++i) out.Put(0x008080, 24);
}

void WriteSequenceEndCode(BitWriter& out) { StartCode(out, kSequenceEndCode); }

}  // namespace korvan
