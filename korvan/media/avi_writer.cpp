#include "korvan/media/avi_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>
#include <vector>

#include "korvan/media/avi_rate_patch.h"
#include "korvan/media/media_trace.h"
#include "libav/libav_handles.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace korvan::media {

namespace {

// Frames are counted in this time base: the stream header's scale and rate.
constexpr AVRational kFrameTimeBase{static_cast<int>(kVideoScale),
                                    static_cast<int>(kUnpatchedVideoRate)};
// Sound that arrives before the first frame waits for the video stream, up
// to this much; later sound before any frame is dropped.
constexpr std::size_t kMostAudioBeforeVideo = 64 << 20;
constexpr int kWorstQuantiser = 31;
constexpr int kBestQuantiser = 2;

struct OutputCloser {
    void operator()(AVFormatContext* c) const {
        if (c->pb) avio_closep(&c->pb);
        avformat_free_context(c);
    }
};

// The quantiser of a 0..10000 quality: 10000 gives the finest.
int QuantiserOf(uint32_t quality) {
    const uint32_t q = quality > 10000 ? 10000 : quality;
    return kWorstQuantiser -
           static_cast<int>((q * (kWorstQuantiser - kBestQuantiser) + 5000) / 10000);
}

AVPixelFormat EncoderPixelFormat(const AVCodec& encoder) {
    if (encoder.id == AV_CODEC_ID_MJPEG) return AV_PIX_FMT_YUVJ420P;
    if (encoder.id == AV_CODEC_ID_HUFFYUV) return AV_PIX_FMT_YUV422P;
    return AV_PIX_FMT_YUV420P;
}

}  // namespace

struct AviOutput {
    std::unique_ptr<AVFormatContext, OutputCloser> format;
    bool headerWritten = false;

    AVStream* audio = nullptr;
    WaveFormat audioFormat;
    long long audioSamples = 0;
    std::vector<uint8_t> audioBeforeVideo;

    AVStream* video = nullptr;
    AVRational frameTime{};  // one frame, in the time base the frames are counted in
    BitmapInfoHeader firstHeader;
    libav::CodecHandle encoder;  // none for uncompressed rows
    libav::ScalerHandle scaler;
    libav::FrameHandle picture;
    libav::PacketHandle packet{av_packet_alloc()};

    bool WriteHeader() {
        AVDictionary* options = nullptr;
        // Uncompressed rows stay bottom-up, as the bitmaps come.
        av_dict_set(&options, "flipped_raw_rgb", "1", 0);
        const int written = avformat_write_header(format.get(), &options);
        av_dict_free(&options);
        headerWritten = written >= 0;
        return headerWritten;
    }

    // av_write_frame leaves the packet with its caller, and av_new_packet
    // does not free what the packet held before, so the packet is emptied
    // after every write; else every frame written stays in memory.
    bool WritePacket() {
        const bool written = av_write_frame(format.get(), packet.get()) >= 0;
        av_packet_unref(packet.get());
        return written;
    }

    bool WriteAudioPacket(const uint8_t* bytes, long long samples) {
        if (!packet ||
            av_new_packet(packet.get(), static_cast<int>(samples * audioFormat.blockAlign)) < 0) {
            return false;
        }
        std::copy(bytes, bytes + samples * audioFormat.blockAlign, packet->data);
        const AVRational sampleTime{1, static_cast<int>(audioFormat.samplesPerSec)};
        packet->pts = packet->dts = av_rescale_q(audioSamples, sampleTime, audio->time_base);
        packet->duration = av_rescale_q(samples, sampleTime, audio->time_base);
        packet->stream_index = audio->index;
        packet->flags = AV_PKT_FLAG_KEY;
        audioSamples += samples;
        return WritePacket();
    }

    bool FlushAudioBeforeVideo() {
        if (!audio) return true;
        const long long samples =
            static_cast<long long>(audioBeforeVideo.size()) / audioFormat.blockAlign;
        const bool written = samples == 0 || WriteAudioPacket(audioBeforeVideo.data(), samples);
        audioBeforeVideo.clear();
        audioBeforeVideo.shrink_to_fit();
        return written;
    }

