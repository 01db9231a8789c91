#include "korvan/mpegenc/driver/video_stream_writer.h"

#include <unistd.h>

#include <cstdio>
#include <memory>

#include "korvan/mpegenc/common/format_text.h"
#include "korvan/mpegenc/video/max_bitrate_pass.h"

namespace korvan {
namespace {

constexpr char kWriteFailedMessage[] = "Unable to write to output file.";

bool WriteAll(FILE* file, const std::vector<uint8_t>& bytes) {
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

Status CodeAll(VideoEncoder& encoder, FILE* file) {
    while (!encoder.Done()) {
        Status r = encoder.EncodeNextPicture();
        if (!r.IsOk()) return r;
        if (!WriteAll(file, encoder.TakeOutput()))
            return Status::Failed(StatusCode::kSourceFailed, kWriteFailedMessage);
    }
    Status r = encoder.Finish();
    if (!r.IsOk()) return r;
    if (!WriteAll(file, encoder.TakeOutput()))
        return Status::Failed(StatusCode::kSourceFailed, kWriteFailedMessage);
    return {};
}

}  // namespace

Status WriteVideoStream(VideoEncoder& encoder, const std::string& path,
                        const VideoStreamHooks& hooks) {
    std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!out) {
        return Status::Failed(StatusCode::kSourceFailed,
                              FormatText("Unable to open file %s for writing.", path.c_str()));
    }
    Status r = CodeAll(encoder, out.get());
    // A full disk may show only when the buffer goes out at the close.
    const bool closed = std::fclose(out.release()) == 0;
    if (r.IsOk() && !closed) r = Status::Failed(StatusCode::kSourceFailed, kWriteFailedMessage);
    if (r.IsOk() && hooks.coded) hooks.coded();
    if (r.IsOk()) {
        const CodingParameters& p = encoder.Parameters();
        if (p.IsMpeg2() && p.bitRateValue == 0) {
            r = EmbedMaxBitrate(path, encoder.BitRateFieldOffsets(),
                                encoder.Statistics().maxBitsPerSecond, p.vbvBufferSize,
                                hooks.maxBitrateProgress);
        }
    }
    if (!r.IsOk()) ::unlink(path.c_str());
    return r;
}

}  // namespace korvan
