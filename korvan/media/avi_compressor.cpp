#include "korvan/media/avi_compressor.h"

#include <cstdio>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "korvan/media/little_endian.h"

namespace korvan::media {

namespace {

// The default first (what a question nobody answers leaves), then
// uncompressed rows and the other codecs AVI players know.
constexpr VideoCompressor kCompressors[] = {
    {FourCc("XVID"), "mpeg4", "MPEG-4 Part 2 (Xvid compatible)"},
    {FourCc("DIB "), "", "Full Frames (Uncompressed)"},
    {FourCc("MJPG"), "mjpeg", "Motion JPEG"},
    {FourCc("H264"), "libx264", "H.264 (x264)"},
    {FourCc("MP43"), "msmpeg4", "Microsoft MPEG-4 V3"},
    {FourCc("HFYU"), "huffyuv", "Huffyuv (lossless)"},
};

constexpr uint32_t kDefaultQuality = 9500;
constexpr uint32_t kDefaultKeyFrameEvery = 100;

void Append32(std::vector<uint8_t>& out, uint32_t value) {
    out.resize(out.size() + 4);
    WriteLe32(out.data() + out.size() - 4, value);
}

bool EncoderPresent(const VideoCompressor& compressor) {
    return compressor.encoder[0] == '\0' || avcodec_find_encoder_by_name(compressor.encoder);
}

}  // namespace

std::vector<VideoCompressor> AvailableCompressors() {
    std::vector<VideoCompressor> available;
    for (const VideoCompressor& compressor : kCompressors) {
        if (EncoderPresent(compressor)) available.push_back(compressor);
    }
    return available;
}

std::optional<VideoCompressor> FindCompressor(uint32_t fourcc) {
    for (const VideoCompressor& compressor : kCompressors) {
        if (compressor.fourcc == fourcc && EncoderPresent(compressor)) return compressor;
    }
    return std::nullopt;
}

CompressorOptions DefaultCompressorOptions() {
    CompressorOptions options;
    options.handler = FourCc("XVID");
    options.quality = kDefaultQuality;
    options.keyFrameEvery = kDefaultKeyFrameEvery;
    options.flags = kCompressKeyFrames | kCompressValid;
    return options;
}

std::optional<CompressorOptions> ParseCompressorOptions(std::span<const uint8_t> bytes) {
    if (bytes.size() < kCompressorRecordBytes) return std::nullopt;
    const uint8_t* p = bytes.data();
    CompressorOptions o;
    uint32_t* fields[] = {&o.streamType,        &o.handler,        &o.keyFrameEvery,  &o.quality,
                          &o.bytesPerSecond,    &o.flags,          &o.formatPointer,  &o.formatSize,
                          &o.parametersPointer, &o.parametersSize, &o.interleaveEvery};
    for (uint32_t* field : fields) {
        *field = ReadLe32(p);
        p += 4;
    }
    if (o.parametersSize > bytes.size() - kCompressorRecordBytes) return std::nullopt;
    o.parameters.assign(bytes.begin() + kCompressorRecordBytes,
                        bytes.begin() + kCompressorRecordBytes + o.parametersSize);
    return o;
}

std::vector<uint8_t> SerializeCompressorOptions(const CompressorOptions& o) {
    std::vector<uint8_t> out;
    out.reserve(kCompressorRecordBytes + o.parameters.size());
    for (uint32_t field : {o.streamType, o.handler, o.keyFrameEvery, o.quality, o.bytesPerSecond,
                           o.flags, o.formatPointer, o.formatSize, o.parametersPointer,
                           static_cast<uint32_t>(o.parameters.size()), o.interleaveEvery}) {
        Append32(out, field);
    }
    out.insert(out.end(), o.parameters.begin(), o.parameters.end());
    return out;
}

std::optional<CompressorOptions> LoadCompressorOptions(const std::string& hostFolder) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(
        std::fopen((hostFolder + kCompressorFileName).c_str(), "rb"), std::fclose);
    if (!file) return std::nullopt;
    // A parameter block is a codec's few settings; a file far larger than
    // that is not one of ours.
    constexpr std::size_t kLargestFile = 1 << 20;
    std::vector<uint8_t> bytes(kLargestFile + 1);
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
    if (got > kLargestFile) return std::nullopt;
    bytes.resize(got);
    return ParseCompressorOptions(bytes);
}

bool SaveCompressorOptions(const std::string& hostFolder, const CompressorOptions& options) {
    const std::string path = hostFolder + kCompressorFileName;
    const std::string temporary = path + ".new";
    const std::vector<uint8_t> bytes = SerializeCompressorOptions(options);
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(temporary.c_str(), "wb"), std::fclose);
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size() &&
                         std::fflush(file.get()) == 0;
    file.reset();
    // The old choice stays until the new one is whole.
    if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool ChooseCompressor(const std::string& hostFolder, const CompressorDialog& dialog) {
    const std::optional<CompressorOptions> saved = LoadCompressorOptions(hostFolder);
    const CompressorOptions start = saved ? *saved : DefaultCompressorOptions();
    const std::vector<VideoCompressor> offered = AvailableCompressors();
    const CompressorChoice choice =
        dialog ? dialog(start, offered, kDialogKeyFrames | kDialogDataRate) : CompressorChoice{};
    switch (choice.answer) {
        case DialogAnswer::kConfirmed:
            return SaveCompressorOptions(hostFolder, choice.options);
        case DialogAnswer::kCancelled:
            return saved.has_value();
        case DialogAnswer::kNobodyToAsk:
            break;
    }
    // A choice nobody made is not kept: the next host that can ask, asks.
    return saved.has_value();
}

bool SavedCompressorMissingHere(const std::string& hostFolder) {
    const std::optional<CompressorOptions> saved = LoadCompressorOptions(hostFolder);
    return saved && !FindCompressor(saved->handler);
}

}  // namespace korvan::media
