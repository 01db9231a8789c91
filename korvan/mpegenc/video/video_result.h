// The outcome of a video coder operation: 0 and no text on success, else an
// error code and the message to show.
#pragma once

#include <string>

namespace korvan {

enum VideoError : int {
    kVideoOk = 0,
    kVideoInvalidSettings = 1,
    kVideoMatrixFile = 2,
    kVideoNoMemory = 3,
    kVideoSourceFailed = 4,
    kVideoValueOutOfRange = 5,
    kVideoFinished = 6,
};

struct VideoResult {
    int code = kVideoOk;
    std::string message;

    bool Ok() const { return code == kVideoOk; }
};

inline VideoResult Failure(int code, std::string message) { return {code, std::move(message)}; }

}  // namespace korvan
