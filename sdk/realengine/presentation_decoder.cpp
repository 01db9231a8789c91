#include "sdk/realengine/presentation_decoder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>

namespace realengine {

namespace {

libav::CodecHandle OpenDecoder(const AVStream& stream) {
    const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
    if (!codec) return {};
    libav::CodecHandle context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), stream.codecpar) < 0) return {};
    context->pkt_timebase = stream.time_base;
    if (avcodec_open2(context.get(), codec, nullptr) < 0) return {};
    return context;
}

}  // namespace

PresentationDecoder::OpenResult PresentationDecoder::Open(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return OpenResult::kMissing;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        return OpenResult::kUndecodable;
    }
    input_.reset(raw);
    if (avformat_find_stream_info(input_.get(), nullptr) < 0) return OpenResult::kUndecodable;
    OpenDecoders();
    if (!video_ && !audio_) return OpenResult::kUndecodable;
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (!frame_ || !packet_) return OpenResult::kUndecodable;

    startStamp_ = input_->start_time == AV_NOPTS_VALUE ? 0 : input_->start_time / 1000;
    if (input_->duration > 0) lengthMs_ = static_cast<uint32_t>(input_->duration / 1000);
    return OpenResult::kOpened;
}

void PresentationDecoder::OpenDecoders() {
    const int videoIndex =
        av_find_best_stream(input_.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (videoIndex >= 0) {
        AVStream* stream = input_->streams[videoIndex];
        videoCodec_ = OpenDecoder(*stream);
        // Planar 4:2:0 needs whole chroma samples: even sizes.
        const int width = stream->codecpar->width & ~1;
        const int height = stream->codecpar->height & ~1;
        if (videoCodec_ && width > 0 && height > 0) {
            video_ = stream;
            width_ = width;
            height_ = height;
            const AVRational rate =
                stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
            if (rate.num > 0 && rate.den > 0) {
                pictureDurationMs_ =
                    static_cast<uint32_t>(std::lround(1000.0 * rate.den / rate.num));
            }
        } else {
            videoCodec_.reset();
        }
    }
    const int audioIndex =
        av_find_best_stream(input_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (audioIndex >= 0) {
        AVStream* stream = input_->streams[audioIndex];
        audioCodec_ = OpenDecoder(*stream);
        if (audioCodec_ && audioCodec_->sample_rate > 0 && audioCodec_->ch_layout.nb_channels > 0) {
            audio_ = stream;
            sampleRate_ = audioCodec_->sample_rate;
            channels_ = std::min(audioCodec_->ch_layout.nb_channels, 2);
        } else {
            audioCodec_.reset();
        }
    }
}

uint32_t PresentationDecoder::TimeMs(int64_t stamp, AVRational timeBase) const {
    if (stamp == AV_NOPTS_VALUE) return 0;
    const int64_t ms = av_rescale_q(stamp, timeBase, AVRational{1, 1000}) - startStamp_;
    return static_cast<uint32_t>(std::max<int64_t>(ms, 0));
}

bool PresentationDecoder::DecodeMore() {
    if (ended_) return false;
    if (!draining_) {
        const int read = av_read_frame(input_.get(), packet_.get());
        if (read < 0) {
            // The end of the file: what the decoders still hold comes out.
            draining_ = true;
            if (videoCodec_) avcodec_send_packet(videoCodec_.get(), nullptr);
            if (audioCodec_) avcodec_send_packet(audioCodec_.get(), nullptr);
        } else {
            AVCodecContext* codec = nullptr;
            if (video_ && packet_->stream_index == video_->index) codec = videoCodec_.get();
            if (audio_ && packet_->stream_index == audio_->index) codec = audioCodec_.get();
            // A packet the decoder refuses is passed over, as a damaged part
            // of a presentation is.
            if (codec) avcodec_send_packet(codec, packet_.get());
            av_packet_unref(packet_.get());
            if (codec) Receive(codec);
            return true;
        }
    }
    if (videoCodec_) Receive(videoCodec_.get());
    if (audioCodec_) Receive(audioCodec_.get());
    ended_ = true;
    return false;
}

void PresentationDecoder::Receive(AVCodecContext* codec) {
    while (avcodec_receive_frame(codec, frame_.get()) >= 0) {
        if (codec == videoCodec_.get()) {
            TakePicture(*frame_);
        } else {
            TakeSound(*frame_);
        }
        av_frame_unref(frame_.get());
    }
}

void PresentationDecoder::TakePicture(const AVFrame& frame) {
    scaler_.reset(sws_getCachedContext(
        scaler_.release(), frame.width, frame.height, static_cast<AVPixelFormat>(frame.format),
        width_, height_, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler_) return;
    DecodedPicture picture;
    picture.timeMs = TimeMs(frame.best_effort_timestamp, video_->time_base);
    const std::size_t lumaBytes = static_cast<std::size_t>(width_) * height_;
    const std::size_t chromaBytes = lumaBytes / 4;
    picture.planes.resize(lumaBytes + 2 * chromaBytes);
    uint8_t* planes[4] = {picture.planes.data(), picture.planes.data() + lumaBytes,
                          picture.planes.data() + lumaBytes + chromaBytes, nullptr};
    int strides[4] = {width_, width_ / 2, width_ / 2, 0};
    sws_scale(scaler_.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
    pictures_.push_back(std::move(picture));
}

void PresentationDecoder::TakeSound(const AVFrame& frame) {
    if (!resampler_) {
        AVChannelLayout outLayout{};
        AVChannelLayout inLayout{};
        av_channel_layout_default(&outLayout, channels_);
        SwrContext* made = nullptr;
        int result = av_channel_layout_copy(&inLayout, &frame.ch_layout);
        if (result >= 0) {
            result = swr_alloc_set_opts2(&made, &outLayout, AV_SAMPLE_FMT_S16, sampleRate_,
                                         &inLayout, static_cast<AVSampleFormat>(frame.format),
                                         frame.sample_rate, 0, nullptr);
        }
        av_channel_layout_uninit(&outLayout);
        av_channel_layout_uninit(&inLayout);
        resampler_.reset(made);
        if (result < 0 || !resampler_ || swr_init(resampler_.get()) < 0) {
            resampler_.reset();
            return;
        }
    }
    const int room = swr_get_out_samples(resampler_.get(), frame.nb_samples);
    if (room <= 0) return;
    const std::size_t frameBytes = static_cast<std::size_t>(channels_) * 2;
    const std::size_t before = sound_.size();
    sound_.resize(before + static_cast<std::size_t>(room) * frameBytes);
    uint8_t* out = sound_.data() + before;
    const int made =
        swr_convert(resampler_.get(), &out, room, const_cast<const uint8_t**>(frame.extended_data),
                    frame.nb_samples);
    sound_.resize(before + static_cast<std::size_t>(std::max(made, 0)) * frameBytes);
}

}  // namespace realengine
