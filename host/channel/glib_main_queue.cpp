#include "host/channel/glib_main_queue.h"

#include <utility>

namespace host {

struct GlibMainQueue::Source {
    GSource base;
    GlibMainQueue* queue;
};

namespace {

GSourceFuncs sourceFuncs{};

} // namespace

GlibMainQueue::GlibMainQueue(GMainContext* context)
    : context_(context != nullptr ? context : g_main_context_ref_thread_default()) {
    if (context != nullptr) g_main_context_ref(context_);
    sourceFuncs.prepare = &GlibMainQueue::prepare;
    sourceFuncs.check = &GlibMainQueue::check;
    sourceFuncs.dispatch = &GlibMainQueue::dispatch;
    source_ = g_source_new(&sourceFuncs, sizeof(Source));
    reinterpret_cast<Source*>(source_)->queue = this;
    g_source_set_priority(source_, G_PRIORITY_DEFAULT);
    g_source_attach(source_, context_);
}

GlibMainQueue::~GlibMainQueue() {
    g_source_destroy(source_);
    g_source_unref(source_);
    g_main_context_unref(context_);
}

void GlibMainQueue::post(std::function<void()> job) {
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

void GlibMainQueue::close() {
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        dropped.swap(jobs_);
    }
    // The dropped jobs are destroyed here, outside the lock.
}

bool GlibMainQueue::empty() const {
    std::lock_guard lock(mutex_);
    return jobs_.empty();
}

bool GlibMainQueue::runOne() {
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

gboolean GlibMainQueue::prepare(GSource* source, gint* timeout) {
    *timeout = -1;
    return !reinterpret_cast<Source*>(source)->queue->empty();
}

gboolean GlibMainQueue::check(GSource* source) {
    return !reinterpret_cast<Source*>(source)->queue->empty();
}

gboolean GlibMainQueue::dispatch(GSource* source, GSourceFunc, gpointer) {
    // Jobs run one after another for at most a short slice, then the context gets its turn:
    // one context iteration per job would cost more than most jobs themselves.
    auto* queue = reinterpret_cast<Source*>(source)->queue;
    const gint64 end = g_get_monotonic_time() + sliceMicroseconds;
    while (queue->runOne() && g_get_monotonic_time() < end) {
    }
    return G_SOURCE_CONTINUE;
}

} // namespace host
