#include "app/tools/tool_state.h"

#include "app/tools/activity_log.h"

ProgressClock& SharedProgressClock() {
    static ProgressClock clock;
    return clock;
}

int& ToolCancelFlag() {
    static int flag = 0;
    return flag;
}

ActivityLog& SessionActivityLog() {
    static ActivityLog log;
    return log;
}
