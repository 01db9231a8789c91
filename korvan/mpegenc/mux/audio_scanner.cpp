#include "korvan/mpegenc/mux/audio_scanner.h"

#include <algorithm>

#include "korvan/mpegenc/common/format_text.h"
#include "korvan/mpegenc/mux/unit_records.h"
#include "korvan/mpegenc/mux/video_scanner.h"

namespace korvan::mux {

namespace {

// kbit/s by [version 1 or 2][layer 1..3][bitrate index 1..14].
constexpr int kMpegBitRates[2][3][14] = {
    {{32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
};
constexpr int kMpegSamplingRates[3] = {44100, 48000, 32000};

// kbit/s by frmsizecod / 2.
constexpr int kAc3BitRates[19] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                  192, 224, 256, 320, 384, 448, 512, 576, 640};
constexpr int kAc3SamplingRates[3] = {48000, 44100, 32000};
constexpr int kAc3Samples = 1536;
// Versions above this are Enhanced AC-3, which the program streams here cannot carry.
constexpr int kAc3LastBitStreamId = 10;

bool ParseMpegHeader(const uint8_t* bytes, AudioFrameHeader& header) {
    if (bytes[0] != 0xFF || (bytes[1] & 0xF0) != 0xF0) return false;
    const int versionBit = (bytes[1] >> 3) & 1;
    const int layerCode = (bytes[1] >> 1) & 3;
    const int bitRateIndex = bytes[2] >> 4;
    const int samplingIndex = (bytes[2] >> 2) & 3;
    const int padding = (bytes[2] >> 1) & 1;
    if (layerCode == 0 || bitRateIndex == 0 || bitRateIndex == 15 || samplingIndex == 3)
        return false;
    header.format = AudioFormat::kMpeg;
    header.version = versionBit ? 1 : 2;
    header.layer = 4 - layerCode;
    header.bitRateKbps = kMpegBitRates[header.version - 1][header.layer - 1][bitRateIndex - 1];
    header.samplingRateHz = kMpegSamplingRates[samplingIndex] / header.version;
    header.mode = bytes[3] >> 6;
    const int bitRate = header.bitRateKbps * 1000;
    if (header.layer == 1) {
        header.samples = 384;
        header.frameBytes = (12 * bitRate / header.samplingRateHz + padding) * 4;
    } else if (header.layer == 3 && header.version == 2) {
        header.samples = 576;
        header.frameBytes = 72 * bitRate / header.samplingRateHz + padding;
    } else {
        header.samples = 1152;
        header.frameBytes = 144 * bitRate / header.samplingRateHz + padding;
    }
    return true;
}

bool ParseAc3Header(const uint8_t* bytes, AudioFrameHeader& header) {
    if (bytes[0] != 0x0B || bytes[1] != 0x77) return false;
    const int samplingCode = bytes[4] >> 6;
    const int frameSizeCode = bytes[4] & 0x3F;
    const int bitStreamId = bytes[5] >> 3;
    if (samplingCode == 3 || frameSizeCode >= 38 || bitStreamId > kAc3LastBitStreamId) return false;
    header.format = AudioFormat::kAc3;
    header.layer = 0;
    header.bitRateKbps = kAc3BitRates[frameSizeCode / 2];
    header.samplingRateHz = kAc3SamplingRates[samplingCode];
    header.samples = kAc3Samples;
    // A frame is 1536 samples long; at 44.1 kHz its 16-bit words do not
    // come out whole and the odd size codes carry one word more.
    const int words = header.bitRateKbps * 1000 * kAc3Samples / header.samplingRateHz / 16;
    header.frameBytes = 2 * (words + (samplingCode == 1 ? (frameSizeCode & 1) : 0));
    return true;
}

bool SameStream(const AudioFrameHeader& a, const AudioFrameHeader& b) {
    return a.format == b.format && a.version == b.version && a.layer == b.layer &&
           a.samplingRateHz == b.samplingRateHz;
}

}  // namespace

bool ParseAudioFrameHeader(const uint8_t* bytes, AudioFrameHeader& header) {
    return ParseMpegHeader(bytes, header) || ParseAc3Header(bytes, header);
}

Status ScanAudioStream(EsFile& es, const std::string& path, const std::string& unitPath,
                       ProgressThrottle& progress, AudioFacts& facts) {
    facts = AudioFacts{};
    const std::string refused =
        FormatText("File %s is not an AC3 or MPEG Audio stream.", path.c_str());
    uint8_t bytes[6] = {};
    if (!es.ReadAt(0, bytes, 2)) return Status::Failed(refused);
    const bool mpegSync = bytes[0] == 0xFF && (bytes[1] & 0xF0) == 0xF0;
    const bool ac3Sync = bytes[0] == 0x0B && bytes[1] == 0x77;
    if (!mpegSync && !ac3Sync) return Status::Failed(refused);

    AudioFrameHeader first;
    if (!es.ReadAt(0, bytes, sizeof bytes) || !ParseAudioFrameHeader(bytes, first))
        return Status::Failed("Only MPEG and AC3 audio stream formats are supported.");

    UnitWriter<AudioUnit> units;
    if (!units.Create(unitPath)) {
        return Status::Failed(
            FormatText("Unable to create temporary audio units file %s.", unitPath.c_str()));
    }
    const auto writeFailed = [&] {
        return Status::Failed(
            FormatText("Error writing to temporary audio units file %s.", unitPath.c_str()));
    };

    facts.format = first.format;
    facts.layer = first.layer;
    facts.samplingRateHz = first.samplingRateHz;
    facts.mode = first.mode;
    facts.samplesPerFrame = first.samples;
    const double ticksPerSample = kTicksPerSecond / first.samplingRateHz;
    const double size = static_cast<double>(es.Size());

    uint64_t offset = 0;
    uint64_t samples = 0;
    while (offset < es.Size()) {
        AudioFrameHeader header;
        if (!es.ReadAt(offset, bytes, sizeof bytes) || !ParseAudioFrameHeader(bytes, header) ||
            !SameStream(header, first) ||
            offset + static_cast<uint64_t>(header.frameBytes) > es.Size()) {
            return Status::Failed(refused);
        }
        AudioUnit unit;
        unit.offset = offset;
        unit.length = static_cast<uint32_t>(header.frameBytes);
        unit.pts = static_cast<double>(samples) * ticksPerSample;
        if (!units.Append(unit)) return writeFailed();
        facts.bitRateKbps = std::max(facts.bitRateKbps, header.bitRateKbps);
        samples += static_cast<uint64_t>(header.samples);
        offset += static_cast<uint64_t>(header.frameBytes);

        const int percent = static_cast<int>(static_cast<double>(offset) * 100.0 / size);
        if (progress.Due(percent)) {
            if (progress.Host().IsCancelled()) return Status::Cancelled();
            progress.Host().ReportProgress(
                FormatText("Scanning audio stream: %d%% - byte offset %.0f of %.0f.", percent,
                           static_cast<double>(offset), size),
                percent);
        }
    }
    facts.frames = units.Count();
    facts.durationTicks = static_cast<double>(samples) * ticksPerSample;
    return units.Finish() ? Status::Ok() : writeFailed();
}

}  // namespace korvan::mux
