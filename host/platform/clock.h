#pragma once

#include <string>

namespace host::platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Wall-clock time in seconds.
    virtual double now() = 0;
};

class UuidSource {
public:
    virtual ~UuidSource() = default;
    // A fresh random (version 4) UUID in canonical upper-case text.
    virtual std::string randomUuid() = 0;
};

} // namespace host::platform
