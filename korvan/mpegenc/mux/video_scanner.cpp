#include "korvan/mpegenc/mux/video_scanner.h"

#include <algorithm>
#include <cmath>

#include "korvan/mpegenc/common/format_text.h"
#include "korvan/mpegenc/mux/start_code_finder.h"
#include "korvan/mpegenc/mux/unit_records.h"

namespace korvan::mux {

namespace {

constexpr uint8_t kPictureCode = 0x00;
constexpr uint8_t kLastSliceCode = 0xAF;
constexpr uint8_t kUserDataCode = 0xB2;
constexpr uint8_t kSequenceHeaderCode = 0xB3;
constexpr uint8_t kExtensionCode = 0xB5;
constexpr uint8_t kSequenceEndCode = 0xB7;
constexpr uint8_t kGopCode = 0xB8;

constexpr int kSequenceExtensionId = 1;
constexpr int kPictureCodingExtensionId = 8;
constexpr int kFramePicture = 3;

constexpr size_t kMaxRememberedHeader = 256;
// No coded picture comes near this; a longer "picture" is damage, and a
// bound keeps the record's length field and the packet planner sane.
constexpr uint64_t kMaxUnitBytes = 64ull << 20;

const char kInvalidHeader[] = "Invalid MPEG Video stream header.";

// Reads bit fields from a few header bytes, most significant bit first.
class HeaderBits {
public:
    HeaderBits(const uint8_t* bytes, size_t count) : bytes_(bytes), count_(count) {}
    uint32_t Get(int bits) {
        uint32_t value = 0;
        for (int i = 0; i < bits; ++i, ++position_) {
            const size_t byte = position_ / 8;
            const uint32_t bit = byte < count_ ? (bytes_[byte] >> (7 - position_ % 8)) & 1u : 0u;
            value = (value << 1) | bit;
        }
        return value;
    }
    void Skip(int bits) { position_ += static_cast<size_t>(bits); }

private:
    const uint8_t* bytes_;
    size_t count_;
    size_t position_ = 0;
};

class VideoScanner {
public:
    VideoScanner(EsFile& es, const std::string& path, const VideoScanOptions& options,
                 ProgressThrottle& progress, VideoFacts& facts)
        : es_(es), path_(path), options_(options), progress_(progress), facts_(facts) {}

    Status Run(const std::string& unitPath);

private:
    Status OnStartCode(uint64_t at, uint8_t code);
    Status OnSequenceHeader(uint64_t at);
    Status OnExtension(uint64_t at);
    Status OnPicture(uint64_t at);
    void OnGop(uint64_t at);
    void OnUserData(uint64_t at);
    void EndPulldownTest();
    void NoteHeaderStart(uint64_t at, uint8_t flag);
    void ClosePicture();
    Status CloseUnit(uint64_t end);
    Status Finish();
    Status WriteFailed() const {
        return Status::Failed(
            FormatText("Error writing to temporary video units file %s.", unitPath_.c_str()));
    }
    bool ReadHeader(uint64_t at, uint8_t* bytes, size_t count) {
        return es_.ReadAt(at + 4, bytes, count);
    }
    int UnitFields() const;

    EsFile& es_;
    const std::string& path_;
    const VideoScanOptions& options_;
    ProgressThrottle& progress_;
    VideoFacts& facts_;
    std::string unitPath_;
    UnitWriter<VideoUnit> units_;

    bool sawSequenceHeader_ = false;
    int64_t firstSequenceHeaderAt_ = -1;
    bool firstHeaderRemembered_ = false;
    uint8_t previousCode_ = 0xFF;
    bool awaitingPictureExtension_ = false;
    double ticksPerField_ = 0;

    // Headers (sequence, GOP) seen since the last picture: they belong to
    // the next picture's unit.
    int64_t headerStart_ = -1;
    uint8_t headerFlags_ = 0;

    bool unitOpen_ = false;
    VideoUnit unit_;
    int unitStructure_ = kFramePicture;
    bool unitTopFieldFirst_ = false;
    bool unitRepeatFirstField_ = false;
    bool expectSecondField_ = false;
    bool inSecondField_ = false;
    bool lookingForUserData_ = false;

    // Damage at the end of the stream shows as a last picture whose slices
    // stop short of the rows every earlier picture reached.
    bool pictureOpen_ = false;
    int pictureStructure_ = kFramePicture;
    int pictureLastSlice_ = 0;
    std::array<int, 2> learnedLastSlice_{};  // frame pictures, field pictures

    int64_t displayFields_ = 0;
    bool heldValid_ = false;
    VideoUnit held_;
    uint64_t heldIndex_ = 0;
    int heldFields_ = 2;

