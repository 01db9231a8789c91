#include "korvan/media/stream_decoder.h"

namespace korvan::media {

namespace {

double Seconds(int64_t value, AVRational timeBase) { return value * av_q2d(timeBase); }

}  // namespace

StreamOpenResult StreamDecoder::Open(const std::string& path, StreamKind kind, int threadCount) {
    input_.reset();
    codec_.reset();
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw) return StreamOpenResult::kNoMemory;
    // A file list is read through a concat script that names its files by
    // their full paths, which the concat reader takes only when told to.
    // Other readers have no such option and leave it unused.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "safe", "0", 0);
    // avformat_open_input frees the context itself when it fails.
    const int opened = avformat_open_input(&raw, path.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) return StreamOpenResult::kUnreadableFile;
    input_.reset(raw);
    if (avformat_find_stream_info(input_.get(), nullptr) < 0) {
        return StreamOpenResult::kUnreadableFile;
    }
    const AVMediaType type = kind == StreamKind::kVideo ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO;
    const AVCodec* decoder = nullptr;
    streamIndex_ = av_find_best_stream(input_.get(), type, -1, -1, &decoder, 0);
    if (streamIndex_ == AVERROR_STREAM_NOT_FOUND) return StreamOpenResult::kNoStream;
    if (streamIndex_ < 0 || !decoder) return StreamOpenResult::kNoDecoder;
    // Only the chosen stream is read; the demuxer drops the others' packets.
    for (unsigned i = 0; i < input_->nb_streams; ++i) {
        if (static_cast<int>(i) != streamIndex_) input_->streams[i]->discard = AVDISCARD_ALL;
    }

    libav::CodecHandle codec(avcodec_alloc_context3(decoder));
    packet_.reset(av_packet_alloc());
    if (!codec || !packet_) return StreamOpenResult::kNoMemory;
    if (avcodec_parameters_to_context(codec.get(), Stream().codecpar) < 0) {
        return StreamOpenResult::kNoDecoder;
    }
    codec->pkt_timebase = Stream().time_base;
    codec->thread_count = threadCount;
    codec->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0) return StreamOpenResult::kNoDecoder;
    codec_ = std::move(codec);

    originSeconds_ = input_->start_time != AV_NOPTS_VALUE
                         ? static_cast<double>(input_->start_time) / AV_TIME_BASE
                         : 0;
    dropBefore_ = -1;
    lastSeconds_ = -1;
    flushed_ = false;
    return StreamOpenResult::kOpened;
}

double StreamDecoder::StatedFrameRate() const {
    AVRational rate = Stream().avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = Stream().r_frame_rate;
    return rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0;
}

double StreamDecoder::DurationSeconds() const {
    const AVStream& stream = Stream();
    if (stream.duration != AV_NOPTS_VALUE && stream.duration > 0) {
        return Seconds(stream.duration, stream.time_base);
    }
    if (input_->duration != AV_NOPTS_VALUE && input_->duration > 0) {
        return static_cast<double>(input_->duration) / AV_TIME_BASE;
    }
    return 0;
}

bool StreamDecoder::SeekTo(double seconds, SeekSlack slack) {
    if (!held_) held_.reset(av_frame_alloc());
    if (!held_) return false;
    const AVRational timeBase = Stream().time_base;
    // Each try starts this much earlier than the one before.
    double back = 0;
    for (;;) {
        avcodec_flush_buffers(codec_.get());
        av_frame_unref(held_.get());
        holding_ = false;
        flushed_ = false;
        lastSeconds_ = -1;
        dropBefore_ = -1;
        const double from = seconds - back;
        bool placed;
        if (from <= 0) {
            placed = avformat_seek_file(input_.get(), -1, INT64_MIN, 0, 0, 0) >= 0;
        } else {
            const int64_t target = static_cast<int64_t>((from + originSeconds_) / av_q2d(timeBase));
            placed = av_seek_frame(input_.get(), streamIndex_, target, AVSEEK_FLAG_BACKWARD) >= 0;
        }
        if (!placed) {
            // A file that will not seek there is read again from its start;
            // the frames before the time are dropped all the same.
            back = seconds;
            if (from <= 0) return false;
            continue;
        }
        dropBefore_ = seconds - slack.earlier;
        if (from <= 0) return true;
        // The first frame tells whether the seek went far enough back.
        if (DecodeNext(*held_) != 1) return true;
        heldSeconds_ = TimeOf(*held_);
        if (heldSeconds_ <= seconds + slack.later) {
            holding_ = true;
            return true;
        }
        back = back == 0 ? 1 : 2 * back;
    }
}

int StreamDecoder::NextFrame(AVFrame& frame) {
    for (;;) {
        double time;
        if (holding_) {
            holding_ = false;
            av_frame_move_ref(&frame, held_.get());
            time = heldSeconds_;
        } else {
            const int got = DecodeNext(frame);
            if (got != 1) return got;
            time = TimeOf(frame);
        }
        if (dropBefore_ < 0 || time >= dropBefore_) {
            frameSeconds_ = time;
            dropBefore_ = -1;
            return 1;
        }
        av_frame_unref(&frame);
    }
}

double StreamDecoder::TimeOf(const AVFrame& frame) {
    const int64_t stamp = frame.best_effort_timestamp;
    double time;
    if (stamp != AV_NOPTS_VALUE) {
        time = Seconds(stamp, Stream().time_base) - originSeconds_;
    } else if (lastSeconds_ >= 0) {
        // No time stamp: one picture (or one block of samples) after the last.
        const double rate = StatedFrameRate();
        const double step = codec_->codec_type == AVMEDIA_TYPE_AUDIO && frame.sample_rate > 0
                                ? static_cast<double>(frame.nb_samples) / frame.sample_rate
                                : (rate > 0 ? 1 / rate : 0.04);
        time = lastSeconds_ + step;
    } else {
        time = 0;
    }
    lastSeconds_ = time;
    return time;
}

int StreamDecoder::DecodeNext(AVFrame& frame) {
    for (;;) {
        const int received = avcodec_receive_frame(codec_.get(), &frame);
        if (received == 0) return 1;
        if (received == AVERROR_EOF) return 0;
        if (received != AVERROR(EAGAIN)) return -1;
        if (flushed_) return 0;

        const int read = av_read_frame(input_.get(), packet_.get());
        if (read < 0) {
            // The end of the file, or a file that can no longer be read:
            // what the decoder still holds comes out, then the stream ends.
            flushed_ = true;
            avcodec_send_packet(codec_.get(), nullptr);
            continue;
        }
        if (packet_->stream_index == streamIndex_) {
            // A damaged packet is skipped; the decoder resynchronises on the
            // next one.
            avcodec_send_packet(codec_.get(), packet_.get());
        }
        av_packet_unref(packet_.get());
    }
}

}  // namespace korvan::media
