#pragma once
// The main queue as one source of a GLib main context: a FIFO of jobs behind a mutex,
// run one at a time for a short slice per dispatch, so the context's other sources (D-Bus
// replies and signals, accessibility events, X events) are dispatched between jobs, never
// during one, and wait at most about one slice.

#include "host/channel/main_queue.h"

#include <glib.h>

#include <deque>
#include <functional>
#include <mutex>

namespace host {

class GlibMainQueue : public MainQueue {
public:
    static constexpr gint64 sliceMicroseconds = 2000;

    // Attaches to `context` (the thread-default main context when null); jobs run on the
    // thread that iterates it.
    explicit GlibMainQueue(GMainContext* context = nullptr);
    GlibMainQueue(const GlibMainQueue&) = delete;
    GlibMainQueue& operator=(const GlibMainQueue&) = delete;
    ~GlibMainQueue() override;

    // Thread-safe. After close(), jobs are dropped.
    void post(std::function<void()> job) override;
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
};

} // namespace host
