#include "korvan/mpegenc/driver/reader_source.h"

#include <algorithm>

#include "korvan/media/wave_format.h"

namespace korvan {
namespace {

constexpr int64_t kUnitsPerMs = media::kUnitsPerSecond / 1000;
// The readers count sound positions in samples at this rate.
constexpr long long kReaderPositionRateHz = 44100;

}  // namespace

ReaderSource::~ReaderSource() {
    // The rounding the sound carries goes on in whichever reader reads next.
    if (separated_) reader_.fractionCarryBytes = soundReader_->fractionCarryBytes;
}

EncodeJob ReaderSource::JobFor(const std::string& outputPath) const {
    EncodeJob job;
    job.hasVideo = true;
    job.width = reader_.outputWidth;
    job.height = reader_.outputHeight;
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
    ServeCallbacks(request, media::AudioFetchForm::kEncoderPcm, 0);
}

void ReaderSource::ServeCallbacks(CompileRequest& request, media::AudioFetchForm form,
                                  int64_t firstPicture) {
    form_ = form;
    firstPicture_ = firstPicture;
    request.getPicture = [this](int64_t number, FetchedPicture& picture) {
        return FetchPicture(number, picture);
    };
    request.audioPositions = AudioPositions::kBySample;
    request.getAudio = [this](int64_t position, FetchedAudio& audio) {
        return FetchAudio(position, audio);
    };
    if (soundReader_) request.separateAudio = [this] { return SeparateSound(); };
    separated_ = false;
    chunk_ = nullptr;
    chunkBytes_ = 0;
    chunkStart_ = 0;
    nextReaderPosition_ = 0;
}

bool ReaderSource::SeparateSound() {
    media::SourceReader& sound = *soundReader_;
    if (!sound.isOpen || sound.path != reader_.path) {
        // The first open has said all there is to say about the file.
        if (!media::OpenSourceReader(sound, reader_.path, MessageSink())) return false;
        media::DropSourcePictures(sound);
        sound.fractionCarryBytes = reader_.fractionCarryBytes;
    }
    if (sound.audioEnabled != reader_.audioEnabled || sound.audioSilent != reader_.audioSilent ||
        sound.audioFormat.samplesPerSec != reader_.audioFormat.samplesPerSec ||
        sound.audioFormat.channels != reader_.audioFormat.channels ||
        sound.audioFormat.bitsPerSample != reader_.audioFormat.bitsPerSample ||
        sound.samplesPerVideoFrame != reader_.samplesPerVideoFrame) {
        media::CloseSourceReader(sound);
        return false;
    }
    sound.firstFrame = reader_.firstFrame;
    sound.audioEndOverride = reader_.audioEndOverride;
    sound.chunkDurationSeconds = reader_.chunkDurationSeconds;
    separated_ = true;
    return true;
}

int ReaderSource::FetchPicture(int64_t number, FetchedPicture& picture) {
    int rowBytes = 0;
    const uint8_t* pixels = nullptr;
    const int status = media::FetchSourceFrame(reader_, number - firstPicture_, rowBytes, pixels);
    if (status != 0) return status;
    picture = {pixels, reader_.outputWidth, reader_.outputHeight, rowBytes};
    return 0;
}

int64_t ReaderSource::SampleFrameBytes() {
    if (form_ == media::AudioFetchForm::kEncoderPcm) return media::kEncoderPcmFormat.blockAlign;
    const media::WaveFormat& format = SoundReader().audioFormat;
    return format.channels * (format.bitsPerSample / 8);
}

int ReaderSource::FetchAudio(int64_t position, FetchedAudio& audio) {
    audio = {};
    const int64_t frameBytes = SampleFrameBytes();
    if (frameBytes <= 0) return media::kAudioUnreadable;
    // Position 0 starts the sound again; the readers continue a chunk after
    // the last one. The encode may take less of a piece than it was given
    // (the AVI form takes one picture's sound at a time), so the piece
    // handed out starts where the encode has got to.
    int64_t offset = (position - chunkStart_) * frameBytes;
    if (position == 0 || offset < 0 || offset >= static_cast<int64_t>(chunkBytes_)) {
        const int64_t chunkEnd = chunkStart_ + static_cast<int64_t>(chunkBytes_) / frameBytes;
        if (position != 0 && position != chunkEnd && chunkBytes_ > 0) {
            return media::kAudioUnreadable;
        }
        const long long readerPosition = position == 0 ? 0 : nextReaderPosition_;
        long long samples = 0;
        long long bytes = 0;
        const uint8_t* buffer = nullptr;
        // A reader that cannot give more has come to the end of its sound.
        if (media::FetchSourceAudio(SoundReader(), readerPosition, form_, samples, bytes, buffer) !=
                0 ||
            bytes < frameBytes) {
            chunkBytes_ = 0;
            return 0;
        }
        chunk_ = buffer;
        chunkBytes_ = static_cast<size_t>(bytes - bytes % frameBytes);
        chunkStart_ = position;
        offset = 0;
        const long long sampleFrames = static_cast<long long>(chunkBytes_) / frameBytes;
        nextReaderPosition_ =
            readerPosition +
            (form_ == media::AudioFetchForm::kEncoderPcm
                 ? samples
                 : sampleFrames * kReaderPositionRateHz /
                       std::max<long long>(1, SoundReader().audioFormat.samplesPerSec));
    }
    // Pieces of whole sample frames, each within what a callback may return.
    const size_t largest = kLargestAudioBlockBytes - kLargestAudioBlockBytes % frameBytes;
    audio = {chunk_ + offset, std::min(chunkBytes_ - static_cast<size_t>(offset), largest)};
    return 0;
}

}  // namespace korvan
