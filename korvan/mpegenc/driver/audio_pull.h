// The sound of an encode, pulled through the job's audio callback: one call
// per source picture, or blocks from a sample position on, up to an end the
// caller may move on (the AVI form pulls the sound picture by picture), or,
// when the sound is coded alongside step 1, up to where step 1 has got.
#pragma once

#include <cstdint>
#include <string>

#include "korvan/mpegenc/driver/compile_request.h"
#include "korvan/mpegenc/driver/encode_preparation.h"
#include "korvan/mpegenc/driver/picture_frontier.h"

namespace korvan {

inline constexpr char kAudioBlockTooLargeMessage[] =
    "Returned buffer size is greater than temporary audio buffer size.";

// The step 2 progress line after `pulled` of `end` pictures or samples.
std::string AudioProgressText(AudioPositions positions, int64_t pulled, int64_t end, int& percent);

class AudioPull {
public:
    AudioPull(const CompileRequest& request, const EncodePlan& plan);
    // Pulls only the sound of the pictures `frontier` says are fetched, and
    // takes the end from it; `plan` is the encode's before step 1. Callbacks
    // are called the same way, and blocks cut the same, as after step 1.
    AudioPull(const CompileRequest& request, const EncodePlan& plan,
              const PictureFrontier& frontier);

    enum class Result { kBlock, kEnd, kFailed };

    // The next block of sound before the end. A failure leaves its message
    // in Problem().
    Result Next(FetchedAudio& block);

    // Where the sound ends: after `sourcePictures` pictures or `samples`
    // samples, whichever way the callback counts.
    void SetEnd(int64_t sourcePictures, int64_t samples);

    // The step 2 progress line for what has been pulled.
    std::string ProgressText(int& percent) const;
    // Pictures or samples pulled so far, as the callback counts them.
    int64_t Pulled() const;

    const std::string& Problem() const { return problem_; }

private:
    Result NextOfPicture(FetchedAudio& block);
    Result NextFromSample(FetchedAudio& block);
    // Waits until the sound up to `units` (pictures or samples, as the
    // callback counts) belongs to fetched pictures, or the end is known
    // (which then becomes this pull's end). False when step 1 gave up.
    bool Covers(int64_t units);

    static constexpr int64_t kWholeSound = INT64_MAX;

    const CompileRequest& request_;
    const PictureFrontier* frontier_ = nullptr;  // none: the end is known
    EncodePlan plan_;                            // with a frontier: to count its pictures
    int64_t firstPicture_ = 0;
    int64_t firstSample_ = 0;
    int bytesPerSampleFrame_ = 4;
    int64_t lastPictures_ = 0;  // of the whole encode
    int64_t lastSamples_ = 0;   // of the whole encode
    int64_t samplesPerPicture_ = 0;
    int64_t endPictures_ = 0;
    int64_t endSamples_ = 0;
    int64_t pictures_ = 0;  // calls made
    int64_t samples_ = 0;   // samples handed on
    std::string problem_;
};

}  // namespace korvan
