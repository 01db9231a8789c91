// The sound of an encode, pulled through the job's audio callback: one call
// per source picture, or blocks from a sample position on, up to an end the
// caller may move on (the AVI form pulls the sound picture by picture).
#pragma once

#include <cstdint>
#include <string>

#include "korvan/mpegenc/driver/compile_request.h"
#include "korvan/mpegenc/driver/encode_preparation.h"

namespace korvan {

inline constexpr char kAudioBlockTooLargeMessage[] =
    "Returned buffer size is greater than temporary audio buffer size.";

class AudioPull {
public:
    AudioPull(const CompileRequest& request, const EncodePlan& plan);

    enum class Result { kBlock, kEnd, kFailed };

    // The next block of sound before the end. A failure leaves its message
    // in Problem().
    Result Next(FetchedAudio& block);

    // Where the sound ends: after `sourcePictures` pictures or `samples`
    // samples, whichever way the callback counts.
    void SetEnd(int64_t sourcePictures, int64_t samples);

    // The step 2 progress line for what has been pulled.
    std::string ProgressText(int& percent) const;

    const std::string& Problem() const { return problem_; }

private:
    Result NextOfPicture(FetchedAudio& block);
    Result NextFromSample(FetchedAudio& block);

    const CompileRequest& request_;
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
