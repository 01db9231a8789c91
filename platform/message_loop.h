// The thread's message queue that the library's dialogs and the RealMedia
// engine run on, in place of the Windows one: messages posted to a target
// (message, wParam, lParam), timers by id and period, modal loops that end on
// a flag, and dispatching what is waiting from inside long work.
//
// Each thread has its own queue, made on first use; a target belongs to the
// thread that made it, and its messages and timer ticks are handled there,
// only while that thread dispatches. Messages are handled in the order they
// were posted; a timer tick is made only when no posted message is waiting,
// and a late timer ticks once, not once for every period it missed, as
// Windows timers do.
//
// This lives in a shared library of its own (libzarvo_messages.so) that
// libkorvan.so and the RealMedia engine library both link, so that a process
// has one copy of every thread's queue however many libraries use it.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#define ZARVO_MESSAGES_API __attribute__((visibility("default")))

namespace platform {

// The first message number free for a program's own use, WM_USER.
inline constexpr unsigned kUserMessage = 0x0400;

class ThreadQueue;

class ZARVO_MESSAGES_API MessageTarget {
public:
    MessageTarget();
    // Drops the target's waiting messages and its timers.
    virtual ~MessageTarget();
    MessageTarget(const MessageTarget&) = delete;
    MessageTarget& operator=(const MessageTarget&) = delete;

    // Queues a message for the target; any thread may post. False when the
    // target's thread has ended (nobody will handle it).
    bool Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

    // Starts timer `id`, or restarts it with the new period: its first tick
    // is one period from now. Only the target's own thread sets and kills
    // timers.
    void SetTimer(unsigned id, std::chrono::milliseconds period);
    void KillTimer(unsigned id);
    bool HasTimer(unsigned id) const;

protected:
    virtual void OnMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    virtual void OnTimer(unsigned id) = 0;

private:
    friend class ThreadQueue;
    std::shared_ptr<ThreadQueue> queue_;
};

// On the calling thread: handles the messages waiting when it is called (what
// their handlers post waits for the next call), then every timer that is due
// (each at most once), and returns without waiting. Handlers may post,
// dispatch again (nested), run modal loops, and destroy targets. Returns how
// many messages and ticks were handled.
ZARVO_MESSAGES_API int DispatchPendingMessages();

// Blocks the calling thread until a message is posted to it, one of its
// timers is due, or `timeout` has passed; returns at once when something is
// waiting already.
ZARVO_MESSAGES_API void WaitForMessages(std::chrono::milliseconds timeout);

// A modal loop on the calling thread: Run dispatches messages and waits for
// more until End is called (by a handler, or before Run, which then returns
// at once), and stops dispatching the moment it is. Loops nest; each ends on
// its own flag. A loop runs once: after End, Run returns at once.
class ZARVO_MESSAGES_API ModalLoop {
public:
    int Run();
    void End(int result);
    bool Ended() const { return ended_; }

private:
    bool ended_ = false;
    int result_ = 0;
};

}  // namespace platform
