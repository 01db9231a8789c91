// The variable-length codes of quantised blocks, built apart from the
// stream. A block's coefficient codes depend on nothing coded before it, so
// they can be built on any thread once its levels are known; only the intra
// DC difference (from the predictor the slice carries) is left to the
// ordered writer, which then appends the codes built here.
#pragma once

#include <cstdint>
#include <vector>

#include "korvan/base/status.h"
#include "korvan/mpegenc/common/bit_writer.h"
#include "korvan/mpegenc/common/quantise.h"
#include "korvan/mpegenc/common/video_kernels.h"

namespace korvan {

// The picture-level choices a block's codes depend on.
struct BlockCodeSyntax {
    MpegSyntax syntax = MpegSyntax::kMpeg1;
    bool intraVlcFormat = false;
    bool alternateScan = false;
};

// Where one block's codes lie in its row's store, and an intra block's DC
// level (coded in order, against the predictor).
struct BlockCode {
    uint32_t firstWord = 0;
    uint32_t bits = 0;
    int dc = 0;
};

// Whether a row's codes are kept, or only their sizes: a stretch of stream
// that is measured and then thrown away (a GOP that will be coded again)
// needs its length only.
enum class CodeKeeping { kCodes, kSizesOnly };

// The codes of the blocks of one macroblock row: 32-bit words, the first
// bit sent being the most significant; each block starts a new word and its
// last word holds what is left in its low bits.
class RowCodes {
public:
    // Forgets every block (the words stay allocated for the next picture);
    // the blocks built from now on keep what `keeping` says. Sizes alone
    // are counted from the levels' magnitudes, with `kernels`.
    void Clear(CodeKeeping keeping, const VideoKernels& kernels) {
        words_.clear();
        failure_ = {};
        failedAddress_ = -1;
        keeping_ = keeping;
        kernels_ = &kernels;
    }

    // Builds the codes of a block of macroblock `address` into `code`: an
    // intra block's AC coefficients (its DC level is kept for the writer), a
    // non-intra block's coefficients, each with its end of block. `scanMask`
    // names the levels that are not zero in the picture's scan order. A pair
    // that cannot be coded is kept as the row's failure. With kSizesOnly
    // only code.bits is set.
    void Build(const BlockCodeSyntax& syntax, bool intra, const int16_t* levels, uint64_t scanMask,
               int address, BlockCode& code);

    // The failure of macroblock `address`, if its blocks could not be coded.
    Status FailureOf(int address) const { return address == failedAddress_ ? failure_ : Status{}; }

    // Appends the block's codes, or as many zero bits where only the sizes
    // were kept.
    void Write(const BlockCode& code, BitWriter& out) const {
        if (keeping_ == CodeKeeping::kSizesOnly) {
            out.PutZeros(code.bits);
        } else {
            out.PutWords(&words_[code.firstWord], code.bits);
        }
    }

private:
    template <typename Gatherer>
    void BuildWith(Gatherer& codes, const BlockCodeSyntax& syntax, bool intra,
                   const int16_t* levels, uint64_t scanMask, int address, BlockCode& code);

    // Only the sizes of a block whose levels all have a code; false leaves
    // the block to the exact path, which keeps the failure.
    bool CountBits(const BlockCodeSyntax& syntax, bool intra, const int16_t* levels,
                   uint64_t scanMask, BlockCode& code) const;

    CodeKeeping keeping_ = CodeKeeping::kCodes;
    const VideoKernels* kernels_ = nullptr;
    std::vector<uint32_t> words_;
    Status failure_;
    int failedAddress_ = -1;
};

}  // namespace korvan
