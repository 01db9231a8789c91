// Variable-length coding of slices' contents: macroblock address, modes,
// quantiser, motion vectors, coded block pattern and the blocks (their
// coefficient codes built beforehand, see RowCodes), with the predictors
// (motion vectors, DC) that the decoder keeps in step.
#pragma once

#include <cstdint>

#include "korvan/base/status.h"
#include "korvan/mpegenc/common/bit_writer.h"
#include "korvan/mpegenc/common/quantise.h"
#include "korvan/mpegenc/common/vlc_tables.h"
#include "korvan/mpegenc/video/block_codes.h"
#include "korvan/mpegenc/video/macroblock_info.h"

namespace korvan {

// The picture-level facts the macroblock layer depends on.
struct MacroblockSyntax {
    MpegSyntax syntax = MpegSyntax::kMpeg1;
    PictureCodingType pictureType = kPictureI;
    int fCode[2][2] = {{1, 1}, {1, 1}};
    int intraDcPrecision = 0;
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

    // Codes macroblock `address` (increasing within the slice); `blocks`
    // says where in `codes` the codes of its coded blocks were built.
    Status WriteMacroblock(int address, const MacroblockInfo& info, const BlockCode* blocks,
                           const RowCodes& codes);

    // A macroblock left out: resets what the decoder resets for it.
    void SkipMacroblock();

private:
    void WriteAddressIncrement(int increment);
    // A frame vector, predicted from and then setting both predictors of
    // its direction.
    Status WriteVector(int direction, MotionVector vector);
    // A field vector of a frame picture (vertical in field lines): the
    // predictor's vertical half serves, the predictor keeps frame units.
    // `dualPrime` adds its correction after each component.
    Status WriteFieldVector(int field, int direction, MotionVector vector,
                            const MotionVector* dualPrime);
    Status WriteMotionComponent(int delta, int fCode);
    void WriteDualPrimeComponent(int correction);
    Status CheckRange(int direction, MotionVector vector) const;
    // The DC difference, then the coefficient codes built beforehand.
    Status WriteIntraBlock(int block, const BlockCode& code, const RowCodes& codes);
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
