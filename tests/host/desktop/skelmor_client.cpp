#include "skelmor_client.h"

namespace desktop_test {

std::string SkelmorClient::send(const std::string& method, const common::Json& params) {
    // Appended, not concatenated: gcc 12 at -O3 warns falsely on "r" + std::string.
    std::string id = std::to_string(next_++);
    id.insert(0, 1, 'r');
    process_.send(common::compact({{"id", id}, {"method", method}, {"params", params}}));
    return id;
}

std::optional<common::Json> SkelmorClient::answer(const std::string& id,
                                                  std::chrono::milliseconds limit) {
    if (auto it = early_.find(id); it != early_.end()) {
        common::Json found = std::move(it->second);
        early_.erase(it);
        return found;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        auto line = process_.readLine(left);
        if (!line) return std::nullopt;
        auto parsed = common::parseStrict(*line);
        if (!parsed || !parsed->is_object() || !parsed->contains("id")) continue;
        std::string got = (*parsed)["id"].is_string() ? (*parsed)["id"].get<std::string>() : "";
        if (got == id) return parsed;
        early_[got] = std::move(*parsed);
    }
}

std::optional<common::Json> SkelmorClient::call(const std::string& method,
                                                const common::Json& params,
                                                std::chrono::milliseconds limit) {
    return answer(send(method, params), limit);
}

std::string errorOf(const std::optional<common::Json>& answer) {
    if (!answer) return "(no answer)";
    auto it = answer->find("error");
    return it != answer->end() && it->is_string() ? it->get<std::string>() : "";
}

common::Json resultOf(const std::optional<common::Json>& answer) {
    if (!answer) return nullptr;
    auto it = answer->find("result");
    return it != answer->end() ? *it : common::Json();
}

} // namespace desktop_test
