#include "korvan/entry/module_state.h"

namespace korvan {

ModuleState& State() {
    static ModuleState state;
    return state;
}

}  // namespace korvan
