// observe latency on the virtual desktop: skelmor end to end through its pipes, the capture
// port alone, and ImageMagick's `import -window` capturing the same window to a JPEG.
// Run through bench/host/desktop/run.sh (a desktop large enough for 1920 × 1080 windows).

#include "skelmor_client.h"
#include "test_app.h"
#include "test_bundle.h"
#include "x11_ports.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <string>
#include <vector>

using namespace desktop_test;
using common::Json;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kRuns = 40;
constexpr int kImportRuns = 10;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Summary {
    double median = 0, p90 = 0;
};

Summary summarise(std::vector<double> samples) {
    if (samples.empty()) return {};
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples[samples.size() * 9 / 10]};
}

std::optional<host::platform::Rect> frameOf(desktop_test::DesktopPorts& ports,
                                            std::uint32_t window) {
    for (int i = 0; i < 200; ++i) {
        if (auto list = ports.windowServer->windowList(host::platform::WindowListKind::OnScreen))
            for (const auto& w : *list)
                if (w.number == window && w.bounds) return w.bounds;
        usleep(10000);
    }
    return std::nullopt;
}

// Launches the application so that its frame (with the window manager's decorations) is
// width × height.
std::unique_ptr<TestApp> launchFramed(desktop_test::DesktopPorts& ports, const std::string& program,
                                      int width, int height) {
    auto probe = std::make_unique<TestApp>(
        program, std::vector<std::string>{"--size", "400x300", "--position", "0,0"});
    auto frame = probe->ready() ? frameOf(ports, probe->window()) : std::nullopt;
    if (!frame) return nullptr;
    const int decorationWidth = static_cast<int>(frame->width) - 400;
    const int decorationHeight = static_cast<int>(frame->height) - 300;
    probe.reset();
    auto app = std::make_unique<TestApp>(
        program, std::vector<std::string>{"--size",
                                          std::to_string(width - decorationWidth) + "x" +
                                              std::to_string(height - decorationHeight),
                                          "--position", "0,0"});
    return app->ready() ? std::move(app) : nullptr;
}

void benchSize(desktop_test::DesktopPorts& ports,
               const std::optional<std::filesystem::path>& bundle, int width, int height) {
    auto app =
        launchFramed(ports, bundle ? executableOf(*bundle).string() : TESTAPP_PATH, width, height);
    if (!app) {
        std::printf("%dx%d: the test application did not come up\n", width, height);
        return;
    }
    auto frame = frameOf(ports, app->window());
    std::printf("\n== window %dx%d (frame %.0fx%.0f, X window 0x%x)\n", width, height,
                frame ? frame->width : 0, frame ? frame->height : 0, app->window());

    // The host, end to end.
    SkelmorClient host(SKELMOR_PATH);
    auto identity = bundle ? host.call("identity", {{"path", bundle->string()}})
                           : std::optional<Json>(Json{{"error", "no sealed bundle"}});
    Json target;
    if (errorOf(identity).empty()) {
        for (int i = 0; i < 100 && target.is_null(); ++i) {
            auto windows = resultOf(host.call("windows", {{"app", resultOf(identity)}}));
            if (windows.is_object())
                for (const Json& w : windows.value("windows", Json::array()))
                    if (w.value("windowId", 0u) == app->window())
                        target = {{"windowId", w["windowId"]}, {"pid", w["pid"]}};
            if (target.is_null()) usleep(20000);
        }
    }
    if (target.is_null()) {
        std::printf("skelmor observe: unavailable (identity: %s)\n", errorOf(identity).c_str());
    } else {
        const Json params{{"app", resultOf(identity)}, {"target", target}};
        std::vector<double> samples;
        std::string failure;
        int pixelsW = 0, pixelsH = 0;
        std::size_t bytes = 0;
        for (int i = 0; i < kRuns + 3 && failure.empty(); ++i) {
            const auto start = Clock::now();
            auto answer = host.call("observe", params);
            const double took = millisecondsSince(start);
            failure = errorOf(answer);
            if (i >= 3) samples.push_back(took); // the first runs warm the caches up
            Json result = resultOf(answer);
            if (result.is_object()) {
                pixelsW = result.value("width", 0);
                pixelsH = result.value("height", 0);
                bytes = result.value("image", "").size() * 3 / 4;
            }
        }
        // Where the time goes: the pipes alone (status), and one target resolution (windows:
        // the bundle's seal, the live check of the process, one window list); observe
        // resolves the target twice.
        for (const char* method : {"status", "windows"}) {
            std::vector<double> parts;
            const Json partParams = std::string(method) == "status" ? Json::object() : params;
            for (int i = 0; i < kRuns; ++i) {
                const auto start = Clock::now();
                host.call(method, partParams);
                parts.push_back(millisecondsSince(start));
            }
            Summary s = summarise(parts);
            std::printf("skelmor %s (pipes): median %.2f ms, p90 %.2f ms\n", method, s.median,
                        s.p90);
        }
        if (!failure.empty()) {
            std::printf("skelmor observe: failed with %s\n", failure.c_str());
        } else {
            Summary s = summarise(samples);
            std::printf("skelmor observe (pipes, %dx%d JPEG, ~%zu bytes): median %.2f ms, p90 "
                        "%.2f ms (%d runs)\n",
                        pixelsW, pixelsH, bytes, s.median, s.p90, kRuns);
        }
    }

    // The capture port alone (composite pixmap, shared-memory read, resampling).
    {
        const double longer = std::max(width, height);
        const double scale = std::min(1280.0 / longer, 1.0);
        const int w = std::max(1, static_cast<int>(width * scale));
        const int h = std::max(1, static_cast<int>(height * scale));
        std::vector<double> samples;
        for (int i = 0; i < kRuns; ++i) {
            std::promise<bool> done;
            const auto start = Clock::now();
            ports.capture->captureWindow(app->window(), w, h,
                                         [&](auto image) { done.set_value(image.has_value()); });
            bool ok = done.get_future().get();
            samples.push_back(millisecondsSince(start));
            if (!ok) {
                std::printf("capture port: failed\n");
                samples.clear();
                break;
            }
        }
        if (!samples.empty()) {
            Summary s = summarise(samples);
            std::printf("capture port alone (%dx%d pixels): median %.2f ms, p90 %.2f ms\n", w, h,
                        s.median, s.p90);
        }
    }

    // The window list alone (read twice per observe, once per target resolution).
    {
        std::vector<double> samples;
        for (int i = 0; i < kRuns; ++i) {
            const auto start = Clock::now();
            auto list = ports.windowServer->windowList(
                host::platform::WindowListKind::OnScreenExcludingDesktopElements);
            samples.push_back(millisecondsSince(start));
        }
        Summary s = summarise(samples);
        std::printf("window list alone: median %.2f ms, p90 %.2f ms\n", s.median, s.p90);
    }

    // ImageMagick, the tool one would otherwise reach for.
    {
        std::vector<double> samples;
        const std::string command = "import -window " + std::to_string(app->window()) +
                                    " -quality 72 /tmp/observe-bench-import.jpg";
        for (int i = 0; i < kImportRuns; ++i) {
            const auto start = Clock::now();
            if (std::system(command.c_str()) != 0) {
                samples.clear();
                break;
            }
            samples.push_back(millisecondsSince(start));
        }
        std::remove("/tmp/observe-bench-import.jpg");
        if (samples.empty()) {
            std::printf("import -window: failed\n");
        } else {
            Summary s = summarise(samples);
            std::printf("ImageMagick import -window (full size JPEG): median %.2f ms, p90 %.2f ms "
                        "(%d runs)\n",
                        s.median, s.p90, kImportRuns);
        }
    }
}

