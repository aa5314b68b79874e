#include "world.h"

#include "host/actions/dispatcher.h"

#include "host/inventory/identity.h"

#include <stdexcept>

namespace host::testing {

std::string codeOf(const std::optional<Outcome>& outcome) {
    if (!outcome) return "";
    if (std::holds_alternative<common::Json>(*outcome)) return "ok";
    if (auto* error = std::get_if<HostError>(&*outcome)) return std::string(error->name());
    return "engine_failed";
}

World::World() {
    desktop.installApp(notes);
    desktop.launch(notes, kPid);
    desktop.addWindow(kPid, kWindow, kBounds, "Shopping list");
    focusedWindow = desktop.focus(kPid, kBounds);
    app = identity(desktop.platform(), notes.location);
}

std::optional<Outcome> World::call(const std::string& method, const common::Json& params) {
    std::optional<Outcome> outcome;
    handle(host, desktop.platform(), method, params,
           [&outcome](Outcome answer) { outcome = std::move(answer); });
    queue.runAll();
    return outcome;
}

common::Json World::targetParams() const {
    return {{"app", app}, {"target", {{"windowId", kWindow}, {"pid", kPid}}}};
}

common::Json World::observed() {
    auto outcome = call("observe", targetParams());
    if (codeOf(outcome) != "ok") throw std::runtime_error("observe failed: " + codeOf(outcome));
    return std::get<common::Json>(*outcome);
}

common::Json World::actionParams(const std::string& frameId) const {
    auto params = targetParams();
    params["frameId"] = frameId;
    return params;
}

} // namespace host::testing

#include "acting.h"

namespace host::testing {

Acting::Acting() {
    application = desktop.accessibility.applications[kPid];
    field = FakeNode::make(kPid);
    field->set("AXRole", std::string("AXTextField"));
    field->set("AXWindow", focusedWindow);
    field->actions = {{"AXScrollDownByPage", AxStatus::Success},
                      {"AXScrollUpByPage", AxStatus::Success}};
    application->set("AXFocusedUIElement", field);
    button = FakeNode::make(kPid);
    button->actions["AXPress"] = AxStatus::Success;
    desktop.accessibility.hitAreas.push_back({{kBounds.x, kBounds.y, 200, 100}, button});
}

std::string Acting::act(const std::string& method, const common::Json& extra,
                        const std::function<void(Acting&)>& setup) {
    frameId = observed()["frameId"].get<std::string>();
    if (setup) setup(*this);
    queue.runAll();
    auto params = actionParams(frameId);
    if (extra.is_object()) {
        params.update(extra);
        for (auto it = extra.begin(); it != extra.end(); ++it)
            if (it.value().is_null()) params.erase(it.key());
    }
    auto code = codeFor(method, params);
    remembered = host.frames().takeFrame(frameId).has_value();
    return code;
}

} // namespace host::testing
