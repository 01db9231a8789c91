#include "korvan/entry/module_state.h"

#include "platform/program_folder.h"
#include "platform/writable_files.h"

namespace korvan {

ModuleState& State() {
    static ModuleState state{platform::ProgramFolder(), platform::WritableFolder(), {}};
    return state;
}

}  // namespace korvan
