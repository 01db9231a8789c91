#include "korvan/mpegenc/mux/multiplexer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>
#include <memory>

#include "korvan/mpegenc/common/bit_writer.h"
#include "korvan/mpegenc/common/format_text.h"
#include "korvan/mpegenc/mux/es_file.h"
#include "korvan/mpegenc/mux/mux_plan.h"
#include "korvan/mpegenc/mux/mux_stream.h"
#include "korvan/mpegenc/mux/pack_syntax.h"
#include "korvan/mpegenc/mux/program_file.h"
#include "korvan/mpegenc/mux/svcd_scan_offsets.h"
#include "platform/unique_fd.h"

namespace korvan::mux {

namespace {

constexpr double kTicksPerMs = kTicksPerSecond / 1000;
// Audio goes ahead of video once its next frame is due this soon.
constexpr double kAudioDueTicks = 0.1 * kTicksPerSecond;
// A clock jump of the variable-rate mode leaves at least this much time
// before the next video and audio units are due.
constexpr double kVideoLeadTicks = 0.5 * kTicksPerSecond;
constexpr double kAudioLeadTicks = 0.1 * kTicksPerSecond;
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr uint64_t kBytesPerMiB = 1048576;
// The fourth pack of a VideoCD stream carries audio.
constexpr uint64_t kVcdAudioPack = 3;
constexpr size_t kVcdAudioPaddingZeros = 20;
constexpr size_t kLargestStuffing = 6;
constexpr uint32_t kLargestMuxRate = (1u << 22) - 1;

const char kVideoUnitsName[] = "tmp_v";
const char kAudioUnitsName[] = "tmp_a";
const char kSecondAudioUnitsName[] = "tmpa1";
const char kScanPacksName[] = "tmp_s";

const char* AudioOpenMessage(int stream) {
    return stream == 0 ? "Unable to open audio file %s."
                       : "Unable to open secondary audio file %s.";
}

// Removes the temporary files however the multiplex ends.
class TemporaryFiles {
public:
    ~TemporaryFiles() {
        for (const std::string& path : paths_) ::unlink(path.c_str());
    }
    void Add(std::string path) { paths_.push_back(std::move(path)); }

private:
    std::vector<std::string> paths_;
};

struct Candidate {
    MuxStream* stream = nullptr;
    int index = 0;
    PacketPlan plan;
    bool canSend = false;
};

class Multiplexer {
public:
    Multiplexer(const EncoderSettings& settings, const MuxRequest& request, MuxHost& host)
        : settings_(settings), request_(request), host_(host), progress_(host) {}

    MuxReport Run();

private:
    StepResult CheckInput(const std::string& path, const char* openMessage);
    StepResult ScanStreams();
    StepResult SetUp();
    StepResult CreateStreams();
    StepResult PlaceStartAndStop();
    void ComputeDelays();
    StepResult WriteAll();

    StepResult OpenFile(const std::string& path);
    StepResult StartNextFile();
    StepResult EndFile(bool last);
    bool FileDone();
    bool AllDone() const;
    StepResult ArmSplit();
    StepResult WriteNextPack();
    StepResult Choose(size_t roomBytes, double scr, Candidate& chosen);
    StepResult WritePacket(BitWriter& out, Candidate& chosen, size_t roomBytes, double scr);
    StepResult WritePaddingPack(double scr, bool systemHeader);
    StepResult WriteNavigationPack(double scr);
    // Packs go out one behind, so that the program end code can still go
    // into the last pack's padding.
    StepResult WriteOut(BitWriter& out);
    StepResult FlushPendingPack();
    StepResult WriteEndCode();
    uint64_t FileBytes() const { return file_.Bytes() + pendingPack_.size(); }
    void Jump(double scr);
    // Sets the stream clocks of a file whose first units have source time
    // `base`: each stream starts at its delay, all of them later together
    // when the video could not arrive in time otherwise.
    StepResult StartClocks(double base);
    // The time the video needs ahead of its first decoding time so that no
    // later picture comes late, at the share of the mux rate it gets.
    StepResult VideoRunIn(uint64_t first, double& ticks);

    // Unit records of the video stream, by index.
    StepResult VideoUnitAt(uint64_t index, VideoUnit& unit);
    // The display time that begins the GOP of the I picture at `index`:
    // the I picture or a B picture that is shown before it.
    StepResult GroupStart(uint64_t index, double& ticks);
    StepResult FindI(uint64_t from, uint64_t to, double notBefore, uint64_t& found);
    StepResult FindAudio(MuxStream& stream, uint64_t from, double notBefore, uint64_t& found);
    StepResult EndsWithSequenceEnd(uint64_t unit, bool& ends);
    StepResult UnitReadFailed(const MuxStream& stream) const;

    double Scr() const { return scrOrigin_ + static_cast<double>(scrSlot_) * scrStep_; }
    bool IsVcd() const { return type_ == kStreamVcd; }
    bool IsSvcd() const { return type_ == kStreamSvcd; }
    bool IsDvd() const { return type_ == kStreamDvd; }
    SystemHeaderFields SystemHeader() const;
    StepResult InvalidSettings(const char* reason) const {
        return StepResult::Failed(FormatText("Invalid program stream settings: %s.", reason));
    }

    const EncoderSettings& settings_;
    const MuxRequest& request_;
    MuxHost& host_;
    ProgressThrottle progress_;
    MuxReport report_;
    TemporaryFiles temporary_;

    bool wantVideo_ = false;
    int audioCount_ = 0;
    std::string audioPaths_[2];
    std::string videoUnitsPath_;
    std::string audioUnitsPaths_[2];
    std::string scanPacksPath_;