    uint64_t checkpointEnd_ = 0;
    int unitsSinceCheckpoint_ = 0;
    uint64_t largestSecondBytes_ = 0;
    bool checkpointReached_ = false;

    bool pulldownTestActive_ = true;
    uint64_t lastSequenceEndAt_ = 0;
    bool sawSequenceEnd_ = false;
};

Status VideoScanner::Run(const std::string& unitPath) {
    unitPath_ = unitPath;
    facts_ = VideoFacts{};
    facts_.streamBytes = es_.Size();
    pulldownTestActive_ = options_.detectPulldown;

    uint8_t head[4] = {};
    if (!es_.ReadAt(0, head, 4) || head[0] != 0 || head[1] != 0 || head[2] != 1 ||
        head[3] != kSequenceHeaderCode) {
        return Status::Failed(
            FormatText("File %s is not a 11172-2 or 13818-2 Video stream.", path_.c_str()));
    }
    if (!units_.Create(unitPath)) {
        return Status::Failed(
            FormatText("Unable to create temporary video units file %s.", unitPath.c_str()));
    }

    StartCodeFinder finder(es_);
    uint64_t at = 0;
    uint8_t code = 0;
    const double size = static_cast<double>(es_.Size());
    while (finder.Next(at, code)) {
        const int percent = static_cast<int>(static_cast<double>(at) * 100.0 / size);
        if (progress_.Due(percent)) {
            if (progress_.Host().IsCancelled()) return Status::Cancelled();
            progress_.Host().ReportProgress(
                FormatText("Scanning video stream: %d%% - byte offset %.0f of %.0f.", percent,
                           static_cast<double>(at), size),
                percent);
        }
        Status step = OnStartCode(at, code);
        if (!step.IsOk()) return step;
        previousCode_ = code;
    }
    if (finder.ReadFailed()) return Status::Failed("Error reading from an input file.");
    Status step = Finish();
    if (!step.IsOk()) return step;
    progress_.Host().ReportProgress(
        FormatText("Scanning video stream: %d%% - byte offset %.0f of %.0f.", 100, size, size),
        100);
    return units_.Finish() ? Status::Ok() : WriteFailed();
}

Status VideoScanner::OnStartCode(uint64_t at, uint8_t code) {
    if (awaitingPictureExtension_ && code != kExtensionCode) {
        return Status::Failed("Invalid MPEG2 Video stream, no picture coding extension present.");
    }
    if (code >= 0x01 && code <= kLastSliceCode) {
        if (!pictureOpen_) return Status::Failed(kInvalidHeader);
        if (lookingForUserData_) {
            unit_.userDataOffset = static_cast<int64_t>(at);
            lookingForUserData_ = false;
        }
        pictureLastSlice_ = std::max<int>(pictureLastSlice_, code);
        return Status::Ok();
    }
    if (code != kExtensionCode && code != kUserDataCode && lookingForUserData_) {
        unit_.userDataOffset = static_cast<int64_t>(at);
        lookingForUserData_ = false;
    }
    switch (code) {
        case kPictureCode:
            return OnPicture(at);
        case kSequenceHeaderCode:
            return OnSequenceHeader(at);
        case kExtensionCode:
            return OnExtension(at);
        case kGopCode:
            if (expectSecondField_) return Status::Failed(kInvalidHeader);
            OnGop(at);
            return Status::Ok();
        case kUserDataCode:
            OnUserData(at);
            return Status::Ok();
        case kSequenceEndCode:
            ClosePicture();
            sawSequenceEnd_ = true;
            lastSequenceEndAt_ = at;
            return Status::Ok();
        default:
            // Reserved codes, sequence_error_code and system start codes have
            // no place in a video elementary stream.
            return Status::Failed(kInvalidHeader);
    }
}

void VideoScanner::NoteHeaderStart(uint64_t at, uint8_t flag) {
    if (headerStart_ < 0) headerStart_ = static_cast<int64_t>(at);
    headerFlags_ |= flag;
}

void VideoScanner::EndPulldownTest() {
    if (facts_.pictures > 0 || unitOpen_) pulldownTestActive_ = false;
}

Status VideoScanner::OnSequenceHeader(uint64_t at) {
    if (expectSecondField_) return Status::Failed(kInvalidHeader);
    uint8_t bytes[8] = {};
    if (!ReadHeader(at, bytes, sizeof bytes)) return Status::Failed(kInvalidHeader);
    ClosePicture();
    EndPulldownTest();
    NoteHeaderStart(at, kUnitHasSequenceHeader);
    if (sawSequenceHeader_) return Status::Ok();

    HeaderBits bits(bytes, sizeof bytes);
    facts_.width = static_cast<int>(bits.Get(12));
    facts_.height = static_cast<int>(bits.Get(12));
    facts_.aspectRatio = static_cast<int>(bits.Get(4));
    facts_.frameRateCode = static_cast<int>(bits.Get(4));
    facts_.bitRate = bits.Get(18);
    bits.Skip(1);
    facts_.vbvBufferSize = static_cast<int>(bits.Get(10));
    facts_.constrainedParameters = bits.Get(1) != 0;
    if (facts_.width == 0 || facts_.height == 0) return Status::Failed(kInvalidHeader);

    sawSequenceHeader_ = true;
    firstSequenceHeaderAt_ = static_cast<int64_t>(at);
    facts_.picturePeriodTicks = PicturePeriodSeconds(facts_.frameRateCode) * kTicksPerSecond;
    facts_.picturesPerSecond = PicturesPerSecond(facts_.frameRateCode);
    ticksPerField_ = facts_.picturePeriodTicks / 2;
    return Status::Ok();
}

Status VideoScanner::OnExtension(uint64_t at) {
    uint8_t bytes[6] = {};
    const long long got = es_.ReadSomeAt(at + 4, bytes, sizeof bytes);
    if (got < 1) return Status::Failed(kInvalidHeader);
    const int id = bytes[0] >> 4;
    if (id == kSequenceExtensionId && previousCode_ == kSequenceHeaderCode) {
        if (got < 6) return Status::Failed(kInvalidHeader);
        if (static_cast<int64_t>(at) > firstSequenceHeaderAt_ && facts_.pictures == 0 &&
            !unitOpen_) {
            HeaderBits bits(bytes, sizeof bytes);
            bits.Skip(4 + 8);
            facts_.progressiveSequence = bits.Get(1) != 0;
            bits.Skip(2 + 2 + 2);
            facts_.bitRate |= bits.Get(12) << 18;
            bits.Skip(1);
            facts_.vbvBufferSize |= static_cast<int>(bits.Get(8)) << 10;
            bits.Skip(1);
            const int extensionN = static_cast<int>(bits.Get(2));
            const int extensionD = static_cast<int>(bits.Get(5));
            facts_.picturePeriodTicks *= static_cast<double>(extensionD + 1) / (extensionN + 1);
            ticksPerField_ = facts_.picturePeriodTicks / 2;
        }
        facts_.mpeg2 = true;
        return Status::Ok();
    }
    if (!awaitingPictureExtension_) return Status::Ok();
    if (id != kPictureCodingExtensionId) {
        return Status::Failed("Invalid MPEG2 Video stream, no picture coding extension present.");
    }
    if (got < 5) return Status::Failed(kInvalidHeader);
    awaitingPictureExtension_ = false;
    HeaderBits bits(bytes, sizeof bytes);
    bits.Skip(4 + 16 + 2);
    const int structure = static_cast<int>(bits.Get(2));
    const bool topFieldFirst = bits.Get(1) != 0;
    bits.Skip(5);
    const bool repeatFirstField = bits.Get(1) != 0;
    if (structure == 0) return Status::Failed(kInvalidHeader);
    pictureStructure_ = structure;

    if (inSecondField_) {
        if (structure == kFramePicture) return Status::Failed(kInvalidHeader);
        return Status::Ok();
    }
    unitStructure_ = structure;
    unitTopFieldFirst_ = topFieldFirst;
    unitRepeatFirstField_ = repeatFirstField;
    expectSecondField_ = structure != kFramePicture;
    if (pulldownTestActive_ && structure == kFramePicture && repeatFirstField &&
        facts_.pulldown == 0) {
        facts_.pulldown = unit_.temporalReference == 0 ? 1 : 2;
        // 3:2 pulldown in a 30-picture stream carries 24 coded pictures a second.
        if (facts_.picturesPerSecond == 30) facts_.picturesPerSecond = 24;
    }
    return Status::Ok();
}

void VideoScanner::OnGop(uint64_t at) {
    ClosePicture();
    EndPulldownTest();
    ++facts_.gops;
    if (!firstHeaderRemembered_) {
        firstHeaderRemembered_ = true;
        const uint64_t length = at - static_cast<uint64_t>(firstSequenceHeaderAt_);
        if (firstSequenceHeaderAt_ >= 0 && length <= kMaxRememberedHeader) {
            facts_.firstSequenceHeader.resize(length);
            if (!es_.ReadAt(static_cast<uint64_t>(firstSequenceHeaderAt_),
                            facts_.firstSequenceHeader.data(), length)) {
                facts_.firstSequenceHeader.clear();
            }
        }
    }
    NoteHeaderStart(at, kUnitHasGopHeader);
}

void VideoScanner::OnUserData(uint64_t at) {
    if (!lookingForUserData_) return;
    uint8_t bytes[2] = {};
    if (es_.ReadAt(at + 4, bytes, 2) && bytes[0] == 0x10 && bytes[1] == 0x0E) {
        unit_.userDataOffset = static_cast<int64_t>(at);
        unit_.flags |= kUnitHasScanUserData;
        lookingForUserData_ = false;
    }
}

void VideoScanner::ClosePicture() {
    if (!pictureOpen_) return;
    const size_t kind = pictureStructure_ == kFramePicture ? 0 : 1;
    learnedLastSlice_[kind] = std::max(learnedLastSlice_[kind], pictureLastSlice_);
    pictureOpen_ = false;
}

Status VideoScanner::OnPicture(uint64_t at) {
    uint8_t bytes[4] = {};
    if (!sawSequenceHeader_ || !ReadHeader(at, bytes, sizeof bytes))
        return Status::Failed(kInvalidHeader);
    HeaderBits bits(bytes, sizeof bytes);
    const int temporalReference = static_cast<int>(bits.Get(10));
    const int type = static_cast<int>(bits.Get(3));
    const int lastType = facts_.mpeg2 ? kPictureB : kPictureD;
    if (type < kPictureI || type > lastType) return Status::Failed(kInvalidHeader);
    if (!firstHeaderRemembered_) {
        // A stream without GOP headers: the header runs up to the first picture.
        firstHeaderRemembered_ = true;
        const uint64_t length = at - static_cast<uint64_t>(firstSequenceHeaderAt_);
        if (length <= kMaxRememberedHeader) {
            facts_.firstSequenceHeader.resize(length);
            if (!es_.ReadAt(static_cast<uint64_t>(firstSequenceHeaderAt_),
                            facts_.firstSequenceHeader.data(), length)) {
                facts_.firstSequenceHeader.clear();
            }
        }
    }
    ClosePicture();
    pictureOpen_ = true;
    pictureLastSlice_ = 0;
    pictureStructure_ = kFramePicture;
    awaitingPictureExtension_ = facts_.mpeg2;

    if (expectSecondField_) {
        // The second field of a field-coded picture belongs to the first one's unit.
        if (headerStart_ >= 0) return Status::Failed(kInvalidHeader);
        expectSecondField_ = false;
        inSecondField_ = true;
        return Status::Ok();
    }
    inSecondField_ = false;
    const uint64_t start = headerStart_ >= 0 ? static_cast<uint64_t>(headerStart_) : at;
    if (unitOpen_) {
        Status step = CloseUnit(start);
        if (!step.IsOk()) return step;
    }
    unit_ = VideoUnit{};
    unit_.offset = start;
    unit_.pictureStart = static_cast<uint32_t>(at - start);
    unit_.type = static_cast<uint8_t>(type);
    unit_.flags = headerFlags_;
    unit_.temporalReference = static_cast<uint16_t>(temporalReference);
    unit_.codedIndex = static_cast<uint32_t>(facts_.pictures);
    unitOpen_ = true;
    unitStructure_ = kFramePicture;
    unitTopFieldFirst_ = false;
    unitRepeatFirstField_ = false;
    headerStart_ = -1;
    headerFlags_ = 0;
    lookingForUserData_ = options_.findScanUserData && type == kPictureI;
    return Status::Ok();
}

int VideoScanner::UnitFields() const {
    if (!facts_.mpeg2 || unitStructure_ != kFramePicture || !unitRepeatFirstField_) return 2;
    if (!facts_.progressiveSequence) return 3;
    // A progressive sequence repeats whole frames: two or three of them.
    return unitTopFieldFirst_ ? 6 : 4;
}

Status VideoScanner::CloseUnit(uint64_t end) {
    const uint64_t length = end - unit_.offset;
    if (length > kMaxUnitBytes) return Status::Failed(kInvalidHeader);
    unit_.length = static_cast<uint32_t>(length);
    lookingForUserData_ = false;
    const int fields = UnitFields();
    const uint64_t index = units_.Count();

    if (unit_.type == kPictureB || unit_.type == kPictureD) {
        // Shown as soon as it is decoded.
        unit_.pts = static_cast<double>(displayFields_) * ticksPerField_;
        unit_.dts = unit_.pts;
        displayFields_ += fields;
        if (!units_.Append(unit_)) return WriteFailed();
    } else {
        // A reference picture is decoded when the previous one goes on
        // screen, and goes on screen itself when the next one is decoded.
        if (heldValid_) {
            held_.pts = static_cast<double>(displayFields_) * ticksPerField_;
            displayFields_ += heldFields_;
            if (!units_.Rewrite(heldIndex_, held_)) return WriteFailed();
            unit_.dts = held_.pts;
        } else {
            unit_.dts = static_cast<double>(displayFields_ - 2) * ticksPerField_;
        }
        unit_.pts = unit_.dts;
        if (!units_.Append(unit_)) return WriteFailed();
        held_ = unit_;
        heldIndex_ = index;
        heldFields_ = fields;
        heldValid_ = true;
    }

    ++facts_.pictures;
    ++facts_.picturesOfType[unit_.type];
    facts_.bytesOfType[unit_.type] += length;
    if (++unitsSinceCheckpoint_ >= facts_.picturesPerSecond) {
        largestSecondBytes_ = std::max(largestSecondBytes_, end - checkpointEnd_);
        checkpointEnd_ = end;
        unitsSinceCheckpoint_ = 0;
        checkpointReached_ = true;
    }
    return Status::Ok();
}

Status VideoScanner::Finish() {
    if (awaitingPictureExtension_) {
        return Status::Failed("Invalid MPEG2 Video stream, no picture coding extension present.");
    }
    if (!unitOpen_ || expectSecondField_) return Status::Failed(kInvalidHeader);
    facts_.endsWithSequenceEnd = sawSequenceEnd_ && lastSequenceEndAt_ + 4 == es_.Size();
    if (pictureOpen_ && !facts_.endsWithSequenceEnd) {
        // Without an end code the last picture must reach the rows that the
        // earlier ones reached; a stream cut inside it would not.
        const size_t kind = pictureStructure_ == kFramePicture ? 0 : 1;
        if (pictureLastSlice_ == 0 || pictureLastSlice_ < learnedLastSlice_[kind])
            return Status::Failed(kInvalidHeader);
    }
    ClosePicture();
    Status step = CloseUnit(es_.Size());
    if (!step.IsOk()) return step;
    if (heldValid_) {
        held_.pts = static_cast<double>(displayFields_) * ticksPerField_;
        displayFields_ += heldFields_;
        if (!units_.Rewrite(heldIndex_, held_)) return WriteFailed();
    }
    facts_.durationTicks = static_cast<double>(displayFields_) * ticksPerField_;

    // A stream shorter than one second has no checkpoint; its rate is its
    // bytes scaled to a second.
    const double secondBits = checkpointReached_
                                  ? static_cast<double>(largestSecondBytes_) * 8
                                  : static_cast<double>(es_.Size()) * 8 * facts_.picturesPerSecond /
                                        static_cast<double>(facts_.pictures);
    facts_.computedMaxRate = static_cast<uint32_t>(std::ceil(secondBits * 0.0025));

    double averagePeriod = facts_.picturePeriodTicks / kTicksPerSecond;
    if (facts_.pulldown != 0 && PicturesPerSecond(facts_.frameRateCode) == 30)
        averagePeriod = facts_.frameRateCode == 4 ? 1001.0 / 24000.0 : 1.0 / 24.0;
    const double bytesPerSecond =
        static_cast<double>(es_.Size()) / static_cast<double>(facts_.pictures) / averagePeriod;
    facts_.computedAverageRate = 25 * static_cast<uint32_t>(std::ceil(bytesPerSecond * 0.0008));
    return Status::Ok();
}

}  // namespace

double PicturePeriodSeconds(int frameRateCode) {
    switch (frameRateCode) {
        case 1:
            return 1001.0 / 24000.0;
        case 2:
            return 1.0 / 24.0;
        case 3:
            return 1.0 / 25.0;
        case 4:
            return 1001.0 / 30000.0;
        case 5:
            return 1.0 / 30.0;
        case 6:
            return 1.0 / 50.0;
        case 7:
            return 1001.0 / 60000.0;
        case 8:
            return 1.0 / 60.0;
        default:
            return 0.04;
    }
}

int PicturesPerSecond(int frameRateCode) {
    static constexpr int kWhole[] = {24, 24, 25, 30, 30, 50, 60, 60};
    return frameRateCode >= 1 && frameRateCode <= 8 ? kWhole[frameRateCode - 1] : 25;
}

Status ScanVideoStream(EsFile& es, const std::string& path, const std::string& unitPath,
                       const VideoScanOptions& options, ProgressThrottle& progress,
                       VideoFacts& facts) {
    VideoScanner scanner(es, path, options, progress, facts);
    return scanner.Run(unitPath);
}

}  // namespace korvan::mux
