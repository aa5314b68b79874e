// The floor of observe: only the work no observe can do without, for one window frame. For
// each line "FRAME WIDTH HEIGHT" read on standard input: the frame's geometry, a Composite
// pixmap of it read through shared memory, the host's scale to WIDTH × HEIGHT, the host's
// JPEG encoder at observe's quality, base64, and one write of the base64 and a line feed
// to standard output. An empty line answers a failure. Driven by observe_bench.

#include "common/base64.h"
#include "host/actions/jpeg_encoder.h"
#include "host/platform/linux/downscale.h"
#include "host/platform/linux/x11/x_connection.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>
#include <xcb/composite.h>
#include <xcb/shm.h>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

using host::platform::x11::Reply;
using host::platform::x11::XConnection;

namespace {

// One segment, attached once, large enough for any frame on a 2560 × 1600 screen.
struct Segment {
    static constexpr std::size_t kSize = std::size_t{2560} * 1600 * 4;
    xcb_connection_t* c = nullptr;
    xcb_shm_seg_t seg = 0;
    void* address = nullptr;

    explicit Segment(xcb_connection_t* connection) : c(connection) {
        const int id = shmget(IPC_PRIVATE, kSize, IPC_CREAT | 0600);
        if (id < 0) return;
        address = shmat(id, nullptr, 0);
        seg = xcb_generate_id(c);
        Reply<xcb_generic_error_t> error(xcb_request_check(
            c, xcb_shm_attach_checked(c, seg, static_cast<std::uint32_t>(id), 0)));
        shmctl(id, IPC_RMID, nullptr);
        if (error) address = nullptr;
    }
    ~Segment() {
        if (!address) return;
        xcb_shm_detach(c, seg);
        xcb_flush(c);
        shmdt(address);
    }
    Segment(const Segment&) = delete;
    Segment& operator=(const Segment&) = delete;
};

std::string floorAnswer(XConnection& x, Segment& segment, xcb_window_t frame, int width,
                        int height) {
    xcb_connection_t* c = x.get();
    Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, frame), nullptr));
    if (!geometry) return {};
    const int sourceWidth = geometry->width + 2 * geometry->border_width;
    const int sourceHeight = geometry->height + 2 * geometry->border_width;
    if (static_cast<std::size_t>(sourceWidth) * sourceHeight * 4 > Segment::kSize) return {};
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_composite_name_window_pixmap(c, frame, pixmap);
    Reply<xcb_shm_get_image_reply_t> read(xcb_shm_get_image_reply(
        c,
        xcb_shm_get_image(c, pixmap, 0, 0, static_cast<std::uint16_t>(sourceWidth),
                          static_cast<std::uint16_t>(sourceHeight), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP,
                          segment.seg, 0),
        nullptr));
    xcb_free_pixmap(c, pixmap);
    if (!read) return {};

    auto pixels = host::platform::linux_desktop::resample({static_cast<const unsigned char*>(segment.address),
                                                 sourceWidth, sourceHeight,
                                                 static_cast<std::size_t>(sourceWidth) * 4},
                                                width, height);
    host::platform::CapturedImage image{width, height, static_cast<std::size_t>(width) * 4,
                                        std::move(pixels), nullptr};
    auto jpeg = host::encodeJpeg(image, host::kCaptureJpegQuality);
    if (!jpeg) return {};
    std::string line;
    common::appendBase64(line, jpeg->data(), jpeg->size());
    return line;
}

} // namespace

int main() {
    auto x = XConnection::open(XConnection::Capture::Redirect);
    if (!x || !x->redirected() || !x->hasShm()) {
        std::fprintf(stderr, "observe_floor: no X server with Composite and MIT-SHM\n");
        return 1;
    }
    Segment segment(x->get());
    if (!segment.address) {
        std::fprintf(stderr, "observe_floor: no shared-memory segment\n");
        return 1;
    }
    std::string request;
    while (std::getline(std::cin, request)) {
        std::istringstream fields(request);
        xcb_window_t frame = 0;
        int width = 0, height = 0;
        fields >> frame >> width >> height;
        std::string line =
            fields && width > 0 && height > 0 ? floorAnswer(*x, segment, frame, width, height) : "";
        line.push_back('\n');
        for (std::string_view rest = line; !rest.empty();) {
            const ssize_t written = ::write(STDOUT_FILENO, rest.data(), rest.size());
            if (written <= 0) return 1;
            rest.remove_prefix(static_cast<std::size_t>(written));
        }
    }
    return 0;
}
