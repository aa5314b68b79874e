// observe latency on the virtual desktop: skelmor end to end through its pipes, interleaved
// with the floor probe (observe_floor: only the capture, scale, JPEG, base64 and write no
// observe can do without); then the parts of observe one by one, and ImageMagick's
// `import -window` capturing the same window to a JPEG.
// Run through bench/host/desktop/run.sh (a desktop large enough for 1920 × 1080 windows). On
// GNOME Wayland (DESKTOP=gnome-wayland) the floor probe and import, which read X11 windows,
// are left out.

#include "skelmor_client.h"
#include "test_app.h"
#include "test_bundle.h"
#include "test_desktop.h"
#include "x11_ports.h"

#include "common/base64.h"
#include "host/actions/capture_size.h"
#include "host/actions/jpeg_encoder.h"
#include "host/channel/answer.h"
#include "host/inventory/identity.h"
#include "host/inventory/target.h"
#include "host/inventory/windows.h"
#include "host/platform/backend.h"
#include "host/platform/linux/gnome/gnome_desktop.h"
#include "host/platform/linux/x11/window_tree.h"
#include "host/session/host.h"
#include "tests/support/manual_queue.h"

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

void report(const std::string& what, const std::vector<double>& samples) {
    if (samples.empty()) {
        std::printf("%s: failed\n", what.c_str());
        return;
    }
    const Summary s = summarise(samples);
    std::printf("%s: median %.2f ms, p90 %.2f ms\n", what.c_str(), s.median, s.p90);
}

// The time until the whole answer line has arrived; the line is parsed afterwards, outside
// the measurement, as the floor's is not parsed at all.
std::optional<double> timedObserve(SkelmorClient& host, const Json& params, std::string& failure,
                                   host::PixelSize& delivered) {
    const auto start = Clock::now();
    host.send("observe", params);
    auto line = host.process().readLine(10s);
    const double took = millisecondsSince(start);
    auto answer = line ? common::parseStrict(*line) : std::nullopt;
    failure = errorOf(answer);
    if (!failure.empty()) return std::nullopt;
    const Json result = resultOf(answer);
    delivered = {result.value("width", 0), result.value("height", 0)};
    return took;
}

// The floor's answer for the frame of `window`: the time until its line has arrived.
std::optional<double> timedFloor(ChildProcess& probe, std::uint32_t frame, host::PixelSize size) {
    const auto start = Clock::now();
    probe.send(std::to_string(frame) + " " + std::to_string(size.width) + " " +
               std::to_string(size.height));
    auto line = probe.readLine(10s);
    const double took = millisecondsSince(start);
    if (!line || line->empty()) return std::nullopt;
    return took;
}

