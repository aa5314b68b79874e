#include "host/channel/request_loop.h"

#include "host/actions/dispatcher.h"
#include "host/channel/request.h"
#include "host/session/host.h"

#include <memory>
#include <unistd.h>
#include <utility>

namespace host {

RequestLoop::RequestLoop(Host& host, platform::Platform& platform, MainQueue& queue,
                         AnswerSink& answers, std::function<void()> overflow)
    : host_(host), platform_(platform), queue_(queue), answers_(answers),
      overflow_(std::move(overflow)) {}

void RequestLoop::chunk(std::string_view bytes) {
    auto& buffer = host_.buffer();
    buffer.append(bytes);
    if (buffer.size() > pendingLimit) {
        overflow_();
        buffer.clear(); // only reached when a test's overflow returns
        return;
    }
    std::size_t start = 0;
    for (std::size_t end; (end = buffer.find('\n', start)) != std::string::npos; start = end + 1)
        queueRequest(std::string_view(buffer).substr(start, end - start));
    buffer.erase(0, start);
}

void RequestLoop::queueRequest(std::string_view line) {
    auto request = readRequest(line);
    if (!request) return; // dropped silently
    // Shared, so the job can be copied without copying the parameters.
    auto job = std::make_shared<Request>(std::move(*request));
    Host* host = &host_;
    platform::Platform* platform = &platform_;
    AnswerSink* answers = &answers_;
    queue_.post([host, platform, answers, job] {
        handle(*host, *platform, job->method, job->params,
               [answers, id = job->id](Outcome outcome) {
                   if (auto line = answerLine(id, outcome)) answers->write(*line);
               });
    });
}

void exitOnOverflow() {
    ::_exit(2);
}

} // namespace host
