// A source's sound as a sequence of PCM sample frames at the source's own
// rate (at most two channels, 16 bits): positioned once, then read chunk by
// chunk. Gaps between decoded blocks read as silence and overlaps are
// dropped, so sample n is always the sound at n / rate seconds from the
// start of the file.
#pragma once

#include <cstdint>
#include <string>

#include "korvan/media/stream_decoder.h"
#include "korvan/media/wave_format.h"

namespace korvan::media {

class SourceAudio {
public:
    SourceAudio() = default;
    ~SourceAudio() { av_channel_layout_uninit(&inputLayout_); }
    SourceAudio(const SourceAudio&) = delete;
    SourceAudio& operator=(const SourceAudio&) = delete;

    // Opens the file's primary audio stream and a decoder for it.
    StreamOpenResult Open(const std::string& path);
    // The PCM format the reads give.
    const WaveFormat& Format() const { return format_; }

    // The next read starts at sample frame `sample`. False when the file
    // cannot be positioned there.
    bool Position(long long sample);

    // Reads up to `frames` sample frames into `out`; what the stream does
    // not have is left alone. Returns the frames read, 0 at the end of the
    // stream, -1 when the sound cannot be decoded.
    long long Read(uint8_t* out, long long frames);

private:
    // Decodes the next block into pending_; false at the end.
    int DecodeBlock();

    StreamDecoder decoder_;
    libav::ResamplerHandle resampler_;
    // What resampler_ was made for.
    int inputFormat_ = -1;
    int inputRate_ = 0;
    AVChannelLayout inputLayout_{};
    libav::FrameHandle frame_;
    WaveFormat format_;
    long long nextSample_ = 0;    // the sample frame the next Read starts at
    long long pendingStart_ = 0;  // the sample frame pending_ starts at
    std::basic_string<uint8_t> pending_;
    std::size_t pendingUsed_ = 0;  // bytes of pending_ already read
    bool ended_ = false;
};

}  // namespace korvan::media
