// The SDK's work on the caller's thread: sources attached to the GLib main
// context that thread runs (Qt's event loop on Linux runs it too). Like a
// Windows SDK's hidden window, they let the SDK react to its tools and
// timers, and call the client's events, while the client dispatches
// messages, with no thread of its own.
#pragma once

#include <functional>

typedef struct _GMainContext GMainContext;
typedef struct _GSource GSource;

namespace foxburner {

// The calling thread's main context (the default one on the main thread),
// with a reference held.
GMainContext* AcquireCallerContext();
void ReleaseCallerContext(GMainContext* context);

// One source attached to a context; it is removed when the object goes or is
// reset, so that whoever owns it takes its callbacks along.
class LoopSource {
public:
    LoopSource() = default;
    ~LoopSource() { Reset(); }
    LoopSource(LoopSource&& other) noexcept;
    LoopSource& operator=(LoopSource&& other) noexcept;
    LoopSource(const LoopSource&) = delete;
    LoopSource& operator=(const LoopSource&) = delete;

    // Calls `callback` once, at the next turn of the loop.
    static LoopSource Idle(GMainContext* context, std::function<void()> callback);
    // Calls `callback` every `intervalMs` while it returns true.
    static LoopSource Timer(GMainContext* context, unsigned intervalMs,
                            std::function<bool()> callback);
    // Calls `callback` whenever `fd` can be read (or is closed) while it
    // returns true.
    static LoopSource Readable(GMainContext* context, int fd, std::function<bool()> callback);

    void Reset();
    // True until the source has been removed (by Reset, or by its callback
    // returning false).
    bool Active() const;

private:
    explicit LoopSource(GSource* source) : source_(source) {}

    GSource* source_ = nullptr;
};

}  // namespace foxburner
