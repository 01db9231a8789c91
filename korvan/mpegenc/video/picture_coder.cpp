#include "korvan/mpegenc/video/picture_coder.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace korvan {
namespace {

// Sample variance of an 8x8 block whose rows are `stride` apart.
double BlockVariance(const uint8_t* block, int stride) {
    int sum = 0;
    int squares = 0;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            sum += block[x];
            squares += block[x] * block[x];
        }
        block += stride;
    }
    const double mean = sum / 64.0;
    return squares / 64.0 - mean * mean;
}

// The spatial activity of a 16x16 luminance block: 1 + the smallest sample
// variance of its four 8x8 blocks, and with `fieldBlocks` also of the four
// 8x8 blocks of its two fields.
enum class ActivityBlocks { kFrame, kFrameAndField };
double SpatialActivity(const uint8_t* block, int stride, ActivityBlocks blocks) {
    double smallest = BlockVariance(block, stride);
    smallest = std::min(smallest, BlockVariance(block + 8, stride));
    smallest = std::min(smallest, BlockVariance(block + 8 * stride, stride));
    smallest = std::min(smallest, BlockVariance(block + 8 * stride + 8, stride));
    if (blocks == ActivityBlocks::kFrameAndField) {
        // Top field: even lines; bottom field: odd lines.
        for (int field = 0; field < 2; ++field) {
            const uint8_t* f = block + field * stride;
            smallest = std::min(smallest, BlockVariance(f, 2 * stride));
            smallest = std::min(smallest, BlockVariance(f + 8, 2 * stride));
        }
    }
    return 1 + smallest;
}

}  // namespace

PictureCoder::PictureCoder(const CodingParameters& parameters, const VideoKernels& kernels)
    : p_(parameters), kernels_(kernels), searcher_(kernels, parameters.geometry) {}

PictureCoder::~PictureCoder() = default;