    // Writes what the encoder gives back; with `frame` null, everything it
    // still holds.
    bool Encode(const AVFrame* frame) {
        if (avcodec_send_frame(encoder.get(), frame) < 0) return false;
        for (;;) {
            const int got = avcodec_receive_packet(encoder.get(), packet.get());
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
            if (got < 0) return false;
            av_packet_rescale_ts(packet.get(), encoder->time_base, video->time_base);
            packet->stream_index = video->index;
            if (!WritePacket()) return false;
        }
    }
};

AviWriter::AviWriter(AviWriterHooks hooks) : hooks_(std::move(hooks)) {}

AviWriter::~AviWriter() {
    if (output_) CloseAvi();
}

void AviWriter::Fail(const char* trace) {
    if (trace) Trace("%s", trace);
    failed_ = true;
}

void AviWriter::OpenAvi(const std::string& path) {
    if (output_) CloseAvi();
    path_.clear();
    frameCount_ = 0;
    durationMs_ = 0;
    expectedFrameRate_ = 0;
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fclose(file);
    } else {
        Fail("\nerror AVIFileOpen");
        return;
    }
    auto output = std::make_unique<AviOutput>();
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "avi", path.c_str()) < 0 || !raw) {
        Fail("\nerror AVIFileOpen2");
        return;
    }
    output->format.reset(raw);
    if (!output->packet || avio_open(&raw->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) {
        Fail("\nerror AVIFileOpen2");
        return;
    }
    output_ = std::move(output);
    path_ = path;
}

void AviWriter::SetExpectedFrameRate(double picturesPerSecond) {
    if (output_ && output_->video) return;
    expectedFrameRate_ = picturesPerSecond > 0 ? picturesPerSecond : 0;
}

void AviWriter::OpenAviAudioStream(const WaveFormat& format) {
    if (!output_ || output_->audio || output_->headerWritten) return;
    const bool pcm = format.formatTag == kWaveFormatPcm && format.samplesPerSec > 0 &&
                     (format.channels == 1 || format.channels == 2) &&
                     (format.bitsPerSample == 8 || format.bitsPerSample == 16);
    if (!pcm) return;
    AVStream* stream = avformat_new_stream(output_->format.get(), nullptr);
    if (!stream) return;
    AVCodecParameters& p = *stream->codecpar;
    p.codec_type = AVMEDIA_TYPE_AUDIO;
    p.codec_id = format.bitsPerSample == 8 ? AV_CODEC_ID_PCM_U8 : AV_CODEC_ID_PCM_S16LE;
    p.sample_rate = static_cast<int>(format.samplesPerSec);
    av_channel_layout_default(&p.ch_layout, format.channels);
    p.block_align = format.channels * format.bitsPerSample / 8;
    p.bits_per_coded_sample = format.bitsPerSample;
    p.bit_rate = static_cast<int64_t>(p.sample_rate) * p.block_align * 8;
    stream->time_base = AVRational{1, p.sample_rate};
    output_->audio = stream;
    output_->audioFormat = PcmFormat(format.samplesPerSec, format.channels, format.bitsPerSample);
}

void AviWriter::WriteAviFrame(std::span<const uint8_t> packedBitmap) {
    const PackedBitmap bitmap = ParsePackedBitmap(packedBitmap);
    if (!bitmap.valid) return;
    WriteFrame(bitmap.header, bitmap.pixels, FrameForm::kBitmap);
}

void AviWriter::WriteAviFrame(const BitmapInfoHeader& header, const uint8_t* pixels) {
    const bool usable = pixels && header.width > 0 && header.width <= 16384 && header.height != 0 &&
                        std::abs(header.height) <= 16384 &&
                        (header.bitCount == 24 || header.bitCount == 32);
    if (!usable) {
        Fail("\nerror AVIStreamWrite2");
        return;
    }
    const std::size_t bytes = DibRowBytes(header.width, header.bitCount) * std::abs(header.height);
    WriteFrame(header, std::span<const uint8_t>(pixels, bytes), FrameForm::kCapture);
}