// The peak resident memory of a process so far, in MiB (VmHWM).
double peakMiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

// `count` observes in one write, as a client that queues them does: the host's peak memory
// is bounded by the captures it holds at once, not by the length of the queue.
void burst(const std::optional<std::filesystem::path>& bundle, desktop_test::DesktopPorts& ports,
           int count) {
    if (!bundle) return;
    auto app = launchFramed(ports, executableOf(*bundle).string(), 800, 600);
    if (!app) return;
    SkelmorClient host(SKELMOR_PATH);
    auto identity = resultOf(host.call("identity", {{"path", bundle->string()}}));
    Json target;
    for (int i = 0; i < 100 && target.is_null(); ++i, usleep(20000))
        for (const Json& w :
             resultOf(host.call("windows", {{"app", identity}})).value("windows", Json::array()))
            if (w.value("windowId", 0u) == app->window())
                target = {{"windowId", w["windowId"]}, {"pid", w["pid"]}};
    if (target.is_null()) return;
    const double before = peakMiB(host.process().pid());
    std::string lines;
    for (int i = 0; i < count; ++i)
        lines += common::compact(Json{{"id", "b" + std::to_string(i)},
                                      {"method", "observe"},
                                      {"params", {{"app", identity}, {"target", target}}}}) +
                 "\n";
    const auto start = std::chrono::steady_clock::now();
    host.process().send(lines);
    int answered = 0, failed = 0;
    for (int i = 0; i < count; ++i) {
        auto answer = host.answer("b" + std::to_string(i), 60s);
        if (!answer) break;
        ++answered;
        if (!errorOf(answer).empty()) ++failed;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("\n== %d observes of an 800x600 window in one write: %d answered (%d failed) in "
                "%.2f s; host peak RSS %.1f MiB (%.1f MiB before)\n",
                count, answered, failed, seconds, peakMiB(host.process().pid()), before);
}

} // namespace

int main() {
    if (std::getenv("TARNWICK_DESKTOP") == nullptr) {
        std::fprintf(stderr, "run through bench/host/desktop/run.sh\n");
        return 2;
    }
    TempFolder folder;
    BundleSpec spec;
    spec.name = "BenchApp";
    auto bundle = makeBundle(folder.path(), TESTAPP_PATH, SEAL_TOOL, spec);
    if (!bundle)
        std::printf("no sealed bundle (is bundle-seal built?): skelmor cannot be measured\n");
    auto ports = desktop_test::openDesktopPorts();
    std::printf("observe latency, median of %d (skelmor, capture port) and %d (import) runs\n",
                kRuns, kImportRuns);
    benchSize(ports, bundle, 800, 600);
    benchSize(ports, bundle, 1920, 1080);
    burst(bundle, ports, 300);
    return 0;
}
