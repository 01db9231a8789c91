// The library's diagnostics: single lines on standard output, written at
// once so that they interleave sensibly with the host's own output.
#pragma once

namespace korvan::media {

void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The result code the traces of the grabber and the probe print where the
// platform's services gave one; libav's codes are not of that kind.
inline constexpr unsigned kGenericFailureCode = 0x80004005;

}  // namespace korvan::media