void AviWriter::WriteFrame(const BitmapInfoHeader& header, std::span<const uint8_t> pixels,
                           FrameForm form) {
    if (!output_) {
        if (form == FrameForm::kCapture) Fail("\nerror AVIStreamWrite2");
        return;
    }
    if (frameCount_ == 0 && !output_->video) {
        if (!CreateVideoStream(header) || failed_) return;
    }
    AviOutput& out = *output_;
    bool written = out.video && header.width == out.firstHeader.width &&
                   header.height == out.firstHeader.height &&
                   header.bitCount == out.firstHeader.bitCount;
    if (written && !out.encoder) {
        written = av_new_packet(out.packet.get(), static_cast<int>(pixels.size())) >= 0;
        if (written) {
            std::copy(pixels.begin(), pixels.end(), out.packet->data);
            out.packet->pts = out.packet->dts =
                av_rescale_q(frameCount_, out.frameTime, out.video->time_base);
            out.packet->stream_index = out.video->index;
            out.packet->flags = AV_PKT_FLAG_KEY;
            written = out.WritePacket();
        }
    } else if (written) {
        // Bottom-up rows are read from the last row upwards.
        const int stride = static_cast<int>(DibRowBytes(header.width, header.bitCount));
        const bool bottomUp = header.height > 0;
        const uint8_t* source[4] = {
            pixels.data() + (bottomUp ? static_cast<std::size_t>(stride) * (header.height - 1) : 0),
            nullptr, nullptr, nullptr};
        const int sourceStride[4] = {bottomUp ? -stride : stride, 0, 0, 0};
        written = av_frame_make_writable(out.picture.get()) >= 0 &&
                  sws_scale(out.scaler.get(), source, sourceStride, 0, std::abs(header.height),
                            out.picture->data, out.picture->linesize) == std::abs(header.height);
        out.picture->pts = frameCount_;
        written = written && out.Encode(out.picture.get());
    }
    if (!written) {
        if (form == FrameForm::kCapture) Fail("\nerror AVIStreamWrite2");
        return;
    }
    ++frameCount_;
}

