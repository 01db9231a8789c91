#include "sdk/foxburner/loop_source.h"

#include <glib-unix.h>
#include <glib.h>

#include <utility>

namespace foxburner {
namespace {

template <typename Callback>
void DeleteCallback(gpointer data) {
    delete static_cast<Callback*>(data);
}

gboolean CallOnce(gpointer data) {
    (*static_cast<std::function<void()>*>(data))();
    return G_SOURCE_REMOVE;
}

gboolean CallWhileTrue(gpointer data) {
    return (*static_cast<std::function<bool()>*>(data))() ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

gboolean CallOnReadable(gint, GIOCondition, gpointer data) {
    return (*static_cast<std::function<bool()>*>(data))() ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

// GLib keeps a reference to the callback's data while it runs, so a callback
// may reset its own LoopSource.
GSource* Attach(GSource* source, GMainContext* context) {
    g_source_attach(source, context);
    return source;
}

}  // namespace

GMainContext* AcquireCallerContext() { return g_main_context_ref_thread_default(); }

void ReleaseCallerContext(GMainContext* context) {
    if (context) g_main_context_unref(context);
}

LoopSource::LoopSource(LoopSource&& other) noexcept
    : source_(std::exchange(other.source_, nullptr)) {}

LoopSource& LoopSource::operator=(LoopSource&& other) noexcept {
    if (this != &other) {
        Reset();
        source_ = std::exchange(other.source_, nullptr);
    }
    return *this;
}

LoopSource LoopSource::Idle(GMainContext* context, std::function<void()> callback) {
    GSource* source = g_idle_source_new();
    g_source_set_callback(source, CallOnce, new std::function<void()>(std::move(callback)),
                          DeleteCallback<std::function<void()>>);
    return LoopSource(Attach(source, context));
}

LoopSource LoopSource::Timer(GMainContext* context, unsigned intervalMs,
                             std::function<bool()> callback) {
    GSource* source = g_timeout_source_new(intervalMs);
    g_source_set_callback(source, CallWhileTrue, new std::function<bool()>(std::move(callback)),
                          DeleteCallback<std::function<bool()>>);
    return LoopSource(Attach(source, context));
}

LoopSource LoopSource::Readable(GMainContext* context, int fd, std::function<bool()> callback) {
    GSource* source =
        g_unix_fd_source_new(fd, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR));
    // A unix fd source calls its callback with the fd's signature; GLib's
    // own cast goes through a function type without parameters.
    g_source_set_callback(
        source, reinterpret_cast<GSourceFunc>(reinterpret_cast<void (*)()>(CallOnReadable)),
        new std::function<bool()>(std::move(callback)), DeleteCallback<std::function<bool()>>);
    return LoopSource(Attach(source, context));
}

void LoopSource::Reset() {
    if (!source_) return;
    g_source_destroy(source_);
    g_source_unref(source_);
    source_ = nullptr;
}

bool LoopSource::Active() const { return source_ && !g_source_is_destroyed(source_); }

}  // namespace foxburner
