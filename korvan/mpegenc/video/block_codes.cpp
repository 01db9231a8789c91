#include "korvan/mpegenc/video/block_codes.h"

#include <cstdlib>

#include "korvan/mpegenc/common/format_text.h"
#include "korvan/mpegenc/common/mpeg_tables.h"
#include "korvan/mpegenc/common/vlc_tables.h"

namespace korvan {
namespace {

// The codes of one block gathered in a 64-bit word and stored 32 bits at a
// time: a detailed block is many short codes.
class CodeGatherer {
public:
    explicit CodeGatherer(std::vector<uint32_t>& words) : words_(words) {}

    // Stores what is pending and returns the number of bits gathered.
    uint32_t Finish() {
        if (count_ > 32) Store32();
        if (count_ > 0)
            words_.push_back(static_cast<uint32_t>(word_ & (~uint64_t{0} >> (64 - count_))));
        return stored_ + static_cast<uint32_t>(count_);
    }

    // `bits` has nothing above its `length` (at most 32) low bits.
    [[gnu::always_inline]] void Add(uint32_t bits, int length) {
        if (count_ + length > 64) Store32();
        word_ = (word_ << length) | bits;
        count_ += length;
    }
    void Add(const VlcCode& code) { Add(code.bits, code.length); }

private:
    [[gnu::always_inline]] void Store32() {
        words_.push_back(static_cast<uint32_t>(word_ >> (count_ - 32)));
        count_ -= 32;
        stored_ += 32;
    }

    std::vector<uint32_t>& words_;
    uint64_t word_ = 0;  // the low count_ bits are pending
    int count_ = 0;
    uint32_t stored_ = 0;
};

// The run/level codes with their signs, indexed by run and signed level:
// the code in the low 24 bits, its length (0 where the pair is escaped) in
// the top 8, so the inner loop needs neither the magnitude nor the sign.
constexpr int kSignedLevels = 2 * kMaxTabledLevel + 1;
using SignedCodeTable = uint32_t[kMaxTabledRun + 1][kSignedLevels];

const SignedCodeTable& SignedCodes(int table) {
    struct Tables {
        SignedCodeTable codes[2] = {};
    };
    static const Tables tables = [] {
        Tables t;
        for (int n = 0; n < 2; ++n) {
            const CoefficientTable& plain = DctCoefficientTable(n);
            for (int run = 0; run <= kMaxTabledRun; ++run) {
                for (int level = 1; level <= kMaxTabledLevel; ++level) {
                    const VlcCode& code = plain[run][level];
                    if (code.length == 0) continue;
                    const uint32_t length = static_cast<uint32_t>(code.length + 1) << 24;
                    t.codes[n][run][kMaxTabledLevel + level] = length | code.bits << 1;
                    t.codes[n][run][kMaxTabledLevel - level] = length | code.bits << 1 | 1;
                }
            }
        }
        return t;
    }();
    return tables.codes[table != 0 ? 1 : 0];
}

// A pair the tables have no code for: the escape, a 6-bit run and the
// level, at most 28 bits, as its length above its bits; 0 when the pair
// cannot be coded at all. Out of line and apart from the gatherer, which so
// stays in registers in the loop.
[[gnu::noinline]] uint64_t EscapedCode(int run, int level, MpegSyntax syntax) {
    const int magnitude = std::abs(level);
    const bool mpeg1 = syntax == MpegSyntax::kMpeg1;
    if (level == 0 || magnitude > (mpeg1 ? 255 : 2047) || run < 0 || run > 63) return 0;
    uint64_t bits = kDctEscape.bits << 6 | static_cast<uint32_t>(run);
    int length = kDctEscape.length + 6;
    if (!mpeg1) {
        bits = bits << 12 | (static_cast<uint32_t>(level) & 0xFFF);
        length += 12;
    } else if (magnitude <= 127) {
        bits = bits << 8 | (static_cast<uint32_t>(level) & 0xFF);
        length += 8;
    } else {
        // Long form: a marker byte of 0 (positive) or 0x80 (negative), then
        // the level's low byte.
        bits = bits << 16 | (level > 0 ? 0u : 0x8000u) | (static_cast<uint32_t>(level) & 0xFF);
        length += 16;
    }
    return static_cast<uint64_t>(length) << 32 | bits;
}

// One run/level pair: its table code and sign, or the escape. False when the
// pair cannot be coded.
[[gnu::always_inline]] inline bool AddCoefficient(CodeGatherer& codes, const SignedCodeTable& table,
                                                  int run, int level, MpegSyntax syntax) {
    const unsigned column = static_cast<unsigned>(level + kMaxTabledLevel);
    if (run <= kMaxTabledRun && column < kSignedLevels) {
        const uint32_t code = table[run][column];
        if (code != 0) {
            codes.Add(code & 0xFFFFFF, static_cast<int>(code >> 24));
            return true;
        }
    }
    const uint64_t escaped = EscapedCode(run, level, syntax);
    if (escaped == 0) return false;
    codes.Add(static_cast<uint32_t>(escaped), static_cast<int>(escaped >> 32));
    return true;
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
                                                          const BlockCodeSyntax& syntax,
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

void RowCodes::Build(const BlockCodeSyntax& syntax, bool intra, const int16_t* levels,
                     uint64_t scanMask, int address, BlockCode& code) {
    code.firstWord = static_cast<uint32_t>(words_.size());
    code.dc = intra ? levels[0] : 0;
    CodeGatherer codes(words_);
    VideoResult r;
    if (intra) {
        const int table = syntax.intraVlcFormat ? 1 : 0;
        r = AddCoefficients(codes, SignedCodes(table), syntax, levels, scanMask & ~uint64_t{1}, 1);
        codes.Add(table == 1 ? kEndOfBlockTableOne : kEndOfBlockTableZero);
    } else {
        uint64_t rest = scanMask;
        int next = 0;
        if (rest & 1) {
            const int level = levels[kScanOrder[syntax.alternateScan ? 1 : 0][0]];
            if (level == 1 || level == -1) {
                // The first coefficient's own code: "1" and the sign.
                codes.Add(level < 0 ? 3 : 2, 2);
                rest &= ~uint64_t{1};
                next = 1;
            }
        }
        r = AddCoefficients(codes, SignedCodes(0), syntax, levels, rest, next);
        codes.Add(kEndOfBlockTableZero);
    }
    code.bits = codes.Finish();
    if (!r.Ok() && failedAddress_ < 0) {
        failure_ = std::move(r);
        failedAddress_ = address;
    }
}

}  // namespace korvan
