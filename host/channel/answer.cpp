#include "host/channel/answer.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace host {
namespace {

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
