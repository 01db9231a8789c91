// What the exports do to a running conversion, shared with the job driver's
// own cancel poll.
#pragma once

#include "korvan/entry/module_state.h"

namespace korvan {

// CancelConverting: the running encode is asked to stop, the current dialog
// stops its walk and ends, and the record of it is cleared.
void CancelConversion(ModuleState& module);

}  // namespace korvan
