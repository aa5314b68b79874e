// One observe of a 1280 × 800 window: from the moment the captured pixels arrive to the
// finished answer line (re-resolution, gate, JPEG, base64, frame, compact JSON).

#include "host/actions/dispatcher.h"
#include "host/channel/answer.h"
#include "host/platform/fake/fake_desktop.h"
#include "host/session/host.h"
#include "tests/support/manual_queue.h"

#include <benchmark/benchmark.h>

namespace {

using namespace host;
using namespace host::platform::fake;

void ObserveToAnswerLine(benchmark::State& state) {
    FakeDesktop desktop;
    const FakeAppSpec app{"/Applications/Notes.app", "com.example.notes", "Notes", "TEAM"};
    desktop.installApp(app);
    desktop.launch(app, 501);
    desktop.addWindow(501, 42, {0, 0, 1280, 800}, "Notes");
    const auto pixels = paintWindowImage(1280, 800);
    test_support::ManualQueue queue;
    Host host(desktop.platform(), queue);
    std::optional<Outcome> identity;
    handle(host, desktop.platform(), "identity", {{"path", app.location}},
           [&](Outcome o) { identity = o; });
    const common::Json params = {{"app", std::get<common::Json>(*identity)},
                                 {"target", {{"windowId", 42}, {"pid", 501}}}};

    desktop.capture.hold = true;
    std::size_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::optional<Outcome> outcome;
        handle(host, desktop.platform(), "observe", params,
               [&](Outcome o) { outcome = std::move(o); });
        desktop.capture.releaseNext(); // shareable content
        queue.runAll();
        desktop.capture.render = [&](const CaptureRequest&) { return std::optional(pixels); };
        desktop.capture.releaseNext(); // the pixels, copied outside the timing
        state.ResumeTiming();

        queue.runAll();
        auto line = answerLine("7", *outcome);
        benchmark::DoNotOptimize(line);
        bytes = line->size();
        state.PauseTiming();
        host.frames().clearFrames();
        state.ResumeTiming();
    }
    state.counters["answer_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(ObserveToAnswerLine)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
