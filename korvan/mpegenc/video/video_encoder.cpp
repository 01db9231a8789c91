#include "korvan/mpegenc/video/video_encoder.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "korvan/mpegenc/video/stream_headers.h"

namespace korvan {
namespace {

constexpr double kWrittenFrameRates[9] = {0,  24000.0 / 1001, 24, 25, 30000.0 / 1001, 30,
                                          50, 60000.0 / 1001, 60};

}  // namespace

VideoEncoder::VideoEncoder() = default;
VideoEncoder::~VideoEncoder() = default;

VideoResult VideoEncoder::Open(const EncoderSettings& settings, int width, int height,
                               int pictureCount, int processorMode, PictureSource& source,
                               ReconstructionSink* sink) {
    VideoResult r = DeriveCodingParameters(settings, width, height, parameters_);
    if (!r.Ok()) return r;
    const VideoKernels& kernels = SelectVideoKernels(
        processorMode,
        parameters_.floatingPointDct ? DctArithmetic::kFloatingPoint : DctArithmetic::kInteger);
    coder_ = std::make_unique<PictureCoder>(parameters_, kernels);
    source_ = &source;
    sink_ = sink;
    plan_ = PlanTransmissionOrder(pictureCount, parameters_.gopSize, parameters_.referenceDistance);
    next_ = 0;
    nextFetch_ = 0;
    out_ = BitWriter();
    statistics_ = {};
    lastSecond_.clear();
    lastSecondBits_ = 0;
    bitRateOffsets_.clear();
    picturesPerSecond_ = std::max(1, static_cast<int>(std::floor(parameters_.frameRate + 0.5)));
    gopOpen_ = false;
    gopPictureBits_.clear();
    heldCount_ = 0;

    const CodingGeometry& g = parameters_.geometry;
    const RateParameters& rate = parameters_.rate;
    tm5_.reset();
    vbv_.reset();
    bounds_.reset();
    if (rate.mode == RateMode::kConstantBitrate) {
        tm5_ =
            std::make_unique<Tm5RateControl>(rate, parameters_.frameRate, g.mbWidth * g.mbHeight);
        vbv_ = std::make_unique<VbvModel>(rate.bitRate, parameters_.vbvBufferSize,
                                          parameters_.frameRate);
    } else if (rate.mode == RateMode::kBoundedVariable) {
        bounds_ = std::make_unique<GopRateBounds>(rate, parameters_.gopSize, parameters_.frameRate,
                                                  picturesPerSecond_);
    }

    if (!newer_.frame.Allocate(g))
        return Failure(kVideoNoMemory, "Cannot allocate memory for new ref frame.");
    if (!older_.frame.Allocate(g))
        return Failure(kVideoNoMemory, "Cannot allocate memory for old ref frame.");
    if (!bidirectional_.Allocate(g))
        return Failure(kVideoNoMemory, "Cannot allocate memory for aux frame.");
    if (!newer_.source.Allocate(g) || !older_.source.Allocate(g) ||
        !currentSubsampled_.Allocate(g)) {
        return Failure(kVideoNoMemory, "Cannot allocate memory for subsample images.");
    }
    if (bounds_ && (!restore_.newer.frame.Allocate(g) || !restore_.older.frame.Allocate(g))) {
        return Failure(kVideoNoMemory, "Cannot allocate memory for new ref frame.");
    }
    // The B pictures between two references and the later reference wait
    // in the buffer until they are coded; a GOP that may be coded again
    // keeps all of its pictures.
    const int slots = parameters_.referenceDistance + 1 + (bounds_ ? parameters_.gopSize : 0);
    sources_.assign(slots, {});
    for (BufferedSource& s : sources_) {
        if (!s.frame.Allocate(g)) {
            return Failure(kVideoNoMemory, "Could not allocate memory for picture buffers.");
        }
    }
    if (!coder_->Allocate()) return Failure(kVideoNoMemory, "Cannot allocate memory for mb info.");
    newer_.displayIndex = older_.displayIndex = -1;
    return {};
}

VideoEncoder::BufferedSource* VideoEncoder::Buffered(int displayIndex) {
    for (BufferedSource& s : sources_) {
        if (s.displayIndex == displayIndex) return &s;
    }
    return nullptr;
}

VideoResult VideoEncoder::FetchThrough(int displayIndex) {
    while (nextFetch_ <= displayIndex) {
        // Pictures are coded at most M places out of display order, so a
        // slot older than every picture still to be coded (from the restore
        // point on, where a GOP may start over) is free.
        const size_t from = gopOpen_ ? restore_.next : next_;
        const size_t to = std::min(
            plan_.size(), from + 2 * static_cast<size_t>(parameters_.referenceDistance) + 2);
        int oldestNeeded = INT_MAX;
        for (size_t i = from; i < to; ++i)
            oldestNeeded = std::min(oldestNeeded, plan_[i].displayIndex);
        BufferedSource* slot = nullptr;
        for (BufferedSource& s : sources_) {
            if (s.displayIndex < oldestNeeded) {
                slot = &s;
                break;
            }
        }
        if (!slot) return Failure(kVideoSourceFailed, "No free picture buffer.");
        const int status = source_->FetchPicture(nextFetch_, slot->frame);
        if (status != 0) {
            return Failure(
                kVideoSourceFailed,
                FormatMessage("Could not get picture %d (status %d).", nextFetch_, status));
        }
        slot->frame.ExtendToMacroblocks(parameters_.geometry);
        slot->displayIndex = nextFetch_++;
    }
    return {};
}

void VideoEncoder::WriteSequenceHeaders() {
    out_.AlignToByte();
    bitRateOffsets_.push_back(out_.BitCount() / 8 + kBitRateByteOffset);
    WriteSequenceHeader(out_, parameters_);
    if (parameters_.IsMpeg2()) {
        WriteSequenceExtension(out_, parameters_);
        if (parameters_.writeSequenceDisplayExt) WriteSequenceDisplayExtension(out_, parameters_);
    }
}

void VideoEncoder::CountPicture(uint64_t bits) {
    VideoStatistics& s = statistics_;
    s.minPictureBits = s.pictures == 0 ? bits : std::min(s.minPictureBits, bits);
    s.maxPictureBits = std::max(s.maxPictureBits, bits);
    ++s.pictures;
    lastSecond_.push_back(bits);
    lastSecondBits_ += bits;
    if (static_cast<int>(lastSecond_.size()) > picturesPerSecond_) {
        lastSecondBits_ -= lastSecond_.front();
        lastSecond_.pop_front();
    }
    s.maxBitsPerSecond = std::max(s.maxBitsPerSecond, lastSecondBits_);
    if (static_cast<int>(lastSecond_.size()) == picturesPerSecond_) {
        s.minBitsPerSecond = s.minBitsPerSecond == 0
                                 ? lastSecondBits_
                                 : std::min(s.minBitsPerSecond, lastSecondBits_);
    }
    if (gopOpen_) gopPictureBits_.push_back(bits);
}

void VideoEncoder::StartConstantBitrateGop() {
    int pPictures = 0;
    int bPictures = 0;
    for (size_t i = next_ + 1; i < plan_.size() && !plan_[i].startsGop; ++i) {
        if (plan_[i].type == kPictureP) ++pPictures;
        if (plan_[i].type == kPictureB) ++bPictures;
    }
    tm5_->StartGop(pPictures, bPictures);
}

void VideoEncoder::Deliver(int displayIndex, const YuvFrame& frame) {
    if (!sink_) return;
    if (!bounds_) {
        sink_->TakePicture(displayIndex, frame);
        return;
    }
    if (heldCount_ == held_.size()) {
        held_.push_back(std::make_unique<HeldPicture>());
        held_.back()->frame.Allocate(parameters_.geometry);
    }
    HeldPicture& h = *held_[heldCount_++];
    CopyFrame(frame, h.frame);
    h.displayIndex = displayIndex;
}

void VideoEncoder::SaveRestorePoint() {
    restore_.position = out_.Save();
    restore_.next = next_;
    CopyFrame(older_.frame, restore_.older.frame);
    CopyFrame(newer_.frame, restore_.newer.frame);
    restore_.older.source = older_.source;
    restore_.newer.source = newer_.source;
    restore_.older.displayIndex = older_.displayIndex;
    restore_.newer.displayIndex = newer_.displayIndex;
    restore_.statistics = statistics_;
    restore_.lastSecond = lastSecond_;
    restore_.lastSecondBits = lastSecondBits_;
    restore_.bitRateOffsets = bitRateOffsets_.size();
    gopPictureBits_.clear();
    heldCount_ = 0;
    gopOpen_ = true;
}

void VideoEncoder::RestoreGop() {
    out_.Restore(restore_.position);
    next_ = restore_.next;
    CopyFrame(restore_.older.frame, older_.frame);
    CopyFrame(restore_.newer.frame, newer_.frame);
    older_.source = restore_.older.source;
    newer_.source = restore_.newer.source;
    older_.displayIndex = restore_.older.displayIndex;
    newer_.displayIndex = restore_.newer.displayIndex;
    const int again = statistics_.gopsCodedAgain + 1;
    statistics_ = restore_.statistics;
    statistics_.gopsCodedAgain = again;
    lastSecond_ = restore_.lastSecond;
    lastSecondBits_ = restore_.lastSecondBits;
    bitRateOffsets_.resize(restore_.bitRateOffsets);
    gopPictureBits_.clear();
    heldCount_ = 0;
}

VideoResult VideoEncoder::SettleGop() {
    if (bounds_->Judge(gopPictureBits_) == GopRateBounds::Verdict::kCodeAgain) {
        RestoreGop();
        return {};
    }
    for (size_t i = 0; i < heldCount_; ++i)
        sink_->TakePicture(held_[i]->displayIndex, held_[i]->frame);
    heldCount_ = 0;
    gopOpen_ = false;
    return {};
}

std::vector<uint8_t> VideoEncoder::TakeOutput() {
    return gopOpen_ ? out_.TakeBytesBefore(restore_.position.bytes) : out_.TakeBytes();
}

VideoResult VideoEncoder::EncodeNextPicture() {
    if (Done()) return Failure(kVideoFinished, "No picture left to code.");
    if (bounds_ && gopOpen_ && (next_ >= plan_.size() || plan_[next_].startsGop)) {
        VideoResult settled = SettleGop();
        if (!settled.Ok() || next_ >= plan_.size()) return settled;
    }
    const PlannedPicture& plan = plan_[next_];
    if (bounds_ && !gopOpen_) SaveRestorePoint();
    VideoResult r = FetchThrough(plan.displayIndex);
    if (!r.Ok()) return r;
    BufferedSource* current = Buffered(plan.displayIndex);

    const uint64_t startBits = out_.BitCount();
    if (plan.startsGop) {
        WriteSequenceHeaders();
        WriteGopHeader(out_,
                       MakeTimeCode(parameters_.firstFramePictures, plan.gopFirstDisplay,
                                    parameters_.frameRate, parameters_.pulldown),
                       plan.closedGop);
        if (tm5_) StartConstantBitrateGop();
    }
    out_.AlignToByte();
    statistics_.headerBits += out_.BitCount() - startBits;

    const PictureTypeChoices& choices = parameters_.Choices(plan.type);
    PictureRate rate;
    rate.fixed = QuantiserOfCode(bounds_ ? bounds_->QuantiserCode() : parameters_.rate.mquantValue,
                                 choices.nonLinearScale);
    const uint64_t pictureStart = out_.BitCount();
    rate.startBits = pictureStart;
    VbvLimits limits;
    if (tm5_) {
        DisplayPeriod period;
        const int writtenCode = std::clamp(parameters_.frameRateCode, 1, 8);
        period.frameRate =
            parameters_.pulldown ? kWrittenFrameRates[writtenCode] : parameters_.frameRate;
        period.progressiveSequence = parameters_.progressiveSequence;
        const DisplayFlags flags = DisplayFlagsOf(parameters_, plan.displayIndex);
        period.topFieldFirst = flags.topFieldFirst;
        period.repeatFirstField = flags.repeatFirstField;
        // vbv_delay counts from the end of the picture start code.
        limits = vbv_->StartPicture(pictureStart + 32, plan.type, DisplayTicks(period));
        limits.maxBits += 32;
        rate.controller = tm5_.get();
        tm5_->StartPicture(plan.type, choices.nonLinearScale, limits.minBits, limits.maxBits);
        if (!parameters_.forceVbvDelay) rate.vbvDelay = limits.vbvDelay;
    }

    currentSubsampled_.Build(current->frame.luma());
    PictureInputs inputs;
    inputs.source = &current->frame;
    inputs.sourceSubsampled = &currentSubsampled_;
    YuvFrame* reconstruction = &bidirectional_;
    if (plan.type == kPictureB) {
        inputs.forwardReference = &older_.frame;
        inputs.forwardSource = &older_.source;
        inputs.backwardReference = &newer_.frame;
        inputs.backwardSource = &newer_.source;
    } else {
        // The reference coded last becomes the forward one; it is shown
        // before the B pictures that follow in the stream.
        std::swap(older_, newer_);
        if (older_.displayIndex >= 0) Deliver(older_.displayIndex, older_.frame);
        inputs.forwardReference = &older_.frame;
        inputs.forwardSource = &older_.source;
        reconstruction = &newer_.frame;
    }

    r = coder_->Code(plan, inputs, rate, out_, *reconstruction);
    if (!r.Ok()) return r;

    if (tm5_) {
        const uint64_t coded = out_.BitCount() - pictureStart;
        uint64_t padding = 0;
        if (coded < static_cast<uint64_t>(limits.minBits)) {
            // Zero bits before the next start code are stuffing a decoder
            // skips; a too small picture would let the buffer overflow.
            const uint64_t words = (static_cast<uint64_t>(limits.minBits) - coded + 31) / 32;
            for (uint64_t i = 0; i < words; ++i) out_.Put(0, 32);
            out_.AlignToByte();
            padding = out_.BitCount() - pictureStart - coded;
        }
        statistics_.paddingBits += padding;
        statistics_.maxPaddingBits = std::max(statistics_.maxPaddingBits, padding);
        tm5_->EndPicture(static_cast<int64_t>(out_.BitCount() - startBits));
        statistics_.vbvOverflows = vbv_->Overflows();
        statistics_.vbvUnderflows = vbv_->Underflows();
    }
    const CodedQuantisers& q = coder_->Quantisers();
    statistics_.minMquant =
        statistics_.pictures == 0 ? q.smallest : std::min(statistics_.minMquant, q.smallest);
    statistics_.maxMquant = std::max(statistics_.maxMquant, q.largest);
    statistics_.mquantSum += q.mean;
    statistics_.fieldDctMacroblocks += q.fieldDct;
    statistics_.fieldMotionMacroblocks += q.fieldMotion;
    statistics_.dualPrimeMacroblocks += q.dualPrime;

    if (plan.type == kPictureB) {
        Deliver(plan.displayIndex, bidirectional_);
    } else {
        newer_.displayIndex = plan.displayIndex;
        newer_.source.Build(current->frame.luma());
    }
    CountPicture(out_.BitCount() - startBits);
    ++next_;
    return {};
}

VideoResult VideoEncoder::Finish() {
    while (!Done()) {
        VideoResult r = EncodeNextPicture();
        if (!r.Ok()) return r;
    }
    if (sink_ && newer_.displayIndex >= 0) sink_->TakePicture(newer_.displayIndex, newer_.frame);
    newer_.displayIndex = -1;
    if (parameters_.writeSequenceEndCode) WriteSequenceEndCode(out_);
    out_.AlignToByte();
    return {};
}

}  // namespace korvan
