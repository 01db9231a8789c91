// Process-wide state of tool runs, kept in this one place. Only the
// user-interface thread touches it.
#pragma once

// The time display's clock: where the running conversion stands and how long
// its input is, in whole seconds. The output parser writes it while a tool
// runs; the RealMedia job poller writes it while a job runs; the main window
// reads it for the " Finished" and " Remain" texts.
struct ProgressClock {
    int positionSeconds = 0;
    int totalSeconds = 0;
};

ProgressClock& SharedProgressClock();

// The tool cancel flag: set to 1 by the user's stop command; the running
// ToolRunner checks it after every piece of output and then stops its tool;
// every ToolRunner clears it when it is made, so a stop never outlives the run
// it was meant for. Callers that run several tools in a row test it after
// each run to end their loop.
int& ToolCancelFlag();

class ActivityLog;

// The session's activity log: every tool run's command and console text.
ActivityLog& SessionActivityLog();
