// The video encoder: turns pictures, fetched in display order, into an
// MPEG-1 or MPEG-2 video elementary stream coded in transmission order.
//
//   VideoEncoder encoder;
//   encoder.SetThreadCount(threads);  // every core unless told
//   encoder.Open(settings, width, height, count, mode, source, &sink);
//   while (!encoder.Done()) { encoder.EncodeNextPicture(); write(encoder.TakeOutput()); }
//   encoder.Finish(); write(encoder.TakeOutput());
//
// In the bounded variable mode a GOP may be coded again, so its pictures
// reach the output and the reconstruction sink only once it is accepted.
//
// With more than one thread, the motion search of the frame pictures after
// the one being coded runs on worker threads, a few pictures ahead, and the
// macroblock rows of the picture being coded are decided, transformed and
// reconstructed on them too (see PictureCoder); the next frame picture is
// decided while this one is written when it reads nothing this one still
// has to make. The search reads source pictures only and every row's work
// is its own, so the stream is the same for every thread count.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "korvan/base/status.h"
#include "korvan/mpegenc/common/bit_writer.h"
#include "korvan/mpegenc/common/cpu_flags.h"
#include "korvan/mpegenc/common/worker_pool.h"
#include "korvan/mpegenc/settings/encoder_settings.h"
#include "korvan/mpegenc/video/coding_parameters.h"
#include "korvan/mpegenc/video/gop_plan.h"
#include "korvan/mpegenc/video/gop_rate_bounds.h"
#include "korvan/mpegenc/video/motion_field.h"
#include "korvan/mpegenc/video/picture_coder.h"
#include "korvan/mpegenc/video/rate_control.h"
#include "korvan/mpegenc/video/vbv_model.h"

namespace korvan {

// Supplies source pictures. Called with display indices 0, 1, 2, ... in
// turn, each once; it fills the picture area of `frame` (the encoder extends
// it to whole macroblocks) and returns 0, or a non-zero status to stop.
// kEndsHere ends the sequence sooner than planned, with the picture before
// this one (an output that reached its size or duration limit).
class PictureSource {
public:
    static constexpr int kEndsHere = -1000;

    virtual ~PictureSource() = default;
    virtual int FetchPicture(int displayIndex, YuvFrame& frame) = 0;
};

// Receives the encoder's reconstruction of every picture in display order.
class ReconstructionSink {
public:
    virtual ~ReconstructionSink() = default;
    virtual void TakePicture(int displayIndex, const YuvFrame& frame) = 0;
};

struct VideoStatistics {
    uint64_t headerBits = 0;
    uint64_t minPictureBits = 0;
    uint64_t maxPictureBits = 0;
    // Fewest and most bits in any run of pictures lasting one second (the
    // nominal picture rate rounded to whole pictures).
    uint64_t minBitsPerSecond = 0;
    uint64_t maxBitsPerSecond = 0;
    uint64_t paddingBits = 0;
    uint64_t maxPaddingBits = 0;  // in one picture
    int minMquant = 0;
    int maxMquant = 0;
    double mquantSum = 0;  // of the pictures' mean mquant
    int pictures = 0;
    // VBV violations the constant-bitrate model saw (none are written).
    int vbvOverflows = 0;
    int vbvUnderflows = 0;
    int gopsCodedAgain = 0;
    // GOPs only measured, as the one before had to be coded again, that
    // passed and were coded once more, the same way, for their codes.
    int gopsCodedForTheirCodes = 0;
    // Macroblocks coded with the interlaced tools.
    int fieldDctMacroblocks = 0;
    int fieldMotionMacroblocks = 0;
    int dualPrimeMacroblocks = 0;

    double MeanMquant() const { return pictures ? mquantSum / pictures : 0; }
};

class VideoEncoder {
public:
    VideoEncoder();
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // Threads for the next Open (1: everything on the calling thread).
    void SetThreadCount(int threads) { threads_ = std::max(1, threads); }

    Status Open(const EncoderSettings& settings, int width, int height, int pictureCount,
                     CpuFlags kernelFlags, PictureSource& source, ReconstructionSink* sink);

    bool Done() const { return next_ >= plan_.size() && !gopOpen_; }
    // Codes the next picture in transmission order (in the bounded variable
    // mode after settling the GOP that ends before it, or the last one).
    Status EncodeNextPicture();
    // Ends the sequence (sequence_end_code when configured) and hands the
    // last reference to the reconstruction sink.
    Status Finish();

    // The stream bytes that are final (all of them after Finish).
    std::vector<uint8_t> TakeOutput();
    const CodingParameters& Parameters() const { return parameters_; }
    const VideoStatistics& Statistics() const { return statistics_; }
    // Bits of the stream so far, including a GOP that may still be coded again.
    uint64_t BitsCoded() const { return out_.BitCount(); }
    // Byte position of the bit_rate_value field of every sequence header.
    const std::vector<uint64_t>& BitRateFieldOffsets() const { return bitRateOffsets_; }
    // The f-codes of the picture coded last.
    const int (&LastFCodes() const)[2][2] { return coder_->FCodes(); }

private:
    struct Reference {
        YuvFrame frame;
        SubsampledPicture fieldSources[2];  // field pictures: the source's reduced fields
        int displayIndex = -1;
    };
    // A picture of the plan with its source and, for P and B frame
    // pictures, the source pictures its search reads and the vectors found.
    struct PictureJob {
        std::shared_ptr<SourcePicture> current;
        std::shared_ptr<SourcePicture> references[2];
        MotionField motion;
        bool searchNeeded = false;
        std::atomic<bool> searched{false};  // set by the task that searched
    };
    struct HeldPicture {
        YuvFrame frame;
        int displayIndex = -1;
    };
    // Where a GOP that is coded again starts over.
    struct RestorePoint {
        BitWriter::Position position;
        size_t next = 0;
        Reference older;
        Reference newer;
        VideoStatistics statistics;
        std::deque<uint64_t> lastSecond;
        uint64_t lastSecondBits = 0;
        size_t bitRateOffsets = 0;
    };

