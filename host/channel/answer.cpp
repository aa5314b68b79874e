#include "host/channel/answer.h"

#include <cerrno>
#include <cmath>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace host {
namespace {

// JSON has no NaN and no infinity: a value holding one cannot be written faithfully (the
// writer would put null in its place). Walked with an explicit stack, as values may be
// nested deeper than the main thread's stack allows recursion.
bool hasJsonForm(const common::Json& value) {
    std::vector<const common::Json*> pending{&value};
    while (!pending.empty()) {
        const common::Json* next = pending.back();
        pending.pop_back();
        if (next->is_number_float() && !std::isfinite(next->get<double>())) return false;
        if (next->is_structured()) {
            for (const auto& member : *next)
                pending.push_back(&member);
        }
    }
    return true;
}

struct OutcomeMembers {
    common::Json& answer;
    void operator()(const common::Json& result) const {
        // A method's result is always an object; anything else is a fault of the engine.
        if (result.is_object())
            answer["result"] = result;
        else
            answer["error"] = wireName(ErrorCode::EngineFailed);
    }
    void operator()(const HostError& error) const { answer["error"] = error.name(); }
    void operator()(const EngineFailure&) const {
        answer["error"] = wireName(ErrorCode::EngineFailed);
    }
};

} // namespace

std::optional<std::string> answerLine(const std::string& id, const Outcome& outcome) {
    try {
        common::Json answer = common::Json::object();
        answer["id"] = id;
        std::visit(OutcomeMembers{answer}, outcome);
        if (!hasJsonForm(answer)) return std::nullopt;
        std::string line = common::compact(answer);
        line.push_back('\n');
        return line;
    } catch (...) {
        return std::nullopt;
    }
}

void FdAnswerSink::write(std::string_view line) {
    while (!line.empty()) {
        const ssize_t written = ::write(fd_, line.data(), line.size());
        if (written > 0) {
            line.remove_prefix(static_cast<std::size_t>(written));
        } else if (written < 0 && errno == EINTR) {
            continue;
        } else if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // A non-blocking descriptor inherited from the client: wait until it drains.
            pollfd ready{fd_, POLLOUT, 0};
            ::poll(&ready, 1, -1);
        } else {
            return;
        }
    }
}

} // namespace host
