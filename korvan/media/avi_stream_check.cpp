#include "korvan/media/avi_stream_check.h"

#include "libav/libav_handles.h"

namespace korvan::media {

namespace {

const AVStream* FirstStreamOf(const AVFormatContext& input, AVMediaType type) {
    for (unsigned i = 0; i < input.nb_streams; ++i) {
        if (input.streams[i]->codecpar->codec_type == type) return input.streams[i];
    }
    return nullptr;
}

bool DecoderOpens(const AVCodecParameters& parameters) {
    const AVCodec* decoder = avcodec_find_decoder(parameters.codec_id);
    if (!decoder) return false;
    libav::CodecHandle codec(avcodec_alloc_context3(decoder));
    return codec && avcodec_parameters_to_context(codec.get(), &parameters) >= 0 &&
           avcodec_open2(codec.get(), decoder, nullptr) >= 0;
}

}  // namespace

AviStreams CheckAviStreams(const std::string& path) {
    AviStreams found;
    // Only the AVI reader: a file of another format is not an AVI, whatever
    // its name says.
    const AVInputFormat* avi = av_find_input_format("avi");
    AVFormatContext* raw = nullptr;
    if (!avi || avformat_open_input(&raw, path.c_str(), avi, nullptr) < 0) return found;
    const libav::InputHandle input(raw);
    // The stream headers are read by the open; this fills in what they
    // leave out, and failing leaves the headers' facts.
    avformat_find_stream_info(raw, nullptr);

    const AVStream* video = FirstStreamOf(*raw, AVMEDIA_TYPE_VIDEO);
    const AVStream* audio = FirstStreamOf(*raw, AVMEDIA_TYPE_AUDIO);
    found.hasVideo = video != nullptr;
    found.hasAudio = audio != nullptr;
    if (video) {
        const AVCodecParameters& parameters = *video->codecpar;
        found.videoHandler = parameters.codec_tag;
        if (parameters.width <= 0 || parameters.height <= 0) {
            found.check = AviStreamCheck::kNoVideoInfo;
            return found;
        }
        if (!DecoderOpens(parameters)) {
            found.check = AviStreamCheck::kNoFrameDecoder;
            return found;
        }
    }
    found.check = video || audio ? AviStreamCheck::kReadable : AviStreamCheck::kNoStreams;
    return found;
}

}  // namespace korvan::media
