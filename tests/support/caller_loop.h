// Runs the thread's GLib main context, the loop the burning SDK does its work
// on, the way the program's event loop does.
#pragma once

#include <glib.h>

#include <chrono>
#include <functional>
#include <thread>

namespace test {

// Turns the loop until `done` holds or `timeout` passes; false on a timeout.
inline bool RunLoopUntil(const std::function<bool()>& done,
                         std::chrono::milliseconds timeout = std::chrono::seconds(120)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        if (!g_main_context_iteration(nullptr, FALSE)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    return true;
}

// Turns the loop for a while, whatever happens.
inline void RunLoopFor(std::chrono::milliseconds time) {
    RunLoopUntil([] { return false; }, time);
}

}  // namespace test
