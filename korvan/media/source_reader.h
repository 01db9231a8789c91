// The reader of a source the reader layer can decode: its picture size,
// rate, frame count and sound, the pictures for the encoder's output frames
// (through the frame grabber and its ring) and the sound in chunks.
//
// Pictures leave the reader as 32-bit rows, bytes B, G, R and one unused,
// bottom row first; sound as 44 100 Hz stereo 16-bit PCM (or, for an AVI
// output, in the source's own PCM format).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "korvan/media/wave_format.h"
#include "korvan/mpegenc/settings/encoder_messages.h"

namespace korvan::media {

inline constexpr int64_t kUnitsPerSecond = 10'000'000;  // of time per frame and duration

// Sources shorter than this are read as one chunk of sound; longer ones in
// chunks of kLongSourceChunkSeconds.
inline constexpr double kShortSourceSeconds = 8.0;
inline constexpr double kLongSourceChunkSeconds = 2.5;
// The source chunk's buffer, in multiples of a chunk's bytes.
inline constexpr double kAudioBufferFactor = 4.3718820861678;
// The converted chunk's buffer: 8.1 s of 44 100 Hz stereo 16-bit sound, twice.
inline constexpr double kConversionBufferSeconds = 8.1;
// The rounding carried from chunk to chunk is paid out once it passes this.
inline constexpr double kFractionCarrySeconds = 0.05;
// The longest a fetch waits for the grabber to fill the ring.
inline constexpr std::chrono::milliseconds kRingWaitTimeout{5000};

// Results besides 0.
inline constexpr int kFrameNotConvertible = 1;
inline constexpr int kAudioUnreadable = 17;

// The form FetchSourceAudio gives the sound in.
enum class AudioFetchForm {
    kEncoderPcm,    // converted to 44 100 Hz stereo 16 bits
    kSourceFormat,  // as read, for an AVI output
};

struct SourceReaderMedia;

// One source at a time. The facts are set by OpenSourceReader; the job
// driver sets the frame window (firstFrame, audioEndOverride) and the
// output the fetches make; the AVI output sets chunkDurationSeconds.
struct SourceReader {
    SourceReader();
    ~SourceReader();
    SourceReader(const SourceReader&) = delete;
    SourceReader& operator=(const SourceReader&) = delete;

    std::string path;
    bool isOpen = false;
    bool realMedia = false;  // its pictures are taken without the lead

    int width = 0;  // pels
    int height = 0;
    double pelAspect = 1;      // a pel's width over its height, as the file states it
    int64_t timePerFrame = 0;  // 100 ns units
    int64_t duration = 0;      // 100 ns units
    double frameRate = 0;      // frames per second
    long long firstFrame = 0;
    long long lastFrame = -1;  // frame count - 1

    WaveFormat audioFormat;
    bool audioEnabled = false;
    bool audioSilent = true;  // no sound to read: every chunk is silence
    double samplesPerVideoFrame = 0;
    double timePerSample = 0;  // 100 ns units
    long long totalSamples = 0;
    int bytesPerSampleFrame = 0;
    double chunkDurationSeconds = 0;
    double fractionCarryBytes = 0;
    long long audioEndOverride = 0;  // sample frames from the first frame on; 0: none

    int outputWidth = 0;  // of the fetched pictures
    int outputHeight = 0;
    // The shape of the output's pels (width over height): the picture is
    // fitted into the output size at its display shape, with black bars
    // around it. 0: the picture is stretched to the output size.
    double outputPelAspect = 0;
    double outputFrameRate = 0;
    double lastFetchedSeconds = -1;  // the time of the picture FetchSourceFrame gave last
    // Threads of the grabber's decoder: 0 (kDecodeOnEveryCore) for one per
    // core, or a count. The pictures are the same for any.
    int decodeThreads = 0;

    std::unique_ptr<SourceReaderMedia> media;
};

// Opens `path`: its primary video stream (required) and its primary audio
// stream (a source without one, or with one that cannot be decoded, reads
// as silence in 44 100 Hz stereo 16-bit PCM). Failures are shown through
// `messages` captioned " - open file error"; problems with the sound that
// leave the source readable are shown as " - open file warning". The
// output of the fetches starts as the source's size and rate.
bool OpenSourceReader(SourceReader& reader, const std::string& path, const MessageSink& messages);

// The picture at frame `index` as 32-bit bottom-up rows of the source's
// size. A failure closes the reader.
bool ReadSourceFrameAt(SourceReader& reader, long long index, std::vector<uint8_t>& pixels);

// The source time FetchSourceFrame takes the picture of output frame `n` at.
double SourceFrameSeconds(const SourceReader& reader, long long n);

// The picture for output frame `n`, of the output size: 0, or
// kFrameNotConvertible. Output frame 0 (re)starts the grabber. `pixels`
// stays valid until the next fetch or the close. Without an open reader the
// picture is black.
int FetchSourceFrame(SourceReader& reader, long long n, int& rowBytes, const uint8_t*& pixels);

// The next chunk of sound. `position` is in samples at 44 100 Hz; position
// 0 places the source at the first frame, later calls continue where the
// previous one ended. 0, or kAudioUnreadable (nothing left, or the sound
// cannot be read). `buffer` stays valid until the next fetch or the close.
int FetchSourceAudio(SourceReader& reader, long long position, AudioFetchForm form,
                     long long& sampleCount, long long& bytes, const uint8_t*& buffer);

// A chunk's bytes at the source format (rate × bytes per sample frame ×
// chunk duration, truncated).
long long ChunkBytes(const SourceReader& reader);

// Releases the video decoder and its buffers of a reader kept for its sound
// alone; its facts and its sound stay, ReadSourceFrameAt fails from then on
// (FetchSourceFrame's grabber reads the file itself).
void DropSourcePictures(SourceReader& reader);

// Stops the grabber and releases everything; the reader can be opened again.
void CloseSourceReader(SourceReader& reader);

}  // namespace korvan::media
