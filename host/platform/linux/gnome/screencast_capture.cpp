#include "host/platform/linux/gnome/screencast_capture.h"

#include "host/platform/linux/downscale.h"
#include "host/platform/linux/gnome/pipewire_frame.h"
#include "host/platform/linux/gnome/shell_windows.h"

#include <chrono>
#include <cmath>

namespace host::platform::gnome {
namespace {

namespace dbus = linux_desktop::dbus;
using namespace std::chrono_literals;

constexpr const char* kScreenCast = "org.gnome.Mutter.ScreenCast";
constexpr const char* kSessionInterface = "org.gnome.Mutter.ScreenCast.Session";
// Raw images out at once: one being encoded, one being captured.
constexpr int kImagesHeld = 2;
// The first frame came in 61 to 158 ms where this was measured: a stream silent for longer
// has lost it, and a second session is given the full time.
constexpr auto kStreamTimeout = 2s;
constexpr std::chrono::milliseconds kFrameTimeouts[] = {600ms, 2000ms};

// A ScreenCast session, stopped when it goes.
class Session {
public:
    explicit Session(GDBusConnection* bus) : bus_(bus) {
        dbus::Variant reply =
            dbus::call(bus, kScreenCast, "/org/gnome/Mutter/ScreenCast", kScreenCast,
                       "CreateSession", g_variant_new_parsed("(@a{sv} {},)"), "(o)");
        if (reply) path_ = childString(reply.get());
    }
    ~Session() {
        if (started_)
            dbus::call(bus_, kScreenCast, path_.c_str(), kSessionInterface, "Stop", nullptr, "()");
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool exists() const { return !path_.empty(); }

    // The stream's object path; empty when Mutter does not record the window.
    std::string recordWindow(std::uint64_t id) {
        GVariantBuilder properties;
        g_variant_builder_init(&properties, G_VARIANT_TYPE_VARDICT);
        g_variant_builder_add(&properties, "{sv}", "window-id", g_variant_new_uint64(id));
        g_variant_builder_add(&properties, "{sv}", "cursor-mode", g_variant_new_uint32(0));
        dbus::Variant reply =
            dbus::call(bus_, kScreenCast, path_.c_str(), kSessionInterface, "RecordWindow",
                       g_variant_new("(a{sv})", &properties), "(o)");
        return reply ? childString(reply.get()) : std::string();
    }

    bool start() {
        started_ = dbus::call(bus_, kScreenCast, path_.c_str(), kSessionInterface, "Start", nullptr,
                              "()") != nullptr;
        return started_;
    }

private:
    static std::string childString(GVariant* reply) {
        const gchar* path = nullptr;
        g_variant_get(reply, "(&o)", &path);
        return path;
    }

    GDBusConnection* bus_;
    std::string path_;
    bool started_ = false;
};

// Runs what is left in a private context before it goes: once a subscription made there ends,
// GLib frees its handler from that context.
struct DrainedContext {
    GMainContext* context;
    ~DrainedContext() {
        while (g_main_context_iteration(context, FALSE)) {
        }
    }
};

// The PipeWire node that carries the stream: Mutter names it once the session has started.
std::optional<std::uint32_t> startAndAwaitNode(GDBusConnection* bus, Session& session,
                                               const std::string& stream) {
    glib::GMainContextRef context(g_main_context_new());
    const dbus::ThreadDefaultContext scope(context.get());
    const DrainedContext drained{context.get()};
    std::optional<std::uint32_t> node;
    dbus::Subscription added(bus, kScreenCast, stream.c_str(), "org.gnome.Mutter.ScreenCast.Stream",
                             "PipeWireStreamAdded", [&node](GVariant* parameters) {
                                 if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(u)")))
                                     return;
                                 guint32 id = 0;
                                 g_variant_get(parameters, "(u)", &id);
                                 node = id;
                             });
    if (!session.start()) return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + kStreamTimeout;
    while (!node && std::chrono::steady_clock::now() < deadline) {
        // Wakes at least every 10 ms to look at the clock.
        glib::GSourceRef tick(g_timeout_source_new(10));
        g_source_set_callback(
            tick.get(), [](gpointer) { return G_SOURCE_REMOVE; }, nullptr, nullptr);
        g_source_attach(tick.get(), context.get());
        g_main_context_iteration(context.get(), TRUE);
        g_source_destroy(tick.get());
    }
    return node;
}

const ShellWindow* findWindow(const ShellWindows& shell, std::uint32_t windowId) {
    for (const ShellWindow& window : shell.windows)
        if (windowNumber(window.id) == windowId) return &window;
    return nullptr;
}

int whole(double value) {
    return static_cast<int>(std::lround(value));
}

} // namespace

ScreenCastCapture::ScreenCastCapture(dbus::Connection bus)
    : bus_(std::move(bus)), leases_(std::make_shared<linux_desktop::ImageLeases>(kImagesHeld)) {}

ScreenCastCapture::~ScreenCastCapture() {
    leases_->close();
}

void ScreenCastCapture::shareableContent(
    std::function<void(std::optional<std::vector<ShareableWindow>>)> done) {
    worker_.post([this, done = std::move(done)] {
        const auto shell = askShell(bus_.get());
        if (!shell) return done(std::nullopt);
        std::vector<ShareableWindow> windows;
        for (const ShellWindow& window : shell->windows) {
            if (isDesktopElement(window)) continue;
            ShareableWindow shareable;
            shareable.windowId = windowNumber(window.id);
            if (window.pid > 0) shareable.owningPid = window.pid;
            windows.push_back(shareable);
        }
        done(std::move(windows));
    });
}

void ScreenCastCapture::captureWindow(std::uint32_t windowId, int width, int height,
                                      std::function<void(std::optional<CapturedImage>)> done) {
    worker_.post([this, windowId, width, height, done = std::move(done)] {
        auto lease = leases_->take();
        if (!lease) return done(std::nullopt);
        auto image = capture(windowId, width, height);
        if (image) image->lease = std::move(lease);
        done(std::move(image));
    });
}

std::optional<CapturedImage> ScreenCastCapture::capture(std::uint32_t windowId, int width,
                                                        int height) {
    if (width <= 0 || height <= 0) return std::nullopt;
    const auto shell = askShell(bus_.get());
    const ShellWindow* window = shell ? findWindow(*shell, windowId) : nullptr;
    if (!window) return std::nullopt;
    // The stream holds the window's whole surface from its top-left corner, shadows
    // included; the window itself is its frame, inside that.
    const PixelRect frame{whole(window->frame.x - window->buffer.x),
                          whole(window->frame.y - window->buffer.y), whole(window->frame.width),
                          whole(window->frame.height)};
    // Mutter records a window once as its stream starts, then only when the window is
    // damaged: when that first frame is lost (now and then, for a window nothing repaints,
    // about one covered window in eight here), the stream stays silent. A fresh session
    // records the window again.
    std::optional<FramePixels> pixels;
    for (const auto timeout : kFrameTimeouts) {
        Session session(bus_.get());
        if (!session.exists()) return std::nullopt;
        const std::string stream = session.recordWindow(window->id);
        if (stream.empty()) return std::nullopt;
        const auto node = startAndAwaitNode(bus_.get(), session, stream);
        if (!node) return std::nullopt;
        pixels = takeOneFrame(*node, frame, timeout);
        if (pixels) break;
    }
    if (!pixels) return std::nullopt;
    CapturedImage image;
    image.width = width;
    image.height = height;
    image.stride = static_cast<std::size_t>(width) * 4;
    image.bgrx = linux_desktop::resample({pixels->bgrx.data(), pixels->width, pixels->height,
                                          static_cast<std::size_t>(pixels->width) * 4},
                                         width, height);
    return image;
}

} // namespace host::platform::gnome
