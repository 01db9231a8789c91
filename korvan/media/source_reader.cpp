#include "korvan/media/source_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "korvan/media/encoder_pcm.h"
#include "korvan/media/frame_grabber.h"
#include "korvan/media/frame_rate_probe.h"
#include "korvan/media/frame_ring.h"
#include "korvan/media/picture_fit.h"
#include "korvan/media/rgb_scaler.h"
#include "korvan/media/source_audio.h"
#include "korvan/media/source_classification.h"
#include "korvan/media/stream_decoder.h"
#include "korvan/mpegenc/common/format_text.h"

namespace korvan::media {

// The decoders, the ring and its grabber, and the buffers of one open
// source.
struct SourceReaderMedia {
    StreamDecoder video;
    libav::FrameHandle videoFrame{av_frame_alloc()};
    RgbScaler videoScaler;
    SourceAudio audio;
    EncoderPcmConverter converter;
    long long keptEndSample = 0;

    FrameRing ring;
    FrameGrabber grabber{ring};  // after the ring: it stops before the ring goes
    bool grabberStarted = false;
    libav::ScalerHandle outputScaler;
    std::vector<uint8_t> framePixels;
    std::vector<uint8_t> fittedPixels;  // a fitted picture before it goes into its frame

    std::vector<uint8_t> audioBuffer;
    std::vector<uint8_t> conversionBuffer;
};

namespace {

constexpr char kLibraryTitle[] = "";
// An error ends the open; after a warning it goes on without sound.
enum class OpenProblem { kError, kWarning };

void ShowOpenMessage(const MessageSink& messages, OpenProblem problem, const char* text) {
    const bool error = problem == OpenProblem::kError;
    ShowMessage(
        messages,
        FormatText("%s - %s", kLibraryTitle, error ? "open file error" : "open file warning"), text,
        error ? MessageIcon::kError : MessageIcon::kWarning);
}

bool OpenFailed(SourceReader& reader, const MessageSink& messages, const char* text) {
    ShowOpenMessage(messages, OpenProblem::kError, text);
    CloseSourceReader(reader);
    return false;
}

// The file's own pel shape: the container's word, else the stream's, else
// square pels.
double PelAspectOf(const StreamDecoder& video) {
    for (const AVRational ratio :
         {video.Stream().sample_aspect_ratio, video.Codec().sample_aspect_ratio}) {
        if (ratio.num > 0 && ratio.den > 0) return av_q2d(ratio);
    }
    return 1;
}

// The made-up format of a source without readable sound.
void UseSilence(SourceReader& reader) {
    reader.audioFormat = kEncoderPcmFormat;
    reader.audioSilent = true;
}

void ComputeAudioFields(SourceReader& reader) {
    const WaveFormat& f = reader.audioFormat;
    const double rate = f.samplesPerSec;
    const double frameCount = static_cast<double>(reader.lastFrame + 1);
    reader.audioEnabled = true;
    reader.samplesPerVideoFrame = rate / reader.frameRate;
    reader.timePerSample = kUnitsPerSecond / rate;
    reader.totalSamples =
        static_cast<long long>((frameCount / reader.frameRate * 1000) * rate * 0.001);
    reader.bytesPerSampleFrame = f.channels * (f.bitsPerSample == 16 ? 2 : 1);
    const double seconds = static_cast<double>(reader.duration) / kUnitsPerSecond;
    reader.chunkDurationSeconds = seconds < kShortSourceSeconds ? seconds : kLongSourceChunkSeconds;
    reader.fractionCarryBytes = 0;
    reader.media->keptEndSample = reader.totalSamples;
}

// Brings the top-down ring picture to `width` x `height`, bottom row first,
// straight from the ring's slot into `pixels` (rows of `width`): at the same
// size a copy of each row.
bool ScalePicture(const RingPicture& picture, int width, int height, libav::ScalerHandle& scaler,
                  std::vector<uint8_t>& pixels) {
    const std::size_t inStride = 4 * static_cast<std::size_t>(picture.width);
    const std::size_t outStride = 4 * static_cast<std::size_t>(width);
    const uint8_t* bottomRow =
        picture.rows.data() + inStride * static_cast<std::size_t>(picture.height - 1);
    if (picture.width == width && picture.height == height) {
        for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
            std::memcpy(pixels.data() + outStride * y, bottomRow - inStride * y, outStride);
        }
        return true;
    }
    scaler.reset(sws_getCachedContext(scaler.release(), picture.width, picture.height,
                                      AV_PIX_FMT_BGR0, width, height, AV_PIX_FMT_BGR0, SWS_BICUBIC,
                                      nullptr, nullptr, nullptr));
    if (!scaler) return false;
    // Read from the bottom row up, the picture comes out bottom-up; the
    // output is written top-down (safe from the scaler's overrun).
    const uint8_t* source[4] = {bottomRow, nullptr, nullptr, nullptr};
    const int sourceStride[4] = {-static_cast<int>(inStride), 0, 0, 0};
    uint8_t* destination[4] = {pixels.data(), nullptr, nullptr, nullptr};
    const int destinationStride[4] = {static_cast<int>(outStride), 0, 0, 0};
    return sws_scale(scaler.get(), source, sourceStride, 0, picture.height, destination,
                     destinationStride) == height;
}

// The ring picture as the output frame the reader was asked for: stretched
// to it, or fitted at its display shape with black around it. The fitted
// picture is scaled on its own first: the scaler's overrun past a row would
// land in the bars.
bool ToOutputPicture(const RingPicture& picture, const SourceReader& reader,
                     SourceReaderMedia& media) {
    const int width = reader.outputWidth;
    const int height = reader.outputHeight;
    if (!(reader.outputPelAspect > 0)) {
        return ScalePicture(picture, width, height, media.outputScaler, media.framePixels);
    }
    const PictureRect rect = FitPicture({picture.width, picture.height, reader.pelAspect},
                                        {width, height, reader.outputPelAspect});
    if (rect == PictureRect{0, 0, width, height}) {
        return ScalePicture(picture, width, height, media.outputScaler, media.framePixels);
    }
    const std::size_t rectStride = 4 * static_cast<std::size_t>(rect.width);
    media.fittedPixels.resize(rectStride * static_cast<std::size_t>(rect.height) +
                              kScalerOverrunBytes);
    if (!ScalePicture(picture, rect.width, rect.height, media.outputScaler, media.fittedPixels)) {
        return false;
    }
    const std::size_t outStride = 4 * static_cast<std::size_t>(width);
    std::fill(media.framePixels.begin(), media.framePixels.end(), 0);
    // Rows are bottom-up: the rectangle's bottom row is `bottom` rows above
    // the frame's.
    const auto bottom = static_cast<std::size_t>(height - rect.top - rect.height);
    const auto left = 4 * static_cast<std::size_t>(rect.left);
    for (std::size_t y = 0; y < static_cast<std::size_t>(rect.height); ++y) {
        std::memcpy(media.framePixels.data() + outStride * (bottom + y) + left,
                    media.fittedPixels.data() + rectStride * y, rectStride);
    }
    return true;
}

}  // namespace

