#pragma once
// Questions to the platform that one request may have answered beside the main thread, so
// that its waits on the display server, the buses and the file system overlap. Only
// questions that change nothing are asked this way, and their answers are looked at in the
// order the request makes its checks, so the first failure is the same either way.

#include <future>
#include <utility>

namespace host::platform {

enum class SideQueries {
    // Each question is answered when its answer is wanted, on the thread that wants it:
    // exactly as if it had been asked there (the in-memory desktop, whose ports are not
    // thread-safe).
    WhenWanted,
    // Each question starts at once on a thread of its own (or, where no thread can be
    // started, when it is wanted). The window server, bundle, code-signing and workspace
    // ports and the session's questions must then answer on any thread, several at once.
    AtOnce,
};

// Starts `question`; its answer, or what it threw, comes from the future's get(). A future
// dropped unread waits for its question to end, so what it refers to must outlive it.
template <typename Question> auto ask(SideQueries mode, Question&& question) {
    const auto launch = mode == SideQueries::AtOnce ? std::launch::async | std::launch::deferred
                                                    : std::launch::deferred;
    return std::async(launch, std::forward<Question>(question));
}

} // namespace host::platform
