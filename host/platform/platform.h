#pragma once
// Every platform service the host uses, each behind its own port. The real adapter lives
// in linux/, an in-memory desktop for tests in fake/.

#include "host/platform/accessibility_port.h"
#include "host/platform/bundle_port.h"
#include "host/platform/capture_port.h"
#include "host/platform/clock.h"
#include "host/platform/code_signing_port.h"
#include "host/platform/event_port.h"
#include "host/platform/session_port.h"
#include "host/platform/side_queries.h"
#include "host/platform/window_server_port.h"
#include "host/platform/workspace_port.h"

namespace host::platform {

struct Platform {
    SessionPort& session;
    BundlePort& bundles;
    CodeSigningPort& codeSigning;
    WorkspacePort& workspace;
    WindowServerPort& windowServer;
    CapturePort& capture;
    AccessibilityPort& accessibility;
    EventPort& events;
    Clock& clock;
    UuidSource& uuids;
    SideQueries sideQueries = SideQueries::WhenWanted;
};

} // namespace host::platform
