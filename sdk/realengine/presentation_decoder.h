// The engine's reading of a presentation: the file's first video and first
// audio stream decoded with libav, in file order, into pictures as I420 at
// the stream's size (rounded down to even) with their times, and sound as
// interleaved 16-bit PCM at the stream's rate and channel count.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "libav/libav_handles.h"

namespace realengine {

struct DecodedPicture {
    uint32_t timeMs = 0;
    std::vector<uint8_t> planes;  // Y, U, V
};

class PresentationDecoder {
public:
    enum class OpenResult { kOpened, kMissing, kUndecodable };

    OpenResult Open(const std::string& path);

    bool HasVideo() const { return video_ != nullptr; }
    bool HasAudio() const { return audio_ != nullptr; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    int SampleRate() const { return sampleRate_; }
    int Channels() const { return channels_; }
    uint32_t LengthMs() const { return lengthMs_; }
    // How long one picture shows, from the stream's rate (40 ms when it has
    // none).
    uint32_t PictureDurationMs() const { return pictureDurationMs_; }

    // Reads and decodes the next packet; false once the file and the
    // decoders are exhausted.
    bool DecodeMore();
    bool Ended() const { return ended_; }

    // What has been decoded and not yet taken.
    std::deque<DecodedPicture>& Pictures() { return pictures_; }
    std::vector<uint8_t>& Sound() { return sound_; }

private:
    void OpenDecoders();
    void Receive(AVCodecContext* codec);
    void TakePicture(const AVFrame& frame);
    void TakeSound(const AVFrame& frame);
    uint32_t TimeMs(int64_t stamp, AVRational timeBase) const;

    libav::InputHandle input_;
    libav::CodecHandle videoCodec_;
    libav::CodecHandle audioCodec_;
    AVStream* video_ = nullptr;
    AVStream* audio_ = nullptr;
    libav::ScalerHandle scaler_;
    libav::ResamplerHandle resampler_;
    libav::FrameHandle frame_;
    libav::PacketHandle packet_;
    int width_ = 0;
    int height_ = 0;
    int sampleRate_ = 0;
    int channels_ = 0;
    uint32_t lengthMs_ = 0;
    uint32_t pictureDurationMs_ = 40;
    int64_t startStamp_ = 0;  // ms of the earliest stream start
    bool draining_ = false;
    bool ended_ = false;
    std::deque<DecodedPicture> pictures_;
    std::vector<uint8_t> sound_;
};

}  // namespace realengine
