#include "korvan/mpegenc/driver/audio_pull.h"

#include <algorithm>
#include <cmath>

#include "korvan/media/media_trace.h"
#include "korvan/mpegenc/common/format_text.h"

namespace korvan {

AudioPull::AudioPull(const CompileRequest& request, const EncodePlan& plan)
    : request_(request),
      firstPicture_(plan.firstPicture),
      firstSample_(plan.firstSample),
      bytesPerSampleFrame_(plan.BytesPerSampleFrame()),
      lastPictures_(plan.sourcePictures),
      lastSamples_(plan.audioSamples),
      samplesPerPicture_(static_cast<int64_t>(
          std::ceil(plan.audioFormat.sampleRateHz / std::max(plan.codedRate, 1.0)))),
      endPictures_(plan.sourcePictures),
      endSamples_(plan.audioSamples) {}

AudioPull::AudioPull(const CompileRequest& request, const EncodePlan& plan,
                     const PictureFrontier& frontier)
    : AudioPull(request, plan) {
    frontier_ = &frontier;
    plan_ = plan;
}

bool AudioPull::Covers(int64_t units) {
    if (!frontier_) return true;
    const bool byPicture = request_.audioPositions == AudioPositions::kByPicture;
    const auto unitsOf = [this, byPicture](int64_t pictures) {
        return byPicture ? plan_.SourcePicturesOf(pictures) : plan_.AudioSamplesOf(pictures);
    };
    const PictureFrontier::State state =
        frontier_->WaitUntil([&](int64_t fetched) { return unitsOf(fetched) >= units; });
    if (state.abandoned) return false;
    if (state.ended) {
        // As if pulled after step 1: its end, and the end of the whole sound.
        plan_.CutAt(state.fetched);
        lastPictures_ = endPictures_ = plan_.sourcePictures;
        lastSamples_ = endSamples_ = plan_.audioSamples;
        frontier_ = nullptr;
    }
    return true;
}

void AudioPull::SetEnd(int64_t sourcePictures, int64_t samples) {
    endPictures_ = sourcePictures;
    endSamples_ = samples;
}

AudioPull::Result AudioPull::Next(FetchedAudio& block) {
    block = FetchedAudio{};
    if (!request_.getAudio) return Result::kEnd;
    return request_.audioPositions == AudioPositions::kByPicture ? NextOfPicture(block)
                                                                 : NextFromSample(block);
}

AudioPull::Result AudioPull::NextOfPicture(FetchedAudio& block) {
    if (!Covers(pictures_ + 1)) return Result::kFailed;
    if (pictures_ >= endPictures_) return Result::kEnd;
    const int64_t position = firstPicture_ + pictures_;
    const int status = request_.getAudio(position, block);
    if (status != 0) {
        if (!Covers(kWholeSound)) return Result::kFailed;
        // The last picture's sound may be missing.
        if (pictures_ + 1 >= lastPictures_) return Result::kEnd;
        problem_ = FormatText("  Could not get audio data at frame %d, error code %d.",
                              static_cast<int>(position), status);
        return Result::kFailed;
    }
    if (block.byteCount > kLargestAudioBlockBytes) {
        problem_ = kAudioBlockTooLargeMessage;
        return Result::kFailed;
    }
    if (!block.bytes) block.byteCount = 0;
    ++pictures_;
    return Result::kBlock;
}

AudioPull::Result AudioPull::NextFromSample(FetchedAudio& block) {
    if (!Covers(samples_ + 1)) return Result::kFailed;
    if (samples_ >= endSamples_) return Result::kEnd;
    const int64_t position = firstSample_ + samples_;
    const int status = request_.getAudio(position, block);
    if (status != 0) {
        if (!Covers(kWholeSound)) return Result::kFailed;
        // A source counted in samples ends its sound where it fails: step 2
        // ends there without a message, and the stream holds the sound that
        // came. Short of the last picture it is traced.
        if (samples_ + samplesPerPicture_ < lastSamples_) {
            media::Trace("\nStep 2 of 2: the sound ended at sample %lld of %lld, error code %d.",
                         static_cast<long long>(position),
                         static_cast<long long>(firstSample_ + lastSamples_), status);
        }
        return Result::kEnd;
    }
    if (block.byteCount > kLargestAudioBlockBytes) {
        problem_ = kAudioBlockTooLargeMessage;
        return Result::kFailed;
    }
    // Positions count whole samples, so only whole samples are taken, and
    // none past the end (the sound ends with the pictures).
    const int64_t whole =
        block.bytes ? static_cast<int64_t>(block.byteCount) / bytesPerSampleFrame_ : 0;
    if (!Covers(samples_ + whole)) return Result::kFailed;
    const int64_t taken = std::min(whole, endSamples_ - samples_);
    if (taken == 0) return Result::kEnd;
    block.byteCount = static_cast<size_t>(taken) * bytesPerSampleFrame_;
    samples_ += taken;
    return Result::kBlock;
}

std::string AudioProgressText(AudioPositions positions, int64_t pulled, int64_t end, int& percent) {
    percent = end > 0 ? static_cast<int>(pulled * 100 / end) : 100;
    return FormatText(positions == AudioPositions::kByPicture
                          ? "Step 2 of 2: Audio: %d%% - frame %d of %d."
                          : "Step 2 of 2: Audio: %d%% - sample %d of %d.",
                      percent, static_cast<int>(pulled), static_cast<int>(end));
}

int64_t AudioPull::Pulled() const {
    return request_.audioPositions == AudioPositions::kByPicture ? pictures_ : samples_;
}

std::string AudioPull::ProgressText(int& percent) const {
    const bool byPicture = request_.audioPositions == AudioPositions::kByPicture;
    return AudioProgressText(request_.audioPositions, Pulled(),
                             byPicture ? endPictures_ : endSamples_, percent);
}

}  // namespace korvan
