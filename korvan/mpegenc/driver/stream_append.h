// Joining the elementary streams of merged inputs: each later stream is
// appended to the first one's file and then removed.
#pragma once

#include <string>

namespace korvan {

// Appends the whole file `appended` to `target` and removes `appended`.
// Returns an empty text, or the message to show (both files then stay).
std::string AppendStream(const std::string& target, const std::string& appended);

}  // namespace korvan
