// The library's one AVI output: one uncompressed PCM audio stream (normally
// created first) and one video stream, created with the first frame and
// compressed with the codec chosen in the compressor dialog and kept in
// "avicode.dat". Files over 1 GiB continue in OpenDML parts. On close the
// video header's rate is patched to the rate at which frames came.
//
// Failures set the failure flag, which the producers read; they are traced
// on standard output and never thrown.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "korvan/media/avi_compressor.h"
#include "korvan/media/bitmap_header.h"
#include "korvan/media/wave_format.h"
#include "korvan/mpegenc/settings/encoder_messages.h"

namespace korvan::media {

// The pause after every audio append, which paces the RealMedia engine's
// playback to the writer.
inline constexpr std::chrono::milliseconds kThrottleInterval{350};

// What the writer needs from the library around it.
struct AviWriterHooks {
    // The folder of the writable files, where "avicode.dat" is; ends in "/".
    std::string hostFolder;
    MessageSink messages;
    CompressorDialog compressorDialog;
    // The RealMedia player's control: 2 pauses, 1 resumes (empty without a
    // player).
    std::function<void(int)> playerControl;
    // Tests shorten it; the product never does.
    std::chrono::milliseconds throttleInterval = kThrottleInterval;
};

inline constexpr char kSetupCompressorAgainMessage[] = "Please setup decoder option again.";

struct AviOutput;

class AviWriter {
public:
    explicit AviWriter(AviWriterHooks hooks);
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Creates (or empties) the file.
    void OpenAvi(const std::string& path);
    // The audio stream, with the producer's PCM format; a failure is ignored.
    void OpenAviAudioStream(const WaveFormat& format);
    // Appends one frame: a packed bitmap (a failed write skips the frame
    // without a word), or a header and its pixel rows (a failed write is
    // traced and sets the failure flag).
    void WriteAviFrame(std::span<const uint8_t> packedBitmap);
    void WriteAviFrame(const BitmapInfoHeader& header, const uint8_t* pixels);
    // Appends whole sample frames of PCM, then pauses for the throttle
    // interval; a failed append is ignored.
    void WriteAviAudio(const uint8_t* bytes, long long count);
    // Finishes and closes the file, then patches the video rate from the
    // frame count and the duration (a duration of 0 leaves the rate at 15
    // frames per second). May run again; it then only repeats the patch.
    void CloseAvi();

    void SetDurationMs(int32_t durationMs) { durationMs_ = durationMs; }
    // The rate the frames will be played at, when the producer knows it
    // before the first frame: the video is then coded at that rate, not at
    // 15 frames per second with only the header patched, so players and
    // the coded stream agree. Each OpenAvi forgets it.
    void SetExpectedFrameRate(double picturesPerSecond);
    bool Failed() const { return failed_; }
    long long FrameCount() const { return frameCount_; }
    const std::string& Path() const { return path_; }

private:
    enum class FrameForm { kBitmap, kCapture };
    void WriteFrame(const BitmapInfoHeader& header, std::span<const uint8_t> pixels,
                    FrameForm form);
    bool CreateVideoStream(const BitmapInfoHeader& header);
    void Fail(const char* trace);

    AviWriterHooks hooks_;
    std::unique_ptr<AviOutput> output_;
    std::string path_;
    long long frameCount_ = 0;
    int32_t durationMs_ = 0;
    double expectedFrameRate_ = 0;  // 0: unknown
    bool failed_ = false;
};

}  // namespace korvan::media
