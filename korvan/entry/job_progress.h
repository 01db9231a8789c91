// The job's one progress figure for the program, 0..100. An encode reports
// each of its steps (video, audio, multiplex) from 0 to 100; the figure
// follows the first of them over the part of the job the encode covers and
// never goes back, so the program's bar rises once from 0 to 100 over all
// inputs and all the pieces of a cut input.
#pragma once

#include <cstddef>

namespace korvan {

class JobProgress {
public:
    explicit JobProgress(std::size_t inputCount = 1) : inputCount_(inputCount ? inputCount : 1) {}

    // An encode of input `inputIndex` begins; it covers the input from
    // `startFraction` to `endFraction` (0..1) of the pictures to convert.
    void BeginEncode(std::size_t inputIndex, double startFraction, double endFraction);

    // A step's percent; returns the job's.
    int Report(int stepPercent);

    int Percent() const { return percent_; }

private:
    std::size_t inputCount_;
    std::size_t inputIndex_ = 0;
    double startFraction_ = 0;
    double endFraction_ = 1;
    int stepPercent_ = 0;  // the highest the running encode reported
    int percent_ = 0;
};

}  // namespace korvan
