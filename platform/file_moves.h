// The file moves around tool runs: tools are handed paths without blanks, so
// an input with a blank in its path is given to them under a temporary name
// and an output written under a temporary name is moved to its real one.
#pragma once

#include <string>

namespace platform {

// Makes `standIn` name the file `source`: a symbolic link to its absolute
// path, so that even a large input is "copied" at once. Whatever `standIn`
// named before is removed first (never followed). False when the link
// cannot be made.
bool PlaceStandIn(const std::string& source, const std::string& standIn);

// Moves a file to `target`, replacing what is there; across file systems it
// is copied and the source removed. False when the file did not arrive
// whole (a full disk, a folder gone or read-only); the source and whatever
// `target` named are then left as they were.
bool MoveFileReplacing(const std::string& source, const std::string& target);

// Removes the name (a link itself, not what it points to); true when it is
// gone afterwards.
bool RemoveName(const std::string& path);

}  // namespace platform