    int type_ = 0;
    SystemSyntax syntax_ = SystemSyntax::kMpeg1;
    size_t sectorBytes_ = 0;
    int packetsPerPack_ = 1;
    uint32_t muxRate_ = 0;
    double scrStep_ = 0;
    double sectorDelayTicks_ = 0;
    double clockBase_ = 0;   // source time that the start-up delays count from
    double runInShift_ = 0;  // added to every delay of the current file
    bool scanOffsets_ = false;

    std::vector<std::unique_ptr<MuxStream>> streams_;
    std::vector<double> streamDelays_;
    std::vector<uint64_t> finalLimits_;
    MuxStream* video_ = nullptr;
    std::vector<uint8_t> firstSequenceHeader_;
    uint64_t totalUnits_ = 0;

    ProgramFile file_;
    std::string firstPath_;
    int fileNumber_ = 1;
    uint64_t packInFile_ = 0;
    int64_t scrSlot_ = 0;
    double scrOrigin_ = 0;
    std::vector<bool> stdSent_;
    bool splitArmed_ = false;
    bool audioCut_ = false;
    bool noMoreSplits_ = false;
    uint64_t navigationUnit_ = ~uint64_t{0};
    platform::UniqueFd scanPacks_;
    std::vector<Candidate> candidates_;
    std::vector<uint8_t> data_;
    std::vector<uint8_t> pendingPack_;
    size_t pendingPadding_ = 0;  // bytes of the padding packet that ends the pending pack
    size_t lastPadding_ = 0;     // the same for the pack being built
};

MuxReport Multiplexer::Run() {
    StepResult step = ScanStreams();
    if (step.ok()) step = SetUp();
    if (step.ok()) step = WriteAll();
    MuxStatistics& stats = report_.statistics;
    for (const auto& stream : streams_) {
        stats.underflows += stream->Underflows();
        stats.earlyUnits += stream->EarlyUnits();
    }
    report_.status = step.status;
    report_.message = step.message;
    return report_;
}

StepResult Multiplexer::CheckInput(const std::string& path, const char* openMessage) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        const bool missing = path.empty() || errno == ENOENT || errno == ENOTDIR;
        return StepResult::Failed(FormatText(
            missing ? "Input file %s was not found." : "Error getting size of input file %s.",
            path.c_str()));
    }
    if (!S_ISREG(info.st_mode) || info.st_size == 0)
        return StepResult::Failed(FormatText("Error getting size of input file %s.", path.c_str()));
    EsFile probe;
    if (!probe.Open(path)) return StepResult::Failed(FormatText(openMessage, path.c_str()));
    return StepResult::Ok();
}

StepResult Multiplexer::ScanStreams() {
    wantVideo_ = (request_.flags & kMuxVideo) != 0;
    if (request_.flags & kMuxAudio) audioPaths_[audioCount_++] = request_.audioPath;
    if ((request_.flags & kMuxSecondAudio) && settings_.programStreamType != kStreamVcd)
        audioPaths_[audioCount_++] = request_.secondAudioPath;

    // Every input is checked before any is scanned.
    if (wantVideo_) {
        StepResult step = CheckInput(request_.videoPath, "Unable to open video file %s.");
        if (!step.ok()) return step;
    }
    for (int i = 0; i < audioCount_; ++i) {
        StepResult step = CheckInput(audioPaths_[i], AudioOpenMessage(i));
        if (!step.ok()) return step;
    }

    const std::string folder = request_.unitFolder.empty() || request_.unitFolder.back() == '/'
                                   ? request_.unitFolder
                                   : request_.unitFolder + "/";
    videoUnitsPath_ = folder + kVideoUnitsName;
    audioUnitsPaths_[0] = folder + kAudioUnitsName;
    audioUnitsPaths_[1] = folder + kSecondAudioUnitsName;
    scanPacksPath_ = folder + kScanPacksName;

    MuxStatistics& stats = report_.statistics;
    if (wantVideo_) {
        EsFile es;
        if (!es.Open(request_.videoPath))
            return StepResult::Failed(
                FormatText("Unable to open video file %s.", request_.videoPath.c_str()));
        VideoScanOptions options;
        options.detectPulldown = settings_.muxPulldownFlag == 3;
        options.findScanUserData =
            settings_.programStreamType == kStreamSvcd && settings_.muxSVCDScanOffsets != 0;
        temporary_.Add(videoUnitsPath_);
        ProgressThrottle progress(host_);
        StepResult step = ScanVideoStream(es, request_.videoPath, videoUnitsPath_, options,
                                          progress, stats.video);
        if (!step.ok()) return step;
    }
    for (int i = 0; i < audioCount_; ++i) {
        EsFile es;
        if (!es.Open(audioPaths_[i]))
            return StepResult::Failed(FormatText(AudioOpenMessage(i), audioPaths_[i].c_str()));
        temporary_.Add(audioUnitsPaths_[i]);
        ProgressThrottle progress(host_);
        StepResult step =
            ScanAudioStream(es, audioPaths_[i], audioUnitsPaths_[i], progress, stats.audio[i]);
        if (!step.ok()) return step;
    }
    return StepResult::Ok();
}

