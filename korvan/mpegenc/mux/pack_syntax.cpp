#include "korvan/mpegenc/mux/pack_syntax.h"

#include <cmath>

namespace korvan::mux {

namespace {

constexpr uint64_t kClockWrap = uint64_t{1} << 33;

// A 33-bit time stamp after its 4-bit prefix, with the three marker bits.
void WriteClock33(BitWriter& out, uint64_t value) {
    out.Put(static_cast<uint32_t>(value >> 30) & 7, 3);
    out.PutBit(true);
    out.Put(static_cast<uint32_t>(value >> 15) & 0x7FFF, 15);
    out.PutBit(true);
    out.Put(static_cast<uint32_t>(value) & 0x7FFF, 15);
    out.PutBit(true);
}

uint64_t TimestampBase(double ticks) {
    if (!(ticks > 0)) return 0;
    return static_cast<uint64_t>(std::llround(ticks / 300.0)) % kClockWrap;
}

void WriteTimestamp(BitWriter& out, uint32_t prefix, double ticks) {
    out.Put(prefix, 4);
    WriteClock33(out, TimestampBase(ticks));
}

void WriteBufferField(BitWriter& out, const BufferBound& bound) {
    out.Put(1, 2);
    out.Put(static_cast<uint32_t>(bound.scale), 1);
    out.Put(static_cast<uint32_t>(bound.size), 13);
}

}  // namespace

size_t PackHeaderBytes(SystemSyntax syntax) { return syntax == SystemSyntax::kMpeg1 ? 12 : 14; }

uint64_t ClockBase(double ticks) {
    if (!(ticks > 0)) return 0;
    return static_cast<uint64_t>(std::floor(ticks / 300.0)) % kClockWrap;
}

uint32_t ClockExtension(double ticks) {
    if (!(ticks > 0)) return 0;
    return static_cast<uint32_t>(static_cast<uint64_t>(std::floor(ticks)) % 300);
}

void WritePackHeader(BitWriter& out, SystemSyntax syntax, double scrTicks, uint32_t muxRate) {
    out.Put(0x000001BA, 32);
    if (syntax == SystemSyntax::kMpeg1) {
        out.Put(2, 4);
        WriteClock33(out, ClockBase(scrTicks));
        out.PutBit(true);
        out.Put(muxRate, 22);
        out.PutBit(true);
        return;
    }
    const uint64_t base = ClockBase(scrTicks);
    out.Put(1, 2);
    out.Put(static_cast<uint32_t>(base >> 30) & 7, 3);
    out.PutBit(true);
    out.Put(static_cast<uint32_t>(base >> 15) & 0x7FFF, 15);
    out.PutBit(true);
    out.Put(static_cast<uint32_t>(base) & 0x7FFF, 15);
    out.PutBit(true);
    out.Put(ClockExtension(scrTicks), 9);
    out.PutBit(true);
    out.Put(muxRate, 22);
    out.Put(3, 2);   // marker bits
    out.Put(31, 5);  // reserved
    out.Put(0, 3);   // no pack stuffing
}

size_t SystemHeaderBytes(const SystemHeaderFields& fields) { return 12 + 3 * fields.bounds.size(); }

void WriteSystemHeader(BitWriter& out, SystemSyntax syntax, const SystemHeaderFields& fields) {
    out.Put(0x000001BB, 32);
    out.Put(static_cast<uint32_t>(SystemHeaderBytes(fields) - kPacketStartBytes), 16);
    out.PutBit(true);
    out.Put(fields.rateBound, 22);
    out.PutBit(true);
    out.Put(static_cast<uint32_t>(fields.audioBound), 6);
    out.PutBit(false);  // fixed_flag
    out.PutBit(fields.constrained);
    out.PutBit(fields.audioLock);
    out.PutBit(fields.videoLock);
    out.PutBit(true);
    out.Put(static_cast<uint32_t>(fields.videoBound), 5);
    // MPEG-1: the reserved byte; MPEG-2: no packet rate restriction, then reserved bits.
    out.Put(syntax == SystemSyntax::kMpeg1 ? 0xFF : 0x7F, 8);
    for (const BufferBound& bound : fields.bounds) {
        out.Put(bound.streamId, 8);
        out.Put(3, 2);
        out.Put(static_cast<uint32_t>(bound.scale), 1);
        out.Put(static_cast<uint32_t>(bound.size), 13);
    }
}

size_t PacketHeaderBytes(SystemSyntax syntax, const PacketHeaderFields& fields) {
    const size_t timestamps = fields.hasPts ? (fields.hasDts ? 10 : 5) : 0;
    if (syntax == SystemSyntax::kMpeg1) {
        return kPacketStartBytes + static_cast<size_t>(fields.stuffingBytes) +
               (fields.hasStdBuffer ? 2 : 0) + (fields.hasPts ? timestamps : 1);
    }
    return kPacketStartBytes + 3 + timestamps + (fields.hasStdBuffer ? 3 : 0) +
           static_cast<size_t>(fields.stuffingBytes);
}

void WritePacketHeader(BitWriter& out, SystemSyntax syntax, const PacketHeaderFields& fields,
                       size_t dataBytes) {
    const size_t headerBytes = PacketHeaderBytes(syntax, fields);
    out.Put(0x000001, 24);
    out.Put(fields.streamId, 8);
    out.Put(static_cast<uint32_t>(headerBytes - kPacketStartBytes + dataBytes), 16);
    if (syntax == SystemSyntax::kMpeg1) {
        for (int i = 0; i < fields.stuffingBytes; ++i) out.Put(0xFF, 8);
        if (fields.hasStdBuffer) WriteBufferField(out, fields.stdBuffer);
        if (fields.hasPts && fields.hasDts) {
            WriteTimestamp(out, 3, fields.pts);
            WriteTimestamp(out, 1, fields.dts);
        } else if (fields.hasPts) {
            WriteTimestamp(out, 2, fields.pts);
        } else {
            out.Put(0x0F, 8);
        }
        return;
    }
    out.Put(fields.originalOrCopy ? 0x81 : 0x80, 8);
    const uint32_t ptsDtsFlags = fields.hasPts ? (fields.hasDts ? 3 : 2) : 0;
    out.Put(ptsDtsFlags, 2);
    out.Put(0, 5);                    // ESCR, ES rate, DSM trick mode, additional copy info, CRC
    out.PutBit(fields.hasStdBuffer);  // PES extension
    out.Put(static_cast<uint32_t>(headerBytes - kPacketStartBytes - 3), 8);
    if (fields.hasPts && fields.hasDts) {
        WriteTimestamp(out, 3, fields.pts);
        WriteTimestamp(out, 1, fields.dts);
    } else if (fields.hasPts) {
        WriteTimestamp(out, 2, fields.pts);
    }
    if (fields.hasStdBuffer) {
        // Only the P-STD buffer flag of the extension, reserved bits set.
        out.Put(0x1E, 8);
        WriteBufferField(out, fields.stdBuffer);
    }
    for (int i = 0; i < fields.stuffingBytes; ++i) out.Put(0xFF, 8);
}

void WritePaddingPacket(BitWriter& out, SystemSyntax syntax, size_t totalBytes) {
    out.Put(0x000001, 24);
    out.Put(kPaddingStreamId, 8);
    out.Put(static_cast<uint32_t>(totalBytes - kPacketStartBytes), 16);
    size_t fill = totalBytes - kPacketStartBytes;
    if (syntax == SystemSyntax::kMpeg1 && fill > 0) {
        // The padding packet keeps the MPEG-1 packet form: no time stamps.
        out.Put(0x0F, 8);
        --fill;
    }
    for (size_t i = 0; i < fill; ++i) out.Put(0xFF, 8);
}

void WritePrivateStream2Packet(BitWriter& out, size_t dataBytes) {
    out.Put(0x000001, 24);
    out.Put(kPrivateStream2Id, 8);
    out.Put(static_cast<uint32_t>(dataBytes), 16);
    for (size_t i = 0; i < dataBytes; ++i) out.Put(0, 8);
}

SystemHeaderFields NavigationSystemHeader(uint32_t muxRate) {
    SystemHeaderFields fields;
    fields.rateBound = muxRate;
    fields.audioBound = 1;
    fields.videoBound = 1;
    fields.audioLock = true;
    fields.videoLock = true;
    // All video streams, all MPEG audio streams, private streams 1 and 2.
    fields.bounds = {
        {0xB9, 1, 232}, {0xB8, 0, 32}, {kPrivateStream1Id, 1, 58}, {kPrivateStream2Id, 1, 2}};
    return fields;
}

void WriteNavigationPack(BitWriter& out, double scrTicks, uint32_t muxRate, size_t sectorBytes,
                         NavigationContent content) {
    constexpr size_t kPresentationBytes = 980;
    constexpr size_t kSearchBytes = 1018;
    WritePackHeader(out, SystemSyntax::kMpeg2, scrTicks, muxRate);
    const SystemHeaderFields header = NavigationSystemHeader(muxRate);
    WriteSystemHeader(out, SystemSyntax::kMpeg2, header);
    const size_t used = PackHeaderBytes(SystemSyntax::kMpeg2) + SystemHeaderBytes(header);
    // The two packets fill a 2048-byte DVD sector exactly; other sizes get padding.
    if (content == NavigationContent::kPrivateStream2 &&
        used + 2 * kPacketStartBytes + kPresentationBytes + kSearchBytes == sectorBytes) {
        WritePrivateStream2Packet(out, kPresentationBytes);
        WritePrivateStream2Packet(out, kSearchBytes);
        return;
    }
    WritePaddingPacket(out, SystemSyntax::kMpeg2, sectorBytes - used);
}

}  // namespace korvan::mux
