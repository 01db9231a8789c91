// The outcome of one phase of the multiplex: success, a failure with the
// text the user is shown, or a stop because the host cancelled.
#pragma once

#include <string>
#include <utility>

namespace korvan::mux {

enum class MuxStatus { kOk, kFailed, kCancelled };

struct StepResult {
    MuxStatus status = MuxStatus::kOk;
    std::string message;

    bool ok() const { return status == MuxStatus::kOk; }
    static StepResult Ok() { return {}; }
    static StepResult Failed(std::string text) { return {MuxStatus::kFailed, std::move(text)}; }
    static StepResult Cancelled() { return {MuxStatus::kCancelled, {}}; }
};

}  // namespace korvan::mux
