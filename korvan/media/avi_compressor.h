// The video compressor of the AVI writer: the codecs it offers (by
// FOURCC), the options record the user's choice is kept in ("avicode.dat"
// in the host program's folder), and the compressor dialog, which the host
// answers.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace korvan::media {

constexpr uint32_t FourCc(const char (&code)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(code[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(code[3])) << 24;
}

inline constexpr char kCompressorFileName[] = "avicode.dat";
inline constexpr std::size_t kCompressorRecordBytes = 44;

// Flags of the record: which of its values the user set.
inline constexpr uint32_t kCompressInterleave = 0x1;
inline constexpr uint32_t kCompressDataRate = 0x2;
inline constexpr uint32_t kCompressKeyFrames = 0x4;
inline constexpr uint32_t kCompressValid = 0x8;

// The fields of the record, in file order (all little-endian 32-bit), and
// the codec's parameter block that follows it. The two pointers mean
// nothing in the file and are written as they come.
struct CompressorOptions {
    uint32_t streamType = FourCc("vids");
    uint32_t handler = 0;  // the codec's FOURCC
    uint32_t keyFrameEvery = 0;
    uint32_t quality = 0;  // 0..10000
    uint32_t bytesPerSecond = 0;
    uint32_t flags = 0;
    uint32_t formatPointer = 0;
    uint32_t formatSize = 0;
    uint32_t parametersPointer = 0;
    uint32_t parametersSize = 0;
    uint32_t interleaveEvery = 0;
    std::vector<uint8_t> parameters;
};

// A codec the writer offers: its FOURCC, the libavcodec encoder behind it
// (empty: uncompressed rows) and a name for the user.
struct VideoCompressor {
    uint32_t fourcc;
    const char* encoder;
    const char* name;
};

// The compressors whose encoders this libavcodec has, the default first.
std::vector<VideoCompressor> AvailableCompressors();
// The compressor of a FOURCC when its encoder is here.
std::optional<VideoCompressor> FindCompressor(uint32_t fourcc);

// What the writer uses when nobody can be asked: MPEG-4 part 2 at a high
// quality, small enough that an hour of 720 x 576 takes a few gigabytes.
CompressorOptions DefaultCompressorOptions();

// The record and its block from the file's bytes; nothing when they are
// shorter than the record or than the block it announces.
std::optional<CompressorOptions> ParseCompressorOptions(std::span<const uint8_t> bytes);
std::vector<uint8_t> SerializeCompressorOptions(const CompressorOptions& options);

// `hostFolder` is the folder of the writable files, ending in "/". A
// missing, short or damaged file loads as
// nothing.
std::optional<CompressorOptions> LoadCompressorOptions(const std::string& hostFolder);
bool SaveCompressorOptions(const std::string& hostFolder, const CompressorOptions& options);

// The compressor dialog. The host shows the offered compressors starting
// from `current` and returns the user's answer; a host that cannot ask
// anyone answers kNobodyToAsk (as does an empty dialog).
enum class DialogAnswer { kConfirmed, kCancelled, kNobodyToAsk };
struct CompressorChoice {
    DialogAnswer answer = DialogAnswer::kNobodyToAsk;
    CompressorOptions options;
};
// Which choices the dialog offers besides the codec.
inline constexpr uint32_t kDialogKeyFrames = 0x1;
inline constexpr uint32_t kDialogDataRate = 0x2;
inline constexpr uint32_t kDialogPreview = 0x4;
using CompressorDialog = std::function<CompressorChoice(
    const CompressorOptions& current, std::span<const VideoCompressor> offered, uint32_t choices)>;

// Asks once and keeps the answer for later AVI outputs: shows the dialog
// from the saved choice (or the default) and saves what the user
// confirms. Without anyone to ask nothing is saved. True when a choice is
// saved afterwards.
bool ChooseCompressor(const std::string& hostFolder, const CompressorDialog& dialog);

// True when "avicode.dat" holds a record whose codec this system does not
// have (saved elsewhere, or by a libavcodec that had it).
bool SavedCompressorMissingHere(const std::string& hostFolder);

}  // namespace korvan::media
