// Owning handles for libav objects, so that every path out of a function
// releases what it made. Shared by the library and the engines beside it.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>

namespace libav {

struct InputCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecCloser {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameCloser {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketCloser {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScalerCloser {
    void operator()(SwsContext* c) const { sws_freeContext(c); }
};
struct ResamplerCloser {
    void operator()(SwrContext* c) const { swr_free(&c); }
};

using InputHandle = std::unique_ptr<AVFormatContext, InputCloser>;
using CodecHandle = std::unique_ptr<AVCodecContext, CodecCloser>;
using FrameHandle = std::unique_ptr<AVFrame, FrameCloser>;
using PacketHandle = std::unique_ptr<AVPacket, PacketCloser>;
using ScalerHandle = std::unique_ptr<SwsContext, ScalerCloser>;
using ResamplerHandle = std::unique_ptr<SwrContext, ResamplerCloser>;

// libav's text for an error code (av_err2str does not compile in C++).
inline std::string LibavErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

}  // namespace libav
