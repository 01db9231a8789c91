// The caller's side of one encode: what to make (the target, the TV system,
// the limits), where the pictures and the sound come from (two callbacks),
// whom to tell how far it is (the job driver), and what came of it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "korvan/base/status.h"
#include "korvan/mpegenc/driver/avi_sink.h"
#include "korvan/mpegenc/driver/encode_sequence.h"
#include "korvan/mpegenc/settings/encoder_presets.h"

namespace korvan {

// What the job asks for; numbered apart from "videoType".
enum TargetKind : int {
    kTargetMpeg1 = 1,
    kTargetMpeg2 = 2,
    kTargetDvd = 3,
    kTargetVideoCd = 4,
    kTargetSuperVcd = 5,
};

enum class OutputForm {
    kMpeg,       // video and audio elementary streams and a program stream
    kAvi,        // an AVI file named after the program stream (".avi")
    kAviForMp3,  // an AVI named after the program stream with ".temp.avi", for the MP3 step
};

// One picture as the source hands it over: rows of 32-bit pels in the byte
// order B, G, R and one ignored byte, the bottom row first. It must be at
// least as large as the job's picture; a larger one is cut on the right and
// at the bottom.
struct FetchedPicture {
    const uint8_t* pixels = nullptr;  // valid until the next call
    int width = 0;                    // pels
    int height = 0;                   // rows
    int strideBytes = 0;              // from one row to the next
};

// Fetches picture `pictureNumber` (counted like the job's first and last
// picture). Returns 0 on success; any other value is the source's error.
using PictureCallback = std::function<int(int64_t pictureNumber, FetchedPicture& picture)>;

// 16-bit little-endian PCM, interleaved when stereo, at most
// kLargestAudioBlockBytes a call.
struct FetchedAudio {
    const uint8_t* bytes = nullptr;  // valid until the next call
    size_t byteCount = 0;
};

inline constexpr size_t kLargestAudioBlockBytes = 192000;

// How the audio callback counts its position: the sound that belongs to one
// picture (a picture number, like the picture callback's), or the sound from
// one sample on (a sample number counted like the job's first and last
// sample; the block may be of any length, and a block of no bytes ends the
// sound).
enum class AudioPositions { kByPicture, kBySample };

// Returns 0 on success; any other value is the source's error.
using AudioCallback = std::function<int(int64_t position, FetchedAudio& audio)>;

// What the job driver lends an encode.
class EncodeHost {
public:
    virtual ~EncodeHost() = default;
    // Posts the message to the host's notify target; never waits for it.
    virtual void PostToHost(unsigned message, uintptr_t wParam, intptr_t lParam) = 0;
    // Reads the job's cancel key and, when it is set, cancels the job (which
    // sets the request's cancel flag).
    virtual void PollCancel() = 0;
};

// The latest progress line, which another thread may read while the encode
// runs.
class ProgressLine {
public:
    void Set(std::string text) {
        std::lock_guard<std::mutex> lock(mutex_);
        text_ = std::move(text);
    }
    std::string Get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    }

private:
    mutable std::mutex mutex_;
    std::string text_;
};

// Several inputs joined into one output: every input is encoded with its
// own call, into elementary streams named after the input with "_new"; the
// call for the last input joins them and multiplexes the result into the
// first input's name with "_new.mpg".
struct MergeInputs {
    std::vector<std::string> inputs;  // all of them, in order; empty: no merge
    size_t current = 0;               // the input this call encodes

    bool Active() const { return inputs.size() > 1; }
    bool AtLast() const { return current + 1 == inputs.size(); }
};

struct CompileRequest {
    // What to make.
    int targetKind = kTargetMpeg1;
    TvSystem tvSystem = TvSystem::kPal;
    OutputForm output = OutputForm::kMpeg;
    // Where the outputs go: the bare file names are joined to this folder
    // (with its "/"); empty keeps the folder of the job's output path.
    std::string exportFolder;
    // The files the job reads; no output may be one of them.
    std::vector<std::string> inputs;
    MergeInputs merge;

    // The source: picture n shows time n / pictureRate; durationMs is the
    // length to encode (0 is refused).
    double pictureRate = 25;  // pictures per second
    int64_t durationMs = 0;
    // The RealMedia capture delivers 20 pictures a second, whatever the rate.
    bool captureMode = false;
    PictureCallback getPicture;
    AudioCallback getAudio;
    AudioPositions audioPositions = AudioPositions::kByPicture;
    // Makes getAudio independent of getPicture (its own reader of the
    // source, say), so that the sound can be pulled on a thread of its own
    // while the pictures are; false when it cannot. Without it, or before
    // it, the two are only ever called one after the other.
    std::function<bool()> separateAudio;

    // Whom to tell: every progress report goes into the job file's section
    // "common" ("strtip", "ipercent") when a path is given, and is posted
    // to the host when there is one.
    EncodeHost* host = nullptr;
    unsigned notifyMessage = 0;
    uintptr_t notifyWParam = 0;
    std::string jobFilePath;
    ProgressLine progress;

    // Limits of one output file, ignored when merging; a limit reached ends
    // this output and marks it as split, so that the job driver goes on
    // with the rest of the input in a further file.
    bool sizeLimitOn = false;
    double sizeLimitMB = 0;  // MiB
    bool durationLimitOn = false;
    double durationLimitSeconds = 0;

    // Set by CancelConverting (from any thread); read before every picture.
    // The encode never clears it: whoever sets up the next encode does.
    std::atomic<bool> cancel{false};

    // What came of it.
    Status status;
    bool split = false;
    int64_t sourcePicturesDone = 0;  // of the source, from the job's first picture
    std::string resultPath;          // the program stream (or the AVI) made
    std::vector<std::string> programFiles;
};

}  // namespace korvan
