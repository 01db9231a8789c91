#include "sdk/foximager/stream_remux.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
}

#include <unistd.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "sdk/foximager/tool_run.h"

namespace foximager {
namespace {

constexpr int kSilenceRateHz = 48000;
constexpr int kSilenceChannels = 2;
constexpr std::int64_t kSilenceBitRate = 192000;
constexpr int kMaxDelayMicroseconds = 700000;

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Everything one remux holds from libav, let go in one place.
struct RemuxState {
    AVFormatContext* in = nullptr;
    AVFormatContext* out = nullptr;
    AVBSFContext* aspect = nullptr;
    AVCodecContext* silence = nullptr;
    AVFrame* silentFrame = nullptr;
    AVPacket* packet = nullptr;

    RemuxState() = default;
    RemuxState(const RemuxState&) = delete;
    RemuxState& operator=(const RemuxState&) = delete;
    ~RemuxState() {
        av_packet_free(&packet);
        av_frame_free(&silentFrame);
        avcodec_free_context(&silence);
        av_bsf_free(&aspect);
        if (out) {
            if (out->pb) avio_closep(&out->pb);
            avformat_free_context(out);
        }
        avformat_close_input(&in);
    }
};

class DvdRemux {
public:
    DvdRemux(const PreparationPlan& plan, const std::function<bool(double)>& progress)
        : plan_(plan), progress_(progress) {}

    RemuxResult Run(const std::string& input, const std::string& output, std::string& failure);

private:
    bool Open(const std::string& input, const std::string& output);
    bool AddVideo(AVStream* source);
    bool AddSilence();
    bool Copy();
    // The packet (in its input stream's time base) to output stream `to`.
    bool Write(AVPacket* packet, AVRational from, int to);
    // The packet, already on the output's time line, to stream `to`.
    bool Put(AVPacket* packet, AVRational from, int to);
    // A picture packet; null once at the end.
    bool WriteVideo(AVPacket* packet);
    // Silence up to `endSeconds` of the output's time line; null flushes.
    bool WriteSilenceUntil(const double* endSeconds);
    bool Fail(std::string text) {
        failure_ = std::move(text);
        return false;
    }