bool PictureCoder::Allocate(bool controlled, int pictures) {
    const CodingGeometry& g = p_.geometry;
    const size_t count = static_cast<size_t>(g.mbWidth) * g.mbHeight;
    const size_t blocks = count * g.blocksPerMacroblock;
    const size_t rows = static_cast<size_t>(g.mbHeight);
    try {
        found_[0].assign(count, {});
        found_[1].assign(count, {});
        slots_.reset(new Slot[static_cast<size_t>(pictures)]);
        slotCount_ = pictures;
        latest_ = 0;
        // A vector of the largest f-code reaches 16 << (f - 1) half samples;
        // a field vector counts field lines, twice as far in the frame; one
        // more line for the half sample.
        const int halfSamples = 16 << (p_.maxVerticalFCode - 1);
        const int lines = (p_.progressiveSequence ? halfSamples / 2 : halfSamples) + 1;
        reachRows_ = (lines + 15) / 16;
        for (int s = 0; s < pictures; ++s) {
            Slot& slot = slots_[s];
            slot.macroblocks.assign(count, {});
            slot.activity.assign(controlled ? count : 0, 0.0);
            slot.predictions.reset(new MacroblockPrediction[count]());
            slot.levels.reset(new BlockCoefficients[blocks]);
            slot.scanMasks.reset(new uint64_t[blocks]);
            slot.blockCodes.reset(new BlockCode[blocks]);
            slot.rowCodes.assign(rows, {});
            slot.coefficients.reset(controlled ? new BlockCoefficients[blocks] : nullptr);
            // Each picture's start clears the flags.
            slot.rowAnalysed.reset(new std::atomic<bool>[rows]);
            slot.rowRebuilt.reset(new std::atomic<bool>[rows]);
            slot.rowLargest.assign(rows, {});
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

PictureCoder::Slot* PictureCoder::SlotOf(uint64_t tag) {
    for (int s = 0; s < slotCount_; ++s) {
        if (slots_[s].unwritten && slots_[s].tag == tag) return &slots_[s];
    }
    return nullptr;
}

bool PictureCoder::Analysed(const Slot& slot) const {
    for (int row = 0; row < p_.geometry.mbHeight; ++row) {
        if (!slot.rowAnalysed[row].load(std::memory_order_acquire)) return false;
    }
    return true;
}

bool PictureCoder::Reconstructed() const {
    for (int s = 0; s < slotCount_; ++s) {
        const Slot& slot = slots_[s];
        if (slot.rowsReconstructed.load(std::memory_order_acquire) != slot.rowsToReconstruct)
            return false;
    }
    return true;
}

void PictureCoder::AnalyseRows(Slot& slot, int firstRow, int endRow) {
    const CodingGeometry& g = p_.geometry;
    const PlannedPicture& plan = slot.plan;
    const PictureInputs& inputs = slot.inputs;
    const PictureRate& rate = slot.rate;
    const bool fieldPicture = slot.fieldPicture;
    MacroblockAnalyser analyser(p_, kernels_, searcher_, plan, inputs);
    // Interlaced frame pictures choose the DCT of each macroblock.
    const bool chooseDct = !fieldPicture && p_.IsMpeg2() &&
                           !p_.Choices(plan.type).framePredFrameDct &&
                           !DisplayFlagsOf(p_, plan.displayIndex).progressiveFrame;
    const ActivityBlocks activityBlocks = p_.progressiveFrame || fieldPicture
                                              ? ActivityBlocks::kFrame
                                              : ActivityBlocks::kFrameAndField;
    const bool alternateScan = p_.Choices(plan.type).alternateScan;
    const Plane& luma = inputs.source->luma();
    BlockCoefficients local[kMaxBlocksPerMacroblock];
    for (int mbY = firstRow; mbY < endRow; ++mbY) {
        LargestComponents largest;
        slot.rowCodes[mbY].Clear(rate.keeping, kernels_);
        for (int mbX = 0; mbX < g.mbWidth; ++mbX) {
            const int address = mbY * g.mbWidth + mbX;
            MacroblockInfo& mb = slot.macroblocks[address];
            analyser.Decide(mbX, mbY, mb, largest, &found_);
            MacroblockPrediction& prediction = slot.predictions[address];
            if (!(mb.flags & kMbIntra)) {
                analyser.Predict(mbX, mbY, mb, MacroblockAnalyser::PredictedPlanes::kAll,
                                 prediction);
            }
            BlockCoefficients* coefficients =
                rate.controller ? CoefficientsOf(slot, address) : local;
            TransformMacroblock(p_, kernels_, *inputs.source, mbX, mbY, chooseDct, prediction, mb,
                                coefficients);
            if (rate.controller) {
                slot.activity[address] =
                    SpatialActivity(luma.Row(16 * mbY) + 16 * mbX, luma.stride, activityBlocks);
            } else {
                // A fixed quantiser: quantised here, off the coding thread.
                mb.mquant = rate.fixed.mquant;
                mb.quantiserScaleCode = rate.fixed.code;
                QuantiseMacroblock(p_, kernels_, coefficients, alternateScan, mb,
                                   QuantisedOf(slot, address));
                BuildBlockCodes(slot, mbY, address);
            }
        }
        slot.rowLargest[mbY] = largest;
        slot.rowAnalysed[mbY].store(true, std::memory_order_release);
    }
}

void PictureCoder::BuildBlockCodes(Slot& slot, int mbY, int address) {
    const PictureTypeChoices& choices = p_.Choices(slot.plan.type);
    const BlockCodeSyntax syntax{p_.syntax, choices.intraVlcFormat, choices.alternateScan};
    const MacroblockInfo& mb = slot.macroblocks[address];
    const bool intra = (mb.flags & kMbIntra) != 0;
    const QuantisedBlocks quantised = QuantisedOf(slot, address);
    BlockCode* codes = BlockCodesOf(slot, address);
    const int count = p_.geometry.blocksPerMacroblock;
    for (int b = 0; b < count; ++b) {
        if (intra || (mb.codedBlockPattern & (1 << (count - 1 - b)))) {
            slot.rowCodes[mbY].Build(syntax, intra, quantised.levels[b], quantised.scanMasks[b],
                                     address, codes[b]);
        }
    }
}

void PictureCoder::ChooseFCodes(const PlannedPicture& plan, const LargestComponents& largest) {
    fCode_[0][0] = fCode_[0][1] = fCode_[1][0] = fCode_[1][1] = 15;
    if (plan.type == kPictureI) return;
    const int directions = plan.type == kPictureB ? 2 : 1;
    for (int d = 0; d < directions; ++d) {
        if (p_.variableMaxMotion >= 8) {
            fCode_[d][0] = AdaptiveFCode(largest.v[d][0]);
            fCode_[d][1] = AdaptiveFCode(largest.v[d][1]);
        } else {
            const MotionRecord& r =
                p_.motion[plan.type == kPictureP
                              ? 0
                              : std::clamp(plan.forwardDistance, 1, kMotionRecords - 1)];
            fCode_[d][0] = d == 0 ? r.forwHorzFCode : r.backHorzFCode;
            fCode_[d][1] = d == 0 ? r.forwVertFCode : r.backVertFCode;
        }
        // MPEG-1 has one f-code per direction.
        if (!p_.IsMpeg2()) fCode_[d][0] = fCode_[d][1] = std::max(fCode_[d][0], fCode_[d][1]);
    }
}

void PictureCoder::ReconstructRow(Slot& slot, int mbY, WorkerPool& pool) {
    const CodingGeometry& g = p_.geometry;
    for (int mbX = 0; mbX < g.mbWidth; ++mbX) {
        const int address = mbY * g.mbWidth + mbX;
        ReconstructMacroblock(p_, kernels_, mbX, mbY, slot.macroblocks[address],
                              QuantisedOf(slot, address).levels, slot.predictions[address],
                              slot.target);
    }
    slot.rowRebuilt[mbY].store(true, std::memory_order_release);
    ReleaseBehind(slot, Release::kAsRebuilt, pool);
    slot.rowsReconstructed.fetch_add(1, std::memory_order_release);
}

Status PictureCoder::CodeSlices(Slot& slot, const PictureRate& rate, WorkerPool& pool,
                                BitWriter& out) {
    const CodingGeometry& g = p_.geometry;
    const PlannedPicture& plan = slot.plan;
    const bool fieldPicture = slot.fieldPicture;
    const int parity = slot.parity;
    const PictureTypeChoices& choices = p_.Choices(plan.type);
    MacroblockSyntax syntax;
    syntax.syntax = p_.syntax;
    syntax.pictureType = plan.type;
    std::memcpy(syntax.fCode, fCode_, sizeof(fCode_));
    syntax.intraDcPrecision = p_.intraDcPrecision;
    syntax.framePredFrameDct = choices.framePredFrameDct && !fieldPicture;
    syntax.fieldPicture = fieldPicture;
    syntax.blocksPerMacroblock = g.blocksPerMacroblock;
    MacroblockWriter writer(out, syntax);

    const int total = g.mbWidth * g.mbHeight;
    int64_t mquantSum = 0;
    quantisers_ = {};
    int sliceFirst = 0;
    int sliceLast = 0;
    const MacroblockInfo* previous = nullptr;
    for (int address = 0; address < total; ++address) {
        const int mbX = address % g.mbWidth;
        const int mbY = address / g.mbWidth;
        Quantiser q = rate.fixed;
        if (rate.controller) {
            q = rate.controller->MacroblockQuantiser(
                address, static_cast<int64_t>(out.BitCount() - rate.startBits),
                slot.activity[address]);
        }
        if (address == 0 || (p_.sliceEveryRow && mbX == 0)) {
            sliceFirst = address;
            sliceLast = p_.sliceEveryRow ? address + g.mbWidth - 1 : total - 1;
            WriteSliceHeader(out, p_, mbY, q.code);
            writer.StartSlice(address, q.code);
            previous = nullptr;
        }
        MacroblockInfo& mb = slot.macroblocks[address];
        if (rate.controller) {
            mb.mquant = q.mquant;
            mb.quantiserScaleCode = q.code;
            // At a constant bitrate a saturated intra block is quantised
            // again, more coarsely, rather than sent distorted.
            while (QuantiseMacroblock(p_, kernels_, CoefficientsOf(slot, address),
                                      choices.alternateScan, mb, QuantisedOf(slot, address))) {
                const Quantiser raised =
                    RaiseQuantiser({mb.mquant, mb.quantiserScaleCode}, choices.nonLinearScale);
                if (raised.mquant == mb.mquant) break;
                mb.mquant = raised.mquant;
                mb.quantiserScaleCode = raised.code;
            }
            rate.controller->MacroblockDone(mb.mquant);
            BuildBlockCodes(slot, mbY, address);
        }
        quantisers_.smallest = address == 0 ? mb.mquant : std::min(quantisers_.smallest, mb.mquant);
        quantisers_.largest = address == 0 ? mb.mquant : std::max(quantisers_.largest, mb.mquant);
        mquantSum += mb.mquant;

        const bool intra = (mb.flags & kMbIntra) != 0;
        const bool inner = address != sliceFirst && address != sliceLast;
        if (!intra && mb.codedBlockPattern == 0 && inner) {
            if (plan.type == kPictureP) {
                // A skipped P macroblock is the zero vector from the same
                // frame or, in a field picture, from the field of the same
                // parity.
                const bool sameParity = !(mb.flags & kMbForward) || mb.fieldSelect[0][0] == parity;
                mb.skipped = mb.vectors[0] == MotionVector{} &&
                             (fieldPicture ? sameParity : mb.motionType == kFrameMotion);
            } else if (previous && !(previous->flags & kMbIntra) &&
                       (fieldPicture ? mb.fieldSelect[0][0] == previous->fieldSelect[0][0] &&
                                           mb.fieldSelect[0][1] == previous->fieldSelect[0][1]
                                     : mb.motionType == kFrameMotion &&
                                           previous->motionType == kFrameMotion)) {
                const int directions = kMbForward | kMbBackward;
                mb.skipped = (mb.flags & directions) == (previous->flags & directions) &&
                             (!(mb.flags & kMbForward) || mb.vectors[0] == previous->vectors[0]) &&
                             (!(mb.flags & kMbBackward) || mb.vectors[1] == previous->vectors[1]);
            }
        }
        if (mb.skipped) {
            writer.SkipMacroblock();
        } else {
            // A P macroblock without motion compensation that codes nothing is
            // sent as a zero vector instead.
            if (!intra && mb.codedBlockPattern == 0 && !(mb.flags & (kMbForward | kMbBackward))) {
                mb.flags = kMbForward;
                mb.motionType = fieldPicture ? kFieldMotion : kFrameMotion;
                mb.fieldSelect[0][0] = parity;
                mb.vectors[0] = {};
            }
            Status r = writer.WriteMacroblock(address, mb, BlockCodesOf(slot, address),
                                              slot.rowCodes[mbY]);
            if (!r.IsOk()) return r;
        }
        if (!mb.skipped && (intra || mb.codedBlockPattern) && mb.dctType == 1)
            ++quantisers_.fieldDct;
        if (!mb.skipped && !intra && mb.motionType == kFieldMotion) ++quantisers_.fieldMotion;
        if (!mb.skipped && !intra && mb.motionType == kDualPrimeMotion) ++quantisers_.dualPrime;
        previous = &mb;
        if (slot.target[0].data && mbX == g.mbWidth - 1) {
            ++slot.rowsToReconstruct;
            pool.Submit(WorkerPool::Priority::kUrgent,
                        [this, &slot, &pool, mbY] { ReconstructRow(slot, mbY, pool); });
        }
    }
    quantisers_.mean = static_cast<double>(mquantSum) / total;
    return {};
}

PictureCoder::Slot& PictureCoder::FreeSlot(WorkerPool& pool) {
    const int index = slotCount_ > 1 ? 1 - latest_ : 0;
    Slot& slot = slots_[index];
    // Its stores may still be read by an analysis nobody wrote or by the
    // rebuilding of the picture written from them.
    const auto free = [this, &slot] {
        return (!slot.unwritten || Analysed(slot)) &&
               slot.rowsReconstructed.load(std::memory_order_acquire) == slot.rowsToReconstruct;
    };
    if (!free()) pool.HelpUntil(free, WorkerPool::Help::kUrgentOnly);
    latest_ = index;
    return slot;
}

void PictureCoder::Start(Slot& slot, uint64_t tag, const PlannedPicture& plan,
                         const PictureInputs& inputs, const PictureRate& rate) {
    slot.tag = tag;
    slot.unwritten = true;
    slot.plan = plan;
    slot.inputs = inputs;
    slot.rate = rate;
    slot.fieldPicture = plan.structure != 3;
    slot.parity = plan.structure == 2 ? 1 : 0;
    slot.rowsToReconstruct = 0;
    slot.rowsReconstructed.store(0, std::memory_order_relaxed);
    slot.behind = nullptr;
    slot.rowsReleased = 0;
    slot.rebuiltFromTop = 0;
    for (int row = 0; row < p_.geometry.mbHeight; ++row) {
        slot.rowAnalysed[row].store(false);
        slot.rowRebuilt[row].store(false);
    }
}

void PictureCoder::SubmitRows(Slot& slot, int firstRow, int endRow, WorkerPool& pool) {
    for (int row = firstRow; row < endRow; ++row) {
        pool.Submit(WorkerPool::Priority::kUrgent,
                    [this, &slot, row] { AnalyseRows(slot, row, row + 1); });
    }
}

void PictureCoder::Analyse(uint64_t tag, const PlannedPicture& plan, const PictureInputs& inputs,
                           const PictureRate& rate, WorkerPool& pool) {
    if (SlotOf(tag)) return;
    Slot& slot = FreeSlot(pool);
    Start(slot, tag, plan, inputs, rate);
    const int rows = p_.geometry.mbHeight;
    if (slot.fieldPicture) {
        // A field picture's search starts from the vectors of its
        // neighbours above, so its rows are decided in order, in one task.
        pool.Submit(WorkerPool::Priority::kUrgent,
                    [this, &slot, rows] { AnalyseRows(slot, 0, rows); });
    } else {
        SubmitRows(slot, 0, rows, pool);
    }
}

void PictureCoder::AnalyseBehind(uint64_t tag, uint64_t referenceTag, const PlannedPicture& plan,
                                 const PictureInputs& inputs, const PictureRate& rate,
                                 WorkerPool& pool) {
    Slot* reference = SlotOf(referenceTag);
    if (SlotOf(tag) || !reference || plan.structure != 3) return;
    Slot& slot = FreeSlot(pool);
    Start(slot, tag, plan, inputs, rate);
    std::lock_guard<std::mutex> lock(reference->gate);
    reference->behind = &slot;
}

void PictureCoder::ReleaseBehind(Slot& slot, Release release, WorkerPool& pool) {
    std::lock_guard<std::mutex> lock(slot.gate);
    if (!slot.behind) return;
    const int rows = p_.geometry.mbHeight;
    while (slot.rebuiltFromTop < rows &&
           slot.rowRebuilt[slot.rebuiltFromTop].load(std::memory_order_acquire)) {
        ++slot.rebuiltFromTop;
    }
    // Row r may predict from the reference's rows up to r + reachRows_.
    const int ready = release == Release::kEverything || slot.rebuiltFromTop == rows
                          ? rows
                          : std::max(0, slot.rebuiltFromTop - reachRows_);
    if (ready > slot.rowsReleased) {
        SubmitRows(*slot.behind, slot.rowsReleased, ready, pool);
        slot.rowsReleased = ready;
    }
}

void PictureCoder::AwaitAnalysis(uint64_t tag, WorkerPool& pool) {
    const Slot* slot = SlotOf(tag);
    if (!slot || Analysed(*slot)) return;
    pool.HelpUntil([this, slot] { return Analysed(*slot); }, WorkerPool::Help::kUrgentOnly);
}

Status PictureCoder::Write(uint64_t tag, const PictureRate& rate, WorkerPool& pool, BitWriter& out,
                           const YuvFrame* reconstruction) {
    Slot* found = SlotOf(tag);
    if (!found)
        return Status::Failed(StatusCode::kFinished, "No picture was analysed to be written.");
    Slot& slot = *found;
    // The f-codes go into the picture header and come from every row.
    AwaitAnalysis(tag, pool);
    slot.unwritten = false;
    for (int c = 0; c < 3; ++c)
        slot.target[c] = reconstruction ? reconstruction->plane(c) : Plane{};
    // Without a reconstruction nothing can wait for one.
    if (!reconstruction) ReleaseBehind(slot, Release::kEverything, pool);
    const PlannedPicture& plan = slot.plan;
    LargestComponents largest;
    for (const LargestComponents& row : slot.rowLargest) largest.Merge(row);
    ChooseFCodes(plan, largest);

    PictureHeaderFields header;
    header.type = plan.type;
    header.temporalReference = plan.temporalReference;
    header.vbvDelay = rate.vbvDelay;
    header.structure = plan.structure;
    // Field pictures show just themselves.
    header.display = slot.fieldPicture ? DisplayFlags{false, false, false}
                                       : DisplayFlagsOf(p_, plan.displayIndex);
    std::memcpy(header.fCode, fCode_, sizeof(fCode_));
    WritePictureHeader(out, p_, header);
    if (p_.IsMpeg2()) {
        WritePictureCodingExtension(out, p_, header);
        if (p_.writePictureDisplayExt && !slot.fieldPicture)
            WritePictureDisplayExtension(out, p_, header.display);
    }
    if (p_.embedSvcdUserData && plan.type == kPictureI) WriteSvcdUserData(out);
    Status r = CodeSlices(slot, rate, pool, out);
    if (!r.IsOk()) {
        // The rows never coded are never rebuilt: what waits for them goes
        // once the rows being rebuilt are, so that it reads nothing changing.
        pool.HelpUntil([this] { return Reconstructed(); }, WorkerPool::Help::kUrgentOnly);
        ReleaseBehind(slot, Release::kEverything, pool);
    }
    return r;
}

}  // namespace korvan
