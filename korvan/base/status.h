// What came of one of the library's steps: a code and, for a failure, the
// text the user is shown (empty when there is nothing to add). A step that
// also makes data returns the data beside a Status.
#pragma once

#include <string>
#include <utility>

namespace korvan {

enum class StatusCode {
    kOk,
    kFailed,     // the step failed; the message says why
    kCancelled,  // the host asked to stop; no message
    // The checks before the step failed: nothing was written.
    kRefused,
    kSourceFailed,  // the source of pictures or sound broke down
    kInvalidSettings,
    kMatrixFile,  // a quantiser matrix file could not be read
    kNoMemory,
    kValueOutOfRange,  // a value could not be coded
    kFinished,         // nothing was left to do
};

struct Status {
    StatusCode code = StatusCode::kOk;
    std::string message;

    bool IsOk() const { return code == StatusCode::kOk; }
    bool IsCancelled() const { return code == StatusCode::kCancelled; }

    static Status Ok() { return {}; }
    static Status Failed(std::string text) { return {StatusCode::kFailed, std::move(text)}; }
    static Status Failed(StatusCode code, std::string text) { return {code, std::move(text)}; }
    static Status Cancelled() { return {StatusCode::kCancelled, {}}; }
};

}  // namespace korvan