bool AviWriter::CreateVideoStream(const BitmapInfoHeader& header) {
    if (hooks_.playerControl) hooks_.playerControl(2);
    AviOutput& out = *output_;

    std::optional<CompressorOptions> options = LoadCompressorOptions(hooks_.hostFolder);
    if (!options) {
        const std::vector<VideoCompressor> offered = AvailableCompressors();
        const CompressorChoice choice =
            hooks_.compressorDialog
                ? hooks_.compressorDialog(DefaultCompressorOptions(), offered,
                                          kDialogKeyFrames | kDialogDataRate | kDialogPreview)
                : CompressorChoice{};
        switch (choice.answer) {
            case DialogAnswer::kCancelled:
                Fail(nullptr);
                return false;
            case DialogAnswer::kConfirmed:
                options = choice.options;
                if (!SaveCompressorOptions(hooks_.hostFolder, *options)) {
                    Trace("\nerror saving %s%s", hooks_.hostFolder.c_str(), kCompressorFileName);
                }
                break;
            case DialogAnswer::kNobodyToAsk: {
                // Not saved, so that the choice is offered once someone can
                // answer.
                options = DefaultCompressorOptions();
                const std::optional<VideoCompressor> fallback = FindCompressor(options->handler);
                Trace(
                    "\nNobody to ask for the AVI compressor: the default, %s, is used (%s is "
                    "not written).",
                    fallback ? fallback->name : "none", kCompressorFileName);
                break;
            }
        }
    }

    AVStream* stream = avformat_new_stream(out.format.get(), nullptr);
    if (!stream) {
        Fail("\nerror AVIFileCreateStream");
        return false;
    }
    // 30000/1001 and the like come back as the exact fraction.
    const AVRational frameTime =
        expectedFrameRate_ > 0 ? av_inv_q(av_d2q(expectedFrameRate_, 1 << 16)) : kFrameTimeBase;
    stream->time_base = frameTime;
    out.video = stream;
    out.frameTime = frameTime;
    out.firstHeader = header;
    const int width = header.width;
    const int height = std::abs(header.height);
    const AVPixelFormat rows = header.bitCount == 24 ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_BGR0;

    bool made = false;
    const std::optional<VideoCompressor> compressor = FindCompressor(options->handler);
    if (compressor && compressor->encoder[0] == '\0') {
        AVCodecParameters& p = *stream->codecpar;
        p.codec_type = AVMEDIA_TYPE_VIDEO;
        p.codec_id = AV_CODEC_ID_RAWVIDEO;
        p.codec_tag = 0;
        p.width = width;
        p.height = height;
        p.bits_per_coded_sample = header.bitCount;
        p.format = header.bitCount == 24 ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_BGRA;
        made = true;
    } else if (compressor) {
        const AVCodec* codec = avcodec_find_encoder_by_name(compressor->encoder);
        out.encoder.reset(codec ? avcodec_alloc_context3(codec) : nullptr);
        if (out.encoder) {
            AVCodecContext& e = *out.encoder;
            e.width = width;
            e.height = height;
            e.pix_fmt = EncoderPixelFormat(*codec);
            e.time_base = frameTime;
            e.framerate = av_inv_q(frameTime);
            e.max_b_frames = 0;
            e.gop_size = (options->flags & kCompressKeyFrames) && options->keyFrameEvery > 0
                             ? static_cast<int>(options->keyFrameEvery)
                             : 250;
            if ((options->flags & kCompressDataRate) && options->bytesPerSecond > 0) {
                e.bit_rate = static_cast<int64_t>(options->bytesPerSecond) * 8;
            } else if (codec->id == AV_CODEC_ID_H264) {
                av_opt_set_int(e.priv_data, "crf", QuantiserOf(options->quality) - 5, 0);
            } else {
                e.flags |= AV_CODEC_FLAG_QSCALE;
                e.global_quality = QuantiserOf(options->quality) * FF_QP2LAMBDA;
            }
            if (out.format->oformat->flags & AVFMT_GLOBALHEADER) {
                e.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
            }
            out.picture.reset(av_frame_alloc());
            out.scaler.reset(sws_getContext(width, height, rows, width, height, e.pix_fmt,
                                            SWS_BICUBIC, nullptr, nullptr, nullptr));
            made = out.picture && out.scaler && avcodec_open2(&e, codec, nullptr) >= 0 &&
                   avcodec_parameters_from_context(stream->codecpar, &e) >= 0;
            if (made) {
                out.picture->format = e.pix_fmt;
                out.picture->width = width;
                out.picture->height = height;
                made = av_frame_get_buffer(out.picture.get(), 0) >= 0;
            }
            stream->codecpar->codec_tag = compressor->fourcc;
        }
    }
    made = made && out.WriteHeader() && out.FlushAudioBeforeVideo();
    if (!made) {
        ShowMessage(hooks_.messages, kSetupCompressorAgainMessage, MessageIcon::kQuestion);
        out.video = nullptr;
        Fail(nullptr);
        return false;
    }
    if (hooks_.playerControl) hooks_.playerControl(1);
    return true;
}

void AviWriter::WriteAviAudio(const uint8_t* bytes, long long count) {
    if (output_ && output_->audio && bytes && count > 0) {
        AviOutput& out = *output_;
        const long long samples = count / out.audioFormat.blockAlign;
        const long long whole = samples * out.audioFormat.blockAlign;
        if (out.headerWritten) {
            out.WriteAudioPacket(bytes, samples);
        } else if (out.audioBeforeVideo.size() + static_cast<std::size_t>(whole) <=
                   kMostAudioBeforeVideo) {
            out.audioBeforeVideo.insert(out.audioBeforeVideo.end(), bytes, bytes + whole);
        }
    }
    std::this_thread::sleep_for(hooks_.throttleInterval);
}

void AviWriter::CloseAvi() {
    if (output_) {
        AviOutput& out = *output_;
        // A file with sound but no frame still gets its sound.
        if (!out.headerWritten && out.audio && !out.video && out.WriteHeader()) {
            out.FlushAudioBeforeVideo();
        }
        if (out.headerWritten) {
            if (out.encoder) out.Encode(nullptr);
            av_write_trailer(out.format.get());
        }
        output_.reset();
    }
    failed_ = false;
    // A file without a video stream header is left as it is.
    if (path_.empty()) return;
    const uint32_t rate = PatchedFrameRate(frameCount_, durationMs_);
    PatchAviVideoRate(path_, rate > 0 ? rate : kUnpatchedVideoRate);
}

}  // namespace korvan::media
