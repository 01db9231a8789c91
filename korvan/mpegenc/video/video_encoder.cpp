#include "korvan/mpegenc/video/video_encoder.h"

#include <algorithm>
#include <cmath>

#include "korvan/mpegenc/video/stream_headers.h"

namespace korvan {

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

    const CodingGeometry& g = parameters_.geometry;
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
    // The B pictures between two references and the later reference wait
    // in the buffer until they are coded.
    sources_.assign(parameters_.referenceDistance + 1, {});
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
        // slot older than every picture still to be coded is free.
        const int oldestNeeded = static_cast<int>(
            std::min_element(plan_.begin() + static_cast<ptrdiff_t>(next_), plan_.end(),
                             [](const PlannedPicture& a, const PlannedPicture& b) {
                                 return a.displayIndex < b.displayIndex;
                             })
                ->displayIndex);
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
}

VideoResult VideoEncoder::EncodeNextPicture() {
    if (Done()) return Failure(kVideoFinished, "No picture left to code.");
    const PlannedPicture& plan = plan_[next_];
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
    }
    statistics_.headerBits += out_.BitCount() - startBits;

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
        if (sink_ && older_.displayIndex >= 0)
            sink_->TakePicture(older_.displayIndex, older_.frame);
        inputs.forwardReference = &older_.frame;
        inputs.forwardSource = &older_.source;
        reconstruction = &newer_.frame;
    }

    r = coder_->Code(plan, inputs, out_, *reconstruction);
    if (!r.Ok()) return r;

    if (plan.type == kPictureB) {
        if (sink_) sink_->TakePicture(plan.displayIndex, bidirectional_);
    } else {
        newer_.displayIndex = plan.displayIndex;
        newer_.source.Build(current->frame.luma());
    }
    CountPicture(out_.BitCount() - startBits);
    current->displayIndex = -1;
    ++next_;
    return {};
}

VideoResult VideoEncoder::Finish() {
    if (sink_ && newer_.displayIndex >= 0) sink_->TakePicture(newer_.displayIndex, newer_.frame);
    newer_.displayIndex = -1;
    if (parameters_.writeSequenceEndCode) WriteSequenceEndCode(out_);
    out_.AlignToByte();
    return {};
}

}  // namespace korvan
