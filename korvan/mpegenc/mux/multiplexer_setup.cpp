// Checks and set-up: the inputs are checked and scanned, the settings
// checked, the rates worked out and the streams opened.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "korvan/mpegenc/mux/es_file.h"
#include "korvan/mpegenc/mux/multiplexer_run.h"
#include "korvan/mpegenc/mux/mux_plan.h"

namespace korvan::mux {

namespace {

constexpr uint32_t kLargestMuxRate = (1u << 22) - 1;

const char kVideoUnitsName[] = "tmp_v";
const char kAudioUnitsName[] = "tmp_a";
const char kSecondAudioUnitsName[] = "tmpa1";
const char kScanPacksName[] = "tmp_s";

const char* AudioOpenMessage(int stream) {
    return stream == 0 ? "Unable to open audio file %s."
                       : "Unable to open secondary audio file %s.";
}

}  // namespace

Status Multiplexer::CheckInput(const std::string& path, const char* openMessage) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        const bool missing = path.empty() || errno == ENOENT || errno == ENOTDIR;
        return Status::Failed(FormatText(
            missing ? "Input file %s was not found." : "Error getting size of input file %s.",
            path.c_str()));
    }
    if (!S_ISREG(info.st_mode) || info.st_size == 0)
        return Status::Failed(FormatText("Error getting size of input file %s.", path.c_str()));
    EsFile probe;
    if (!probe.Open(path)) return Status::Failed(FormatText(openMessage, path.c_str()));
    return Status::Ok();
}

Status Multiplexer::ScanStreams() {
    wantVideo_ = (request_.flags & kMuxVideo) != 0;
    if (request_.flags & kMuxAudio) audioPaths_[audioCount_++] = request_.audioPath;
    if ((request_.flags & kMuxSecondAudio) && settings_.programStreamType != kStreamVcd)
        audioPaths_[audioCount_++] = request_.secondAudioPath;

    // Every input is checked before any is scanned.
    if (wantVideo_) {
        Status step = CheckInput(request_.videoPath, "Unable to open video file %s.");
        if (!step.IsOk()) return step;
    }
    for (int i = 0; i < audioCount_; ++i) {
        Status step = CheckInput(audioPaths_[i], AudioOpenMessage(i));
        if (!step.IsOk()) return step;
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
            return Status::Failed(
                FormatText("Unable to open video file %s.", request_.videoPath.c_str()));
        VideoScanOptions options;
        options.detectPulldown = settings_.muxPulldownFlag == 3;
        options.findScanUserData =
            settings_.programStreamType == kStreamSvcd && settings_.muxSVCDScanOffsets != 0;
        temporary_.Add(videoUnitsPath_);
        ProgressThrottle progress(host_);
        Status step = ScanVideoStream(es, request_.videoPath, videoUnitsPath_, options, progress,
                                      stats.video);
        if (!step.IsOk()) return step;
    }
    for (int i = 0; i < audioCount_; ++i) {
        EsFile es;
        if (!es.Open(audioPaths_[i]))
            return Status::Failed(FormatText(AudioOpenMessage(i), audioPaths_[i].c_str()));
        temporary_.Add(audioUnitsPaths_[i]);
        ProgressThrottle progress(host_);
        Status step =
            ScanAudioStream(es, audioPaths_[i], audioUnitsPaths_[i], progress, stats.audio[i]);
        if (!step.IsOk()) return step;
    }
    return Status::Ok();
}

Status Multiplexer::SetUp() {
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

    Status step = CreateStreams();
    if (step.IsOk()) step = PlaceStartAndStop();
    if (!step.IsOk()) return step;
    ComputeDelays();
    return StartClocks(clockBase_);
}

Status Multiplexer::CreateStreams() {
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
            return Status::Failed(
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
            return Status::Failed(FormatText(AudioOpenMessage(i), audioPaths_[i].c_str()));
        if (failure == MuxStream::OpenFailure::kUnits) {
            return Status::Failed(FormatText(i == 0
                                                 ? "Unable to open audio units file %s."
                                                 : "Unable to open secondary audio units file %s.",
                                             audioUnitsPaths_[i].c_str()));
        }
        streams_.push_back(std::move(stream));
        streamDelays_.push_back(0);
    }
    for (const auto& stream : streams_) finalLimits_.push_back(stream->UnitCount());
    stdSent_.assign(streams_.size(), false);
    return Status::Ok();
}

}  // namespace korvan::mux
