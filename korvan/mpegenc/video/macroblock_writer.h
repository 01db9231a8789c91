// Variable-length coding of slices' contents: macroblock address, modes,
// quantiser, motion vectors, coded block pattern and the blocks, with the
// predictors (motion vectors, DC) that the decoder keeps in step.
#pragma once

#include <cstdint>

#include "korvan/mpegenc/common/bit_writer.h"
#include "korvan/mpegenc/common/quantise.h"
#include "korvan/mpegenc/common/vlc_tables.h"
#include "korvan/mpegenc/video/macroblock_info.h"
#include "korvan/mpegenc/video/video_result.h"

namespace korvan {

// The picture-level facts the macroblock layer depends on.
struct MacroblockSyntax {
    MpegSyntax syntax = MpegSyntax::kMpeg1;
    PictureCodingType pictureType = kPictureI;
    int fCode[2][2] = {{1, 1}, {1, 1}};
    int intraDcPrecision = 0;
    bool intraVlcFormat = false;
    bool alternateScan = false;
    bool framePredFrameDct = true;
    bool fieldPicture = false;
    int blocksPerMacroblock = 6;
};

class MacroblockWriter {
public:
    MacroblockWriter(BitWriter& out, const MacroblockSyntax& syntax) : out_(out), syntax_(syntax) {}

    // A new slice starting at macroblock `firstAddress` with the slice
    // header's quantiser_scale_code.
    void StartSlice(int firstAddress, int quantiserScaleCode);

    // Codes macroblock `address` (increasing within the slice); `levels`
    // holds the quantised blocks in raster order, `scanMasks` which of their
    // levels are not zero (see ScanMaskKernel, the picture's scan).
    VideoResult WriteMacroblock(int address, const MacroblockInfo& info,
                                const int16_t (*levels)[64], const uint64_t* scanMasks);

    // A macroblock left out: resets what the decoder resets for it.
    void SkipMacroblock();

private:
    void WriteAddressIncrement(int increment);
    // A frame vector, predicted from and then setting both predictors of
    // its direction.
    VideoResult WriteVector(int direction, MotionVector vector);
    // A field vector of a frame picture (vertical in field lines): the
    // predictor's vertical half serves, the predictor keeps frame units.
    // `dualPrime` adds its correction after each component.
    VideoResult WriteFieldVector(int field, int direction, MotionVector vector,
                                 const MotionVector* dualPrime);
    VideoResult WriteMotionComponent(int delta, int fCode);
    void WriteDualPrimeComponent(int correction);
    VideoResult CheckRange(int direction, MotionVector vector) const;
    VideoResult WriteIntraBlock(int block, const int16_t* levels, uint64_t scanMask);
    VideoResult WriteNonIntraBlock(const int16_t* levels, uint64_t scanMask);
    void Put(const VlcCode& code) { out_.Put(code.bits, code.length); }
    void ResetDcPredictors();
    void ResetPredictors();

    BitWriter& out_;
    MacroblockSyntax syntax_;
    int previousAddress_ = -1;
    int quantiserScaleCode_ = 0;
    MotionVector predictors_[2][2];  // [field][direction], frame units
    int dcPredictors_[3] = {};
};

}  // namespace korvan
