#include "app/tools/tool_state.h"

ProgressClock& SharedProgressClock() {
    static ProgressClock clock;
    return clock;
}

int& ToolCancelFlag() {
    static int flag = 0;
    return flag;
}
