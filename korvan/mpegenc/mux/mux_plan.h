// The numbers a multiplex is built on, computed before the first pack: the
// data rates of the streams, the payload of a pack, the mux rate, the pack
// interval and the start-up delay.
#pragma once

#include <cstdint>

#include "korvan/mpegenc/mux/audio_scanner.h"
#include "korvan/mpegenc/mux/pack_syntax.h"
#include "korvan/mpegenc/mux/video_scanner.h"

namespace korvan::mux {

inline constexpr int kVcdMuxRate = 3528;  // units of 50 bytes/s
inline constexpr double kCdSectorsPerSecond = 75;

SystemSyntax SyntaxOf(int programStreamType);

// Video data rate in bytes/s by "useComputedBitrate": 0 the sequence
// header's bit_rate (the computed maximum when the header gives none), 1 the
// computed average, 2 the computed maximum.
double VideoRateBytes(int useComputedBitrate, const VideoFacts& facts);
double AudioRateBytes(const AudioFacts& facts);

// Elementary stream bytes one pack carries, all its packets together, when
// every packet header is as large as it can be.
int PackPayloadBytes(int programStreamType, int sectorBytes, int packetsPerPack,
                     bool alwaysWriteSysHeader, int absentStreams);

// Mux rate in units of 50 bytes/s that carries `dataBytesPerSecond` of
// elementary stream data in packs of `sectorBytes` holding `payloadBytes`.
uint32_t ComputeMuxRate(int sectorBytes, double payloadBytes, double dataBytesPerSecond);

double PacksPerSecond(int programStreamType, uint32_t muxRate, int sectorBytes);

}  // namespace korvan::mux
