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

// The codes of one block gathered in a 64-bit word and handed to the
// stream 32 bits at a time: a detailed block is many short codes.
class CodeGatherer {
public:
    explicit CodeGatherer(BitWriter& out) : out_(out) {}
    ~CodeGatherer() {
        if (count_ > 32) {
            out_.Put(static_cast<uint32_t>(word_ >> (count_ - 32)), 32);
            count_ -= 32;
        }
        out_.Put(static_cast<uint32_t>(word_), count_);
    }
    CodeGatherer(const CodeGatherer&) = delete;
    CodeGatherer& operator=(const CodeGatherer&) = delete;

    // `bits` has nothing above its `length` (at most 32) low bits.
    [[gnu::always_inline]] void Add(uint32_t bits, int length) {
        if (count_ + length > 64) {
            out_.Put(static_cast<uint32_t>(word_ >> (count_ - 32)), 32);
            count_ -= 32;
        }
        word_ = (word_ << length) | bits;
        count_ += length;
    }
    void Add(const VlcCode& code) { Add(code.bits, code.length); }

private:
    BitWriter& out_;
    uint64_t word_ = 0;  // the low count_ bits are pending
    int count_ = 0;
};

// A run/level code with the place for its sign: the table's code shifted
// left by one and one bit longer; length 0 where the pair is escaped.
struct SignedCode {
    uint32_t bits = 0;
    int length = 0;
};
using SignedCodeTable = SignedCode[kMaxTabledRun + 1][kMaxTabledLevel + 1];

const SignedCodeTable& SignedCodes(int table) {
    struct Tables {
        SignedCodeTable codes[2];
    };
    static const Tables tables = [] {
        Tables t;
        for (int n = 0; n < 2; ++n) {
            const CoefficientTable& plain = DctCoefficientTable(n);
            for (int run = 0; run <= kMaxTabledRun; ++run) {
                for (int level = 0; level <= kMaxTabledLevel; ++level) {
                    const VlcCode& code = plain[run][level];
                    if (code.length > 0) t.codes[n][run][level] = {code.bits << 1, code.length + 1};
                }
            }
        }
        return t;
    }();
    return tables.codes[table != 0 ? 1 : 0];
}

// A pair the tables have no code for: the escape, a 6-bit run and the
// level. False when the pair cannot be coded at all.
[[gnu::noinline]] bool AddEscapedCoefficient(CodeGatherer& codes, int run, int level,
                                             MpegSyntax syntax) {
    const int magnitude = std::abs(level);
    const bool mpeg1 = syntax == MpegSyntax::kMpeg1;
    if (level == 0 || magnitude > (mpeg1 ? 255 : 2047) || run < 0 || run > 63) return false;
    codes.Add(kDctEscape);
    codes.Add(static_cast<uint32_t>(run), 6);
    if (!mpeg1) {
        codes.Add(static_cast<uint32_t>(level) & 0xFFF, 12);
    } else if (magnitude <= 127) {
        codes.Add(static_cast<uint32_t>(level) & 0xFF, 8);
    } else {
        // Long form: a marker byte of 0 (positive) or 0x80 (negative), then
        // the level's low byte.
        codes.Add(level > 0 ? 0 : 0x80, 8);
        codes.Add(static_cast<uint32_t>(level) & 0xFF, 8);
    }
    return true;
}

// One run/level pair: its table code and sign, or the escape. False when the
// pair cannot be coded.
[[gnu::always_inline]] inline bool AddCoefficient(CodeGatherer& codes, const SignedCodeTable& table,
                                                  int run, int level, MpegSyntax syntax) {
    const int magnitude = std::abs(level);
    if (run <= kMaxTabledRun && magnitude <= kMaxTabledLevel) {
        const SignedCode& code = table[run][magnitude];
        if (code.length > 0) {
            codes.Add(code.bits | (static_cast<uint32_t>(level) >> 31), code.length);
            return true;
        }
    }
    return AddEscapedCoefficient(codes, run, level, syntax);
}

VideoResult CoefficientOutOfRange(int run, int level) {
    return Failure(kVideoValueOutOfRange,
                   FormatText("AC value out of range (run=%d, signed_level=%d)\n", run, level));
}