SourceReader::SourceReader() = default;
SourceReader::~SourceReader() { CloseSourceReader(*this); }

bool OpenSourceReader(SourceReader& reader, const std::string& path, const MessageSink& messages) {
    CloseSourceReader(reader);
    try {
        reader.media = std::make_unique<SourceReaderMedia>();
    } catch (const std::bad_alloc&) {
        ShowOpenMessage(messages, OpenProblem::kError, "Could not create IAMMMultiMediaStream");
        return false;
    }
    SourceReaderMedia& media = *reader.media;
    reader.path = path;
    RealMediaFlags flags;
    IsRealMediaPath(path, flags);
    reader.realMedia = flags.realMedia;

    switch (media.video.Open(path, StreamKind::kVideo)) {
        case StreamOpenResult::kOpened:
            break;
        case StreamOpenResult::kNoMemory:
            return OpenFailed(reader, messages, "Could not create IAMMMultiMediaStream");
        case StreamOpenResult::kUnreadableFile:
        case StreamOpenResult::kNoStream:
            return OpenFailed(reader, messages,
                              "Could not add PrimaryVideo to IAMMMultiMediaStream");
        case StreamOpenResult::kNoDecoder:
            return OpenFailed(reader, messages,
                              "Could not get IDirectDrawMediaStream from PrimaryVideo");
    }
    if (!media.videoFrame) {
        return OpenFailed(reader, messages, "Could not create a DirectDraw sample");
    }

    const double statedRate = media.video.StatedFrameRate();
    reader.duration = std::llround(media.video.DurationSeconds() * kUnitsPerSecond);
    reader.timePerFrame = statedRate > 0 ? std::llround(kUnitsPerSecond / statedRate) : 0;
    if (reader.timePerFrame == 0) {
        const double rate = FrameRateProbe(path, reader.duration == 0);
        if (rate <= 0) {
            CloseSourceReader(reader);
            return false;
        }
        reader.timePerFrame = std::llround(kUnitsPerSecond / rate);
    }
    reader.firstFrame = 0;
    reader.lastFrame = reader.duration / reader.timePerFrame - 1;
    reader.frameRate = static_cast<double>(kUnitsPerSecond) / reader.timePerFrame;

    reader.width = media.video.Codec().width;
    reader.height = media.video.Codec().height;
    if (reader.width <= 0 || reader.height <= 0) {
        return OpenFailed(reader, messages, "Could not get video width and height 1");
    }
    reader.pelAspect = PelAspectOf(media.video);
    reader.outputWidth = reader.width;
    reader.outputHeight = reader.height;
    reader.outputPelAspect = 0;
    reader.outputFrameRate = reader.frameRate;

    switch (media.audio.Open(path)) {
        case StreamOpenResult::kOpened:
            reader.audioFormat = media.audio.Format();
            reader.audioSilent = false;
            break;
        case StreamOpenResult::kNoMemory:
            return OpenFailed(reader, messages,
                              "Could not get IAudioMediaStream from PrimaryAudio");
        case StreamOpenResult::kNoDecoder:
            ShowOpenMessage(messages, OpenProblem::kWarning, "Audio data type is not supported");
            UseSilence(reader);
            break;
        case StreamOpenResult::kUnreadableFile:
        case StreamOpenResult::kNoStream:
            UseSilence(reader);
            break;
    }
    ComputeAudioFields(reader);
    try {
        media.audioBuffer.resize(
            static_cast<std::size_t>(static_cast<double>(ChunkBytes(reader)) * kAudioBufferFactor));
    } catch (const std::bad_alloc&) {
        ShowOpenMessage(messages, OpenProblem::kWarning, "Could not create an audio buffer");
        UseSilence(reader);
        ComputeAudioFields(reader);
    }
    reader.isOpen = true;
    return true;
}

