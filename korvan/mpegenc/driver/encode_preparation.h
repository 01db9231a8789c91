// Preparing one encode from the job and the request: the target's preset
// in the working settings, the picture size and the sound, the number of
// pictures, the output names, and the tests of the input.
#pragma once

#include <cstdint>
#include <string>

#include "korvan/mpegenc/audio/audio_stream_params.h"
#include "korvan/mpegenc/driver/compile_request.h"
#include "korvan/mpegenc/driver/encode_job.h"
#include "korvan/mpegenc/driver/encode_sequence.h"
#include "korvan/mpegenc/driver/encoder_state.h"
#include "korvan/mpegenc/settings/encoder_messages.h"

namespace korvan {

inline constexpr char kSampleSizeMessage[] = "Audio with %d bits per sample cannot be encoded.";
inline constexpr char kTooShortMessage[] = "The source is too short to encode a picture.";
inline constexpr char kOutputIsInputMessage[] =
    "The output file %s is one of the job's inputs and cannot be written.";

// Everything an encode needs once it is prepared.
struct EncodePlan {
    EncoderSettings settings;  // also the encoder's working settings
    EncodeStreamNames names;   // the MPEG form's streams
    std::string outputFolder;  // where the outputs go, with its "/"
    std::string aviPath;       // the AVI forms' file
    bool video = false;        // pictures are taken from the source
    bool audio = false;        // sound is taken from the source
    int width = 0;             // coded picture, pels
    int height = 0;
    double sourceRate = 25;  // pictures per second the callback delivers
    double codedRate = 25;   // pictures per second of the output
    int64_t firstPicture = 0;
    int64_t firstSample = 0;
    int64_t pictures = 0;        // of the output
    int64_t sourcePictures = 0;  // of the source, shown by those
    int64_t audioSamples = 0;    // of the source, at its rate
    audio::AudioFormat audioFormat;
    int bitsPerSample = 16;  // of the source's sound (the MPEG form takes 16 only)

    // Bytes of one sample of every channel.
    int BytesPerSampleFrame() const { return audioFormat.channels * (bitsPerSample / 8); }
    // The source pictures, and the samples of sound, that the first `count`
    // pictures of the output show; both grow with `count`.
    int64_t SourcePicturesOf(int64_t count) const;
    int64_t AudioSamplesOf(int64_t count) const;
    // After a limit: the output ends before picture `pictures`, and the
    // sound with it.
    void CutAt(int64_t pictures);
};

enum class Preparation {
    kReady,
    kNoDuration,  // the source's duration is 0
    kRefused,     // a test failed; its message was shown
};

// Applies the target kind's preset (PAL or NTSC) to the working settings,
// takes the picture size (odd sizes lowered by one) and the sound from the
// job, tests them, names the outputs in the export folder and counts the
// pictures: duration × rate, to the nearest whole picture, at the output's
// rate.
Preparation PrepareEncode(EncoderState& state, const EncodeJob& job, const CompileRequest& request,
                          const MessageSink& messages, EncodePlan& plan);

// The program stream of a job whose output path is `outputPath` (empty:
// "temp"), with the extension ".mpg", in `folder` (empty: the output path's
// own folder).
std::string ProgramStreamName(const std::string& outputPath, const std::string& folder);

// The streams of merged input `index` in `folder`: its base name with
// "_new" (and its place in the list when an earlier input has the same
// base name), ".m1v" or ".m2v", ".mp2"; the program stream is the first
// input's with "_new.mpg".
EncodeStreamNames MergedStreamNames(const std::vector<std::string>& inputs, size_t index,
                                    const std::string& folder, const EncoderSettings& settings);

}  // namespace korvan