// The coefficients `mask` names (bits in scan order, see ScanMaskKernel),
// each with its run: the distance from the one before, starting at scan
// position `next`. Only the coefficients that are not zero are visited.
[[gnu::always_inline]] inline VideoResult AddCoefficients(CodeGatherer& codes,
                                                          const SignedCodeTable& table,
                                                          const MacroblockSyntax& syntax,
                                                          const int16_t* levels, uint64_t mask,
                                                          int next) {
    const auto& scan = kScanOrder[syntax.alternateScan ? 1 : 0];
    while (mask) {
        const int i = __builtin_ctzll(mask);
        mask &= mask - 1;
        const int level = levels[scan[i]];
        if (!AddCoefficient(codes, table, i - next, level, syntax.syntax))
            return CoefficientOutOfRange(i - next, level);
        next = i + 1;
    }
    return {};
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

VideoResult MacroblockWriter::WriteMacroblock(int address, const MacroblockInfo& info,
                                              const int16_t (*levels)[64],
                                              const uint64_t* scanMasks) {
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
    if (type.length == 0) return Failure(kVideoValueOutOfRange, "Invalid motion_type.");

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
            VideoResult r = WriteIntraBlock(b, levels[b], scanMasks[b]);
            if (!r.Ok()) return r;
        }
        return {};
    }

    ResetDcPredictors();
    for (int direction = 0; direction < 2; ++direction) {
        if (!(flags & (direction == 0 ? kMbForward : kMbBackward))) continue;
        VideoResult r;
        if (syntax_.fieldPicture) {
            out_.Put(info.fieldSelect[0][direction], 1);
            r = WriteVector(direction, info.vectors[direction]);
        } else if (info.motionType == kFieldMotion) {
            for (int field = 0; field < 2 && r.Ok(); ++field) {
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
        if (!r.Ok()) return r;
    }
    if (!(flags & kMbForward) && syntax_.pictureType == kPictureP) {
        predictors_[0][0] = predictors_[1][0] = {};
    }
    if (!(flags & kMbPattern)) return {};

    const int blocks = syntax_.blocksPerMacroblock;
    const int pattern = info.codedBlockPattern;
    Put(CodedBlockPatternCode(pattern >> (blocks - 6)));
    if (blocks > 6) out_.Put(pattern & ((1 << (blocks - 6)) - 1), blocks - 6);
    for (int b = 0; b < blocks; ++b) {
        if (!(pattern & (1 << (blocks - 1 - b)))) continue;
        VideoResult r = WriteNonIntraBlock(levels[b], scanMasks[b]);
        if (!r.Ok()) return r;
    }
    return {};
}

VideoResult MacroblockWriter::CheckRange(int direction, MotionVector vector) const {
    const int* fCode = syntax_.fCode[direction];
    const int limits[2] = {16 << (fCode[0] - 1), 16 << (fCode[1] - 1)};
    if (vector.x < -limits[0] || vector.x >= limits[0] || vector.y < -limits[1] ||
        vector.y >= limits[1]) {
        return Failure(kVideoValueOutOfRange, "Invalid motion vector.");
    }
    return {};
}

VideoResult MacroblockWriter::WriteVector(int direction, MotionVector vector) {
    const int* fCode = syntax_.fCode[direction];
    const MotionVector& predictor = predictors_[0][direction];
    VideoResult r = WriteMotionComponent(vector.x - predictor.x, fCode[0]);
    if (r.Ok()) r = WriteMotionComponent(vector.y - predictor.y, fCode[1]);
    if (r.Ok()) r = CheckRange(direction, vector);
    if (!r.Ok()) return r;
    predictors_[0][direction] = predictors_[1][direction] = vector;
    return {};
}

VideoResult MacroblockWriter::WriteFieldVector(int field, int direction, MotionVector vector,
                                               const MotionVector* dualPrime) {
    const int* fCode = syntax_.fCode[direction];
    MotionVector& predictor = predictors_[field][direction];
    VideoResult r = WriteMotionComponent(vector.x - predictor.x, fCode[0]);
    if (r.Ok() && dualPrime) WriteDualPrimeComponent(dualPrime->x);
    if (r.Ok()) r = WriteMotionComponent(vector.y - (predictor.y >> 1), fCode[1]);
    if (r.Ok() && dualPrime) WriteDualPrimeComponent(dualPrime->y);
    if (r.Ok()) r = CheckRange(direction, vector);
    if (!r.Ok()) return r;
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

VideoResult MacroblockWriter::WriteMotionComponent(int delta, int fCode) {
    const int rSize = fCode - 1;
    const int f = 1 << rSize;
    // The decoder adds the difference modulo the range, so the shorter of the
    // two equivalent differences is sent.
    if (delta >= 16 * f) delta -= 32 * f;
    if (delta < -16 * f) delta += 32 * f;
    if (delta >= 16 * f || delta < -16 * f) {
        return Failure(kVideoValueOutOfRange, "Invalid motion vector.");
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

VideoResult MacroblockWriter::WriteIntraBlock(int block, const int16_t* levels, uint64_t scanMask) {
    const int component = block < 4 ? 0 : 1 + ((block - 4) & 1);
    const int difference = levels[0] - dcPredictors_[component];
    dcPredictors_[component] = levels[0];
    const int dcLimit = syntax_.syntax == MpegSyntax::kMpeg1 ? 256 : 2048;
    if (std::abs(difference) >= dcLimit) {
        return Failure(kVideoValueOutOfRange,
                       FormatText("DC value out of range (%d)\n", difference));
    }
    CodeGatherer codes(out_);
    const int size = BitLength(std::abs(difference));
    codes.Add(component == 0 ? DcSizeLuminanceCode(size) : DcSizeChrominanceCode(size));
    if (size > 0) {
        const int value = difference > 0 ? difference : difference + (1 << size) - 1;
        codes.Add(static_cast<uint32_t>(value), size);
    }

    const int table = syntax_.intraVlcFormat ? 1 : 0;
    const SignedCodeTable& codeTable = SignedCodes(table);
    VideoResult r = AddCoefficients(codes, codeTable, syntax_, levels, scanMask & ~uint64_t{1}, 1);
    if (!r.Ok()) return r;
    codes.Add(table == 1 ? kEndOfBlockTableOne : kEndOfBlockTableZero);
    return {};
}

VideoResult MacroblockWriter::WriteNonIntraBlock(const int16_t* levels, uint64_t scanMask) {
    CodeGatherer codes(out_);
    const SignedCodeTable& codeTable = SignedCodes(0);
    uint64_t rest = scanMask;
    int next = 0;
    if (rest & 1) {
        const int level = levels[kScanOrder[syntax_.alternateScan ? 1 : 0][0]];
        if (level == 1 || level == -1) {
            // The first coefficient's own code: "1" and the sign.
            codes.Add(level < 0 ? 3 : 2, 2);
            rest &= ~uint64_t{1};
            next = 1;
        }
    }
    VideoResult r = AddCoefficients(codes, codeTable, syntax_, levels, rest, next);
    if (!r.Ok()) return r;
    codes.Add(kEndOfBlockTableZero);
    return {};
}

}  // namespace korvan