// observe through skelmor's pipes and the floor probe through its own, one after the other
// in each round, so that both see the same machine.
void observeAgainstFloor(SkelmorClient& host, const Json& params, std::uint32_t window,
                         host::PixelSize size) {
    const bool x11 = currentDesktop() == Desktop::X11;
    auto x = x11 ? host::platform::x11::XConnection::open(
                       host::platform::x11::XConnection::Capture::Without)
                 : nullptr;
    auto frame = x ? host::platform::x11::frameOf(*x, window) : std::nullopt;
    std::optional<ChildProcess> probe;
    if (x11) probe.emplace(std::vector<std::string>{OBSERVE_FLOOR_PATH});
    std::vector<double> observes, floors;
    std::string failure;
    host::PixelSize delivered;
    for (int i = 0; i < kRuns + 3 && (frame || !x11); ++i) {
        auto observed = timedObserve(host, params, failure, delivered);
        auto floor = probe ? timedFloor(*probe, *frame, size) : std::optional<double>(0);
        if (!observed || !floor) break;
        if (i < 3) continue; // the first rounds warm the caches up
        observes.push_back(*observed);
        floors.push_back(*floor);
    }
    if (observes.size() != static_cast<std::size_t>(kRuns)) {
        std::printf("observe against the floor: failed (%s)\n",
                    failure.empty() ? "the floor probe" : failure.c_str());
        return;
    }
    const Summary o = summarise(observes), f = summarise(floors);
    std::printf("skelmor observe (pipes, %dx%d JPEG): median %.2f ms, p90 %.2f ms\n",
                delivered.width, delivered.height, o.median, o.p90);
    if (!probe) return;
    std::printf("floor probe (pipes, same capture, scale, JPEG, base64, one write): median "
                "%.2f ms, p90 %.2f ms\n",
                f.median, f.p90);
    std::printf("observe / floor: %.2f (goal: at most 1.6)\n", o.median / f.median);
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

// The window server's number for the application's one window: on X11 the application says
// it; on Wayland only the compositor knows.
std::optional<std::uint32_t> windowOf(desktop_test::DesktopPorts& ports, const TestApp& app) {
    if (app.window() != 0) return app.window();
    for (int i = 0; i < 200; ++i, usleep(10000))
        if (auto list = ports.windowServer->windowList(host::platform::WindowListKind::OnScreen))
            for (const auto& w : *list)
                if (w.ownerPid == app.pid() && w.number && w.layer == 0)
                    return static_cast<std::uint32_t>(*w.number);
    return std::nullopt;
}

// Launches the application so that its frame (with the window manager's decorations) is
// width × height.
std::unique_ptr<TestApp> launchFramed(desktop_test::DesktopPorts& ports, const std::string& program,
                                      int width, int height) {
    auto probe = std::make_unique<TestApp>(
        program, std::vector<std::string>{"--size", "400x300", "--position", "0,0"});
    const auto number = probe->ready() ? windowOf(ports, *probe) : std::nullopt;
    auto frame = number ? frameOf(ports, *number) : std::nullopt;
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

// Where one target resolution goes, step by step, in this process on the host's own
// platform: the screen gate's state snapshot, the bundle's identity with its seal, the
// running instances, the live check of the application's instance, the window list; then
// the whole resolution as observe does it (twice per observe).
void resolutionBreakdown(host::platform::Platform& platform, const std::filesystem::path& bundle,
                         const Json& identity, const Json& params, std::int32_t pid) {
    test_support::ManualQueue queue;
    host::Host host(platform, queue);
    const std::string bundleId = identity.value("bundleId", "");
    const std::string requirementText = identity.value("requirement", "");
    auto time = [](const char* what, auto&& step) {
        std::vector<double> samples;
        for (int i = 0; i < 5 * kRuns; ++i) {
            const auto start = Clock::now();
            step();
            samples.push_back(millisecondsSince(start));
        }
        const Summary s = summarise(samples);
        std::printf("  %-44s median %.3f ms, p90 %.3f ms\n", what, s.median, s.p90);
    };
    std::printf("one target resolution, in process:\n");
    time("state snapshot (screen gate)", [&] { host.state(); });
    time("  of which the session (screen savers, logind)", [&] { platform.session.session(); });
    time("  of which the frontmost application", [&] { platform.session.frontmostApplication(); });
    time("identity with the seal (pinned members)",
         [&] { host::pinnedIdentity(platform, bundle.string()); });
    time("running instances of the bundle",
         [&] { platform.workspace.runningApplications(bundleId); });
    time("live check of the instance", [&] {
        auto requirement = platform.codeSigning.compileRequirement(requirementText);
        auto live = platform.codeSigning.liveCode(pid);
        if (requirement && live) platform.codeSigning.checkLiveValidity(*live, *requirement);
    });
    time("window list", [&] {
        platform.windowServer.windowList(
            host::platform::WindowListKind::OnScreenExcludingDesktopElements);
    });
    // The whole resolution, with the bundle's checks and the window list asked beside the
    // screen gate (as the host does) and, in alternate rounds, one after the other.
    host::platform::Platform inTurn = platform;
    inTurn.sideQueries = host::platform::SideQueries::WhenWanted;
    std::vector<double> beside, oneByOne;
    for (int i = 0; i < 5 * kRuns; ++i) {
        for (auto* samples : {&beside, &oneByOne}) {
            auto& on = samples == &beside ? platform : inTurn;
            const auto start = Clock::now();
            try {
                host::target(host, on, params);
            } catch (const host::HostError&) {
            }
            samples->push_back(millisecondsSince(start));
        }
    }
    const Summary b = summarise(beside), o = summarise(oneByOne);
    std::printf("  %-44s median %.3f ms, p90 %.3f ms\n", "the whole resolution", b.median, b.p90);
    std::printf("  %-44s median %.3f ms, p90 %.3f ms\n", "  the same, each question in turn",
                o.median, o.p90);
}

void benchSize(desktop_test::DesktopPorts& ports, host::platform::Platform& platform,
               const std::optional<std::filesystem::path>& bundle, int width, int height) {
    auto app =
        launchFramed(ports, bundle ? executableOf(*bundle).string() : TESTAPP_PATH, width, height);
    if (!app) {
        std::printf("%dx%d: the test application did not come up\n", width, height);
        return;
    }
    const std::uint32_t number = windowOf(ports, *app).value_or(0);
    auto frame = frameOf(ports, number);
    std::printf("\n== window %dx%d (frame %.0fx%.0f, window 0x%x)\n", width, height,
                frame ? frame->width : 0, frame ? frame->height : 0, number);

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
                    if (w.value("windowId", 0u) == number)
                        target = {{"windowId", w["windowId"]}, {"pid", w["pid"]}};
            if (target.is_null()) usleep(20000);
        }
    }
    if (target.is_null()) {
        std::printf("skelmor observe: unavailable (identity: %s)\n", errorOf(identity).c_str());
    } else {
        const Json params{{"app", resultOf(identity)}, {"target", target}};
        const auto size =
            host::captureSize(frame ? frame->width : width, frame ? frame->height : height);
        observeAgainstFloor(host, params, number, size);
        if (bundle) resolutionBreakdown(platform, *bundle, resultOf(identity), params, app->pid());
        // Where the time goes: the pipes with the state snapshot (status), and one target
        // resolution (windows: the screen gate, the bundle's seal, the live check of each
        // running instance, one window list); observe resolves the target twice.
        for (const char* method : {"status", "windows"}) {
            std::vector<double> parts;
            const Json partParams = std::string(method) == "status" ? Json::object() : params;
            for (int i = 0; i < kRuns; ++i) {
                const auto start = Clock::now();
                host.call(method, partParams);
                parts.push_back(millisecondsSince(start));
            }
            report(std::string("skelmor ") + method + " (pipes)", parts);
        }
    }

    // The capture service's list of shareable windows (observe asks for it once).
    {
        std::vector<double> samples;
        for (int i = 0; i < kRuns; ++i) {
            std::promise<bool> done;
            const auto start = Clock::now();
            ports.capture->shareableContent(
                [&](auto windows) { done.set_value(windows.has_value()); });
            const bool ok = done.get_future().get();
            samples.push_back(millisecondsSince(start));
            if (!ok) {
                samples.clear();
                break;
            }
        }
        report("shareable content alone", samples);
    }

    // The capture port alone (frame lookup, composite pixmap, shared-memory read, scale),
    // then what observe does with its image: the JPEG, base64, the answer line.
    {
        const auto size =
            host::captureSize(frame ? frame->width : width, frame ? frame->height : height);
        std::vector<double> samples;
        std::optional<host::platform::CapturedImage> kept;
        for (int i = 0; i < kRuns; ++i) {
            std::promise<std::optional<host::platform::CapturedImage>> done;
            const auto start = Clock::now();
            ports.capture->captureWindow(number, size.width, size.height,
                                         [&](auto image) { done.set_value(std::move(image)); });
            auto image = done.get_future().get();
            samples.push_back(millisecondsSince(start));
            if (!image) {
                samples.clear();
                break;
            }
            if (i == kRuns - 1) kept = std::move(image);
        }
        report("capture port alone (" + std::to_string(size.width) + "x" +
                   std::to_string(size.height) + " pixels)",
               samples);
        if (kept) {
            kept->lease.reset(); // the capture service may take more pictures meanwhile
            std::vector<double> encode, base64, line;
            for (int i = 0; i < kRuns; ++i) {
                auto start = Clock::now();
                auto jpeg = host::encodeJpeg(*kept, host::kCaptureJpegQuality);
                encode.push_back(millisecondsSince(start));
                if (!jpeg) break;
                start = Clock::now();
                std::string text;
                common::appendBase64(text, jpeg->data(), jpeg->size());
                base64.push_back(millisecondsSince(start));
                Json result{{"bounds", {{"x", 0.0}, {"y", 0.0}, {"width", 1.0}, {"height", 1.0}}},
                            {"frameId", "00000000-0000-4000-8000-000000000000"},
                            {"height", kept->height},
                            {"image", std::move(text)},
                            {"mimeType", "image/jpeg"},
                            {"width", kept->width}};
                start = Clock::now();
                auto answer = host::answerLine("r1", host::Outcome(std::move(result)));
                line.push_back(millisecondsSince(start));
                if (!answer) break;
            }
            report("  JPEG encode alone", encode);
            report("  base64 alone", base64);
            report("  answer line alone (JSON)", line);
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
        report("window list alone", samples);
    }

    // ImageMagick, the tool one would otherwise reach for (it reads X11 windows).
    if (currentDesktop() == Desktop::X11) {
        std::vector<double> samples;
        const std::string command = "import -window " + std::to_string(number) +
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
    const std::uint32_t number = windowOf(ports, *app).value_or(0);
    SkelmorClient host(SKELMOR_PATH);
    auto identity = resultOf(host.call("identity", {{"path", bundle->string()}}));
    Json target;
    for (int i = 0; i < 100 && target.is_null(); ++i, usleep(20000))
        for (const Json& w :
             resultOf(host.call("windows", {{"app", identity}})).value("windows", Json::array()))
            if (w.value("windowId", 0u) == number)
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
    auto gnome = currentDesktop() == Desktop::GnomeWayland
                     ? host::platform::gnome::openGnomeDesktop()
                     : std::nullopt;
    if (currentDesktop() == Desktop::GnomeWayland && !gnome) {
        std::fprintf(stderr, "GNOME Shell does not answer\n");
        return 1;
    }
    auto ports = gnome ? std::move(*gnome) : desktop_test::openDesktopPorts();
    std::printf("observe latency, median of %d (skelmor, capture port) and %d (import) runs\n",
                kRuns, kImportRuns);
    // The host's own platform, for the steps of a target resolution (one per process).
    auto backend = host::platform::openBackend();
    benchSize(ports, backend->platform(), bundle, 800, 600);
    benchSize(ports, backend->platform(), bundle, 1920, 1080);
    burst(bundle, ports, 300);
    return 0;
}