StepResult Multiplexer::SetUp() {
    type_ = settings_.programStreamType;
    if (type_ < kStreamMpeg1 || type_ > kStreamDvd) return InvalidSettings("program stream type");
    syntax_ = SyntaxOf(type_);
    packetsPerPack_ = settings_.packetsPerPack;
    if (settings_.sectorSize < 512 || settings_.sectorSize > 65535)
        return InvalidSettings("sector size");
    if (packetsPerPack_ < 1 || packetsPerPack_ > 16) return InvalidSettings("packets per pack");
    sectorBytes_ = static_cast<size_t>(settings_.sectorSize);

    MuxStatistics& stats = report_.statistics;
    const int present = (wantVideo_ ? 1 : 0) + audioCount_;
    double dataRate = wantVideo_ ? VideoRateBytes(settings_.useComputedBitrate, stats.video) : 0;
    for (int i = 0; i < audioCount_; ++i) dataRate += AudioRateBytes(stats.audio[i]);
    const int packPayload = PackPayloadBytes(type_, settings_.sectorSize, packetsPerPack_,
                                             settings_.alwaysWriteSysHeader != 0, 3 - present);
    stats.payloadBytes = packPayload / packetsPerPack_;
    if (stats.payloadBytes < 64) return InvalidSettings("packets per pack");
    uint32_t muxRate = settings_.userMuxRate > 0
                           ? static_cast<uint32_t>(settings_.userMuxRate)
                           : ComputeMuxRate(settings_.sectorSize, packPayload, dataRate);
    if (muxRate > kLargestMuxRate) return InvalidSettings("mux rate");
    muxRate_ = std::max<uint32_t>(muxRate, 1);
    stats.muxRate = muxRate_;
    stats.packsPerSecond = PacksPerSecond(type_, muxRate_, settings_.sectorSize);
    scrStep_ = kTicksPerSecond / stats.packsPerSecond;
    stats.scrStepTicks = scrStep_;
    sectorDelayTicks_ = settings_.sectorDelay * kTicksPerMs;
    scanOffsets_ = wantVideo_ && IsSvcd() && settings_.muxSVCDScanOffsets != 0 &&
                   stats.video.frameRateCode >= 1 && stats.video.frameRateCode <= 8 &&
                   stats.video.gops > 0;
    firstSequenceHeader_ = stats.video.firstSequenceHeader;

    StepResult step = CreateStreams();
    if (step.ok()) step = PlaceStartAndStop();
    if (!step.ok()) return step;
    ComputeDelays();
    return StartClocks(clockBase_);
}

StepResult Multiplexer::CreateStreams() {
    const auto bufferBytes = [](int kilobytes) { return static_cast<uint64_t>(kilobytes) * 1024; };
    if (wantVideo_) {
        if (settings_.videoBufferSize < 1 || settings_.videoBufferSize > 8191 ||
            bufferBytes(settings_.videoBufferSize) < sectorBytes_) {
            return InvalidSettings("video buffer size");
        }
        auto stream =
            std::make_unique<MuxStream>(StreamKind::kVideo, kVideoStreamId, 0,
                                        BufferBound{kVideoStreamId, 1, settings_.videoBufferSize},
                                        bufferBytes(settings_.videoBufferSize));
        if (stream->Open(request_.videoPath, videoUnitsPath_) != MuxStream::OpenFailure::kNone) {
            return StepResult::Failed(
                FormatText("Unable to open video units file %s.", videoUnitsPath_.c_str()));
        }
        VideoInsertions insertions;
        insertions.sequenceHeader = &firstSequenceHeader_;
        insertions.alignSequenceHeaders = settings_.alignSequenceHeaders != 0;
        insertions.scanUserData = scanOffsets_;
        stream->SetInsertions(insertions);
        video_ = stream.get();
        streams_.push_back(std::move(stream));
        streamDelays_.push_back(0);
    }
    for (int i = 0; i < audioCount_; ++i) {
        const int kilobytes = i == 0 ? settings_.audioBufferSize : settings_.audio1BufferSize;
        if (kilobytes < 1 || kilobytes > 1023 || bufferBytes(kilobytes) < sectorBytes_)
            return InvalidSettings("audio buffer size");
        const bool ac3 = report_.statistics.audio[i].format == AudioFormat::kAc3;
        const uint8_t id = ac3 ? kPrivateStream1Id : static_cast<uint8_t>(kMpegAudioStreamId + i);
        const BufferBound bound =
            ac3 ? BufferBound{id, 1, kilobytes} : BufferBound{id, 0, kilobytes * 8};
        auto stream = std::make_unique<MuxStream>(ac3 ? StreamKind::kAc3 : StreamKind::kMpegAudio,
                                                  id, static_cast<uint8_t>(kAc3SubStreamId + i),
                                                  bound, bufferBytes(kilobytes));
        const MuxStream::OpenFailure failure = stream->Open(audioPaths_[i], audioUnitsPaths_[i]);
        if (failure == MuxStream::OpenFailure::kStream)
            return StepResult::Failed(FormatText(AudioOpenMessage(i), audioPaths_[i].c_str()));
        if (failure == MuxStream::OpenFailure::kUnits) {
            return StepResult::Failed(
                FormatText(i == 0 ? "Unable to open audio units file %s."
                                  : "Unable to open secondary audio units file %s.",
                           audioUnitsPaths_[i].c_str()));
        }
        streams_.push_back(std::move(stream));
        streamDelays_.push_back(0);
    }
    for (const auto& stream : streams_) finalLimits_.push_back(stream->UnitCount());
    stdSent_.assign(streams_.size(), false);
    return StepResult::Ok();
}

StepResult Multiplexer::UnitReadFailed(const MuxStream& stream) const {
    if (stream.IsVideo()) {
        return StepResult::Failed(
            FormatText("Unable to read from video units file %s.", videoUnitsPath_.c_str()));
    }
    const bool second = streams_.back().get() == &stream && audioCount_ == 2;
    return StepResult::Failed(FormatText(second
                                             ? "Unable to read from secondary audio units file %s."
                                             : "Unable to read from audio units file %s.",
                                         audioUnitsPaths_[second ? 1 : 0].c_str()));
}

StepResult Multiplexer::VideoUnitAt(uint64_t index, VideoUnit& unit) {
    return video_->ReadVideoUnit(index, unit) ? StepResult::Ok() : UnitReadFailed(*video_);
}

