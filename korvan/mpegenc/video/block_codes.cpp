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
        if (count_ > 0)
            words_.push_back(static_cast<uint32_t>(word_ & (~uint64_t{0} >> (64 - count_))));
        return stored_ + static_cast<uint32_t>(count_);
    }

    // `bits` has nothing above its `length` (at most 32) low bits. At most
    // 32 bits are pending between calls, so the word always has room.
    [[gnu::always_inline]] void Add(uint32_t bits, int length) {
        word_ = (word_ << length) | bits;
        count_ += length;
        if (count_ > 32) Store32();
    }
    void Add(const VlcCode& code) { Add(code.bits, code.length); }

private:
    [[gnu::always_inline]] void Store32() {
        words_.push_back(static_cast<uint32_t>(word_ >> (count_ - 32)));
        count_ -= 32;
        stored_ += 32;
    }

    std::vector<uint32_t>& words_;
    uint64_t word_ = 0;  // the low count_ bits are pending, the rest is spent
    int count_ = 0;
    uint32_t stored_ = 0;
};

// Counts the bits of a block's codes instead of gathering them.
class CodeCounter {
public:
    uint32_t Finish() const { return count_; }
    [[gnu::always_inline]] void Add(uint32_t, int length) {
        count_ += static_cast<uint32_t>(length);
    }
    void Add(const VlcCode& code) { Add(code.bits, code.length); }

private:
    uint32_t count_ = 0;
};

// The run/level codes with their signs, indexed by run (every run a block
// can have) and signed level + kLevelBias: the code in the low 24 bits, its
// length in the top 8, 0 where the pair is escaped. One unsigned compare
// takes a level to its row or to the escape, and rows of a power of two
// make the index a shift; the rows and levels no block uses are never read.
constexpr int kLevelBias = 64;
constexpr int kRunsPerBlock = 64;
using SignedCodeTable = uint32_t[kRunsPerBlock][2 * kLevelBias];
static_assert(kMaxTabledLevel < kLevelBias && kMaxTabledRun < kRunsPerBlock);

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
                    t.codes[n][run][kLevelBias + level] = length | code.bits << 1;
                    t.codes[n][run][kLevelBias - level] = length | code.bits << 1 | 1;
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

// The bits of every run/level pair with its sign, escapes included, by run
// and magnitude (magnitudes above 255 as 255, all escaped alike): what a
// block only measured adds up, one byte per pair.
using CodeLengthTable = uint8_t[kRunsPerBlock][256];

const CodeLengthTable& CodeLengths(int table, MpegSyntax syntax) {
    struct Tables {
        CodeLengthTable lengths[2][2] = {};  // by table, then MPEG-1 or MPEG-2
    };
    static const Tables tables = [] {
        Tables t;
        for (int n = 0; n < 2; ++n) {
            const SignedCodeTable& codes = SignedCodes(n);
            for (int s = 0; s < 2; ++s) {
                const MpegSyntax syntax = s == 0 ? MpegSyntax::kMpeg1 : MpegSyntax::kMpeg2;
                for (int run = 0; run < kRunsPerBlock; ++run) {
                    // An escape's length depends on the magnitude only in
                    // MPEG-1, which has a longer form above 127.
                    const auto shortEscape =
                        static_cast<uint8_t>(EscapedCode(run, 1, syntax) >> 32);
                    const auto longEscape =
                        static_cast<uint8_t>(EscapedCode(run, 255, syntax) >> 32);
                    for (int magnitude = 1; magnitude < 256; ++magnitude) {
                        const uint32_t code =
                            magnitude < kLevelBias ? codes[run][kLevelBias + magnitude] : 0;
                        t.lengths[n][s][run][magnitude] =
                            code != 0 ? static_cast<uint8_t>(code >> 24)
                                      : (magnitude <= 127 ? shortEscape : longEscape);
                    }
                }
            }
        }
        return t;
    }();
    return tables.lengths[table != 0 ? 1 : 0][syntax == MpegSyntax::kMpeg1 ? 0 : 1];
}

// From this many levels on a block's size is counted with the run-0 and
// run-1 pairs of small levels summed at once.
constexpr int kManyLevels = 12;

// One run/level pair: its table code and sign, or the escape. False when the
// pair cannot be coded.
template <typename Gatherer>
[[gnu::always_inline]] inline bool AddCoefficient(Gatherer& codes, const SignedCodeTable& table,
                                                  int run, int level, MpegSyntax syntax) {
    const unsigned column = static_cast<unsigned>(level + kLevelBias);
    const uint32_t code = column < 2 * kLevelBias ? table[run][column] : 0;
    if (code != 0) [[likely]] {
        codes.Add(code & 0xFFFFFF, static_cast<int>(code >> 24));
        return true;
    }
    const uint64_t escaped = EscapedCode(run, level, syntax);
    if (escaped == 0) return false;
    codes.Add(static_cast<uint32_t>(escaped), static_cast<int>(escaped >> 32));
    return true;
}

Status CoefficientOutOfRange(int run, int level) {
    return Status::Failed(
        StatusCode::kValueOutOfRange,
        FormatText("AC value out of range (run=%d, signed_level=%d)\n", run, level));
}

// A pair that cannot be coded.
struct UncodedPair {
    int run = 0;
    int level = 0;
};

