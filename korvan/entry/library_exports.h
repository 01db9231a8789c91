// The plain C entry points libkorvan.so exports to its host. Everything else
// in the library stays hidden.
#pragma once

#define KORVAN_EXPORT extern "C" __attribute__((visibility("default")))

// Non-zero when the path names a RealMedia file, by its extension or its
// signature, or a RealMedia metafile (".ram"). Leaves the flags it found in
// the library's state for the job driver.
KORVAN_EXPORT int bIsRMFile(const char* path);

// Runs the job described in the job file beside the host; returns its
// result code (0 converted, 1..4 the first input could not be read), which
// is also written as "iErrorCode".
KORVAN_EXPORT int ConvertRM2AVI();

// Stops the running job: the encode stops at its next picture and the
// converting dialog ends. The result means nothing.
KORVAN_EXPORT int CancelConverting();

// Copies the latest status line into `buffer`, which must hold
// kTipCapacity (1024) bytes: the tip of a RealMedia playback with its NUL
// (the result is its length + 1), or, while an encode runs without a tip,
// the encoder's progress line (the result is 0). Otherwise the buffer is
// left alone and the result is 0.
KORVAN_EXPORT unsigned GetConvertingTip(char* buffer);

// Ends the converting dialog of the running job, if there is one.
KORVAN_EXPORT void EndConvertingDialog();
