#include "korvan/mpegenc/driver/reader_source.h"

#include <algorithm>

#include "korvan/media/wave_format.h"

namespace korvan {
namespace {

constexpr int64_t kUnitsPerMs = media::kUnitsPerSecond / 1000;

}  // namespace

EncodeJob ReaderSource::JobFor(const std::string& outputPath) const {
    EncodeJob job;
    job.hasVideo = true;
    job.width = reader_.width;
    job.height = reader_.height;
    job.firstPicture = reader_.firstFrame;
    job.lastPicture = reader_.lastFrame;
    // A source without sound reads as silence; nothing is made of it.
    job.hasAudio = reader_.audioEnabled && !reader_.audioSilent;
    job.sampleRateHz = static_cast<int>(media::kEncoderPcmFormat.samplesPerSec);
    job.stereo = media::kEncoderPcmFormat.channels == 2;
    job.bitsPerSample = media::kEncoderPcmFormat.bitsPerSample;
    job.firstSample = 0;
    job.lastSample = static_cast<long long>(static_cast<double>(reader_.duration) /
                                            media::kUnitsPerSecond * job.sampleRateHz);
    job.outputPath = outputPath;
    return job;
}

void ReaderSource::Serve(CompileRequest& request) {
    request.pictureRate = reader_.frameRate;
    request.durationMs = reader_.duration / kUnitsPerMs;
    request.getPicture = [this](int64_t number, FetchedPicture& picture) {
        return FetchPicture(number, picture);
    };
    request.audioPositions = AudioPositions::kBySample;
    request.getAudio = [this](int64_t position, FetchedAudio& audio) {
        return FetchAudio(position, audio);
    };
    chunk_ = nullptr;
    chunkBytes_ = 0;
    chunkStart_ = 0;
}

int ReaderSource::FetchPicture(int64_t number, FetchedPicture& picture) {
    int rowBytes = 0;
    const uint8_t* pixels = nullptr;
    const int status = media::FetchSourceFrame(reader_, number, rowBytes, pixels);
    if (status != 0) return status;
    picture = {pixels, reader_.outputWidth, reader_.outputHeight, rowBytes};
    return 0;
}

int ReaderSource::FetchAudio(int64_t position, FetchedAudio& audio) {
    const int64_t frameBytes = media::kEncoderPcmFormat.blockAlign;
    // Position 0 starts the sound again; the readers continue a chunk after
    // the last one. The encode may take less of a piece than it was given
    // (the AVI form takes one picture's sound at a time), so the piece
    // handed out starts where the encode has got to.
    int64_t offset = (position - chunkStart_) * frameBytes;
    if (position == 0 || offset < 0 || offset >= static_cast<int64_t>(chunkBytes_)) {
        if (position != 0 &&
            position != chunkStart_ + static_cast<int64_t>(chunkBytes_) / frameBytes &&
            chunkBytes_ > 0) {
            return media::kAudioUnreadable;
        }
        long long samples = 0;
        long long bytes = 0;
        const uint8_t* buffer = nullptr;
        const int status = media::FetchSourceAudio(
            reader_, position, media::AudioFetchForm::kEncoderPcm, samples, bytes, buffer);
        if (status != 0) return status;
        chunk_ = buffer;
        chunkBytes_ = static_cast<size_t>(std::max(bytes, 0LL));
        chunkStart_ = position;
        offset = 0;
    }
    // kLargestAudioBlockBytes holds whole sample frames of every PCM form.
    const size_t piece =
        std::min(chunkBytes_ - static_cast<size_t>(offset), kLargestAudioBlockBytes);
    audio = {chunk_ + offset, piece};
    return 0;
}

}  // namespace korvan
