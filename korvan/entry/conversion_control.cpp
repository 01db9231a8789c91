#include "korvan/entry/conversion_control.h"

#include "korvan/entry/converting_dialog.h"

namespace korvan {

void CancelConversion(ModuleState& module) {
    module.encode.Cancel();
    if (module.currentDialog) module.currentDialog->Cancel();
    module.currentDialog = nullptr;
}

}  // namespace korvan
