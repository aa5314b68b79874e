#include "host/platform/linux/gnome/pipewire_frame.h"

#include "common/unique_handle.h"

#include <pipewire/pipewire.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace host::platform::gnome {
namespace {

using MainLoop = common::Owned<pw_main_loop, pw_main_loop_destroy>;
using Context = common::Owned<pw_context, pw_context_destroy>;
using Core = common::Owned<pw_core, pw_core_disconnect>;
using Stream = common::Owned<pw_stream, pw_stream_destroy>;

void initOnce() {
    static std::once_flag once;
    std::call_once(once, [] { pw_init(nullptr, nullptr); });
}

// What the stream's callbacks share with the caller.
struct Taking {
    pw_main_loop* loop = nullptr;
    pw_stream* stream = nullptr;
    PixelRect wanted;
    spa_video_info_raw format{};
    bool formatKnown = false;
    std::optional<FramePixels> frame;
    bool failed = false;
};

// Memory the host can map: no DMA buffers, which would need a GPU to read.
constexpr std::uint32_t kMappableData = (1u << SPA_DATA_MemFd) | (1u << SPA_DATA_MemPtr);

void stateChanged(void* data, pw_stream_state, pw_stream_state state, const char*) {
    auto* taking = static_cast<Taking*>(data);
    if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED) {
        taking->failed = true;
        pw_main_loop_quit(taking->loop);
    }
}

void paramChanged(void* data, std::uint32_t id, const spa_pod* param) {
    auto* taking = static_cast<Taking*>(data);
    if (param == nullptr || id != SPA_PARAM_Format) return;
    spa_video_info_raw format{};
    if (spa_format_video_raw_parse(param, &format) < 0) return;
    taking->format = format;
    taking->formatKnown = true;

    unsigned char buffer[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    const spa_pod* params[2];
    params[0] = static_cast<const spa_pod*>(
        spa_pod_builder_add_object(&builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers,
                                   SPA_PARAM_BUFFERS_dataType, SPA_POD_Int(kMappableData)));
    params[1] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
        SPA_POD_Id(SPA_META_VideoCrop), SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_region))));
    pw_stream_update_params(taking->stream, params, 2);
}

// The pixels of `rect` (inside the buffer) as B, G, R, X rows.
FramePixels copyOut(const unsigned char* pixels, std::size_t stride, PixelRect rect,
                    std::uint32_t format) {
    FramePixels out;
    out.width = rect.width;
    out.height = rect.height;
    const std::size_t row = static_cast<std::size_t>(rect.width) * 4;
    out.bgrx.resize(row * static_cast<std::size_t>(rect.height));
    for (int y = 0; y < rect.height; ++y) {
        const unsigned char* from =
            pixels + static_cast<std::size_t>(rect.y + y) * stride + std::size_t(rect.x) * 4;
        unsigned char* to = out.bgrx.data() + static_cast<std::size_t>(y) * row;
        std::memcpy(to, from, row);
        // The fourth byte carries no meaning for a window that is not see-through.
        if (format == SPA_VIDEO_FORMAT_BGRA)
            for (std::size_t x = 3; x < row; x += 4)
                to[x] = 255;
    }
    return out;
}

void process(void* data) {
    auto* taking = static_cast<Taking*>(data);
    pw_buffer* buffer = pw_stream_dequeue_buffer(taking->stream);
    if (buffer == nullptr) return;
    spa_buffer* b = buffer->buffer;
    const spa_data& d = b->datas[0];
    // A frame with no pixels (the cursor moved, say) is not the one taken.
    const bool usable = taking->formatKnown && d.data != nullptr && d.chunk != nullptr &&
                        d.chunk->size > 0 && (d.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED) == 0 &&
                        d.chunk->stride > 0;
    if (usable && !taking->frame) {
        const auto stride = static_cast<std::size_t>(d.chunk->stride);
        const auto* pixels = static_cast<const unsigned char*>(d.data) + d.chunk->offset;
        const int rows = static_cast<int>(
            std::min<std::size_t>(taking->format.size.height, (d.chunk->size) / stride));
        const int columns =
            static_cast<int>(std::min<std::size_t>(taking->format.size.width, stride / 4));
        PixelRect bounds{0, 0, columns, rows};
        // The part of the frame that the window's content fills.
        if (auto* crop = static_cast<spa_meta_region*>(
                spa_buffer_find_meta_data(b, SPA_META_VideoCrop, sizeof(spa_meta_region)));
            crop != nullptr && crop->region.size.width > 0 && crop->region.size.height > 0)
            bounds = intersect(bounds, {crop->region.position.x, crop->region.position.y,
                                        static_cast<int>(crop->region.size.width),
                                        static_cast<int>(crop->region.size.height)});
        const PixelRect part = intersect(taking->wanted, bounds);
        if (part.width > 0 && part.height > 0)
            taking->frame = copyOut(pixels, stride, part, taking->format.format);
        else
            taking->failed = true;
        pw_main_loop_quit(taking->loop);
    }
    pw_stream_queue_buffer(taking->stream, buffer);
}

