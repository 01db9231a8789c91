#include "korvan/entry/job_progress.h"

#include <algorithm>
#include <cmath>

namespace korvan {

void JobProgress::BeginEncode(std::size_t inputIndex, double startFraction, double endFraction) {
    inputIndex_ = std::min(inputIndex, inputCount_ - 1);
    startFraction_ = std::clamp(startFraction, 0.0, 1.0);
    endFraction_ = std::clamp(endFraction, startFraction_, 1.0);
    stepPercent_ = 0;
}

int JobProgress::Report(int stepPercent) {
    stepPercent_ = std::max(stepPercent_, std::clamp(stepPercent, 0, 100));
    const double input = startFraction_ + (endFraction_ - startFraction_) * stepPercent_ / 100.0;
    const double job =
        (static_cast<double>(inputIndex_) + input) / static_cast<double>(inputCount_);
    percent_ = std::max(percent_, static_cast<int>(std::floor(job * 100 + 1e-9)));
    return percent_;
}

}  // namespace korvan
