#include "korvan/entry/module_state.h"

#include "platform/program_folder.h"

namespace korvan {

ModuleState& State() {
    static ModuleState state = [] {
        ModuleState made;
        made.hostFolder = platform::ProgramFolder();
        return made;
    }();
    return state;
}

}  // namespace korvan
