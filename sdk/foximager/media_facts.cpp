#include "sdk/foximager/media_facts.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include <algorithm>

namespace foximager {
namespace {

constexpr std::int64_t kFirstSecondMicroseconds = AV_TIME_BASE;
constexpr std::int64_t kFirstMinuteMicroseconds = 60LL * AV_TIME_BASE;
// A minute of a DVD at its highest rate.
constexpr std::int64_t kFirstMinuteBytes = 80LL << 20;

double Ratio(AVRational r) { return r.num > 0 && r.den > 0 ? av_q2d(r) : 0; }

}  // namespace

const StreamFacts* MediaFacts::First(std::string_view type) const {
    for (const StreamFacts& stream : streams) {
        if (stream.type == type) return &stream;
    }
    return nullptr;
}

int MediaFacts::Count(std::string_view type) const {
    int count = 0;
    for (const StreamFacts& stream : streams) count += stream.type == type ? 1 : 0;
    return count;
}

MediaFacts ProbeMediaFile(const std::string& path, ProbeDepth depth) {
    // libavformat would otherwise report every oddity of an input (a DVD
    // navigation stream without times, say) on the program's console; the
    // program has no other use for its messages.
    av_log_set_level(AV_LOG_ERROR);
    MediaFacts facts;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return facts;
    if (depth == ProbeDepth::kFirstSecond) {
        format->max_analyze_duration = kFirstSecondMicroseconds;
    } else {
        format->max_analyze_duration = kFirstMinuteMicroseconds;
        format->probesize = kFirstMinuteBytes;
    }
    if (avformat_find_stream_info(format, nullptr) >= 0) {
        facts.formatName = format->iformat->name;
        if (format->duration != AV_NOPTS_VALUE && format->duration > 0) {
            facts.durationSeconds = static_cast<double>(format->duration) / AV_TIME_BASE;
        }
        facts.bitRate = format->bit_rate > 0 ? format->bit_rate : 0;
        for (unsigned i = 0; i < format->nb_streams; ++i) {
            AVStream* stream = format->streams[i];
            const AVCodecParameters* codec = stream->codecpar;
            StreamFacts s;
            const char* type = av_get_media_type_string(codec->codec_type);
            s.type = type ? type : "";
            s.codec = avcodec_get_name(codec->codec_id);
            s.width = std::max(codec->width, 0);
            s.height = std::max(codec->height, 0);
            s.frameRate = Ratio(stream->r_frame_rate);
            s.pixelAspect = Ratio(av_guess_sample_aspect_ratio(format, stream, nullptr));
            s.sampleRateHz = std::max(codec->sample_rate, 0);
            facts.streams.push_back(std::move(s));
        }
    }
    avformat_close_input(&format);
    return facts;
}

}  // namespace foximager
