// What a run of tools is given by whoever starts it: where it tells and
// asks the user, where its console text is logged, where it stands, and
// whether the user asked it to stop. The program makes one for its session
// (a test, one of its own) and hands it to the queue, the tool runner and
// the builds; only the user-interface thread touches it.
#pragma once

class ActivityLog;
class ProgramUi;

// The time display's clock: where the running conversion stands and how long
// its input is, in whole seconds. The output parser writes it while a tool
// runs; the RealMedia job poller writes it while a job runs; the queue reads
// it for the " Finished" and " Remain" texts.
struct ProgressClock {
    int positionSeconds = 0;
    int totalSeconds = 0;
};

struct RunContext {
    RunContext(ProgramUi& ui, ActivityLog& log) : ui(ui), log(log) {}
    RunContext(const RunContext&) = delete;
    RunContext& operator=(const RunContext&) = delete;

    ProgramUi& ui;
    // Every tool run's command and console text.
    ActivityLog& log;
    ProgressClock clock;
    // Set by the user's stop; the running ToolRunner checks it after every
    // piece of output and then stops its tool; every ToolRunner clears it
    // when it is made, so a stop never outlives the run it was meant for.
    // Callers that run several tools in a row test it after each run to end
    // their loop.
    bool cancelRequested = false;
};
