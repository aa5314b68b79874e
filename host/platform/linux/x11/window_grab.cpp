#include "host/platform/linux/x11/window_grab.h"

#include "host/platform/linux/downscale.h"
#include "host/platform/linux/x11/window_tree.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/composite.h>
#include <xcb/shm.h>

namespace host::platform::x11 {
namespace {

using linux_desktop::PixelView;
using linux_desktop::resample;

// Only 32-bit pixels (depth 24 or 32) are read: B, G, R, X or A in memory order.
bool thirtyTwoBitPixels(xcb_connection_t* c, std::uint8_t depth) {
    xcb_format_iterator_t it = xcb_setup_pixmap_formats_iterator(xcb_get_setup(c));
    for (; it.rem > 0; xcb_format_next(&it))
        if (it.data->depth == depth)
            return it.data->bits_per_pixel == 32 && (depth == 24 || depth == 32);
    return false;
}

CapturedImage scaled(PixelView source, int width, int height) {
    return CapturedImage{width, height, static_cast<std::size_t>(width) * 4,
                         resample(source, width, height), nullptr};
}

class Pixmap {
public:
    Pixmap(xcb_connection_t* c, xcb_window_t window) : c_(c), id_(xcb_generate_id(c)) {
        Reply<xcb_generic_error_t> error(
            xcb_request_check(c, xcb_composite_name_window_pixmap_checked(c, window, id_)));
        named_ = !error;
    }
    ~Pixmap() {
        if (named_) xcb_free_pixmap(c_, id_);
    }
    Pixmap(const Pixmap&) = delete;
    Pixmap& operator=(const Pixmap&) = delete;
    bool named() const { return named_; }
    xcb_pixmap_t id() const { return id_; }

private:
    xcb_connection_t* c_;
    xcb_pixmap_t id_;
    bool named_ = false;
};

} // namespace

// A System V shared-memory segment known to the X server.
struct WindowGrabber::Segment {
    xcb_connection_t* c = nullptr;
    xcb_shm_seg_t seg = 0;
    void* address = nullptr;
    std::size_t size = 0;

    static std::unique_ptr<Segment> create(xcb_connection_t* c, std::size_t size) {
        const int id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
        if (id < 0) return nullptr;
        void* address = shmat(id, nullptr, 0);
        std::unique_ptr<Segment> segment;
        if (address != reinterpret_cast<void*>(-1)) {
            const xcb_shm_seg_t seg = xcb_generate_id(c);
            Reply<xcb_generic_error_t> error(xcb_request_check(
                c, xcb_shm_attach_checked(c, seg, static_cast<std::uint32_t>(id), 0)));
            if (error)
                shmdt(address);
            else
                segment.reset(new Segment{c, seg, address, size});
        }
        // Once both sides are attached the segment can be marked for removal: it then goes
        // away with the last detach, even if this process dies.
        shmctl(id, IPC_RMID, nullptr);
        return segment;
    }

    ~Segment() {
        xcb_shm_detach(c, seg);
        xcb_flush(c);
        shmdt(address);
    }
};

WindowGrabber::WindowGrabber(std::shared_ptr<DisplayLink> link) : link_(std::move(link)) {}
WindowGrabber::~WindowGrabber() = default;

std::optional<CapturedImage> WindowGrabber::grab(std::uint32_t windowId, int width, int height) {
    if (auto x = link_->current(); x != x_) {
        segment_.reset(); // attached on the connection that went: made again on this one
        x_ = std::move(x);
    }
    if (!x_ || !x_->redirected() || width <= 0 || height <= 0) return std::nullopt;
    xcb_connection_t* c = x_->get();
    auto frame = frameOf(*x_, windowId);
    if (!frame || *frame == x_->root()) return std::nullopt;
    // Only windows on screen: the frame and the window itself mapped (a minimised window's
    // frame may still hold its last picture).
    auto frameState = xcb_get_window_attributes(c, *frame);
    auto windowState = xcb_get_window_attributes(c, windowId);
    auto geometryCookie = xcb_get_geometry(c, *frame);
    Reply<xcb_get_window_attributes_reply_t> frameAttributes(
        xcb_get_window_attributes_reply(c, frameState, nullptr));
    Reply<xcb_get_window_attributes_reply_t> windowAttributes(
        xcb_get_window_attributes_reply(c, windowState, nullptr));
    Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, geometryCookie, nullptr));
    if (!frameAttributes || frameAttributes->map_state != XCB_MAP_STATE_VIEWABLE ||
        !windowAttributes || windowAttributes->map_state != XCB_MAP_STATE_VIEWABLE)
        return std::nullopt;
    if (!geometry || !thirtyTwoBitPixels(c, geometry->depth)) return std::nullopt;
    // The pixmap holds the frame with its border; it fails for windows not on screen.
    Pixmap pixmap(c, *frame);
    if (!pixmap.named()) return std::nullopt;
    const int sourceWidth = geometry->width + 2 * geometry->border_width;
    const int sourceHeight = geometry->height + 2 * geometry->border_width;
    if (x_->hasShm())
        if (auto image = readShm(pixmap.id(), sourceWidth, sourceHeight, width, height))
            return image;
    return readPlain(pixmap.id(), sourceWidth, sourceHeight, width, height);
}

std::optional<CapturedImage> WindowGrabber::readShm(xcb_drawable_t pixmap, int sourceWidth,
                                                    int sourceHeight, int width, int height) {
    xcb_connection_t* c = x_->get();
    const std::size_t size = static_cast<std::size_t>(sourceWidth) * sourceHeight * 4;
    if (!segment_ || segment_->size < size) {
        segment_.reset();
        segment_ = Segment::create(c, size);
        if (!segment_) return std::nullopt;
    }
    Reply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
        c,
        xcb_shm_get_image(c, pixmap, 0, 0, static_cast<std::uint16_t>(sourceWidth),
                          static_cast<std::uint16_t>(sourceHeight), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP,
                          segment_->seg, 0),
        nullptr));
    if (!reply) return std::nullopt;
    return scaled({static_cast<const unsigned char*>(segment_->address), sourceWidth, sourceHeight,
                   static_cast<std::size_t>(sourceWidth) * 4},
                  width, height);
}

std::optional<CapturedImage> WindowGrabber::readPlain(xcb_drawable_t pixmap, int sourceWidth,
                                                      int sourceHeight, int width, int height) {
    xcb_connection_t* c = x_->get();
    Reply<xcb_get_image_reply_t> reply(
        xcb_get_image_reply(c,
                            xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, 0, 0,
                                          static_cast<std::uint16_t>(sourceWidth),
                                          static_cast<std::uint16_t>(sourceHeight), ~0u),
                            nullptr));
    if (!reply) return std::nullopt;
    const std::size_t stride = static_cast<std::size_t>(sourceWidth) * 4;
    if (static_cast<std::size_t>(xcb_get_image_data_length(reply.get())) < stride * sourceHeight)
        return std::nullopt;
    return scaled({xcb_get_image_data(reply.get()), sourceWidth, sourceHeight, stride}, width,
                  height);
}

} // namespace host::platform::x11
