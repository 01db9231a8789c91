// The signals that end a program from outside (SIGTERM at logout or
// shutdown, SIGHUP when its terminal goes away, SIGINT for Ctrl-C), turned
// into an event the program's own loop handles, so that they end it the way
// closing its window does: the running tool stopped and its file dealt with
// as after a stop, before the program goes.
#pragma once

namespace platform {

// Catches the three signals from now on. Returns a descriptor that becomes
// readable when one arrives, or -1 when that cannot be set up (the signals
// then keep their default action). A signal caught once ends the program at
// once the second time, as if it were not caught: a program that does not
// get back to its loop can still be ended.
int CatchTerminationSignals();

// Empties the descriptor and returns the last signal that arrived (0 when
// none has).
int TakeTerminationSignal(int descriptor);

}  // namespace platform
