// The plain C entry points libkorvan.so exports to its host. Everything else
// in the library stays hidden.
#pragma once

#define KORVAN_EXPORT extern "C" __attribute__((visibility("default")))

// Non-zero when the path names a RealMedia file, by its extension or its
// signature, or a RealMedia metafile (".ram"). Leaves the flags it found in
// the library's state for the job driver.
KORVAN_EXPORT int bIsRMFile(const char* path);
