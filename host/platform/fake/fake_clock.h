#pragma once
// A wall clock that moves only when told, and UUIDs that are predictable or random.

#include "host/platform/clock.h"

#include <cstdint>
#include <string>

namespace host::platform::fake {

class FakeClock : public Clock {
public:
    explicit FakeClock(double start = 1'000'000.0) : time(start) {}
    double time;
    void advance(double seconds) { time += seconds; }
    double now() override { return time; }
};

class FakeUuids : public UuidSource {
public:
    enum class Mode { Sequential, Random };
    explicit FakeUuids(Mode mode = Mode::Sequential) : mode_(mode) {}
    // Sequential: 00000000-0000-4000-8000-000000000001, ...02, ... (valid version 4 text).
    // Random: fresh random version 4 UUIDs, as the real source gives.
    std::string randomUuid() override;
    std::uint64_t issued() const { return count_; }

private:
    Mode mode_;
    std::uint64_t count_ = 0;
};

} // namespace host::platform::fake
