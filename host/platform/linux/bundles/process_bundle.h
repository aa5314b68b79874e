#pragma once
// Processes and the bundles they run from, read from /proc.

#include <cstdint>
#include <optional>
#include <string>

namespace host::bundles {

struct ProcessExecutable {
    std::string path;      // where the running image was started from
    bool replaced = false; // that file has since been deleted or replaced on disk
};

// The executable of a process, from /proc/PID/exe. The kernel appends " (deleted)" to
// the link once the file is unlinked (replaced by a new one, for instance); the suffix is
// removed then, but kept when it is really part of the file's name.
std::optional<ProcessExecutable> processExecutable(std::int32_t pid);

// The target of /proc/PID/exe as the kernel spells it, " (deleted)" included, and
// processExecutable for a link already read: a scan of every process reads the link and
// looks further only at the few that run from a bundle.
std::optional<std::string> executableLink(std::int32_t pid);
std::optional<ProcessExecutable> processExecutable(std::int32_t pid, std::string link);

// The bundle folder (…/X.app) whose Contents/MacOS/ holds `executablePath`; the innermost
// one when bundles are nested.
std::optional<std::string> bundleOfExecutable(const std::string& executablePath);

// The CFBundleIdentifier of the bundle that process `pid` runs from, if any. The session
// adapter uses it for the frontmost application and for the host's own bundle.
std::optional<std::string> bundleIdentifierOfProcess(std::int32_t pid);

} // namespace host::bundles
