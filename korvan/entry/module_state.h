// The library runs one conversion per process on the host's thread; what it
// keeps between calls lives here, in one named place.
#pragma once

#include <cstddef>
#include <string>

#include "korvan/media/source_classification.h"
#include "korvan/mpegenc/driver/encoder_state.h"

namespace korvan {

class ConvertingDialog;

// The room a host gives GetConvertingTip, terminating NUL included; longer
// lines are cut.
inline constexpr std::size_t kTipCapacity = 1024;

// What the exports can see of an encode while it runs.
struct RunningEncode {
    bool running = false;
    // Set by CancelConverting; the encode's progress report hands it on to
    // the encoder's cancel flag.
    bool cancelRequested = false;
    // The encoder's latest progress line.
    std::string progressLine;
};

struct ModuleState {
    // The folder of the host program that loaded the library, with "/".
    std::string hostFolder;
    // What the last RealMedia test found about an input.
    media::RealMediaFlags realMediaFlags;
    // The dialog of the running ConvertRM2AVI, else null.
    ConvertingDialog* currentDialog = nullptr;
    // The latest status line of a RealMedia playback; emptied by each job.
    std::string tip;
    RunningEncode encode;
    EncoderState encoder;
};

ModuleState& State();

}  // namespace korvan
