#include "host/platform/fake/fake_clock.h"

#include "host/platform/random_uuid.h"

#include <cstdio>

namespace host::platform::fake {

std::string FakeUuids::randomUuid() {
    ++count_;
    char text[37];
    if (mode_ == Mode::Sequential) {
        std::snprintf(text, sizeof text, "00000000-0000-4000-8000-%012llX",
                      static_cast<unsigned long long>(count_));
        return text;
    }
    return randomUuidText();
}

} // namespace host::platform::fake
