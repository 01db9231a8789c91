// The bytes of packs and packets: ISO/IEC 11172-1 system syntax for the
// MPEG-1 and VideoCD streams, ISO/IEC 13818-1 program-stream syntax for the
// MPEG-2, SuperVCD and DVD streams. Clock values come in 27 MHz ticks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "korvan/mpegenc/common/bit_writer.h"

namespace korvan::mux {

enum class SystemSyntax { kMpeg1, kMpeg2 };

inline constexpr uint8_t kPaddingStreamId = 0xBE;
inline constexpr uint8_t kPrivateStream1Id = 0xBD;
inline constexpr uint8_t kPrivateStream2Id = 0xBF;
inline constexpr uint8_t kVideoStreamId = 0xE0;
inline constexpr uint8_t kMpegAudioStreamId = 0xC0;
inline constexpr uint8_t kAc3SubStreamId = 0x80;
inline constexpr uint32_t kProgramEndCode = 0x000001B9;
inline constexpr uint32_t kSequenceEndCode = 0x000001B7;

// Bytes of the fixed parts.
inline constexpr size_t kPacketStartBytes = 6;  // start code, stream id, packet length
size_t PackHeaderBytes(SystemSyntax syntax);

// A clock value in 90 kHz units and its 27 MHz remainder, 33 bits wide.
uint64_t ClockBase(double ticks);
uint32_t ClockExtension(double ticks);

void WritePackHeader(BitWriter& out, SystemSyntax syntax, double scrTicks, uint32_t muxRate);

struct BufferBound {
    uint8_t streamId = 0;
    int scale = 0;  // 0: units of 128 bytes, 1: units of 1024 bytes
    int size = 0;
};

struct SystemHeaderFields {
    uint32_t rateBound = 0;
    int audioBound = 0;
    int videoBound = 0;
    bool constrained = false;  // CSPS_flag
    bool audioLock = false;
    bool videoLock = false;
    std::vector<BufferBound> bounds;
};

size_t SystemHeaderBytes(const SystemHeaderFields& fields);
void WriteSystemHeader(BitWriter& out, SystemSyntax syntax, const SystemHeaderFields& fields);

struct PacketHeaderFields {
    uint8_t streamId = 0;
    bool hasStdBuffer = false;
    BufferBound stdBuffer;
    bool hasPts = false;
    bool hasDts = false;
    double pts = 0;
    double dts = 0;
    bool originalOrCopy = false;  // MPEG-2 syntax only
    int stuffingBytes = 0;
};

// The header from the start code up to the first data byte.
size_t PacketHeaderBytes(SystemSyntax syntax, const PacketHeaderFields& fields);
// `dataBytes` follow the header; together they make the packet length.
void WritePacketHeader(BitWriter& out, SystemSyntax syntax, const PacketHeaderFields& fields,
                       size_t dataBytes);

// A padding packet of `totalBytes` (at least 7), header included.
void WritePaddingPacket(BitWriter& out, SystemSyntax syntax, size_t totalBytes);

// A packet of `dataBytes` zero bytes in private stream 2, as the DVD
// navigation pack carries its presentation and search information.
void WritePrivateStream2Packet(BitWriter& out, size_t dataBytes);

// The DVD navigation pack that opens every GOP: pack header, the DVD system
// header, then either the two private-stream-2 packets that the authoring
// step fills in, or one padding packet.
enum class NavigationContent { kPrivateStream2, kPadding };
void WriteNavigationPack(BitWriter& out, double scrTicks, uint32_t muxRate, size_t sectorBytes,
                         NavigationContent content);
SystemHeaderFields NavigationSystemHeader(uint32_t muxRate);

}  // namespace korvan::mux
