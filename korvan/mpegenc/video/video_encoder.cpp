#include "korvan/mpegenc/video/video_encoder.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>
#include <system_error>

#include "korvan/mpegenc/common/format_text.h"
#include "korvan/mpegenc/video/stream_headers.h"

namespace korvan {
namespace {

constexpr double kWrittenFrameRates[9] = {0,  24000.0 / 1001, 24, 25, 30000.0 / 1001, 30,
                                          50, 60000.0 / 1001, 60};

}  // namespace

VideoEncoder::VideoEncoder() = default;
VideoEncoder::~VideoEncoder() = default;

Status VideoEncoder::Open(const EncoderSettings& settings, int width, int height,
                               int pictureCount, CpuFlags kernelFlags, PictureSource& source,
                               ReconstructionSink* sink) {
    workers_.reset();
    jobs_.clear();
    fetched_.clear();
    sourcePictures_.clear();
    firstJob_ = 0;
    Status r = DeriveCodingParameters(settings, width, height, parameters_);
    if (!r.IsOk()) return r;
    // Field pictures search while they are coded; frame pictures may search
    // ahead. Each picture ahead holds a source picture and its vectors (at
    // DVD size about 0.7 MB); the look-ahead is bounded so that memory stays
    // small on any machine: with 16 pictures a DVD encode stays under 64 MB
    // whatever the thread count. Without a thread to spare every task runs
    // here, when it is waited for.
    constexpr int kMostThreads = 32;
    constexpr int kLargestLookAhead = 16;
    lookAhead_ = 1;
    try {
        workers_ = std::make_unique<WorkerPool>(std::min(threads_, kMostThreads) - 1);
        if (threads_ > 1 && !parameters_.fieldPictures)
            lookAhead_ = static_cast<size_t>(std::min(2 * threads_, kLargestLookAhead));
    } catch (const std::system_error&) {
        workers_ = std::make_unique<WorkerPool>(0);
    }
    const VideoKernels& kernels =
        SelectVideoKernels(kernelFlags, parameters_.floatingPointDct ? DctArithmetic::kFloatingPoint
                                                                     : DctArithmetic::kInteger);
    kernels_ = &kernels;
    coder_ = std::make_unique<PictureCoder>(parameters_, kernels);
    searcher_ = std::make_unique<MotionSearcher>(kernels, parameters_.geometry);
    fieldCoder_.reset();
    if (parameters_.fieldPictures) {
        fieldParameters_ = parameters_;
        fieldParameters_.geometry = FieldGeometry(parameters_.geometry);
        fieldCoder_ = std::make_unique<PictureCoder>(fieldParameters_, kernels);
    }
    source_ = &source;
    sink_ = sink;
    plan_ = PlanTransmissionOrder(pictureCount, parameters_.gopSize, parameters_.referenceDistance);
    if (parameters_.fieldPictures) plan_ = SplitIntoFields(plan_, parameters_.topFieldFirst);
    next_ = 0;
    nextFetch_ = 0;
    out_ = BitWriter();
    statistics_ = {};
    lastSecond_.clear();
    lastSecondBits_ = 0;
    bitRateOffsets_.clear();
    // Field pictures come twice as often as frames.
    picturesPerSecond_ = std::max(1, static_cast<int>(std::floor(parameters_.frameRate + 0.5))) *
                         (parameters_.fieldPictures ? 2 : 1);
    gopOpen_ = false;
    lastGopCodedAgain_ = false;
    gopPictureBits_.clear();
    heldCount_ = 0;

    const CodingGeometry& g = parameters_.geometry;
    const RateParameters& rate = parameters_.rate;
    tm5_.reset();
    vbv_.reset();
    bounds_.reset();
    if (rate.mode == RateMode::kConstantBitrate) {
        // Every picture is a frame, or every picture a field.
        const int macroblocks = g.mbWidth * g.mbHeight / (parameters_.fieldPictures ? 2 : 1);
        tm5_ = std::make_unique<Tm5RateControl>(rate, parameters_.frameRate, macroblocks);
        vbv_ = std::make_unique<VbvModel>(rate.bitRate, parameters_.vbvBufferSize,
                                          parameters_.frameRate);
    } else if (rate.mode == RateMode::kBoundedVariable) {
        bounds_ = std::make_unique<GopRateBounds>(rate, parameters_.gopSize, parameters_.frameRate,
                                                  picturesPerSecond_);
    }

    if (!newer_->frame.Allocate(g))
        return Status::Failed(StatusCode::kNoMemory, "Cannot allocate memory for new ref frame.");
    if (!older_->frame.Allocate(g))
        return Status::Failed(StatusCode::kNoMemory, "Cannot allocate memory for old ref frame.");
    if (!bidirectional_.Allocate(g))
        return Status::Failed(StatusCode::kNoMemory, "Cannot allocate memory for aux frame.");
    const CodingGeometry fields = FieldGeometry(g);
    if (!AllocateReference(*newer_) || !AllocateReference(*older_) ||
        !currentFieldSubsampled_[0].Allocate(fields) ||
        !currentFieldSubsampled_[1].Allocate(fields)) {
        return Status::Failed(StatusCode::kNoMemory,
                              "Cannot allocate memory for subsample images.");
    }
    if (bounds_ && (!restore_.newer.frame.Allocate(g) || !restore_.older.frame.Allocate(g) ||
                    !AllocateReference(restore_.newer) || !AllocateReference(restore_.older))) {
        return Status::Failed(StatusCode::kNoMemory, "Cannot allocate memory for new ref frame.");
    }
    // With a worker beside the coding thread, a frame picture's analysis
    // may run while the one before it is written.
    const int framesAtOnce = workers_->Workers() > 0 && !parameters_.fieldPictures ? 2 : 1;
    if (!coder_->Allocate(tm5_ != nullptr, framesAtOnce) ||
        (fieldCoder_ && !fieldCoder_->Allocate(tm5_ != nullptr, 1)))
        return Status::Failed(StatusCode::kNoMemory, "Cannot allocate memory for mb info.");
    newer_->displayIndex = older_->displayIndex = -1;
    return {};
}

bool VideoEncoder::AllocateReference(Reference& reference) {
    const CodingGeometry& g = parameters_.geometry;
    return reference.fieldSources[0].Allocate(FieldGeometry(g)) &&
           reference.fieldSources[1].Allocate(FieldGeometry(g));
}

void VideoEncoder::CopyReference(const Reference& from, Reference& to) {
    CopyFrame(from.frame, to.frame);
    to.fieldSources[0] = from.fieldSources[0];
    to.fieldSources[1] = from.fieldSources[1];
    to.displayIndex = from.displayIndex;
}

std::shared_ptr<SourcePicture> VideoEncoder::FreeSourcePicture() {
    for (const std::shared_ptr<SourcePicture>& picture : sourcePictures_) {
        if (picture.use_count() == 1) return picture;
    }
    const CodingGeometry& g = parameters_.geometry;
    std::shared_ptr<SourcePicture> picture;
    try {
        picture = std::make_shared<SourcePicture>();
        if (!picture->frame.Allocate(g) ||
            (!parameters_.fieldPictures && !picture->reduced.Allocate(g))) {
            return nullptr;
        }
        sourcePictures_.push_back(picture);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return picture;
}

Status VideoEncoder::FetchThrough(int displayIndex) {
    while (nextFetch_ <= displayIndex) {
        const CodingGeometry& g = parameters_.geometry;
        std::shared_ptr<SourcePicture> picture = FreeSourcePicture();
        if (!picture)
            return Status::Failed(StatusCode::kNoMemory,
                                  "Could not allocate memory for picture buffers.");
        const int status = source_->FetchPicture(nextFetch_, picture->frame);
        if (status == PictureSource::kEndsHere) return EndSequenceBefore(nextFetch_);
        if (status != 0) {
            return Status::Failed(
                StatusCode::kSourceFailed,
                FormatText("Could not get picture %d (status %d).", nextFetch_, status));
        }
        picture->frame.ExtendToMacroblocks(g);
        if (!parameters_.fieldPictures) {
            picture->reduced.Build(picture->frame.luma(), *kernels_,
                                   parameters_.progressiveSequence
                                       ? SubsampledPicture::Lines::kFrame
                                       : SubsampledPicture::Lines::kPerField);
        }
        picture->displayIndex = nextFetch_;
        fetched_[nextFetch_++] = std::move(picture);
    }
    return {};
}

Status VideoEncoder::PrepareJobs() {
    // A GOP that may be coded again keeps its jobs, searches included: the
    // vectors do not depend on the quantiser.
    const size_t keepFrom = gopOpen_ ? restore_.next : next_;
    while (!jobs_.empty() && firstJob_ < keepFrom) {
        AwaitSearch(firstJob_);
        jobs_.pop_front();
        ++firstJob_;
    }
    if (jobs_.empty()) firstJob_ = keepFrom;
    // The end is taken again after every fetch: a source that ends sooner
    // shortens the plan.
    for (;;) {
        const size_t index = firstJob_ + jobs_.size();
        if (index >= std::min(plan_.size(), next_ + lookAhead_)) break;
        Status r = FetchThrough(plan_[index].displayIndex);
        if (!r.IsOk()) return r;
        if (index >= plan_.size()) break;
        const PlannedPicture& plan = plan_[index];
        auto job = std::make_unique<PictureJob>();
        job->current = fetched_.at(plan.displayIndex);
        job->searchNeeded = plan.structure == 3 && plan.type != kPictureI;
        if (job->searchNeeded) {
            if (!job->motion.Allocate(parameters_.geometry))
                return Status::Failed(StatusCode::kNoMemory, "Cannot allocate memory for mb info.");
            job->references[0] = fetched_.at(plan.displayIndex - plan.forwardDistance);
            if (plan.type == kPictureB)
                job->references[1] = fetched_.at(plan.displayIndex + plan.backwardDistance);
        }
        jobs_.push_back(std::move(job));
        if (jobs_.back()->searchNeeded) {
            PictureJob* j = jobs_.back().get();
            workers_->Submit(WorkerPool::Priority::kBackground, [this, j, index] {
                const SourcePicture* references[2] = {j->references[0].get(),
                                                      j->references[1].get()};
                j->motion.Search(*searcher_, parameters_, plan_[index], *j->current, references);
                j->searched.store(true, std::memory_order_release);
            });
        }
        // Pictures are coded at most M places out of display order and
        // predicted from at most M pictures back, so a source older than
        // every picture the next few plan entries show or predict from is no
        // longer needed.
        const size_t perFrame = parameters_.fieldPictures ? 2 : 1;
        const size_t to = std::min(
            plan_.size(),
            index + 1 + perFrame * (2 * static_cast<size_t>(parameters_.referenceDistance) + 2));
        int oldestNeeded = INT_MAX;
        for (size_t i = index + 1; i < to; ++i) {
            oldestNeeded = std::min(oldestNeeded, plan_[i].displayIndex - plan_[i].forwardDistance);
        }
        fetched_.erase(fetched_.begin(), fetched_.lower_bound(oldestNeeded));
    }
    return {};
}

void VideoEncoder::AwaitSearch(size_t planIndex) {
    PictureJob& job = JobAt(planIndex);
    if (!job.searchNeeded) return;
    workers_->HelpUntil([&job] { return job.searched.load(std::memory_order_acquire); },
                        WorkerPool::Help::kAny);
}

PictureInputs VideoEncoder::FrameInputs(const PlannedPicture& plan, const PictureJob& job,
                                        const Reference& forward, const Reference& backward) {
    PictureInputs inputs;
    inputs.source = &job.current->frame;
    inputs.sourceSubsampled = &job.current->reduced;
    inputs.forwardReference = &forward.frame;
    if (plan.type == kPictureB) inputs.backwardReference = &backward.frame;
    if (job.searchNeeded) inputs.motion = &job.motion;
    return inputs;
}

PictureRate VideoEncoder::AnalysisRate(const PlannedPicture& plan) const {
    PictureRate rate;
    rate.fixed = QuantiserOfCode(bounds_ ? bounds_->QuantiserCode() : parameters_.rate.mquantValue,
                                 parameters_.Choices(plan.type).nonLinearScale);
    rate.controller = tm5_.get();
    // A GOP that will be coded again only needs its size: the exact size,
    // from which the next quantiser follows, but not its codes.
    if (gopDoomed_) rate.keeping = CodeKeeping::kSizesOnly;
    return rate;
}

void VideoEncoder::AnalyseNextAhead(const PlannedPicture& plan) {
    const size_t ahead = next_ + 1;
    if (!coder_->AnalysesAhead() || ahead >= firstJob_ + jobs_.size()) return;
    const PlannedPicture& next = plan_[ahead];
    // Nothing it reads may be still to come: not the quantiser of a GOP
    // that follows the verdict on this one, not its search; and the rows of
    // this picture's reconstruction it predicts from wait for their turn.
    if (next.structure != 3 || (bounds_ && next.startsGop)) return;
    const PictureJob& job = JobAt(ahead);
    if (job.searchNeeded && !job.searched.load(std::memory_order_acquire)) return;
    // A P picture makes the newer reference the forward one.
    const Reference& forward = next.type == kPictureP ? *newer_ : *older_;
    const PictureInputs inputs = FrameInputs(next, job, forward, *newer_);
    if (next.type == kPictureI || plan.frameType == kPictureB) {
        coder_->Analyse(ahead, next, inputs, AnalysisRate(next), *workers_);
    } else {
        coder_->AnalyseBehind(ahead, next_, next, inputs, AnalysisRate(next), *workers_);
    }
}

void VideoEncoder::AwaitReconstruction() {
    workers_->HelpUntil(
        [this] {
            return coder_->Reconstructed() && (!fieldCoder_ || fieldCoder_->Reconstructed());
        },
        WorkerPool::Help::kUrgentOnly);
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
    int frames = 1;
    for (size_t i = next_ + 1; i < plan_.size() && !plan_[i].startsGop; ++i) {
        if (plan_[i].type == kPictureP) ++pPictures;
        if (plan_[i].type == kPictureB) ++bPictures;
        if (!plan_[i].secondField) ++frames;
    }
    tm5_->StartGop(pPictures, bPictures, frames);
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
    CopyReference(*older_, restore_.older);
    CopyReference(*newer_, restore_.newer);
    restore_.statistics = statistics_;
    restore_.lastSecond = lastSecond_;
    restore_.lastSecondBits = lastSecondBits_;
    restore_.bitRateOffsets = bitRateOffsets_.size();
    gopPictureBits_.clear();
    heldCount_ = 0;
    gopOpen_ = true;
    // After a GOP that had to be coded again the next one most likely has
    // to as well: its first coding is then only measured. Should it pass,
    // it is coded once more the same way, for its codes. A short last GOP
    // is measured against the bounds of a whole one, so it usually passes.
    size_t pictures = 1;
    while (next_ + pictures < plan_.size() && !plan_[next_ + pictures].startsGop) ++pictures;
    const size_t whole =
        static_cast<size_t>(parameters_.gopSize) * (parameters_.fieldPictures ? 2 : 1);
    gopDoomed_ = lastGopCodedAgain_ && pictures >= whole;
    gopCodedAgain_ = false;
}

void VideoEncoder::RestoreGop(Recoding recoding) {
    out_.Restore(restore_.position);
    next_ = restore_.next;
    CopyReference(restore_.older, *older_);
    CopyReference(restore_.newer, *newer_);
    VideoStatistics counts = statistics_;
    (recoding == Recoding::kNewQuantiser ? counts.gopsCodedAgain : counts.gopsCodedForTheirCodes)++;
    statistics_ = restore_.statistics;
    statistics_.gopsCodedAgain = counts.gopsCodedAgain;
    statistics_.gopsCodedForTheirCodes = counts.gopsCodedForTheirCodes;
    lastSecond_ = restore_.lastSecond;
    lastSecondBits_ = restore_.lastSecondBits;
    bitRateOffsets_.resize(restore_.bitRateOffsets);
    gopPictureBits_.clear();
    heldCount_ = 0;
    gopDoomed_ = false;
}

Status VideoEncoder::SettleGop() {
    if (gopDoomed_ && bounds_->Foresee(gopPictureBits_) == GopRateBounds::Verdict::kAccept) {
        // Only measured, and good as it is: the same coding again, with its
        // codes; its sizes come out the same, and so does the verdict.
        RestoreGop(Recoding::kForTheCodes);
        return {};
    }
    if (bounds_->Judge(gopPictureBits_) == GopRateBounds::Verdict::kCodeAgain) {
        gopCodedAgain_ = true;
        RestoreGop(Recoding::kNewQuantiser);
        return {};
    }
    lastGopCodedAgain_ = gopCodedAgain_;
    for (size_t i = 0; i < heldCount_; ++i)
        sink_->TakePicture(held_[i]->displayIndex, held_[i]->frame);
    heldCount_ = 0;
    gopOpen_ = false;
    return {};
}

std::vector<uint8_t> VideoEncoder::TakeOutput() {
    return gopOpen_ ? out_.TakeBytesBefore(restore_.position.bytes) : out_.TakeBytes();
}

Status VideoEncoder::EncodeNextPicture() {
    if (Done()) return Status::Failed(StatusCode::kFinished, "No picture left to code.");
    // The picture coded last may still be being rebuilt: it may be a
    // reference of this one, its buffers are reused, and a GOP coded again
    // starts from copies of the references.
    AwaitReconstruction();
    if (bounds_ && gopOpen_ && (next_ >= plan_.size() || plan_[next_].startsGop)) {
        Status settled = SettleGop();
        if (!settled.IsOk() || next_ >= plan_.size()) return settled;
    }
    Status r = PrepareJobs();
    if (!r.IsOk()) return r;
    // A source that ended sooner may have left no picture to code.
    if (next_ >= plan_.size()) return {};
    const PlannedPicture& plan = plan_[next_];
    if (bounds_ && !gopOpen_) SaveRestorePoint();
    AwaitSearch(next_);
    const PictureJob& job = JobAt(next_);
    const SourcePicture* current = job.current.get();

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
    PictureRate rate = AnalysisRate(plan);
    const uint64_t pictureStart = out_.BitCount();
    rate.startBits = pictureStart;
    VbvLimits limits;
    if (tm5_) {
        DisplayPeriod period;
        const int writtenCode = std::clamp(parameters_.frameRateCode, 1, 8);
        period.frameRate =
            parameters_.pulldown ? kWrittenFrameRates[writtenCode] : parameters_.frameRate;
        period.progressiveSequence = parameters_.progressiveSequence;
        period.fieldPicture = plan.structure != 3;
        const DisplayFlags flags = DisplayFlagsOf(parameters_, plan.displayIndex);
        period.topFieldFirst = flags.topFieldFirst;
        period.repeatFirstField = flags.repeatFirstField;
        // vbv_delay counts from the end of the picture start code.
        limits = vbv_->StartPicture(pictureStart + 32, plan.type, DisplayTicks(period));
        limits.maxBits += 32;
        tm5_->StartPicture(plan.type, choices.nonLinearScale, limits.minBits, limits.maxBits);
        if (!parameters_.forceVbvDelay) rate.vbvDelay = limits.vbvDelay;
    }

    // The reference coded last becomes the forward one when the next I or
    // P frame starts; it is shown before the B pictures that follow it in
    // the stream.
    if (plan.frameType != kPictureB && !plan.secondField) {
        std::swap(older_, newer_);
        if (older_->displayIndex >= 0) Deliver(older_->displayIndex, older_->frame);
    }
    YuvFrame& target = plan.frameType == kPictureB ? bidirectional_ : newer_->frame;
    // Only the sink looks at a B picture's reconstruction, and not at one
    // of a GOP that will be coded again.
    const bool reconstruct = plan.frameType != kPictureB || (sink_ && !gopDoomed_);
    PictureCoder& coder = plan.structure == 3 ? *coder_ : *fieldCoder_;
    if (plan.structure == 3) {
        // Already under way when it was analysed ahead.
        coder.Analyse(next_, plan, FrameInputs(plan, job, *older_, *newer_), rate, *workers_);
        coder.AwaitAnalysis(next_, *workers_);
        AnalyseNextAhead(plan);
        r = coder.Write(next_, rate, *workers_, out_, reconstruct ? &target : nullptr);
    } else {
        const int parity = plan.structure == 2 ? 1 : 0;
        const YuvFrame sourceField = YuvFrame::FieldOf(current->frame, parity);
        YuvFrame targetField = YuvFrame::FieldOf(target, parity);
        currentFieldSubsampled_[parity].Build(sourceField.luma(), *kernels_);
        // Views of the reference fields; they live through this picture.
        YuvFrame views[2][2];
        PictureInputs inputs;
        inputs.source = &sourceField;
        inputs.sourceSubsampled = &currentFieldSubsampled_[parity];
        const auto offer = [&](int direction, int select, const YuvFrame& frame,
                               const SubsampledPicture& reduced) {
            views[direction][select] = YuvFrame::FieldOf(frame, select);
            inputs.fields[direction][select] = &views[direction][select];
            inputs.fieldSources[direction][select] = &reduced;
        };
        if (plan.type == kPictureB) {
            for (int select = 0; select < 2; ++select) {
                offer(0, select, older_->frame, older_->fieldSources[select]);
                offer(1, select, newer_->frame, newer_->fieldSources[select]);
            }
        } else if (plan.type == kPictureP && plan.secondField) {
            // The first field of this frame, and the field of this parity of
            // the previous reference frame (an I frame has none to offer).
            offer(0, 1 - parity, target, currentFieldSubsampled_[1 - parity]);
            if (plan.frameType == kPictureP)
                offer(0, parity, older_->frame, older_->fieldSources[parity]);
        } else if (plan.type == kPictureP) {
            for (int select = 0; select < 2; ++select)
                offer(0, select, older_->frame, older_->fieldSources[select]);
        }
        coder.Analyse(next_, plan, inputs, rate, *workers_);
        r = coder.Write(next_, rate, *workers_, out_, reconstruct ? &targetField : nullptr);
    }
    if (!r.IsOk()) return r;

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
    const CodedQuantisers& q = coder.Quantisers();
    statistics_.minMquant =
        statistics_.pictures == 0 ? q.smallest : std::min(statistics_.minMquant, q.smallest);
    statistics_.maxMquant = std::max(statistics_.maxMquant, q.largest);
    statistics_.mquantSum += q.mean;
    statistics_.fieldDctMacroblocks += q.fieldDct;
    statistics_.fieldMotionMacroblocks += q.fieldMotion;
    statistics_.dualPrimeMacroblocks += q.dualPrime;

    const bool frameDone = plan.structure == 3 || plan.secondField;
    if (frameDone && plan.frameType == kPictureB) {
        if (sink_ && !gopDoomed_) {
            AwaitReconstruction();
            Deliver(plan.displayIndex, bidirectional_);
        }
    } else if (frameDone) {
        newer_->displayIndex = plan.displayIndex;
        if (plan.structure != 3) {
            // The reduced fields were made for this picture's own search.
            newer_->fieldSources[0] = currentFieldSubsampled_[0];
            newer_->fieldSources[1] = currentFieldSubsampled_[1];
        }
    }
    CountPicture(out_.BitCount() - startBits);
    if (gopOpen_ && !gopDoomed_) gopDoomed_ = bounds_->CodedAgainWhatever(gopPictureBits_);
    ++next_;
    return {};
}

Status VideoEncoder::EndSequenceBefore(int pictureCount) {
    if (pictureCount < 1)
        return Status::Failed(StatusCode::kSourceFailed, "The source has no picture.");
    std::vector<PlannedPicture> shorter =
        PlanTransmissionOrder(pictureCount, parameters_.gopSize, parameters_.referenceDistance);
    if (parameters_.fieldPictures) shorter = SplitIntoFields(shorter, parameters_.topFieldFirst);
    // The plan of a shorter sequence is the longer one's up to the group of
    // pictures that held the cut. Every picture coded or prepared already
    // was fetched, so lies before the cut, and keeps its place.
    const size_t kept = firstJob_ + jobs_.size();
    const auto samePlace = [](const PlannedPicture& a, const PlannedPicture& b) {
        return a.displayIndex == b.displayIndex && a.type == b.type &&
               a.temporalReference == b.temporalReference && a.startsGop == b.startsGop &&
               a.structure == b.structure && a.forwardDistance == b.forwardDistance &&
               a.backwardDistance == b.backwardDistance;
    };
    if (shorter.size() < kept ||
        !std::equal(plan_.begin(), plan_.begin() + static_cast<std::ptrdiff_t>(kept),
                    shorter.begin(), samePlace)) {
        return Status::Failed(StatusCode::kSourceFailed,
                              "The sequence could not end where the source did.");
    }
    // The workers read the plan: none may search while it changes.
    for (size_t index = firstJob_; index < kept; ++index) AwaitSearch(index);
    plan_ = std::move(shorter);
    return {};
}

Status VideoEncoder::Finish() {
    while (!Done()) {
        Status r = EncodeNextPicture();
        if (!r.IsOk()) return r;
    }
    AwaitReconstruction();
    if (sink_ && newer_->displayIndex >= 0) sink_->TakePicture(newer_->displayIndex, newer_->frame);
    newer_->displayIndex = -1;
    if (parameters_.writeSequenceEndCode) WriteSequenceEndCode(out_);
    out_.AlignToByte();
    return {};
}

}  // namespace korvan
