#include "host/platform/linux/system_clock.h"

#include "host/platform/random_uuid.h"

#include <chrono>

namespace host::platform::linux_desktop {

double SystemClock::now() {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

std::string RandomUuids::randomUuid() {
    return randomUuidText();
}

} // namespace host::platform::linux_desktop
