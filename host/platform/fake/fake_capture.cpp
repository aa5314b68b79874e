#include "host/platform/fake/fake_capture.h"

#include <thread>

namespace host::platform::fake {

platform::CapturedImage paintWindowImage(int width, int height) {
    platform::CapturedImage image;
    image.width = width;
    image.height = height;
    image.stride = static_cast<std::size_t>(width) * 4;
    image.bgrx.resize(image.stride * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        unsigned char* row = image.bgrx.data() + image.stride * static_cast<std::size_t>(y);
        for (int x = 0; x < width; ++x) {
            unsigned char b = 236, g = 236, r = 236; // window background
            if (y < 28) {
                b = 214, g = 210, r = 206; // title bar
            } else if (x < width / 5) {
                b = 224, g = 220, r = 216; // side bar
                if ((y / 22) % 3 == 0) b = 200, g = 120, r = 40;
            } else if (y % 18 < 11 && (x * 7 + y / 18 * 13) % 61 < 40 && x < width - 40) {
                int ink = ((x * 31) ^ (y * 17)) & 63; // glyph-like strokes
                b = g = r = static_cast<unsigned char>(20 + ink);
            }
            row[4 * x] = b;
            row[4 * x + 1] = g;
            row[4 * x + 2] = r;
            row[4 * x + 3] = 255;
        }
    }
    return image;
}

void FakeCapture::shareableContent(
    std::function<void(std::optional<std::vector<platform::ShareableWindow>>)> done) {
    ++contentQueries;
    complete([this, done = std::move(done)] { done(content); });
}

void FakeCapture::captureWindow(std::uint32_t windowId, int width, int height,
                                std::function<void(std::optional<platform::CapturedImage>)> done) {
    CaptureRequest request{windowId, width, height};
    captures.push_back(request);
    complete([this, request, done = std::move(done)] {
        if (render) {
            done(render(request));
        } else {
            done(paintWindowImage(request.width, request.height));
        }
    });
}

void FakeCapture::complete(std::function<void()> completion) {
    if (hold) {
        held_.push_back(std::move(completion));
    } else {
        completion();
    }
}

bool FakeCapture::releaseNext() {
    if (held_.empty()) return false;
    auto completion = std::move(held_.front());
    held_.pop_front();
    completion();
    return true;
}

bool FakeCapture::releaseNextOnThread() {
    if (held_.empty()) return false;
    auto completion = std::move(held_.front());
    held_.pop_front();
    std::thread(std::move(completion)).join();
    return true;
}

void FakeCapture::releaseAll() {
    while (releaseNext()) {
    }
}

} // namespace host::platform::fake
