#include "host/platform/fake/fake_capture.h"

#include <stdexcept>
#include <thread>

namespace host::platform::fake {

platform::CapturedImage paintWindowImage(int width, int height) {
    auto lineEnd = [width](int line) { return width / 5 + 40 + (line * 37 % 11) * width / 16; };
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
            } else if (y < height * 7 / 10 && y % 22 < 9 && x < lineEnd(y / 22) &&
                       (x / 6 + y / 22) % 8 != 0 && ((x * 5 + y * 3) % 7 < 2 || y % 22 == 4)) {
                b = g = r = 40; // lines of glyph-like strokes, words apart, ragged right
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
    if (throwing) throw std::runtime_error("capture service unavailable");
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
