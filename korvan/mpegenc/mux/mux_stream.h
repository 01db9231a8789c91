// One elementary stream while packs are written: where it stands in its
// units, its decoder buffer, and the planning of its next packet (how many
// bytes, which time stamps, which units they touch).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "korvan/mpegenc/mux/decoder_buffer.h"
#include "korvan/mpegenc/mux/es_file.h"
#include "korvan/mpegenc/mux/pack_syntax.h"
#include "korvan/mpegenc/mux/unit_records.h"

namespace korvan::mux {

enum class StreamKind { kVideo, kMpegAudio, kAc3 };

// The 18-byte SuperVCD scan-offset user data with its four addresses unset.
inline constexpr uint8_t kScanUserData[18] = {0x00, 0x00, 0x01, 0xB2, 0x10, 0x0E, 0x00, 0x80, 0x80,
                                              0x00, 0x80, 0x80, 0x00, 0x80, 0x80, 0x00, 0x80, 0x80};
inline constexpr size_t kAc3SubHeaderBytes = 4;
// No byte should wait longer than this in a decoder buffer (27 MHz ticks).
inline constexpr double kLongestWaitTicks = 27000000.0;

// A unit as it goes into packets: its elementary stream bytes plus what the
// multiplexer puts into it, and its times on the stream clock.
struct UnitView {
    uint64_t index = 0;
    uint64_t esOffset = 0;
    uint32_t esLength = 0;
    uint32_t prefixBytes = 0;  // the remembered sequence header put in front
    int64_t userDataAt = -1;   // stream offset where scan-offset user data goes in
    uint64_t muxBytes = 0;
    uint64_t stampAt = 0;  // the picture or frame start, counted in muxBytes
    double pts = 0;
    double dts = 0;
    uint8_t type = 0;  // picture type; 0 for audio
    uint8_t flags = 0;
};

// Bytes of one unit that a packet carries. The end code the multiplexer
// adds after a file's last picture has no unit.
struct PacketSpan {
    static constexpr uint64_t kEndCode = ~uint64_t{0};
    uint64_t unit = 0;
    uint64_t fromInUnit = 0;
    uint64_t bytes = 0;
    double removal = 0;
};

struct PacketPlan {
    bool valid = false;
    PacketHeaderFields header;
    size_t headerBytes = 0;  // without stuffing
    size_t subHeaderBytes = 0;
    size_t dataBytes = 0;
    std::vector<PacketSpan> spans;
    int ac3Frames = 0;
    int ac3FirstOffset = 0;
    double firstRemoval = 0;      // decoding time of the first unit it touches
    double lastRemoval = 0;       // and of the last
    bool containsIStart = false;  // the first byte of an I picture is in it
    uint64_t iStartUnit = 0;
};

struct PlanRules {
    SystemSyntax syntax = SystemSyntax::kMpeg1;
    bool stdBuffer = false;
    int frameTimestamps = 0;  // 0 every picture, 1 I and P, 2 only I
    bool alignSequenceHeaders = false;
    bool originalOrCopy = false;
};

struct VideoInsertions {
    const std::vector<uint8_t>* sequenceHeader = nullptr;
    bool alignSequenceHeaders = false;
    bool scanUserData = false;
};

class MuxStream {
public:
    MuxStream(StreamKind kind, uint8_t streamId, uint8_t subStreamId, BufferBound stdBuffer,
              uint64_t bufferBytes)
        : kind_(kind),
          streamId_(streamId),
          subStreamId_(subStreamId),
          stdBuffer_(stdBuffer),
          buffer_(bufferBytes) {}

    // False when the stream or its unit file cannot be opened; `which` says
    // which of the two failed.
    enum class OpenFailure { kNone, kStream, kUnits };
    OpenFailure Open(const std::string& streamPath, const std::string& unitPath);
    void SetInsertions(const VideoInsertions& insertions) { insertions_ = insertions; }

    StreamKind Kind() const { return kind_; }
    bool IsVideo() const { return kind_ == StreamKind::kVideo; }
    uint8_t StreamId() const { return streamId_; }
    BufferBound StdBuffer() const { return stdBuffer_; }
    DecoderBuffer& Buffer() { return buffer_; }
    uint64_t UnitCount() const { return unitCount_; }

    // Source times (0 = the stream's first unit) become stream-clock times
    // by adding this offset.
    void SetClockOffset(double ticks) { clockOffset_ = ticks; }
    double ClockOffset() const { return clockOffset_; }

    // The units [Next, Limit) and, when pending, an end code go into the
    // current file.
    uint64_t Next() const { return next_; }
    bool AtUnitStart() const { return sentInUnit_ == 0; }
    void MoveTo(uint64_t unit) {
        next_ = unit;
        sentInUnit_ = 0;
    }
    uint64_t Limit() const { return limit_; }
    void SetLimit(uint64_t limit) { limit_ = limit; }
    void SetEndCodePending(bool pending) { endCodePending_ = pending; }
    bool HasData() const { return next_ < limit_ || endCodePending_; }
    uint64_t FirstUnitOfFile() const { return firstUnitOfFile_; }
    void SetFirstUnitOfFile(uint64_t unit) { firstUnitOfFile_ = unit; }

    // Reads a unit record (source times); false on a read error.
    bool ReadVideoUnit(uint64_t index, VideoUnit& unit) { return videoUnits_.Read(index, unit); }
    bool ReadAudioUnit(uint64_t index, AudioUnit& unit) { return audioUnits_.Read(index, unit); }
    bool View(uint64_t index, UnitView& view);

    // The next packet for `roomBytes` of pack space; invalid when nothing
    // fits. A read error of the unit file leaves `readFailed` set.
    PacketPlan Plan(size_t roomBytes, const PlanRules& rules, bool& readFailed);
    // The packet's data bytes, sub-header included; false on a read error.
    bool ReadPlannedData(const PacketPlan& plan, std::vector<uint8_t>& out);
    // Moves past the planned data and puts it into the decoder buffer.
    // Counts units whose decoding time `scr` has passed already.
    void Commit(const PacketPlan& plan, double scr);

    uint64_t UnitsCompleted() const { return unitsCompleted_; }
    uint64_t Underflows() const { return underflows_; }
    uint64_t EarlyUnits() const { return earlyUnits_; }

private:
    bool ReadUnitBytes(const UnitView& view, uint64_t from, uint64_t count, uint8_t* out);

    StreamKind kind_;
    uint8_t streamId_;
    uint8_t subStreamId_;
    BufferBound stdBuffer_;
    DecoderBuffer buffer_;
    EsFile es_;
    UnitReader<VideoUnit> videoUnits_;
    UnitReader<AudioUnit> audioUnits_;
    uint64_t unitCount_ = 0;
    VideoInsertions insertions_;

    double clockOffset_ = 0;
    uint64_t next_ = 0;
    uint64_t sentInUnit_ = 0;
    uint64_t limit_ = 0;
    bool endCodePending_ = false;
    uint64_t firstUnitOfFile_ = 0;

    uint64_t unitsCompleted_ = 0;
    uint64_t underflows_ = 0;
    uint64_t earlyUnits_ = 0;
    uint64_t lastLateUnit_ = ~uint64_t{0};
};

}  // namespace korvan::mux
