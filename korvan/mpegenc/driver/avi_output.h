// The AVI forms of an encode: no MPEG is coded; the pictures are pulled one
// by one with the sound that belongs to each and handed to the AVI writer,
// with the same progress and the same duration limit as step 1.
#pragma once

#include "korvan/mpegenc/driver/avi_sink.h"
#include "korvan/mpegenc/driver/encode_preparation.h"
#include "korvan/mpegenc/driver/encode_sequence.h"
#include "korvan/mpegenc/driver/progress_reporter.h"

namespace korvan {

inline constexpr char kNoAviWriterMessage[] = "No AVI writer is available for this encode.";

// Writes plan.aviPath through `writer`. A file that is not finished is
// removed.
Status WriteAviOutput(ProgressReporter& reporter, EncodePlan& plan, AviSink& writer);

}  // namespace korvan