StepResult Multiplexer::GroupStart(uint64_t index, double& ticks) {
    VideoUnit unit;
    StepResult step = VideoUnitAt(index, unit);
    if (!step.ok()) return step;
    ticks = unit.pts;
    for (uint64_t next = index + 1; next < video_->UnitCount(); ++next) {
        step = VideoUnitAt(next, unit);
        if (!step.ok()) return step;
        if (unit.type != kPictureB) break;
        ticks = std::min(ticks, unit.pts);
    }
    return StepResult::Ok();
}

StepResult Multiplexer::FindI(uint64_t from, uint64_t to, double notBefore, uint64_t& found) {
    found = to;
    for (uint64_t index = from; index < to; ++index) {
        VideoUnit unit;
        StepResult step = VideoUnitAt(index, unit);
        if (!step.ok()) return step;
        if (unit.type == kPictureI && unit.pts >= notBefore) {
            found = index;
            break;
        }
    }
    return StepResult::Ok();
}

StepResult Multiplexer::FindAudio(MuxStream& stream, uint64_t from, double notBefore,
                                  uint64_t& found) {
    found = stream.UnitCount();
    for (uint64_t index = from; index < stream.UnitCount(); ++index) {
        AudioUnit unit;
        if (!stream.ReadAudioUnit(index, unit)) return UnitReadFailed(stream);
        if (unit.pts >= notBefore) {
            found = index;
            break;
        }
    }
    return StepResult::Ok();
}

StepResult Multiplexer::EndsWithSequenceEnd(uint64_t unit, bool& ends) {
    if (unit + 1 >= video_->UnitCount()) {
        ends = report_.statistics.video.endsWithSequenceEnd;
        return StepResult::Ok();
    }
    VideoUnit record;
    StepResult step = VideoUnitAt(unit, record);
    if (!step.ok()) return step;
    ends = false;
    if (record.length < 4) return StepResult::Ok();
    EsFile es;
    uint8_t tail[4] = {};
    if (!es.Open(request_.videoPath) || !es.ReadAt(record.offset + record.length - 4, tail, 4))
        return StepResult::Failed("Error reading from an input file.");
    ends = tail[0] == 0 && tail[1] == 0 && tail[2] == 1 && tail[3] == 0xB7;
    return StepResult::Ok();
}

StepResult Multiplexer::PlaceStartAndStop() {
    const MuxStatistics& stats = report_.statistics;
    double base = 0;
    if (settings_.muxStartTime > 0) {
        const double start = settings_.muxStartTime * kTicksPerSecond;
        const double total = video_ ? stats.video.durationTicks : stats.audio[0].durationTicks;
        const auto beyondEnd = [&] {
            return StepResult::Failed(
                FormatText("Mux start time is greater than the total time %u seconds.",
                           static_cast<unsigned>(total / kTicksPerSecond)));
        };
        if (video_) {
            uint64_t first = 0;
            StepResult step = FindI(0, video_->UnitCount(), start, first);
            if (!step.ok()) return step;
            if (first == video_->UnitCount()) return beyondEnd();
            step = GroupStart(first, base);
            if (!step.ok()) return step;
            video_->MoveTo(first);
            video_->SetFirstUnitOfFile(first);
        } else {
            base = start;
        }
        for (auto& stream : streams_) {
            if (stream->IsVideo()) continue;
            uint64_t first = 0;
            StepResult step = FindAudio(*stream, 0, base, first);
            if (!step.ok()) return step;
            if (first == stream->UnitCount() && !video_) return beyondEnd();
            stream->MoveTo(first);
        }
    }

    if (settings_.muxStopTime > 0) {
        const double stop = settings_.muxStopTime * kTicksPerSecond;
        double cut = stop;
        if (video_) {
            uint64_t last = 0;
            StepResult step = FindI(video_->Next() + 1, video_->UnitCount(), stop, last);
            if (!step.ok()) return step;
            cut = kInfinity;
            if (last < video_->UnitCount()) {
                step = GroupStart(last, cut);
                if (!step.ok()) return step;
            }
            finalLimits_[0] = last;
            video_->SetLimit(last);
        }
        for (size_t i = 0; i < streams_.size(); ++i) {
            if (streams_[i]->IsVideo()) continue;
            uint64_t limit = 0;
            StepResult step = FindAudio(*streams_[i], streams_[i]->Next(), cut, limit);
            if (!step.ok()) return step;
            finalLimits_[i] = limit;
            streams_[i]->SetLimit(limit);
        }
    }
    if (video_) {
        bool ends = false;
        StepResult step = EndsWithSequenceEnd(video_->Limit() - 1, ends);
        if (!step.ok()) return step;
        video_->SetEndCodePending(!ends);
    }
    for (size_t i = 0; i < streams_.size(); ++i)
        totalUnits_ += finalLimits_[i] - streams_[i]->Next();
    clockBase_ = base;
    return StepResult::Ok();
}

void Multiplexer::ComputeDelays() {
    MuxStatistics& stats = report_.statistics;
    // By default the streams start once their first units can have arrived.
    double packets = 0;
    for (auto& stream : streams_) {
        UnitView view;
        if (stream->Next() < stream->UnitCount() && stream->View(stream->Next(), view))
            packets += static_cast<double>(view.muxBytes) / stats.payloadBytes;
    }
    const double muxBytesPerSecond = muxRate_ * 50.0;
    double automatic = std::ceil(packets) * static_cast<double>(sectorBytes_) / muxBytesPerSecond *
                       kTicksPerSecond;
    if (IsDvd()) automatic += scrStep_;  // the navigation pack goes first
    // The delays are presentation times; the first picture is decoded one
    // picture period before it is shown.
    if (video_) automatic += stats.video.picturePeriodTicks;

    const int configured[3] = {settings_.videoDelay, settings_.audioDelay, settings_.audio1Delay};
    for (size_t i = 0; i < streams_.size(); ++i) {
        const int role =
            streams_[i]->IsVideo() ? 0 : (video_ ? static_cast<int>(i) : static_cast<int>(i) + 1);
        streamDelays_[i] = configured[role] != 0 ? configured[role] * kTicksPerMs : automatic;
    }
}

