#include "korvan/mpegenc/mux/mux_plan.h"

#include <cmath>

#include "korvan/mpegenc/settings/encoder_settings.h"

namespace korvan::mux {

namespace {

// MPEG-1 video marks a variable bitrate with an all-ones bit_rate.
constexpr uint32_t kMpeg1VariableBitRate = 0x3FFFF;

}  // namespace

SystemSyntax SyntaxOf(int programStreamType) {
    return programStreamType <= kStreamVcd ? SystemSyntax::kMpeg1 : SystemSyntax::kMpeg2;
}

double VideoRateBytes(int useComputedBitrate, const VideoFacts& facts) {
    uint32_t rate = facts.computedMaxRate;
    if (useComputedBitrate == 1) {
        rate = facts.computedAverageRate;
    } else if (useComputedBitrate == 0 && facts.bitRate != 0 &&
               !(!facts.mpeg2 && facts.bitRate == kMpeg1VariableBitRate)) {
        rate = facts.bitRate;
    }
    return static_cast<double>(rate) * 50.0;
}

double AudioRateBytes(const AudioFacts& facts) { return facts.bitRateKbps * 125.0; }

int PackPayloadBytes(int programStreamType, int sectorBytes, int packetsPerPack,
                     bool alwaysWriteSysHeader, int absentStreams) {
    const bool mpeg1 = SyntaxOf(programStreamType) == SystemSyntax::kMpeg1;
    if (alwaysWriteSysHeader) return sectorBytes - (mpeg1 ? 51 : 57) + 3 * absentStreams;
    return mpeg1 ? sectorBytes - 18 * packetsPerPack - 12 : sectorBytes - 22 * packetsPerPack - 14;
}

uint32_t ComputeMuxRate(int sectorBytes, double payloadBytes, double dataBytesPerSecond) {
    const double withOverhead = std::ceil(sectorBytes / payloadBytes * dataBytesPerSecond);
    return static_cast<uint32_t>(std::ceil(withOverhead * 0.02));
}

double PacksPerSecond(int programStreamType, uint32_t muxRate, int sectorBytes) {
    // A VideoCD is read at the CD's sector rate; its mux rate field counts
    // whole raw sectors, of which a pack fills only the user data.
    if (programStreamType == kStreamVcd && muxRate == kVcdMuxRate) return kCdSectorsPerSecond;
    return muxRate * 50.0 / sectorBytes;
}

}  // namespace korvan::mux