// The coefficients `mask` names (bits in scan order, see ScanMaskKernel),
// each with its run: the distance from the one before, starting at scan
// position `next`. Only the coefficients that are not zero are visited.
// False, with the pair in `uncoded`, when one cannot be coded.
template <typename Gatherer>
[[gnu::always_inline]] inline bool AddCoefficients(Gatherer& codes, const SignedCodeTable& table,
                                                   const BlockCodeSyntax& syntax,
                                                   const int16_t* levels, uint64_t mask, int next,
                                                   UncodedPair& uncoded) {
    const uint8_t* scan = kScanOrder[syntax.alternateScan ? 1 : 0].data();
    const MpegSyntax mpegSyntax = syntax.syntax;
    while (mask) {
        const int i = __builtin_ctzll(mask);
        mask &= mask - 1;
        const int level = levels[scan[i]];
        if (!AddCoefficient(codes, table, i - next, level, mpegSyntax)) [[unlikely]] {
            uncoded = {i - next, level};
            return false;
        }
        next = i + 1;
    }
    return true;
}

}  // namespace

void RowCodes::Build(const BlockCodeSyntax& syntax, bool intra, const int16_t* levels,
                     uint64_t scanMask, int address, BlockCode& code) {
    code.firstWord = static_cast<uint32_t>(words_.size());
    if (keeping_ == CodeKeeping::kSizesOnly) {
        if (CountBits(syntax, intra, levels, scanMask, code)) return;
        CodeCounter counter;
        BuildWith(counter, syntax, intra, levels, scanMask, address, code);
    } else {
        CodeGatherer gatherer(words_);
        BuildWith(gatherer, syntax, intra, levels, scanMask, address, code);
    }
}

bool RowCodes::CountBits(const BlockCodeSyntax& syntax, bool intra, const int16_t* levels,
                         uint64_t scanMask, BlockCode& code) const {
    alignas(32) uint8_t magnitudes[64];
    if (kernels_->scanMagnitudes(levels, syntax.alternateScan, magnitudes) >
        MaxLevel(syntax.syntax)) {
        return false;
    }
    const int table = intra && syntax.intraVlcFormat ? 1 : 0;
    // Run r's lengths start at lengths[r << 8]: a row is 256 magnitudes long.
    const uint8_t* lengths = &CodeLengths(table, syntax.syntax)[0][0];
    uint64_t mask = scanMask;
    // The positions a run is counted from: an intra block's DC is coded
    // apart, a non-intra block's first run may start at position 0.
    uint64_t coded = scanMask;
    uint32_t bits = 0;
    if (intra) {
        mask &= ~uint64_t{1};
        coded |= 1;
        bits = table == 1 ? kEndOfBlockTableOne.length : kEndOfBlockTableZero.length;
    } else {
        bits = kEndOfBlockTableZero.length;
        if ((mask & 1) && magnitudes[0] == 1) {
            // The first coefficient's own code: "1" and the sign.
            bits += 2;
            mask &= ~uint64_t{1};
        }
    }
    if (__builtin_popcountll(mask) < kManyLevels) {
        unsigned next = intra || (scanMask & ~mask & 1) ? 1 : 0;
        while (mask) {
            const unsigned i = static_cast<unsigned>(__builtin_ctzll(mask));
            mask &= mask - 1;
            bits += lengths[(i - next) << 8 | magnitudes[i]];
            next = i + 1;
        }
    } else {
        // A detailed block is mostly small levels right after another (run
        // 0) or one apart (run 1): those are summed at once, a run a call,
        // the rest one by one, each run counted back to the coded position
        // before it. A run may start after a coded position or at 0.
        const uint64_t starts = coded << 1 | 1;
        const uint64_t runZero = mask & starts;
        uint64_t left = runZero;
        bits += kernels_->smallLevelLengths(magnitudes, &left, lengths);
        mask &= ~(runZero ^ left);
        const uint64_t runOne = mask & ~starts & starts << 1;
        left = runOne;
        bits += kernels_->smallLevelLengths(magnitudes, &left, lengths + 256);
        mask &= ~(runOne ^ left);
        while (mask) {
            const unsigned i = static_cast<unsigned>(__builtin_ctzll(mask));
            mask &= mask - 1;
            const uint64_t before = coded & ((uint64_t{1} << i) - 1);
            const unsigned run =
                before ? i - 64 + static_cast<unsigned>(__builtin_clzll(before)) : i;
            bits += lengths[run << 8 | magnitudes[i]];
        }
    }
    code.dc = intra ? levels[0] : 0;
    code.bits = bits;
    return true;
}

template <typename Gatherer>
void RowCodes::BuildWith(Gatherer& codes, const BlockCodeSyntax& syntax, bool intra,
                         const int16_t* levels, uint64_t scanMask, int address, BlockCode& code) {
    code.dc = intra ? levels[0] : 0;
    UncodedPair uncoded;
    bool coded = true;
    if (intra) {
        const int table = syntax.intraVlcFormat ? 1 : 0;
        coded = AddCoefficients(codes, SignedCodes(table), syntax, levels, scanMask & ~uint64_t{1},
                                1, uncoded);
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
        coded = AddCoefficients(codes, SignedCodes(0), syntax, levels, rest, next, uncoded);
        codes.Add(kEndOfBlockTableZero);
    }
    code.bits = codes.Finish();
    if (!coded && failedAddress_ < 0) {
        failure_ = CoefficientOutOfRange(uncoded.run, uncoded.level);
        failedAddress_ = address;
    }
}

}  // namespace korvan
