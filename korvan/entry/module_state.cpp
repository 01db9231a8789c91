#include "korvan/entry/module_state.h"

#include "platform/program_folder.h"

namespace korvan {

ModuleState& State() {
    static ModuleState state{platform::ProgramFolder(), {}};
    return state;
}

}  // namespace korvan
