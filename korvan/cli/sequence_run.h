// How every mode of the tool ends: the encode sequence over the names it
// chose, with the streams switched on in the settings.
#pragma once

#include "korvan/cli/cli_modes.h"
#include "korvan/cli/file_encode_steps.h"
#include "korvan/mpegenc/driver/encode_sequence.h"

namespace korvan::cli {

// Codes the inputs `steps` opened. With -o the streams end in a program
// stream of that name and are named after it unless --video-es or --audio-es
// name them; without -o the elementary streams are the result, the sound
// beside its input unless named.
int RunFileEncode(ModeContext& context, FileEncodeSteps& steps);

// Refuses an output that is one of the command line's inputs, runs the
// sequence, prints each program stream written on a line of its own and
// returns the exit code.
int RunSequence(ModeContext& context, const EncodeStreamNames& names, EncodeSteps& steps);

}  // namespace korvan::cli