StepResult Multiplexer::VideoRunIn(uint64_t first, double& ticks) {
    const MuxStatistics& stats = report_.statistics;
    double videoBytesPerSecond =
        stats.packsPerSecond * stats.payloadBytes * static_cast<double>(packetsPerPack_);
    for (int i = 0; i < audioCount_; ++i) videoBytesPerSecond -= AudioRateBytes(stats.audio[i]);
    ticks = 0;
    if (videoBytesPerSecond <= 0) return StepResult::Ok();
    // More lead than the buffer holds cannot be had.
    const double longest =
        static_cast<double>(video_->Buffer().Capacity()) / videoBytesPerSecond * kTicksPerSecond;
    double bytes = 0;
    double firstDts = 0;
    for (uint64_t index = first; index < finalLimits_[0] && ticks < longest; ++index) {
        UnitView view;
        if (!video_->View(index, view)) return UnitReadFailed(*video_);
        if (index == first) firstDts = view.dts;
        bytes += static_cast<double>(view.muxBytes);
        ticks =
            std::max(ticks, bytes / videoBytesPerSecond * kTicksPerSecond - (view.dts - firstDts));
    }
    ticks = std::min(ticks, longest);
    return StepResult::Ok();
}

StepResult Multiplexer::StartClocks(double base) {
    clockBase_ = base;
    runInShift_ = 0;
    if (video_ && video_->HasData()) {
        double runIn = 0;
        StepResult step = VideoRunIn(video_->Next(), runIn);
        if (!step.ok()) return step;
        VideoUnit first;
        step = VideoUnitAt(video_->Next(), first);
        if (!step.ok()) return step;
        // Two packs of slack for the packet choice, one more for the DVD
        // navigation pack that opens the file.
        const double needed = runIn + (IsDvd() ? 3 : 2) * scrStep_;
        const double planned = first.dts - base + streamDelays_[0];
        runInShift_ = std::max(0.0, needed - planned);
    }
    for (size_t i = 0; i < streams_.size(); ++i) {
        streams_[i]->SetClockOffset(streamDelays_[i] + runInShift_ + sectorDelayTicks_ - base);
    }
    if (fileNumber_ == 1) {
        MuxStatistics& stats = report_.statistics;
        stats.videoDelayTicks = video_ ? streamDelays_[0] + runInShift_ : 0;
        stats.audioDelayTicks = audioCount_ > 0 ? streamDelays_[video_ ? 1 : 0] + runInShift_ : 0;
    }
    return StepResult::Ok();
}

SystemHeaderFields Multiplexer::SystemHeader() const {
    SystemHeaderFields fields;
    const bool mpeg1 = syntax_ == SystemSyntax::kMpeg1;
    fields.rateBound = muxRate_;
    fields.audioBound = audioCount_;
    fields.videoBound = video_ ? 1 : 0;
    fields.constrained = mpeg1;
    fields.audioLock = mpeg1;
    fields.videoLock = mpeg1;
    for (const auto& stream : streams_) {
        BufferBound bound = stream->StdBuffer();
        auto same =
            std::find_if(fields.bounds.begin(), fields.bounds.end(),
                         [&](const BufferBound& b) { return b.streamId == bound.streamId; });
        // Two AC-3 streams share private stream 1 and one entry.
        if (same != fields.bounds.end()) {
            same->size += bound.size;
        } else {
            fields.bounds.push_back(bound);
        }
    }
    return fields;
}

