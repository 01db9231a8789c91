// The repeating timer of a window (timer 1001 of the main window polls the
// job file). The program backs it with a QTimer; tests tick it by hand.
#pragma once

#include <chrono>

class PollTimer {
public:
    virtual ~PollTimer() = default;
    virtual void Start(std::chrono::milliseconds period) = 0;
    virtual void Stop() = 0;
    virtual bool Running() const = 0;
};
