// What the conversion queue asks of the RealMedia hand-off: RealVideo inputs
// ("rv20", "rv30", "rv40"), which the console encoders cannot decode, are
// converted by the conversion host first, and the queue converts its result.
#pragma once

#include <string>
#include <vector>

#include "contracts/real_media_job_file.h"

// The intermediate AVI a RealMedia job leaves is the queue's to delete once
// converted.
using job_file::kIntermediateAviSuffix;

class RealMediaHandOff {
public:
    virtual ~RealMediaHandOff() = default;

    virtual bool IsRealVideo(const std::string& file) = 0;
    // Starts the job; its end is reported with the progress notification -1.
    virtual void StartRealMediaJob(const std::vector<std::string>& inputs,
                                   const std::string& plannedOutput) = 0;
    // Once the job has ended: the file to convert in place of the input, or
    // empty when the job failed (its message has been shown).
    virtual std::string RealMediaJobResult() = 0;
    // The host's latest status line while the job runs ("" when none).
    virtual std::string RealMediaJobTip() = 0;
    // Asks the host to stop and returns once it has gone.
    virtual void CancelRealMediaJob() = 0;
};
