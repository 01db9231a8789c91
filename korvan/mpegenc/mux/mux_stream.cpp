#include "korvan/mpegenc/mux/mux_stream.h"

#include <algorithm>
#include <cstring>

#include "korvan/mpegenc/mux/video_scanner.h"

namespace korvan::mux {

namespace {

constexpr uint8_t kEndCodeBytes[4] = {0x00, 0x00, 0x01, 0xB7};

// What a packet's walk over the units found.
struct Touch {
    uint64_t unit;
    uint64_t fromInUnit;
    uint64_t bytes;
    uint64_t packetAt;  // where its bytes begin in the packet's data
    bool unitStart;     // its first byte is in the packet
    int64_t stampAt;    // the picture or frame start in the packet's data, or -1
    uint8_t type;
    double pts;
    double dts;
};

}  // namespace

MuxStream::OpenFailure MuxStream::Open(const std::string& streamPath, const std::string& unitPath) {
    if (!es_.Open(streamPath)) return OpenFailure::kStream;
    const bool opened = IsVideo() ? videoUnits_.Open(unitPath) : audioUnits_.Open(unitPath);
    if (!opened) return OpenFailure::kUnits;
    unitCount_ = IsVideo() ? videoUnits_.Count() : audioUnits_.Count();
    limit_ = unitCount_;
    return OpenFailure::kNone;
}

bool MuxStream::View(uint64_t index, UnitView& view) {
    view = UnitView{};
    view.index = index;
    if (!IsVideo()) {
        AudioUnit unit;
        if (!audioUnits_.Read(index, unit)) return false;
        view.esOffset = unit.offset;
        view.esLength = unit.length;
        view.muxBytes = unit.length;
        view.pts = unit.pts + clockOffset_;
        view.dts = view.pts;
        return true;
    }
    VideoUnit unit;
    if (!videoUnits_.Read(index, unit)) return false;
    view.esOffset = unit.offset;
    view.esLength = unit.length;
    view.type = unit.type;
    view.flags = unit.flags;
    view.pts = unit.pts + clockOffset_;
    view.dts = unit.dts + clockOffset_;
    const bool isI = unit.type == kPictureI;
    // A GOP that must begin with a sequence header, and the first picture
    // of a file, get the first sequence header when they lack their own.
    if (isI && !(unit.flags & kUnitHasSequenceHeader) && insertions_.sequenceHeader &&
        !insertions_.sequenceHeader->empty() &&
        (insertions_.alignSequenceHeaders || index == firstUnitOfFile_)) {
        view.prefixBytes = static_cast<uint32_t>(insertions_.sequenceHeader->size());
    }
    if (isI && insertions_.scanUserData && unit.userDataOffset >= 0 &&
        !(unit.flags & kUnitHasScanUserData) &&
        static_cast<uint64_t>(unit.userDataOffset) >= unit.offset &&
        static_cast<uint64_t>(unit.userDataOffset) <= unit.offset + unit.length) {
        view.userDataAt = unit.userDataOffset;
    }
    view.muxBytes =
        view.prefixBytes + unit.length + (view.userDataAt >= 0 ? sizeof kScanUserData : 0);
    view.stampAt = view.prefixBytes + unit.pictureStart;
    return true;
}

bool MuxStream::ReadUnitBytes(const UnitView& view, uint64_t from, uint64_t count, uint8_t* out) {
    // The unit's pieces in order: inserted header, stream bytes up to the
    // user data point, inserted user data, the remaining stream bytes.
    const uint64_t splitAt = view.userDataAt >= 0
                                 ? static_cast<uint64_t>(view.userDataAt) - view.esOffset
                                 : view.esLength;
    struct Piece {
        const uint8_t* literal;
        uint64_t esOffset;
        uint64_t bytes;
    };
    const Piece pieces[4] = {
        {insertions_.sequenceHeader ? insertions_.sequenceHeader->data() : nullptr, 0,
         view.prefixBytes},
        {nullptr, view.esOffset, splitAt},
        {kScanUserData, 0, view.userDataAt >= 0 ? sizeof kScanUserData : 0},
        {nullptr, view.esOffset + splitAt, view.esLength - splitAt},
    };
    uint64_t pieceStart = 0;
    for (const Piece& piece : pieces) {
        const uint64_t pieceEnd = pieceStart + piece.bytes;
        if (count > 0 && from < pieceEnd) {
            const uint64_t inPiece = from - pieceStart;
            const uint64_t take = std::min(count, piece.bytes - inPiece);
            if (piece.literal) {
                std::memcpy(out, piece.literal + inPiece, take);
            } else if (!es_.ReadAt(piece.esOffset + inPiece, out, take)) {
                return false;
            }
            out += take;
            from += take;
            count -= take;
        }
        pieceStart = pieceEnd;
    }
    return count == 0;
}

PacketPlan MuxStream::Plan(size_t roomBytes, const PlanRules& rules, bool& readFailed) {
    PacketPlan plan;
    plan.header.streamId = streamId_;
    plan.header.hasStdBuffer = rules.stdBuffer;
    plan.header.stdBuffer = stdBuffer_;
    plan.header.originalOrCopy = rules.originalOrCopy && rules.syntax == SystemSyntax::kMpeg2;
    plan.subHeaderBytes = kind_ == StreamKind::kAc3 ? kAc3SubHeaderBytes : 0;
    const size_t bareHeader = PacketHeaderBytes(rules.syntax, plan.header);
    if (roomBytes <= bareHeader + plan.subHeaderBytes) return plan;
    const uint64_t capacity = roomBytes - bareHeader - plan.subHeaderBytes;

    // Walk the units the packet could reach.
    std::vector<Touch> touches;
    uint64_t gathered = 0;
    for (uint64_t unit = next_; unit < limit_ && gathered < capacity; ++unit) {
        UnitView view;
        if (!View(unit, view)) {
            readFailed = true;
            return plan;
        }
        const uint64_t from = unit == next_ ? sentInUnit_ : 0;
        const uint64_t bytes = std::min(view.muxBytes - from, capacity - gathered);
        Touch touch{unit, from, bytes, gathered, from == 0, -1, view.type, view.pts, view.dts};
        if (view.stampAt >= from && view.stampAt < from + bytes)
            touch.stampAt = static_cast<int64_t>(gathered + view.stampAt - from);
        touches.push_back(touch);
        gathered += bytes;
    }
    // The walk stops short of the capacity only at the file's last unit.
    const bool endCodeReached = endCodePending_ && gathered < capacity;
    uint64_t payload = gathered;
    uint64_t finalCapacity = capacity;
    if (touches.empty() && !endCodeReached) return plan;

    const auto firstStamp = [&](uint64_t within) -> const Touch* {
        for (const Touch& touch : touches) {
            if (touch.stampAt >= 0 && static_cast<uint64_t>(touch.stampAt) < within) return &touch;
        }
        return nullptr;
    };

    if (IsVideo()) {
        // An I picture is the first picture to start in its packet, so that
        // its time stamps are never lost; with aligned sequence headers it
        // begins a packet of its own.
        const Touch* stamped = firstStamp(payload);
        for (const Touch& touch : touches) {
            if (touch.type != kPictureI || !touch.unitStart || touch.packetAt == 0) continue;
            if (rules.alignSequenceHeaders || (stamped && stamped->unit != touch.unit)) {
                payload = touch.packetAt;
                break;
            }
        }
    }

    const Touch* stamped = firstStamp(payload);
    if (stamped) {
        PacketHeaderFields withStamps = plan.header;
        if (IsVideo()) {
            const bool isI = stamped->type == kPictureI;
            const bool isP = stamped->type == kPictureP;
            const bool isB = stamped->type == kPictureB;
            withStamps.hasPts = isI || (isP && rules.frameTimestamps != 2) ||
                                (isB && rules.frameTimestamps == 0) || stamped->type == kPictureD;
            withStamps.hasDts = withStamps.hasPts && !isB && stamped->dts != stamped->pts;
        } else {
            withStamps.hasPts = true;
        }
        withStamps.pts = stamped->pts;
        withStamps.dts = stamped->dts;
        if (withStamps.hasPts) {
            const size_t stampedHeader = PacketHeaderBytes(rules.syntax, withStamps);
            const uint64_t stampedCapacity = roomBytes > stampedHeader + plan.subHeaderBytes
                                                 ? roomBytes - stampedHeader - plan.subHeaderBytes
                                                 : 0;
            if (static_cast<uint64_t>(stamped->stampAt) < stampedCapacity) {
                plan.header = withStamps;
                payload = std::min(payload, stampedCapacity);
                finalCapacity = stampedCapacity;
            } else if (IsVideo() && stamped->type == kPictureI) {
                // No room for the I picture's stamps: it starts the next packet.
                payload = stamped->unitStart && stamped->packetAt > 0
                              ? stamped->packetAt
                              : static_cast<uint64_t>(stamped->stampAt);
            }
        }
    }

    // Keep only what fits.
    for (const Touch& touch : touches) {
        if (touch.packetAt >= payload) break;
        const uint64_t bytes = std::min(touch.bytes, payload - touch.packetAt);
        const double removal = IsVideo() ? touch.dts : touch.pts;
        plan.spans.push_back({touch.unit, touch.fromInUnit, bytes, removal});
        if (touch.unitStart) {
            if (kind_ == StreamKind::kAc3 && plan.ac3Frames++ == 0)
                plan.ac3FirstOffset = static_cast<int>(touch.packetAt) + 1;
            if (IsVideo() && touch.type == kPictureI && !plan.containsIStart) {
                plan.containsIStart = true;
                plan.iStartUnit = touch.unit;
            }
        }
    }
    if (endCodeReached && payload == gathered && payload + sizeof kEndCodeBytes <= finalCapacity) {
        plan.spans.push_back({PacketSpan::kEndCode, 0, sizeof kEndCodeBytes, 0});
        payload += sizeof kEndCodeBytes;
    }
    if (payload == 0) return plan;
    plan.dataBytes = static_cast<size_t>(payload);
    plan.headerBytes = PacketHeaderBytes(rules.syntax, plan.header);
    plan.firstRemoval = plan.spans.front().removal;
    plan.lastRemoval = plan.firstRemoval;
    for (const PacketSpan& span : plan.spans) {
        if (span.unit != PacketSpan::kEndCode) plan.lastRemoval = span.removal;
    }
    plan.valid = true;
    return plan;
}

bool MuxStream::ReadPlannedData(const PacketPlan& plan, std::vector<uint8_t>& out) {
    out.clear();
    if (kind_ == StreamKind::kAc3) {
        out.push_back(subStreamId_);
        out.push_back(static_cast<uint8_t>(plan.ac3Frames));
        out.push_back(static_cast<uint8_t>(plan.ac3FirstOffset >> 8));
        out.push_back(static_cast<uint8_t>(plan.ac3FirstOffset));
    }
    for (const PacketSpan& span : plan.spans) {
        const size_t at = out.size();
        out.resize(at + span.bytes);
        if (span.unit == PacketSpan::kEndCode) {
            std::memcpy(out.data() + at, kEndCodeBytes, sizeof kEndCodeBytes);
            continue;
        }
        UnitView view;
        if (!View(span.unit, view) ||
            !ReadUnitBytes(view, span.fromInUnit, span.bytes, out.data() + at)) {
            return false;
        }
    }
    return true;
}

void MuxStream::Commit(const PacketPlan& plan, double scr) {
    for (const PacketSpan& span : plan.spans) {
        if (span.unit == PacketSpan::kEndCode) {
            endCodePending_ = false;
            continue;
        }
        buffer_.Add(span.unit, span.removal, span.bytes);
        if (span.removal < scr && span.unit != lastLateUnit_) {
            ++underflows_;
            lastLateUnit_ = span.unit;
        }
        if (span.fromInUnit == 0 && span.removal > scr + kLongestWaitTicks) ++earlyUnits_;
        sentInUnit_ = span.fromInUnit + span.bytes;
        next_ = span.unit;
        UnitView view;
        if (View(span.unit, view) && sentInUnit_ >= view.muxBytes) {
            next_ = span.unit + 1;
            sentInUnit_ = 0;
            ++unitsCompleted_;
        }
    }
}

}  // namespace korvan::mux