    Status FetchThrough(int displayIndex);
    // A source picture no one holds any more, or a new one; null when the
    // memory cannot be had.
    std::shared_ptr<SourcePicture> FreeSourcePicture();
    // The source ended before picture `pictureCount`: the plan from there on
    // is made again for a sequence of that many pictures.
    Status EndSequenceBefore(int pictureCount);
    // Jobs for the pictures from next_ on, as far as the look-ahead goes;
    // the searches go to the workers.
    Status PrepareJobs();
    PictureJob& JobAt(size_t planIndex) { return *jobs_[planIndex - firstJob_]; }
    void AwaitSearch(size_t planIndex);
    // What a frame picture's analysis reads.
    static PictureInputs FrameInputs(const PlannedPicture& plan, const PictureJob& job,
                                     const Reference& forward, const Reference& backward);
    // The fixed quantiser and the code keeping of `plan`'s picture, as its
    // analysis needs them.
    PictureRate AnalysisRate(const PlannedPicture& plan) const;
    // Starts the analysis of the picture after `plan`'s, which is being
    // coded, when nothing it reads is still to come.
    void AnalyseNextAhead(const PlannedPicture& plan);
    // Waits for the reconstruction of the picture coded last.
    void AwaitReconstruction();
    void WriteSequenceHeaders();
    void CountPicture(uint64_t bits);
    void StartConstantBitrateGop();
    static void CopyReference(const Reference& from, Reference& to);
    bool AllocateReference(Reference& reference);
    void Deliver(int displayIndex, const YuvFrame& frame);
    void SaveRestorePoint();
    // kNewQuantiser: the GOP missed its bounds; kForTheCodes: it was only
    // measured and passed.
    enum class Recoding { kNewQuantiser, kForTheCodes };
    void RestoreGop(Recoding recoding);
    Status SettleGop();

    CodingParameters parameters_;
    const VideoKernels* kernels_ = nullptr;
    std::unique_ptr<PictureCoder> coder_;
    // Field pictures: the parameters with the geometry of one field, and
    // the coder that works on field views of the frames.
    CodingParameters fieldParameters_;
    std::unique_ptr<PictureCoder> fieldCoder_;
    SubsampledPicture currentFieldSubsampled_[2];
    PictureSource* source_ = nullptr;
    ReconstructionSink* sink_ = nullptr;
    std::vector<PlannedPicture> plan_;
    size_t next_ = 0;
    int nextFetch_ = 0;
    BitWriter out_;

    // Source pictures fetched and still needed, by display index.
    std::map<int, std::shared_ptr<SourcePicture>> fetched_;
    // Every source picture allocated: one only this list holds is free for
    // the next fetch, so a long encode touches no new memory per picture.
    // Only the coding thread copies or drops these pointers.
    std::vector<std::shared_ptr<SourcePicture>> sourcePictures_;
    std::unique_ptr<MotionSearcher> searcher_;  // the frame pictures' search, shared by the workers
    std::deque<std::unique_ptr<PictureJob>> jobs_;
    size_t firstJob_ = 0;  // the plan index of jobs_.front()
    int threads_ = DefaultThreadCount();
    size_t lookAhead_ = 1;  // pictures whose jobs exist ahead of the one coded
    // The two references; the analysis of a picture ahead holds pointers
    // to them, so they change roles by pointer, never by content.
    Reference references_[2];
    Reference* older_ = &references_[0];  // the forward reference
    Reference* newer_ = &references_[1];  // the backward reference, the picture coded last
    YuvFrame bidirectional_;

    VideoStatistics statistics_;
    std::deque<uint64_t> lastSecond_;
    uint64_t lastSecondBits_ = 0;
    int picturesPerSecond_ = 25;
    std::vector<uint64_t> bitRateOffsets_;

    std::unique_ptr<Tm5RateControl> tm5_;
    std::unique_ptr<VbvModel> vbv_;
    std::unique_ptr<GopRateBounds> bounds_;
    RestorePoint restore_;
    bool gopOpen_ = false;  // bounded mode: a GOP awaits its verdict
    // Its pictures are only measured: it will be coded again whatever its
    // other pictures cost, or it is expected to be.
    bool gopDoomed_ = false;
    bool gopCodedAgain_ = false;                      // it missed its bounds once already
    bool lastGopCodedAgain_ = false;                  // the GOP accepted last had missed them
    std::vector<uint64_t> gopPictureBits_;            // its pictures' sizes
    std::vector<std::unique_ptr<HeldPicture>> held_;  // its reconstructions
    size_t heldCount_ = 0;

    // Last, so that its threads stop before the jobs they work on go.
    std::unique_ptr<WorkerPool> workers_;
};

}  // namespace korvan
