// One encode, as selector 8 of the encoder entry runs it: prepare, then the
// AVI form or the MPEG form (video, audio, multiplex; merged inputs joined
// first), then the end report to the host.
#pragma once

#include "korvan/mpegenc/driver/compile_request.h"
#include "korvan/mpegenc/driver/encode_job.h"
#include "korvan/mpegenc/driver/encoder_state.h"
#include "korvan/mpegenc/settings/encoder_messages.h"

namespace korvan {

// Selector 8's results.
inline constexpr int kEncodeRan = 3;
inline constexpr int kNoSourceDuration = 2;
inline constexpr int kNoRequest = 4;

// Runs the encode `request` describes and reports its end to the host.
// Returns kNoRequest without a request, kNoSourceDuration when the source's
// duration is 0, and kEncodeRan otherwise; how the encode went is in
// request->status, with the split mark, the source pictures encoded and the
// result's path. `avi` is the writer of the AVI forms.
int RunEncode(EncoderState& state, const MessageSink& messages, const EncodeJob& job,
              CompileRequest* request, AviSink* avi);

}  // namespace korvan
