// What the encode driver's tests feed it and how they judge what it wrote:
// clips made by ffmpeg's lavfi sources, handed to the driver's callbacks the
// way the media layer does (pictures as 32-bit BGRx rows, bottom row first,
// streamed through a pipe; sound as 16-bit PCM), and a parse of the video
// stream's own headers.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "korvan/mpegenc/driver/compile_request.h"

namespace test {

struct ClipRecipe {
    // A lavfi graph of the pictures ("testsrc2=size=352x288:rate=25") and
    // their size; the rate is the graph's.
    std::string pictures;
    int width = 352;
    int height = 288;
    // A lavfi graph of the sound, or empty for a clip without sound.
    std::string sound = "sine=frequency=440";
    int sampleRateHz = 44100;
    int channels = 2;
    double seconds = 1;
};

// Serves one clip to the callbacks of a CompileRequest.
class ClipSource {
public:
    ClipSource() = default;
    ~ClipSource();
    ClipSource(const ClipSource&) = delete;
    ClipSource& operator=(const ClipSource&) = delete;

    // Makes the sound (a PCM file in `scratchFolder`); the pictures are
    // started when the first is asked for. False when ffmpeg failed.
    bool Open(const ClipRecipe& recipe, const std::string& scratchFolder);

    // Picture n (from 0) of the clip. Pictures are read forwards only.
    int GetPicture(int64_t number, korvan::FetchedPicture& picture);
    // The sound of picture n at `pictureRate`.
    int GetAudioOfPicture(int64_t number, double pictureRate, korvan::FetchedAudio& audio);
    // `blockBytes` of sound from sample `position` on (fewer at the end).
    int GetAudioFromSample(int64_t position, size_t blockBytes, korvan::FetchedAudio& audio);

    // Fills the request's callbacks with this clip.
    void ServeByPicture(korvan::CompileRequest& request);
    void ServeBySample(korvan::CompileRequest& request, size_t blockBytes);

    int64_t PicturesServed() const { return picturesServed_; }
    int64_t AudioCalls() const { return audioCalls_; }
    const std::vector<uint8_t>& Pcm() const { return pcm_; }

    // Faults to inject: the call with this picture number or audio position
    // (counted in calls) answers with an error code.
    int64_t failPictureAt = -1;
    int64_t failAudioCall = -1;
    // From this audio call on, blocks are this long (beyond the limit).
    int64_t oversizedAudioCall = -1;
    size_t oversizedBytes = 0;
    // Called with each picture number before it is served.
    std::function<void(int64_t)> beforePicture;

private:
    bool StartPictures();

    ClipRecipe recipe_;
    FILE* pipe_ = nullptr;
    int64_t nextInPipe_ = 0;
    std::vector<uint8_t> picture_;
    std::vector<uint8_t> pcm_;
    std::vector<uint8_t> oversized_;
    int64_t picturesServed_ = 0;
    int64_t audioCalls_ = 0;
};

// The bit_rate_value (18 bits, units of 400 bit/s) of every sequence header
// of an MPEG video elementary stream, in stream order.
std::vector<uint32_t> SequenceHeaderBitRates(const std::string& path);

// The bytes of every picture in stream order, each with the sequence and
// GOP headers that come before it (the sequence end code counts to none).
std::vector<uint64_t> PictureSizesWithHeaders(const std::string& path);

// The largest number of bits in `picturesPerSecond` pictures in a row.
uint64_t MaxBitsPerSecond(const std::vector<uint64_t>& pictureBytes, int picturesPerSecond);

// The start times (seconds) ffprobe gives the first video and audio stream.
struct StreamStarts {
    double video = -1;
    double audio = -1;
};
StreamStarts ProbeStreamStarts(const std::string& path);

// The mean luminance of every picture of the file's video, decoded by
// ffmpeg in presentation order.
std::vector<double> DecodedLumaMeans(const std::string& path, const std::string& scratch);

// The decoded sound of the file's first audio stream, mono 16-bit at
// `sampleRateHz`.
std::vector<int16_t> DecodedSound(const std::string& path, int sampleRateHz,
                                  const std::string& scratch);

}  // namespace test
