#include "host/platform/fake/fake_accessibility.h"

namespace host::platform::fake {
namespace {

class FakeElement : public platform::Element {
public:
    FakeElement(NodePtr node, std::shared_ptr<long> live)
        : node(std::move(node)), live_(std::move(live)) {
        ++*live_;
    }
    ~FakeElement() override { --*live_; }
    NodePtr node;

private:
    std::shared_ptr<long> live_;
};

FakeNode& nodeOf(platform::Element& element) {
    return *dynamic_cast<FakeElement&>(element).node;
}

bool contains(const platform::Rect& r, double x, double y) {
    return x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
}

} // namespace

std::optional<std::string> FakeNode::string(const std::string& name) const {
    auto found = attributes.find(name);
    if (found == attributes.end() || !found->second.value) return std::nullopt;
    if (auto* text = std::get_if<std::string>(&*found->second.value)) return *text;
    return std::nullopt;
}

platform::ElementRef FakeAccessibility::elementFor(NodePtr node) {
    return std::make_unique<FakeElement>(std::move(node), live_);
}

platform::ElementRef FakeAccessibility::createApplication(std::int32_t pid) {
    auto found = applications.find(pid);
    return elementFor(found != applications.end() ? found->second : FakeNode::make(pid));
}

platform::ElementRef FakeAccessibility::createSystemWide() {
    return elementFor(systemWide);
}

void FakeAccessibility::setMessagingTimeout(platform::Element& element, float seconds) {
    nodeOf(element).messagingTimeout = seconds;
}

platform::AttributeResult FakeAccessibility::copyAttribute(platform::Element& element,
                                                           const std::string& attribute) {
    if (attribute == throwOnAttribute) throw std::runtime_error("accessibility service failed");
    auto& node = nodeOf(element);
    auto found = node.attributes.find(attribute);
    if (found == node.attributes.end()) return {AxStatus::NoValue, std::nullopt};
    platform::AttributeResult result{found->second.status, std::nullopt};
    if (!found->second.value) return result;
    std::visit(
        [&](const auto& value) {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, NodePtr>) {
                result.value.emplace(elementFor(value));
            } else {
                result.value.emplace(value);
            }
        },
        *found->second.value);
    return result;
}

platform::ElementAtResult FakeAccessibility::elementAtPosition(platform::Element& wide, float x,
                                                               float y) {
    hitPoints.emplace_back(x, y);
    if (&nodeOf(wide) != systemWide.get()) return {AxStatus::Failure, nullptr};
    if (hitStatus != AxStatus::Success) return {hitStatus, nullptr};
    for (const auto& hit : hitAreas)
        if (contains(hit.area, x, y)) return {AxStatus::Success, elementFor(hit.node)};
    return {AxStatus::NoValue, nullptr};
}

std::optional<std::int32_t> FakeAccessibility::pid(platform::Element& element) {
    return nodeOf(element).pid;
}

AxStatus FakeAccessibility::performAction(platform::Element& element, const std::string& action) {
    auto& node = nodeOf(element);
    auto found = node.actions.find(action);
    if (found == node.actions.end()) return AxStatus::Unsupported;
    if (found->second == AxStatus::Success) node.performed.push_back(action);
    return found->second;
}

AxStatus FakeAccessibility::setStringAttribute(platform::Element& element,
                                               const std::string& attribute,
                                               const std::string& value) {
    auto& node = nodeOf(element);
    auto refusal = node.writeStatus.find(attribute);
    if (refusal != node.writeStatus.end() && refusal->second != AxStatus::Success)
        return refusal->second;
    node.set(attribute, value);
    return AxStatus::Success;
}

bool FakeAccessibility::equal(const platform::Element& a, const platform::Element& b) {
    return dynamic_cast<const FakeElement&>(a).node == dynamic_cast<const FakeElement&>(b).node;
}

} // namespace host::platform::fake
