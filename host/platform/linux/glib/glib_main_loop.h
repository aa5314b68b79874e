#pragma once
// The main loop of the Linux desktop: the main queue as one source of a GLib main context,
// a FIFO of jobs behind a mutex, run one at a time for a short slice per dispatch, so the
// context's other sources (D-Bus replies and signals, accessibility events, X events) are
// dispatched between jobs, never during one, and wait at most about one slice.

#include "host/base/main_queue.h"
#include "host/platform/linux/glib/glib_handles.h"

#include <glib.h>

#include <deque>
#include <functional>
#include <mutex>

namespace host::platform::linux_desktop {

class GlibMainLoop final : public MainLoop {
public:
    static constexpr gint64 sliceMicroseconds = 2000;

    // Attaches to `context` (the thread-default main context when null); jobs run on the
    // thread that iterates it.
    explicit GlibMainLoop(GMainContext* context = nullptr);
    GlibMainLoop(const GlibMainLoop&) = delete;
    GlibMainLoop& operator=(const GlibMainLoop&) = delete;
    ~GlibMainLoop() override;

    // Thread-safe. After close(), jobs are dropped.
    void post(std::function<void()> job) override;
    // Iterates the context until quit().
    void run() override;
    // close(), and run() returns.
    void quit() override;
    // Drops every queued job and refuses later ones: nothing behind the termination runs.
    void close();
    bool empty() const;

private:
    struct Source;
    static gboolean prepare(GSource* source, gint* timeout);
    static gboolean check(GSource* source);
    static gboolean dispatch(GSource* source, GSourceFunc, gpointer);
    bool runOne();

    GMainContext* context_;
    mutable std::mutex mutex_;
    std::deque<std::function<void()>> jobs_;
    bool closed_ = false;
    GSource* source_ = nullptr;
    glib::MainLoopRef loop_;
};

} // namespace host::platform::linux_desktop
