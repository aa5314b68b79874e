#include "host/platform/linux/bundles/process_bundle.h"

#include <climits>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

#include "host/platform/linux/bundles/info_plist.h"

namespace host::bundles {
namespace {

constexpr std::string_view kDeletedSuffix = " (deleted)";

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string exeLinkOf(std::int32_t pid) {
    return "/proc/" + std::to_string(pid) + "/exe";
}

} // namespace

std::optional<std::string> executableLink(std::int32_t pid) {
    if (pid <= 0) return std::nullopt;
    char buffer[PATH_MAX + 1];
    ssize_t length = ::readlink(exeLinkOf(pid).c_str(), buffer, PATH_MAX);
    if (length <= 0 || buffer[0] != '/') return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(length));
}

std::optional<ProcessExecutable> processExecutable(std::int32_t pid) {
    auto link = executableLink(pid);
    if (!link) return std::nullopt;
    return processExecutable(pid, std::move(*link));
}

std::optional<ProcessExecutable> processExecutable(std::int32_t pid, std::string path) {
    struct stat running {};
    if (::stat(exeLinkOf(pid).c_str(), &running) != 0) return std::nullopt;
    struct stat onDisk {};
    if (::stat(path.c_str(), &onDisk) == 0 && sameFile(running, onDisk))
        return ProcessExecutable{std::move(path), false};
    if (endsWith(path, kDeletedSuffix)) path.resize(path.size() - kDeletedSuffix.size());
    return ProcessExecutable{std::move(path), true};
}

std::optional<std::string> bundleOfExecutable(const std::string& executablePath) {
    constexpr std::string_view inner = "/Contents/MacOS/";
    // Each "/Contents/MacOS/" in the path, innermost first, preceded by a folder X.app.
    std::size_t at = executablePath.rfind(inner);
    while (at != std::string::npos) {
        std::string_view root(executablePath.data(), at);
        std::size_t slash = root.rfind('/');
        std::string_view name = slash == std::string_view::npos ? root : root.substr(slash + 1);
        if (name.size() > 4 && endsWith(name, ".app") && executablePath.size() > at + inner.size())
            return std::string(root);
        if (at == 0) break;
        at = executablePath.rfind(inner, at - 1);
    }
    return std::nullopt;
}

std::optional<std::string> bundleIdentifierOfProcess(std::int32_t pid) {
    auto executable = processExecutable(pid);
    if (!executable) return std::nullopt;
    auto bundle = bundleOfExecutable(executable->path);
    if (!bundle) return std::nullopt;
    PlistPtr info = readInfoPlist(*bundle);
    if (!info) return std::nullopt;
    return dictString(info.get(), "CFBundleIdentifier");
}

} // namespace host::bundles
