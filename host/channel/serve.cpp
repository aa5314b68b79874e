#include "host/channel/serve.h"

#include "host/channel/answer.h"
#include "host/channel/input_reader.h"
#include "host/channel/request_loop.h"
#include "host/session/host.h"

#include <glib.h>

#include <memory>
#include <utility>

namespace host {
namespace {

using MainLoopRef = std::unique_ptr<GMainLoop, decltype(&g_main_loop_unref)>;

} // namespace

void serve(GlibMainQueue& queue, platform::Platform& platform, int in, int out,
           std::function<void()> overflow) {
    GMainContext* context = g_main_context_ref_thread_default();
    MainLoopRef mainLoop(g_main_loop_new(context, FALSE), &g_main_loop_unref);
    g_main_context_unref(context);

    Host host(platform, queue);
    FdAnswerSink answers(out);
    RequestLoop loop(host, answers, std::move(overflow));
    GMainLoop* running = mainLoop.get();

    InputReader reader(
        in,
        [&queue, &loop](std::string bytes, InputReader::SlotToken slot) {
            queue.post(
                [&loop, bytes = std::move(bytes), slot = std::move(slot)] { loop.chunk(bytes); });
        },
        // End of input: the termination runs after everything queued so far and drops
        // everything queued after it.
        [&queue, running] {
            queue.post([&queue, running] {
                queue.close();
                g_main_loop_quit(running);
            });
        });
    g_main_loop_run(mainLoop.get());
}

void serve(platform::Platform& platform, int in, int out, std::function<void()> overflow) {
    GlibMainQueue queue;
    serve(queue, platform, in, out, std::move(overflow));
}

} // namespace host
