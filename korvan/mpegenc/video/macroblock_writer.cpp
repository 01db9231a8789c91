#include "korvan/mpegenc/video/macroblock_writer.h"

#include <cstdlib>

#include "korvan/mpegenc/common/format_text.h"
#include "korvan/mpegenc/common/mpeg_tables.h"

namespace korvan {
namespace {

int BitLength(int value) {
    int bits = 0;
    while (value > 0) {
        ++bits;
        value >>= 1;
    }
    return bits;
}

}  // namespace

void MacroblockWriter::ResetDcPredictors() {
    const int reset = 128 << syntax_.intraDcPrecision;
    dcPredictors_[0] = dcPredictors_[1] = dcPredictors_[2] = reset;
}

void MacroblockWriter::StartSlice(int firstAddress, int quantiserScaleCode) {
    previousAddress_ = firstAddress - 1;
    quantiserScaleCode_ = quantiserScaleCode;
    ResetPredictors();
    ResetDcPredictors();
}

void MacroblockWriter::ResetPredictors() {
    for (auto& field : predictors_) field[0] = field[1] = {};
}

void MacroblockWriter::SkipMacroblock() {
    ResetDcPredictors();
    if (syntax_.pictureType == kPictureP) predictors_[0][0] = predictors_[1][0] = {};
}

void MacroblockWriter::WriteAddressIncrement(int increment) {
    while (increment > 33) {
        Put(kMacroblockEscape);
        increment -= 33;
    }
    Put(AddressIncrementCode(increment));
}

Status MacroblockWriter::WriteMacroblock(int address, const MacroblockInfo& info,
                                         const BlockCode* blocks, const RowCodes& codes) {
    Status failed = codes.FailureOf(address);
    if (!failed.IsOk()) return failed;
    const bool intra = (info.flags & kMbIntra) != 0;
    int flags = info.flags;
    if (!intra && info.codedBlockPattern != 0) flags |= kMbPattern;
    if (!intra && info.codedBlockPattern == 0) flags &= ~kMbPattern;
    // A new quantiser can only travel with a macroblock that codes blocks.
    if ((intra || (flags & kMbPattern)) && info.quantiserScaleCode != quantiserScaleCode_) {
        flags |= kMbQuant;
    } else {
        flags &= ~kMbQuant;
    }
    const VlcCode type = MacroblockTypeCode(syntax_.pictureType, flags);
    if (type.length == 0)
        return Status::Failed(StatusCode::kValueOutOfRange, "Invalid motion_type.");

    WriteAddressIncrement(address - previousAddress_);
    previousAddress_ = address;
    Put(type);
    const bool mpeg2 = syntax_.syntax == MpegSyntax::kMpeg2;
    if (mpeg2 && !syntax_.framePredFrameDct) {
        if (flags & (kMbForward | kMbBackward)) out_.Put(info.motionType, 2);
        // Field pictures have no choice of DCT.
        if (!syntax_.fieldPicture && (intra || (flags & kMbPattern))) out_.Put(info.dctType, 1);
    }
    if (flags & kMbQuant) {
        quantiserScaleCode_ = info.quantiserScaleCode;
        out_.Put(quantiserScaleCode_, 5);
    }

    if (intra) {
        ResetPredictors();
        for (int b = 0; b < syntax_.blocksPerMacroblock; ++b) {
            Status r = WriteIntraBlock(b, blocks[b], codes);
            if (!r.IsOk()) return r;
        }
        return {};
    }

    ResetDcPredictors();
    for (int direction = 0; direction < 2; ++direction) {
        if (!(flags & (direction == 0 ? kMbForward : kMbBackward))) continue;
        Status r;
        if (syntax_.fieldPicture) {
            out_.Put(info.fieldSelect[0][direction], 1);
            r = WriteVector(direction, info.vectors[direction]);
        } else if (info.motionType == kFieldMotion) {
            for (int field = 0; field < 2 && r.IsOk(); ++field) {
                out_.Put(info.fieldSelect[field][direction], 1);
                r = WriteFieldVector(field, direction, info.fieldVectors[field][direction],
                                     nullptr);
            }
        } else if (info.motionType == kDualPrimeMotion) {
            r = WriteFieldVector(0, direction, info.vectors[direction], &info.dualPrime);
            predictors_[1][direction] = predictors_[0][direction];
        } else {
            r = WriteVector(direction, info.vectors[direction]);
        }
        if (!r.IsOk()) return r;
    }
    if (!(flags & kMbForward) && syntax_.pictureType == kPictureP) {
        predictors_[0][0] = predictors_[1][0] = {};
    }
    if (!(flags & kMbPattern)) return {};

    const int count = syntax_.blocksPerMacroblock;
    const int pattern = info.codedBlockPattern;
    Put(CodedBlockPatternCode(pattern >> (count - 6)));
    if (count > 6) out_.Put(pattern & ((1 << (count - 6)) - 1), count - 6);
    for (int b = 0; b < count; ++b) {
        if (!(pattern & (1 << (count - 1 - b)))) continue;
        codes.Write(blocks[b], out_);
    }
    return {};
}

Status MacroblockWriter::CheckRange(int direction, MotionVector vector) const {
    const int* fCode = syntax_.fCode[direction];
    const int limits[2] = {16 << (fCode[0] - 1), 16 << (fCode[1] - 1)};
    if (vector.x < -limits[0] || vector.x >= limits[0] || vector.y < -limits[1] ||
        vector.y >= limits[1]) {
        return Status::Failed(StatusCode::kValueOutOfRange, "Invalid motion vector.");
    }
    return {};
}

Status MacroblockWriter::WriteVector(int direction, MotionVector vector) {
    const int* fCode = syntax_.fCode[direction];
    const MotionVector& predictor = predictors_[0][direction];
    Status r = WriteMotionComponent(vector.x - predictor.x, fCode[0]);
    if (r.IsOk()) r = WriteMotionComponent(vector.y - predictor.y, fCode[1]);
    if (r.IsOk()) r = CheckRange(direction, vector);
    if (!r.IsOk()) return r;
    predictors_[0][direction] = predictors_[1][direction] = vector;
    return {};
}

Status MacroblockWriter::WriteFieldVector(int field, int direction, MotionVector vector,
                                          const MotionVector* dualPrime) {
    const int* fCode = syntax_.fCode[direction];
    MotionVector& predictor = predictors_[field][direction];
    Status r = WriteMotionComponent(vector.x - predictor.x, fCode[0]);
    if (r.IsOk() && dualPrime) WriteDualPrimeComponent(dualPrime->x);
    if (r.IsOk()) r = WriteMotionComponent(vector.y - (predictor.y >> 1), fCode[1]);
    if (r.IsOk() && dualPrime) WriteDualPrimeComponent(dualPrime->y);
    if (r.IsOk()) r = CheckRange(direction, vector);
    if (!r.IsOk()) return r;
    predictor = {vector.x, vector.y * 2};
    return {};
}

void MacroblockWriter::WriteDualPrimeComponent(int correction) {
    // "0" for 0, "10" for +1, "11" for -1.
    if (correction == 0) {
        out_.Put(0, 1);
    } else {
        out_.Put(correction > 0 ? 2 : 3, 2);
    }
}

Status MacroblockWriter::WriteMotionComponent(int delta, int fCode) {
    const int rSize = fCode - 1;
    const int f = 1 << rSize;
    // The decoder adds the difference modulo the range, so the shorter of the
    // two equivalent differences is sent.
    if (delta >= 16 * f) delta -= 32 * f;
    if (delta < -16 * f) delta += 32 * f;
    if (delta >= 16 * f || delta < -16 * f) {
        return Status::Failed(StatusCode::kValueOutOfRange, "Invalid motion vector.");
    }
    if (delta == 0) {
        Put(MotionCode(0));
        return {};
    }
    const int magnitude = std::abs(delta) - 1;
    const int motionCode = (magnitude >> rSize) + 1;
    Put(MotionCode(delta < 0 ? -motionCode : motionCode));
    if (rSize > 0) out_.Put(magnitude & (f - 1), rSize);
    return {};
}

Status MacroblockWriter::WriteIntraBlock(int block, const BlockCode& code, const RowCodes& codes) {
    const int component = block < 4 ? 0 : 1 + ((block - 4) & 1);
    const int difference = code.dc - dcPredictors_[component];
    dcPredictors_[component] = code.dc;
    const int dcLimit = syntax_.syntax == MpegSyntax::kMpeg1 ? 256 : 2048;
    if (std::abs(difference) >= dcLimit) {
        return Status::Failed(StatusCode::kValueOutOfRange,
                              FormatText("DC value out of range (%d)\n", difference));
    }
    const int size = BitLength(std::abs(difference));
    Put(component == 0 ? DcSizeLuminanceCode(size) : DcSizeChrominanceCode(size));
    if (size > 0) {
        const int value = difference > 0 ? difference : difference + (1 << size) - 1;
        out_.Put(static_cast<uint32_t>(value), size);
    }
    codes.Write(code, out_);
    return {};
}

}  // namespace korvan