StepResult Multiplexer::OpenFile(const std::string& path) {
    if (!file_.Create(path))
        return StepResult::Failed(FormatText("Unable to open program file %s.", path.c_str()));
    report_.programFiles.push_back(path);
    if (scanOffsets_) {
        scanPacks_.Reset(
            ::open(scanPacksPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!scanPacks_) {
            return StepResult::Failed(FormatText(
                "Unable to open SVCD scan offsets temporary file %s.", scanPacksPath_.c_str()));
        }
    }
    packInFile_ = 0;
    stdSent_.assign(streams_.size(), false);
    navigationUnit_ = ~uint64_t{0};
    splitArmed_ = false;
    audioCut_ = false;
    return StepResult::Ok();
}

StepResult Multiplexer::WriteAll() {
    if (streams_.empty()) return StepResult::Ok();
    firstPath_ = LowerCaseFileName(request_.programPath);
    if (scanOffsets_) temporary_.Add(scanPacksPath_);
    scrOrigin_ = sectorDelayTicks_;
    scrSlot_ = 0;
    StepResult step = OpenFile(firstPath_);
    if (!step.ok()) return step;

    uint64_t lastCompleted = ~uint64_t{0};
    for (;;) {
        if (host_.IsCancelled()) {
            if (FlushPendingPack().ok()) file_.Flush();
            return StepResult::Cancelled();
        }
        if (FileDone()) {
            const bool last = AllDone();
            if (last) {
                host_.ReportProgress(
                    FormatText("Multiplexing: 100%% - %d of %d  A/V units.",
                               static_cast<int>(totalUnits_), static_cast<int>(totalUnits_)),
                    100);
            }
            step = EndFile(last);
            if (!step.ok() || last) break;
            step = StartNextFile();
            if (!step.ok()) break;
            continue;
        }
        step = ArmSplit();
        if (step.ok()) step = WriteNextPack();
        if (!step.ok()) break;

        uint64_t completed = 0;
        for (const auto& stream : streams_) completed += stream->UnitsCompleted();
        if (completed != lastCompleted && totalUnits_ > 0) {
            lastCompleted = completed;
            const int percent = static_cast<int>(completed * 100 / totalUnits_);
            if (progress_.Due(percent)) {
                host_.ReportProgress(
                    FormatText("Multiplexing: %d%% - %d of %d  A/V units.", percent,
                               static_cast<int>(completed), static_cast<int>(totalUnits_)),
                    percent);
            }
        }
    }
    if (!step.ok() && file_.IsOpen() && FlushPendingPack().ok()) {
        // What was written so far stays.
        file_.Flush();
    }
    return step;
}

bool Multiplexer::FileDone() {
    if (video_ && video_->HasData()) return false;
    // With continuous clocks a split file ends with its video and the frame
    // each audio stream is in; the rest of the audio goes on in the next file.
    if (splitArmed_ && video_ && !settings_.resetClocks && !audioCut_) {
        audioCut_ = true;
        for (auto& stream : streams_) {
            if (!stream->IsVideo())
                stream->SetLimit(stream->AtUnitStart() ? stream->Next() : stream->Next() + 1);
        }
    }
    return std::none_of(streams_.begin(), streams_.end(),
                        [](const auto& stream) { return stream->HasData(); });
}

bool Multiplexer::AllDone() const {
    for (size_t i = 0; i < streams_.size(); ++i) {
        if (streams_[i]->Next() < finalLimits_[i] || streams_[i]->HasData()) return false;
    }
    return true;
}

StepResult Multiplexer::ArmSplit() {
    if (settings_.maxFileSize <= 0 || splitArmed_ || noMoreSplits_) return StepResult::Ok();
    const double threshold =
        static_cast<double>(settings_.maxFileSize) * kBytesPerMiB - muxRate_ * 50.0;
    if (static_cast<double>(FileBytes()) < threshold) return StepResult::Ok();

    if (!video_) {
        for (auto& stream : streams_)
            stream->SetLimit(stream->AtUnitStart() ? stream->Next() : stream->Next() + 1);
        splitArmed_ = true;
        return StepResult::Ok();
    }
    // The next file begins with a GOP: at the first I picture not yet begun
    // that leaves this file at least one picture.
    uint64_t from = video_->AtUnitStart() ? video_->Next() : video_->Next() + 1;
    from = std::max(from, video_->FirstUnitOfFile() + 1);
    uint64_t split = 0;
    StepResult step = FindI(from, finalLimits_[0], -kInfinity, split);
    if (!step.ok()) return step;
    if (split >= finalLimits_[0]) {
        noMoreSplits_ = true;
        return StepResult::Ok();
    }
    bool ends = false;
    step = EndsWithSequenceEnd(split - 1, ends);
    if (!step.ok()) return step;
    video_->SetLimit(split);
    video_->SetEndCodePending(!ends);
    if (settings_.resetClocks) {
        // Each file holds the sound of its own pictures.
        double cut = 0;
        step = GroupStart(split, cut);
        if (!step.ok()) return step;
        for (auto& stream : streams_) {
            if (stream->IsVideo()) continue;
            uint64_t limit = 0;
            step = FindAudio(*stream, stream->Next(), cut, limit);
            if (!step.ok()) return step;
            stream->SetLimit(
                std::max(limit, stream->AtUnitStart() ? stream->Next() : stream->Next() + 1));
        }
    }
    splitArmed_ = true;
    return StepResult::Ok();
}

StepResult Multiplexer::StartNextFile() {
    ++fileNumber_;
    const uint64_t firstVideo = video_ ? video_->Limit() : 0;
    StepResult step = OpenFile(SplitFileName(firstPath_, fileNumber_));
    if (!step.ok()) return step;
    for (size_t i = 0; i < streams_.size(); ++i) streams_[i]->SetLimit(finalLimits_[i]);
    if (video_) {
        video_->SetFirstUnitOfFile(firstVideo);
        bool ends = false;
        step = EndsWithSequenceEnd(finalLimits_[0] - 1, ends);
        if (!step.ok()) return step;
        video_->SetEndCodePending(!ends);
    }
    if (!settings_.resetClocks) return StepResult::Ok();

    // Clocks start again: the earliest unit of the new file is presented at
    // its stream's start-up delay.
    double base = kInfinity;
    if (video_ && video_->HasData()) {
        step = GroupStart(firstVideo, base);
        if (!step.ok()) return step;
    }
    for (auto& stream : streams_) {
        if (stream->IsVideo() || !stream->HasData()) continue;
        AudioUnit unit;
        if (!stream->ReadAudioUnit(stream->Next(), unit)) return UnitReadFailed(*stream);
        base = std::min(base, unit.pts);
    }
    if (base == kInfinity) base = 0;
    step = StartClocks(base);
    if (!step.ok()) return step;
    for (auto& stream : streams_) stream->Buffer().Reset();
    scrOrigin_ = sectorDelayTicks_;
    scrSlot_ = 0;
    return StepResult::Ok();
}

StepResult Multiplexer::EndFile(bool last) {
    const std::string& path = file_.Path();
    StepResult step = settings_.writeProgramEndCode && (last || settings_.writeEndCodes)
                          ? WriteEndCode()
                          : FlushPendingPack();
    if (!step.ok()) return step;
    if (!file_.Flush()) {
        return StepResult::Failed(
            FormatText("Unable to flush the buffers of program file %s.", path.c_str()));
    }
    if (!file_.SetEnd()) {
        return StepResult::Failed(
            FormatText("Unable to set the end of file for program file %s.", path.c_str()));
    }
    file_.Close();
    if (!scanOffsets_) return StepResult::Ok();
    if (!scanPacks_.Close()) {
        return StepResult::Failed(
            FormatText("Unable to write to SVCD temporary file %s.", scanPacksPath_.c_str()));
    }
    const VideoFacts& facts = report_.statistics.video;
    const int span =
        ScanOffsetSpan(facts.frameRateCode, facts.pulldown != 0, facts.pictures, facts.gops);
    ProgressThrottle progress(host_);
    return WriteScanOffsets(path, scanPacksPath_, span, progress);
}

StepResult Multiplexer::FlushPendingPack() {
    if (!file_.Write(pendingPack_.data(), pendingPack_.size())) {
        return StepResult::Failed(
            FormatText("Unable to write to program file %s.", file_.Path().c_str()));
    }
    pendingPack_.clear();
    pendingPadding_ = 0;
    return StepResult::Ok();
}

StepResult Multiplexer::WriteOut(BitWriter& out) {
    StepResult step = FlushPendingPack();
    if (!step.ok()) return step;
    pendingPack_ = out.TakeBytes();
    pendingPadding_ = lastPadding_;
    lastPadding_ = 0;
    return StepResult::Ok();
}

StepResult Multiplexer::WriteEndCode() {
    // Disc authoring reads whole sectors, so the end code takes the last
    // four bytes of the last pack: from its padding, or in a pack of its own.
    constexpr size_t kEndCodeBytes = 4;
    constexpr size_t kSmallestPadding = kPacketStartBytes + 1;
    BitWriter tail;
    if (pendingPadding_ >= kSmallestPadding + kEndCodeBytes) {
        pendingPack_.resize(pendingPack_.size() - pendingPadding_);
        WritePaddingPacket(tail, syntax_, pendingPadding_ - kEndCodeBytes);
    } else {
        StepResult step = FlushPendingPack();
        if (!step.ok()) return step;
        WritePackHeader(tail, syntax_, Scr(), muxRate_);
        WritePaddingPacket(tail, syntax_, sectorBytes_ - PackHeaderBytes(syntax_) - kEndCodeBytes);
        ++scrSlot_;
        ++report_.statistics.packs;
        ++report_.statistics.paddingPacks;
    }
    tail.Put(kProgramEndCode, 32);
    const std::vector<uint8_t>& bytes = tail.Bytes();
    pendingPack_.insert(pendingPack_.end(), bytes.begin(), bytes.end());
    pendingPadding_ = 0;
    return FlushPendingPack();
}

StepResult Multiplexer::Choose(size_t roomBytes, double scr, Candidate& chosen) {
    candidates_.clear();
    PlanRules rules;
    rules.syntax = syntax_;
    rules.frameTimestamps = settings_.frameTimestamps;
    rules.alignSequenceHeaders = settings_.alignSequenceHeaders != 0;
    rules.originalOrCopy = IsSvcd();
    for (size_t i = 0; i < streams_.size(); ++i) {
        MuxStream& stream = *streams_[i];
        if (!stream.HasData()) continue;
        // VideoCD and SuperVCD players want the buffer size in every packet.
        rules.stdBuffer = !stdSent_[i] || IsVcd() || IsSvcd();
        bool readFailed = false;
        Candidate candidate;
        candidate.stream = &stream;
        candidate.index = static_cast<int>(i);
        candidate.plan = stream.Plan(roomBytes, rules, readFailed);
        if (readFailed) return UnitReadFailed(stream);
        const PacketPlan& plan = candidate.plan;
        candidate.canSend =
            plan.valid &&
            stream.Buffer().OccupancyAt(scr) + plan.dataBytes <= stream.Buffer().Capacity() &&
            plan.lastRemoval - scr <= kLongestWaitTicks;
        candidates_.push_back(std::move(candidate));
    }

    const Candidate* pick = nullptr;
    const auto earliestAudio = [&](double within) {
        const Candidate* best = nullptr;
        for (const Candidate& c : candidates_) {
            if (c.stream->IsVideo() || !c.canSend || c.plan.firstRemoval - scr >= within) continue;
            if (!best || c.plan.firstRemoval < best->plan.firstRemoval) best = &c;
        }
        return best;
    };
    if (IsVcd() && packInFile_ == kVcdAudioPack) pick = earliestAudio(kInfinity);
    if (!pick) pick = earliestAudio(kAudioDueTicks);
    if (!pick) {
        for (const Candidate& c : candidates_) {
            if (c.stream->IsVideo() && c.canSend) pick = &c;
        }
    }
    if (!pick) pick = earliestAudio(kInfinity);
    chosen = pick ? *pick : Candidate{};
    return StepResult::Ok();
}

void Multiplexer::Jump(double scr) {
    // Skip the time in which no stream could send, in whole pack intervals:
    // up to when the first stream can, but never so far that the next video
    // or audio unit is due sooner than its lead.
    double target = kInfinity;
    for (const Candidate& c : candidates_) {
        if (!c.plan.valid) continue;
        const double room = c.stream->Buffer().TimeWhenRoomFor(c.plan.dataBytes);
        target = std::min(target, std::max(room, c.plan.lastRemoval - kLongestWaitTicks));
    }
    for (const Candidate& c : candidates_) {
        if (!c.plan.valid) continue;
        const double lead = c.stream->IsVideo() ? kVideoLeadTicks : kAudioLeadTicks;
        target = std::min(target, c.plan.firstRemoval - lead);
    }
    int64_t packs = 1;
    if (std::isfinite(target) && target > scr)
        packs = std::max<int64_t>(1, static_cast<int64_t>(std::floor((target - scr) / scrStep_)));
    scrSlot_ += packs;
    ++report_.statistics.scrJumps;
}

StepResult Multiplexer::WriteNextPack() {
    const double scr = Scr();
    if (IsDvd() && packInFile_ == 0) {
        if (video_ && video_->AtUnitStart()) {
            VideoUnit unit;
            if (video_->Next() < video_->UnitCount() &&
                video_->ReadVideoUnit(video_->Next(), unit) && unit.type == kPictureI) {
                navigationUnit_ = video_->Next();
            }
        }
        return WriteNavigationPack(scr);
    }
    const bool systemHeader = (packInFile_ == 0 && !IsDvd()) || settings_.alwaysWriteSysHeader;
    const size_t packHeader =
        PackHeaderBytes(syntax_) + (systemHeader ? SystemHeaderBytes(SystemHeader()) : 0);
    const size_t room = sectorBytes_ - packHeader;
    const size_t slotRoom = room / static_cast<size_t>(packetsPerPack_);

    Candidate chosen;
    StepResult step = Choose(packetsPerPack_ == 1 ? room : slotRoom, scr, chosen);
    if (!step.ok()) return step;
    if (!chosen.stream) {
        if (settings_.vbrMultiplex) {
            Jump(scr);
            return StepResult::Ok();
        }
        return WritePaddingPack(scr, systemHeader);
    }
    if (IsDvd() && chosen.stream->IsVideo() && chosen.plan.containsIStart &&
        navigationUnit_ != chosen.plan.iStartUnit) {
        navigationUnit_ = chosen.plan.iStartUnit;
        return WriteNavigationPack(scr);
    }

    BitWriter out;
    WritePackHeader(out, syntax_, scr, muxRate_);
    if (systemHeader) WriteSystemHeader(out, syntax_, SystemHeader());
    size_t left = room;
    for (int slot = 0; slot < packetsPerPack_; ++slot) {
        const size_t slotBytes = slot + 1 == packetsPerPack_ ? left : slotRoom;
        if (slot > 0) {
            step = Choose(slotBytes, scr, chosen);
            if (!step.ok()) return step;
            if (!chosen.stream) {
                WritePaddingPacket(out, syntax_, left);
                lastPadding_ = left;
                left = 0;
                break;
            }
        }
        step = WritePacket(out, chosen, slotBytes, scr);
        if (!step.ok()) return step;
        left -= slotBytes;
    }
    step = WriteOut(out);
    if (!step.ok()) return step;
    ++scrSlot_;
    ++packInFile_;
    ++report_.statistics.packs;
    return StepResult::Ok();
}

StepResult Multiplexer::WritePacket(BitWriter& out, Candidate& chosen, size_t roomBytes,
                                    double scr) {
    PacketPlan& plan = chosen.plan;
    MuxStream& stream = *chosen.stream;
    const size_t used = plan.headerBytes + plan.subHeaderBytes + plan.dataBytes;
    const size_t rest = roomBytes - used;
    if (rest <= kLargestStuffing) plan.header.stuffingBytes = static_cast<int>(rest);
    if (!stream.ReadPlannedData(plan, data_))
        return StepResult::Failed("Error reading from an input file.");
    WritePacketHeader(out, syntax_, plan.header, data_.size());
    for (uint8_t byte : data_) out.Put(byte, 8);
    lastPadding_ = 0;
    if (rest > kLargestStuffing) {
        WritePaddingPacket(out, syntax_, rest);
        lastPadding_ = rest;
    }

    stream.Commit(plan, scr);
    stdSent_[static_cast<size_t>(chosen.index)] = true;
    if (scanOffsets_ && stream.IsVideo() && plan.containsIStart) {
        const uint32_t pack = static_cast<uint32_t>(packInFile_);
        const uint8_t bytes[4] = {static_cast<uint8_t>(pack), static_cast<uint8_t>(pack >> 8),
                                  static_cast<uint8_t>(pack >> 16),
                                  static_cast<uint8_t>(pack >> 24)};
        if (::write(scanPacks_.get(), bytes, sizeof bytes) != static_cast<ssize_t>(sizeof bytes)) {
            return StepResult::Failed(
                FormatText("Unable to write to SVCD temporary file %s.", scanPacksPath_.c_str()));
        }
    }
    return StepResult::Ok();
}

StepResult Multiplexer::WritePaddingPack(double scr, bool systemHeader) {
    BitWriter out;
    WritePackHeader(out, syntax_, scr, muxRate_);
    if (systemHeader) WriteSystemHeader(out, syntax_, SystemHeader());
    const size_t rest = sectorBytes_ - out.Bytes().size();
    if (IsVcd() && !video_ && settings_.padVCDAudio) {
        WritePaddingPacket(out, syntax_, rest - kVcdAudioPaddingZeros);
        for (size_t i = 0; i < kVcdAudioPaddingZeros; ++i) out.Put(0, 8);
    } else {
        WritePaddingPacket(out, syntax_, rest);
        lastPadding_ = rest;
    }
    StepResult step = WriteOut(out);
    if (!step.ok()) return step;
    ++scrSlot_;
    ++packInFile_;
    ++report_.statistics.packs;
    ++report_.statistics.paddingPacks;
    return StepResult::Ok();
}

StepResult Multiplexer::WriteNavigationPack(double scr) {
    BitWriter out;
    korvan::mux::WriteNavigationPack(out, scr, muxRate_, sectorBytes_,
                                     settings_.usePrivateStream2
                                         ? NavigationContent::kPrivateStream2
                                         : NavigationContent::kPadding);
    StepResult step = WriteOut(out);
    if (!step.ok()) return step;
    ++scrSlot_;
    ++packInFile_;
    ++report_.statistics.packs;
    ++report_.statistics.navigationPacks;
    return StepResult::Ok();
}

}  // namespace

MuxReport Multiplex(const EncoderSettings& settings, const MuxRequest& request, MuxHost& host) {
    Multiplexer multiplexer(settings, request, host);
    return multiplexer.Run();
}

}  // namespace korvan::mux
