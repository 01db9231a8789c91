#include "korvan/mpegenc/audio/audio_encoder.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "korvan/mpegenc/audio/analysis_window.h"
#include "korvan/mpegenc/audio/audio_frame_encoder.h"
#include "korvan/mpegenc/settings/encoder_messages.h"

namespace korvan::audio {

namespace {

constexpr size_t kStreamBufferBytes = 256 * 1024;

// The analysis filter bank here and the decoder's synthesis filter bank
// together delay the sound by a window less 31 samples: the input's last
// sample comes out of a decoder this many samples after the end of the
// frame that holds it.
constexpr int64_t kFilterBankDelaySamples = kWindowLength - 31;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Hands out whole sample frames (one sample of each source channel) from
// the caller's blocks, however the blocks split them, as floats in -1..1
// for each coded channel.
class PcmReader {
public:
    PcmReader(const AudioCallbacks& callbacks, const AudioStreamParams& params)
        : callbacks_(callbacks),
          sourceChannels_(params.sourceChannels),
          codedChannels_(params.channels),
          frameBytes_(2 * params.sourceChannels) {}

    // Reads up to `count` sample frames into outputs[channel][0..]; fewer
    // only at the end of the source or when it failed.
    int Read(int count, float* const* outputs) {
        int produced = 0;
        while (produced < count) {
            if (left_ == 0) {
                if (state_ != FetchResult::kBlock) break;
                PcmBlock block;
                state_ = callbacks_.fetch ? callbacks_.fetch(block) : FetchResult::kEnd;
                if (state_ == FetchResult::kBlock) {
                    data_ = block.bytes;
                    left_ = block.bytes ? block.byteCount : 0;
                }
                continue;
            }
            if (carried_ > 0 || left_ < static_cast<size_t>(frameBytes_)) {
                // A sample frame split across blocks.
                while (carried_ < frameBytes_ && left_ > 0) {
                    carry_[carried_++] = *data_++;
                    --left_;
                }
                if (carried_ < frameBytes_) continue;
                Convert(carry_, outputs, produced++);
                carried_ = 0;
                continue;
            }
            const int whole = static_cast<int>(
                std::min<size_t>(left_ / frameBytes_, static_cast<size_t>(count - produced)));
            for (int i = 0; i < whole; ++i) Convert(data_ + i * frameBytes_, outputs, produced++);
            data_ += static_cast<size_t>(whole) * frameBytes_;
            left_ -= static_cast<size_t>(whole) * frameBytes_;
        }
        return produced;
    }

    bool Failed() const { return state_ == FetchResult::kFailed; }

private:
    static float Sample(const uint8_t* bytes) {
        const int16_t value = static_cast<int16_t>(bytes[0] | (bytes[1] << 8));
        return value * (1.0f / 32768.0f);
    }

    void Convert(const uint8_t* bytes, float* const* outputs, int index) const {
        const float first = Sample(bytes);
        const float second = sourceChannels_ == 2 ? Sample(bytes + 2) : first;
        if (codedChannels_ == 1) {
            outputs[0][index] = sourceChannels_ == 2 ? 0.5f * (first + second) : first;
        } else {
            outputs[0][index] = first;
            outputs[1][index] = second;
        }
    }

    const AudioCallbacks& callbacks_;
    int sourceChannels_;
    int codedChannels_;
    int frameBytes_;
    FetchResult state_ = FetchResult::kBlock;
    const uint8_t* data_ = nullptr;
    size_t left_ = 0;
    uint8_t carry_[4] = {};
    int carried_ = 0;
};

}  // namespace

AudioEncodeResult EncodeAudioStream(const EncoderSettings& settings, const AudioFormat& format,
                                    const std::string& outputPath,
                                    const AudioCallbacks& callbacks) {
    AudioEncodeResult result;
    AudioStreamParams params;
    result.status.message = ResolveStreamParams(settings, format, params);
    if (!result.status.message.empty()) return result;

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(outputPath.c_str(), "wb"));
    if (!file) {
        result.status.message = FillMessage("Unable to open file %s for writing.", outputPath);
        return result;
    }
    std::vector<uint8_t> stream;
    try {
        stream.reserve(kStreamBufferBytes + 8192);
    } catch (const std::bad_alloc&) {
        result.status.message =
            FillMessage("Unable to allocate memory for bitstream file %s.", outputPath);
        return result;
    }
    auto flush = [&]() {
        if (stream.empty()) return true;
        const bool written =
            std::fwrite(stream.data(), 1, stream.size(), file.get()) == stream.size();
        stream.clear();
        return written;
    };
    const auto writeError = [&outputPath] {
        return FillMessage("Could not write to file %s", outputPath);
    };

    try {
        AudioFrameEncoder encoder(params);
        PcmReader reader(callbacks, params);
        float* outputs[kMaxChannels] = {};
        for (int ch = 0; ch < params.channels; ++ch) outputs[ch] = encoder.FrameSamples(ch);
        AudioProgress progress;
        bool sourceEnded = false;
        int64_t codedSamples = 0;
        result.status = Status::Ok();
        for (;;) {
            if (callbacks.cancelRequested && callbacks.cancelRequested()) {
                result.status = Status::Cancelled();
                break;
            }
            int read = 0;
            if (!sourceEnded) {
                read = reader.Read(params.samplesPerFrame, outputs);
                if (reader.Failed()) {
                    result.status = {StatusCode::kSourceFailed, {}};
                    break;
                }
                sourceEnded = read < params.samplesPerFrame;
            }
            progress.samples += read;
            // After the source's end, frames of silence follow until the
            // decoder gives out the last sample too.
            if (read == 0 && (progress.samples == 0 ||
                              codedSamples >= progress.samples + kFilterBankDelaySamples)) {
                break;
            }
            // A short last block is completed with silence.
            for (int ch = 0; ch < params.channels; ++ch) {
                std::fill(outputs[ch] + read, outputs[ch] + params.samplesPerFrame, 0.0f);
            }
            encoder.EncodeFrame(stream);
            progress.frames = ++result.frames;
            codedSamples += params.samplesPerFrame;
            if (stream.size() >= kStreamBufferBytes && !flush()) {
                result.status = Status::Failed(writeError());
                return result;
            }
            if (callbacks.frameDone) callbacks.frameDone(progress);
        }
    } catch (const std::bad_alloc&) {
        result.status = Status::Failed("Could not allocate memory for audio buffers.");
    }
    const bool flushed = flush();
    const bool closed = std::fclose(file.release()) == 0;
    if ((!flushed || !closed) && result.status.message.empty()) {
        result.status = Status::Failed(writeError());
    }
    return result;
}

}  // namespace korvan::audio