    const PreparationPlan& plan_;
    const std::function<bool(double)>& progress_;
    RemuxState s_;
    std::vector<int> outputOf_;          // per input stream, -1 when not kept
    std::vector<std::int64_t> lastDts_;  // per output stream
    int videoInput_ = -1;
    int videoOutput_ = -1;
    int silenceOutput_ = -1;
    std::int64_t silenceSamples_ = 0;
    std::int64_t startMicroseconds_ = 0;
    std::int64_t inputBytes_ = 1;
    bool stopped_ = false;
    std::string failure_;
};

bool DvdRemux::Open(const std::string& input, const std::string& output) {
    int code = avformat_open_input(&s_.in, input.c_str(), nullptr, nullptr);
    if (code < 0) return Fail("it cannot be opened (" + AvError(code) + ")");
    code = avformat_find_stream_info(s_.in, nullptr);
    if (code < 0) return Fail("its streams cannot be read (" + AvError(code) + ")");
    videoInput_ = av_find_best_stream(s_.in, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (videoInput_ < 0) return Fail("it holds no picture");
    startMicroseconds_ = s_.in->start_time == AV_NOPTS_VALUE ? 0 : s_.in->start_time;
    if (s_.in->pb) inputBytes_ = std::max<std::int64_t>(1, avio_size(s_.in->pb));

    code = avformat_alloc_output_context2(&s_.out, nullptr, "dvd", output.c_str());
    if (code < 0 || !s_.out) return Fail("no DVD stream can be made (" + AvError(code) + ")");
    // How far ahead of its time a packet may go out: what ffmpeg itself
    // gives the multiplexer (without it the video buffer runs dry).
    s_.out->max_delay = kMaxDelayMicroseconds;
    outputOf_.assign(s_.in->nb_streams, -1);
    if (!AddVideo(s_.in->streams[videoInput_])) return false;
    if (plan_.addSilence) {
        if (!AddSilence()) return false;
    } else {
        for (unsigned i = 0; i < s_.in->nb_streams; ++i) {
            const AVStream* source = s_.in->streams[i];
            if (source->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
            AVStream* copy = avformat_new_stream(s_.out, nullptr);
            if (!copy || avcodec_parameters_copy(copy->codecpar, source->codecpar) < 0) {
                return Fail("out of memory");
            }
            copy->codecpar->codec_tag = 0;
            copy->time_base = source->time_base;
            outputOf_[i] = copy->index;
        }
    }

    lastDts_.assign(s_.out->nb_streams, AV_NOPTS_VALUE);
    code = avio_open(&s_.out->pb, output.c_str(), AVIO_FLAG_WRITE);
    if (code < 0) return Fail("the file " + output + " cannot be written (" + AvError(code) + ")");
    code = avformat_write_header(s_.out, nullptr);
    if (code < 0) return Fail("the DVD stream cannot be started (" + AvError(code) + ")");
    s_.packet = av_packet_alloc();
    return s_.packet ? true : Fail("out of memory");
}

bool DvdRemux::AddVideo(AVStream* source) {
    AVStream* video = avformat_new_stream(s_.out, nullptr);
    if (!video) return Fail("out of memory");
    const AVCodecParameters* parameters = source->codecpar;
    if (plan_.setAspect) {
        const AVBitStreamFilter* filter = av_bsf_get_by_name("mpeg2_metadata");
        if (!filter || av_bsf_alloc(filter, &s_.aspect) < 0) {
            return Fail("the aspect ratio cannot be rewritten here");
        }
        avcodec_parameters_copy(s_.aspect->par_in, source->codecpar);
        s_.aspect->time_base_in = source->time_base;
        av_opt_set(s_.aspect->priv_data, "display_aspect_ratio", plan_.wide ? "16/9" : "4/3", 0);
        const int code = av_bsf_init(s_.aspect);
        if (code < 0) return Fail("the aspect ratio cannot be rewritten (" + AvError(code) + ")");
        parameters = s_.aspect->par_out;
    }
    if (avcodec_parameters_copy(video->codecpar, parameters) < 0) return Fail("out of memory");
    video->codecpar->codec_tag = 0;
    video->time_base = source->time_base;
    // The multiplexer sizes the decoder's buffer from these.
    std::size_t size = 0;
    if (const std::uint8_t* cpb =
            av_stream_get_side_data(source, AV_PKT_DATA_CPB_PROPERTIES, &size)) {
        if (std::uint8_t* copy = av_stream_new_side_data(video, AV_PKT_DATA_CPB_PROPERTIES, size)) {
            std::memcpy(copy, cpb, size);
        }
    }
    outputOf_[static_cast<std::size_t>(source->index)] = video->index;
    videoOutput_ = video->index;
    return true;
}

bool DvdRemux::AddSilence() {
    const AVCodec* ac3 = avcodec_find_encoder(AV_CODEC_ID_AC3);
    if (!ac3) return Fail("no AC-3 encoder is there for its silence");
    s_.silence = avcodec_alloc_context3(ac3);
    if (!s_.silence) return Fail("out of memory");
    AVCodecContext* encoder = s_.silence;
    encoder->sample_rate = kSilenceRateHz;
    av_channel_layout_default(&encoder->ch_layout, kSilenceChannels);
    encoder->sample_fmt = ac3->sample_fmts ? ac3->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    encoder->bit_rate = kSilenceBitRate;
    encoder->time_base = {1, kSilenceRateHz};
    int code = avcodec_open2(encoder, ac3, nullptr);
    if (code < 0) return Fail("its silence cannot be encoded (" + AvError(code) + ")");

    AVStream* audio = avformat_new_stream(s_.out, nullptr);
    if (!audio || avcodec_parameters_from_context(audio->codecpar, encoder) < 0) {
        return Fail("out of memory");
    }
    audio->time_base = encoder->time_base;
    silenceOutput_ = audio->index;

    s_.silentFrame = av_frame_alloc();
    AVFrame* frame = s_.silentFrame;
    if (!frame) return Fail("out of memory");
    frame->nb_samples = encoder->frame_size;
    frame->format = encoder->sample_fmt;
    frame->sample_rate = encoder->sample_rate;
    if (av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout) < 0 ||
        av_frame_get_buffer(frame, 0) < 0) {
        return Fail("out of memory");
    }
    av_samples_set_silence(frame->extended_data, 0, frame->nb_samples, kSilenceChannels,
                           encoder->sample_fmt);
    return true;
}

bool DvdRemux::Write(AVPacket* packet, AVRational from, int to) {
    // The output's time line starts where the input's first stream starts.
    const std::int64_t start = av_rescale_q(startMicroseconds_, AV_TIME_BASE_Q, from);
    if (packet->pts != AV_NOPTS_VALUE) packet->pts -= start;
    if (packet->dts != AV_NOPTS_VALUE) packet->dts -= start;
    return Put(packet, from, to);
}

bool DvdRemux::Put(AVPacket* packet, AVRational from, int to) {
    av_packet_rescale_ts(packet, from, s_.out->streams[to]->time_base);
    // A program stream's sound can carry two frames with one time once
    // its parser has split them; the multiplexer wants every time later
    // than the last, so the later frame moves up by one tick.
    std::int64_t& last = lastDts_[static_cast<std::size_t>(to)];
    if (packet->dts != AV_NOPTS_VALUE) {
        if (last != AV_NOPTS_VALUE && packet->dts <= last) {
            packet->dts = last + 1;
            if (packet->pts != AV_NOPTS_VALUE && packet->pts < packet->dts) {
                packet->pts = packet->dts;
            }
        }
        last = packet->dts;
    }
    packet->stream_index = to;
    packet->pos = -1;
    const int code = av_interleaved_write_frame(s_.out, packet);
    return code < 0 ? Fail("the DVD stream cannot be written (" + AvError(code) + ")") : true;
}

bool DvdRemux::WriteVideo(AVPacket* packet) {
    const AVRational from = s_.in->streams[videoInput_]->time_base;
    const auto writeOne = [&](AVPacket* p) {
        // Silence runs as long as the pictures do.
        if (s_.silence && p->pts != AV_NOPTS_VALUE) {
            const double end = static_cast<double>(p->pts + p->duration) * av_q2d(from) -
                               static_cast<double>(startMicroseconds_) / AV_TIME_BASE;
            if (!WriteSilenceUntil(&end)) return false;
        }
        return Write(p, from, videoOutput_);
    };
    if (!s_.aspect) return packet ? writeOne(packet) : true;
    int code = av_bsf_send_packet(s_.aspect, packet);
    if (code < 0) return Fail("the aspect ratio cannot be rewritten (" + AvError(code) + ")");
    while ((code = av_bsf_receive_packet(s_.aspect, s_.packet)) >= 0) {
        if (!writeOne(s_.packet)) return false;
    }
    return code == AVERROR(EAGAIN) || code == AVERROR_EOF
               ? true
               : Fail("the aspect ratio cannot be rewritten (" + AvError(code) + ")");
}

bool DvdRemux::WriteSilenceUntil(const double* endSeconds) {
    AVCodecContext* encoder = s_.silence;
    if (endSeconds) {
        while (static_cast<double>(silenceSamples_) / kSilenceRateHz < *endSeconds) {
            s_.silentFrame->pts = silenceSamples_;
            silenceSamples_ += s_.silentFrame->nb_samples;
            const int code = avcodec_send_frame(encoder, s_.silentFrame);
            if (code < 0) return Fail("its silence cannot be encoded (" + AvError(code) + ")");
            if (!WriteSilenceUntil(nullptr)) return false;
        }
        return true;
    }
    AVPacket* packet = av_packet_alloc();
    if (!packet) return Fail("out of memory");
    int code = 0;
    bool written = true;
    while (written && (code = avcodec_receive_packet(encoder, packet)) >= 0) {
        // The silence's clock starts with the output's time line.
        written = Put(packet, encoder->time_base, silenceOutput_);
    }
    av_packet_free(&packet);
    if (!written) return false;
    return code == AVERROR(EAGAIN) || code == AVERROR_EOF
               ? true
               : Fail("its silence cannot be encoded (" + AvError(code) + ")");
}

bool DvdRemux::Copy() {
    // The first report comes before any work, so a stop asked for already
    // is honoured.
    auto nextTick = std::chrono::steady_clock::now();
    int code = 0;
    while ((code = av_read_frame(s_.in, s_.packet)) >= 0) {
        const int index = s_.packet->stream_index;
        const int to = index < static_cast<int>(outputOf_.size())
                           ? outputOf_[static_cast<std::size_t>(index)]
                           : -1;
        bool written = true;
        if (index == videoInput_) {
            written = WriteVideo(s_.packet);
        } else if (to >= 0) {
            written = Write(s_.packet, s_.in->streams[index]->time_base, to);
        }
        av_packet_unref(s_.packet);
        if (!written) return false;
        if (std::chrono::steady_clock::now() >= nextTick) {
            nextTick = std::chrono::steady_clock::now() + kTickInterval;
            const double read = static_cast<double>(avio_tell(s_.in->pb));
            if (!progress_(100 * std::min(1.0, read / static_cast<double>(inputBytes_)))) {
                stopped_ = true;
                return false;
            }
        }
    }
    if (code != AVERROR_EOF) return Fail("it cannot be read to its end (" + AvError(code) + ")");
    if (!WriteVideo(nullptr)) return false;
    if (s_.silence) {
        avcodec_send_frame(s_.silence, nullptr);
        if (!WriteSilenceUntil(nullptr)) return false;
    }
    code = av_write_trailer(s_.out);
    return code < 0 ? Fail("the DVD stream cannot be finished (" + AvError(code) + ")") : true;
}

RemuxResult DvdRemux::Run(const std::string& input, const std::string& output,
                          std::string& failure) {
    const bool done = Open(input, output) && Copy();
    if (s_.out && s_.out->pb) avio_closep(&s_.out->pb);
    if (done) return RemuxResult::kDone;
    unlink(output.c_str());
    if (stopped_) return RemuxResult::kStopped;
    failure = failure_;
    return RemuxResult::kFailed;
}

}  // namespace

bool RemuxesInProcess(const PreparationPlan& plan) {
    return plan.how == Preparation::kRemux && (plan.copyAudio || plan.addSilence);
}

RemuxResult RemuxForDvd(const PreparationPlan& plan, const std::string& input,
                        const std::string& output, const std::function<bool(double)>& progress,
                        std::string& failure) {
    // The multiplexer reports every buffer it finds running dry on the
    // program's console; what matters comes back as result codes.
    av_log_set_level(AV_LOG_QUIET);
    DvdRemux remux(plan, progress);
    return remux.Run(input, output, failure);
}

}  // namespace foximager
