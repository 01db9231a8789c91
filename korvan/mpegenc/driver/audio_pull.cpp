#include "korvan/mpegenc/driver/audio_pull.h"

#include <algorithm>
#include <cmath>

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
    if (pictures_ >= endPictures_) return Result::kEnd;
    const int64_t position = firstPicture_ + pictures_;
    const int status = request_.getAudio(position, block);
    if (status != 0) {
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
    if (samples_ >= endSamples_) return Result::kEnd;
    const int64_t position = firstSample_ + samples_;
    const int status = request_.getAudio(position, block);
    if (status != 0) {
        // Sound that ends within the last picture (a source whose pictures
        // run a little longer, or a rate rounded) ends the sound there.
        if (samples_ + samplesPerPicture_ >= lastSamples_) return Result::kEnd;
        problem_ = FormatText("  Could not get audio data at sample %lld, error code %d.",
                              static_cast<long long>(position), status);
        return Result::kFailed;
    }
    if (block.byteCount > kLargestAudioBlockBytes) {
        problem_ = kAudioBlockTooLargeMessage;
        return Result::kFailed;
    }
    // Positions count whole samples, so only whole samples are taken, and
    // none past the end (the sound ends with the pictures).
    const int64_t whole =
        block.bytes ? static_cast<int64_t>(block.byteCount) / bytesPerSampleFrame_ : 0;
    const int64_t taken = std::min(whole, endSamples_ - samples_);
    if (taken == 0) return Result::kEnd;
    block.byteCount = static_cast<size_t>(taken) * bytesPerSampleFrame_;
    samples_ += taken;
    return Result::kBlock;
}

std::string AudioPull::ProgressText(int& percent) const {
    if (request_.audioPositions == AudioPositions::kByPicture) {
        percent = endPictures_ > 0 ? static_cast<int>(pictures_ * 100 / endPictures_) : 100;
        return FormatText("Step 2 of 2: Audio: %d%% - frame %d of %d.", percent,
                          static_cast<int>(pictures_), static_cast<int>(endPictures_));
    }
    percent = endSamples_ > 0 ? static_cast<int>(samples_ * 100 / endSamples_) : 100;
    return FormatText("Step 2 of 2: Audio: %d%% - sample %d of %d.", percent,
                      static_cast<int>(samples_), static_cast<int>(endSamples_));
}

}  // namespace korvan
