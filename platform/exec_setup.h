// What every child process of ours does between fork and exec, shared by the
// process layers. Only functions that are safe after fork in a threaded
// program are called (no allocation, no locks).
#pragma once

namespace platform {

// Closes every descriptor from `first` on (up to `highestFd` where the
// kernel cannot close a range).
void CloseDescriptorsFrom(int first, int highestFd);

// Ignored signals and the blocked set survive exec; the child gets the
// defaults, as it would from a shell.
void ResetSignalsForExec();

// Writes errno to `errorFd` (the close-on-exec pipe that tells a failed exec
// from a program that ran) and ends the child.
[[noreturn]] void ReportExecError(int errorFd);

// The highest descriptor number the process may have; taken before fork.
int HighestFd();

}  // namespace platform
