// The encoder's start-up and shutdown: the per-user values, the kernels'
// instruction sets, and the settings every encode starts from.
#pragma once

#include <string>

#include "korvan/mpegenc/driver/encoder_state.h"
#include "korvan/mpegenc/settings/encoder_messages.h"
#include "korvan/mpegenc/settings/encoder_presets.h"

namespace korvan {

// The settings file read at start-up, "default.ini" in the per-user folder.
std::string DefaultSettingsPath();

// The instruction sets the processor has, less those the per-user "MMXMode"
// takes away (0 forces the plain kernels).
CpuFlags ChosenCpuFlags();

// Reads "PALDefaults", "Batch" and "MMXMode" (default: every instruction set
// the processor has) from the per-user profile, applies the VideoCD NTSC
// preset and loads the default settings file over it. A refused file is
// reported and the MPEG-1 preset (PAL when "PALDefaults" is set) is used
// instead.
void StartUpEncoder(EncoderState& state, const MessageSink& messages);

// Writes "Batch" back to the per-user profile.
void ShutDownEncoder(const EncoderState& state);

// Applies the preset to the state's record and gives its video stream name
// the extension of the preset's syntax.
void ApplyEncoderPreset(EncoderState& state, EncoderPreset preset, TvSystem system);

}  // namespace korvan
