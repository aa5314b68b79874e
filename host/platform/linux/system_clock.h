#pragma once
// The real wall clock and random UUIDs.

#include "host/platform/clock.h"

namespace host::platform::linux_desktop {

class SystemClock final : public Clock {
public:
    double now() override;
};

class RandomUuids final : public UuidSource {
public:
    std::string randomUuid() override;
};

} // namespace host::platform::linux_desktop
