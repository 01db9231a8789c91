// MPEG-2 video copied into a DVD program stream inside the builder's own
// process: the video as it is (its aspect ratio rewritten in the sequence
// headers when asked), the sound copied, or silence made for a file without
// any. A menu clip needs exactly this, and a tool started for it would cost
// as much as authoring two minutes of DVD titles.
#pragma once

#include <functional>
#include <string>

#include "sdk/foximager/title_preparation.h"

namespace foximager {

enum class RemuxResult { kDone, kStopped, kFailed };

// True for the plans RemuxForDvd carries out; sound that has to be
// re-encoded is left to ffmpeg.
bool RemuxesInProcess(const PreparationPlan& plan);

// Writes `output` from `input` by the plan. `progress` gets the share of the
// input read so far (0 .. 100) at least every tick while it works; when it
// returns false the remux ends with kStopped. After kStopped or kFailed the
// output is removed; `failure` says why for kFailed.
RemuxResult RemuxForDvd(const PreparationPlan& plan, const std::string& input,
                        const std::string& output, const std::function<bool(double)>& progress,
                        std::string& failure);

}  // namespace foximager