void timedOut(void* data, std::uint64_t) {
    auto* taking = static_cast<Taking*>(data);
    taking->failed = true;
    pw_main_loop_quit(taking->loop);
}

} // namespace

PixelRect intersect(PixelRect a, PixelRect b) {
    const int left = std::max(a.x, b.x);
    const int top = std::max(a.y, b.y);
    const long right = std::min(long(a.x) + a.width, long(b.x) + b.width);
    const long bottom = std::min(long(a.y) + a.height, long(b.y) + b.height);
    if (right <= left || bottom <= top) return {left, top, 0, 0};
    return {left, top, static_cast<int>(right - left), static_cast<int>(bottom - top)};
}

std::optional<FramePixels> takeOneFrame(std::uint32_t node, PixelRect wanted,
                                        std::chrono::milliseconds timeout) {
    initOnce();
    MainLoop loop(pw_main_loop_new(nullptr));
    if (!loop) return std::nullopt;
    Context context(pw_context_new(pw_main_loop_get_loop(loop.get()), nullptr, 0));
    if (!context) return std::nullopt;
    Core core(pw_context_connect(context.get(), nullptr, 0));
    if (!core) return std::nullopt;
    Stream stream(
        pw_stream_new(core.get(), "skelmor window capture",
                      pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                        "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr)));
    if (!stream) return std::nullopt;

    Taking taking;
    taking.loop = loop.get();
    taking.stream = stream.get();
    taking.wanted = wanted;
    pw_stream_events events{};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = &stateChanged;
    events.param_changed = &paramChanged;
    events.process = &process;
    spa_hook listener{};
    pw_stream_add_listener(stream.get(), &listener, &events, &taking);

    unsigned char buffer[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    const spa_rectangle smallest = SPA_RECTANGLE(1, 1);
    const spa_rectangle usual = SPA_RECTANGLE(1280, 1024);
    const spa_rectangle largest = SPA_RECTANGLE(16384, 16384);
    const spa_fraction still = SPA_FRACTION(0, 1);
    const spa_fraction rate = SPA_FRACTION(30, 1);
    const spa_fraction fastest = SPA_FRACTION(1000, 1);
    const spa_pod* formats = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
        SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
        SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
        SPA_POD_CHOICE_ENUM_Id(3, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx,
                               SPA_VIDEO_FORMAT_BGRA),
        SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&usual, &smallest, &largest),
        SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&rate, &still, &fastest)));
    const int connected = pw_stream_connect(
        stream.get(), PW_DIRECTION_INPUT, node,
        static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS),
        &formats, 1);
    if (connected < 0) return std::nullopt;

    spa_source* timer = pw_loop_add_timer(pw_main_loop_get_loop(loop.get()), &timedOut, &taking);
    timespec after{static_cast<time_t>(timeout.count() / 1000),
                   static_cast<long>(timeout.count() % 1000) * 1'000'000};
    pw_loop_update_timer(pw_main_loop_get_loop(loop.get()), timer, &after, nullptr, false);
    pw_main_loop_run(loop.get());
    pw_loop_destroy_source(pw_main_loop_get_loop(loop.get()), timer);
    spa_hook_remove(&listener);
    return std::move(taking.frame);
}

} // namespace host::platform::gnome