bool ReadSourceFrameAt(SourceReader& reader, long long index, std::vector<uint8_t>& pixels) {
    if (!reader.isOpen || !reader.media->video.IsOpen() || !reader.media->videoFrame) return false;
    SourceReaderMedia& media = *reader.media;
    const double seconds = static_cast<double>(index * reader.timePerFrame) / kUnitsPerSecond;
    const double halfFrame = 0.5 * static_cast<double>(reader.timePerFrame) / kUnitsPerSecond;
    AVFrame& frame = *media.videoFrame;
    bool read =
        media.video.SeekTo(seconds, {halfFrame, halfFrame}) && media.video.NextFrame(frame) == 1;
    if (read) {
        read = frame.width == reader.width && frame.height == reader.height &&
               media.videoScaler.BottomUp(frame, AV_PIX_FMT_BGR0,
                                          4 * static_cast<std::size_t>(frame.width), pixels);
        av_frame_unref(&frame);
    }
    if (!read) CloseSourceReader(reader);
    return read;
}

// The grabber stamps each picture with its presentation time, the clock the
// sound is read by, so output frame n shows the source at exactly n / rate:
// taking pictures any earlier would put the video behind the sound.
double SourceFrameSeconds(const SourceReader& reader, long long n) {
    return static_cast<double>(n) / reader.outputFrameRate +
           static_cast<double>(reader.firstFrame) / reader.frameRate;
}

int FetchSourceFrame(SourceReader& reader, long long n, int& rowBytes, const uint8_t*& pixels) {
    rowBytes = 4 * reader.outputWidth;
    if (!reader.media) reader.media = std::make_unique<SourceReaderMedia>();
    SourceReaderMedia& media = *reader.media;
    const std::size_t frameBytes =
        static_cast<std::size_t>(rowBytes) * std::max(reader.outputHeight, 0);
    // A picture from the ring fills every byte; without one the frame is
    // black. A picture scaled to the output size is written top-down, with
    // room after it for the scaler's overrun.
    const auto black = [&media, frameBytes] {
        media.framePixels.assign(frameBytes + kScalerOverrunBytes, 0);
        return 0;
    };
    media.framePixels.resize(frameBytes + kScalerOverrunBytes);
    pixels = media.framePixels.data();
    if (!reader.isOpen) return black();

    const double seconds = SourceFrameSeconds(reader, n);
    // Output frame 0 (re)starts the grabber; so does the first fetch of a
    // caller that begins elsewhere.
    if (n == 0 || !media.grabberStarted) {
        media.grabberStarted = true;
        media.grabber.Stop();
        media.ring.Reset();
        media.grabber.Start(reader.path, seconds, reader.decodeThreads);
    }
    media.ring.AwaitPictureAt(seconds, kRingWaitTimeout);
    bool converted = false;
    const bool found = media.ring.UseNearest(
        seconds, [&reader, &media, &converted](const RingPicture& picture, double chosen) {
            reader.lastFetchedSeconds = chosen;
            converted = ToOutputPicture(picture, reader, media);
        });
    if (!found) return black();
    return converted ? 0 : kFrameNotConvertible;
}

