#pragma once
// The process's connection to the X server, made again when the server has gone away and
// come back (a display restart, a session switch). The window list, capture and key ports
// ask for it on every use, so the host follows its display without a restart.
//
// Thread-safety: any thread; a connection handed out stays valid while its holder keeps it.

#include "host/platform/linux/x11/x_connection.h"

#include <memory>
#include <mutex>

namespace host::platform::x11 {

class DisplayLink {
public:
    explicit DisplayLink(std::shared_ptr<XConnection> first) : x_(std::move(first)) {}

    // The connection, reopened (with the capture's redirection) when the last one broke;
    // null while no server answers.
    std::shared_ptr<XConnection> current() {
        std::lock_guard lock(mutex_);
        if (!x_ || !x_->usable()) x_ = XConnection::open();
        return x_;
    }

private:
    std::mutex mutex_;
    std::shared_ptr<XConnection> x_;
};

} // namespace host::platform::x11
