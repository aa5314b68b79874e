#include "host/platform/linux/glib/glib_main_loop.h"

#include <utility>

namespace host::platform::linux_desktop {

struct GlibMainLoop::Source {
    GSource base;
    GlibMainLoop* queue;
};

namespace {

GSourceFuncs sourceFuncs{};

} // namespace

GlibMainLoop::GlibMainLoop(GMainContext* context)
    : context_(context != nullptr ? context : g_main_context_ref_thread_default()) {
    if (context != nullptr) g_main_context_ref(context_);
    sourceFuncs.prepare = &GlibMainLoop::prepare;
    sourceFuncs.check = &GlibMainLoop::check;
    sourceFuncs.dispatch = &GlibMainLoop::dispatch;
    source_ = g_source_new(&sourceFuncs, sizeof(Source));
    reinterpret_cast<Source*>(source_)->queue = this;
    g_source_set_priority(source_, G_PRIORITY_DEFAULT);
    g_source_attach(source_, context_);
    loop_.reset(g_main_loop_new(context_, FALSE));
}

GlibMainLoop::~GlibMainLoop() {
    g_source_destroy(source_);
    g_source_unref(source_);
    g_main_context_unref(context_);
}

void GlibMainLoop::post(std::function<void()> job) {
    bool wasEmpty;
    {
        std::lock_guard lock(mutex_);
        if (closed_) return;
        wasEmpty = jobs_.empty();
        jobs_.push_back(std::move(job));
    }
    // A non-empty queue keeps the context from sleeping (prepare reports it ready), so only
    // the first job needs to wake it.
    if (wasEmpty) g_main_context_wakeup(context_);
}

void GlibMainLoop::run() {
    g_main_loop_run(loop_.get());
}

void GlibMainLoop::quit() {
    close();
    g_main_loop_quit(loop_.get());
}

void GlibMainLoop::close() {
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        dropped.swap(jobs_);
    }
    // The dropped jobs are destroyed here, outside the lock.
}

bool GlibMainLoop::empty() const {
    std::lock_guard lock(mutex_);
    return jobs_.empty();
}

bool GlibMainLoop::runOne() {
    std::function<void()> job;
    {
        std::lock_guard lock(mutex_);
        if (jobs_.empty()) return false;
        job = std::move(jobs_.front());
        jobs_.pop_front();
    }
    job();
    return true;
}

gboolean GlibMainLoop::prepare(GSource* source, gint* timeout) {
    *timeout = -1;
    return !reinterpret_cast<Source*>(source)->queue->empty();
}

gboolean GlibMainLoop::check(GSource* source) {
    return !reinterpret_cast<Source*>(source)->queue->empty();
}

gboolean GlibMainLoop::dispatch(GSource* source, GSourceFunc, gpointer) {
    // Jobs run one after another for at most a short slice, then the context gets its turn:
    // one context iteration per job would cost more than most jobs themselves.
    auto* queue = reinterpret_cast<Source*>(source)->queue;
    const gint64 end = g_get_monotonic_time() + sliceMicroseconds;
    while (queue->runOne() && g_get_monotonic_time() < end) {
    }
    return G_SOURCE_CONTINUE;
}

} // namespace host::platform::linux_desktop