long long ChunkBytes(const SourceReader& reader) {
    return static_cast<long long>(static_cast<double>(reader.audioFormat.samplesPerSec) *
                                  reader.bytesPerSampleFrame * reader.chunkDurationSeconds);
}

int FetchSourceAudio(SourceReader& reader, long long position, AudioFetchForm form,
                     long long& sampleCount, long long& bytes, const uint8_t*& buffer) {
    sampleCount = 0;
    bytes = 0;
    buffer = nullptr;
    if (!reader.isOpen || !reader.audioEnabled) return kAudioUnreadable;
    SourceReaderMedia& media = *reader.media;
    const double rate = reader.audioFormat.samplesPerSec;
    const int frameBytes = reader.bytesPerSampleFrame;

    const double firstSample = static_cast<double>(reader.firstFrame) * reader.samplesPerVideoFrame;
    const auto index =
        static_cast<long long>(firstSample + rate * static_cast<double>(position) / 44100);
    if (reader.audioEndOverride > 0) {
        media.keptEndSample = static_cast<long long>(firstSample + reader.audioEndOverride);
    }
    const double left = static_cast<double>(media.keptEndSample - index);
    const double wanted = std::min(rate * reader.chunkDurationSeconds, left);
    if (wanted <= 0) return kAudioUnreadable;

    auto frames = static_cast<long long>(wanted);
    reader.fractionCarryBytes += (wanted - static_cast<double>(frames)) * frameBytes;
    if (reader.fractionCarryBytes > kFractionCarrySeconds * rate * frameBytes) {
        const double carrySeconds = reader.fractionCarryBytes / (rate * frameBytes);
        reader.fractionCarryBytes = 0;
        frames =
            std::min(static_cast<long long>(rate * (reader.chunkDurationSeconds + carrySeconds)),
                     media.keptEndSample - index);
    }
    const long long chunkBytes = frames * frameBytes;
    if (media.audioBuffer.size() < static_cast<std::size_t>(chunkBytes)) {
        media.audioBuffer.resize(static_cast<std::size_t>(chunkBytes));
    }
    std::memset(media.audioBuffer.data(), 0, static_cast<std::size_t>(chunkBytes));
    sampleCount = static_cast<long long>(static_cast<double>(frames) / rate * 44100);

    if (!reader.audioSilent) {
        if (position == 0) {
            if (!media.audio.Position(index)) return kAudioUnreadable;
            media.converter.Restart();
        }
        const long long got = media.audio.Read(media.audioBuffer.data(), frames);
        if (got <= 0) return kAudioUnreadable;
    }

    if (form == AudioFetchForm::kSourceFormat) {
        bytes = chunkBytes;
        buffer = media.audioBuffer.data();
        return 0;
    }
    if (media.conversionBuffer.empty()) {
        media.conversionBuffer.resize(2 *
                                      static_cast<std::size_t>(kConversionBufferSeconds * 88200));
    }
    const long long converted = media.converter.ConvertToEncoderPcm(
        reader.audioFormat, media.audioBuffer.data(), chunkBytes, media.conversionBuffer.data(),
        static_cast<long long>(media.conversionBuffer.size()));
    if (converted < 0) return kAudioUnreadable;
    bytes = converted;
    sampleCount = converted / kEncoderPcmFormat.blockAlign;
    buffer = media.conversionBuffer.data();
    return 0;
}

void DropSourcePictures(SourceReader& reader) {
    if (!reader.media) return;
    SourceReaderMedia& media = *reader.media;
    media.grabber.Stop();
    media.video = StreamDecoder();
    media.videoFrame.reset();
    media.framePixels = {};
}

void CloseSourceReader(SourceReader& reader) {
    // The grabber stops before its ring and decoders go.
    reader.media.reset();
    reader.isOpen = false;
    reader.audioEnabled = false;
    reader.audioSilent = true;
    reader.lastFrame = -1;
    reader.firstFrame = 0;
    reader.audioEndOverride = 0;
    reader.lastFetchedSeconds = -1;
}

}  // namespace korvan::media
