#pragma once
// The accessibility tree of the in-memory desktop. Nodes are user-interface objects; the
// port hands out owned elements that point at them, and counts the elements still held so
// tests can see that every path releases them.

#include "host/platform/accessibility_port.h"

#include <map>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace host::platform::fake {

using platform::AxStatus;

struct FakeNode;
using NodePtr = std::shared_ptr<FakeNode>;
using FakeValue =
    std::variant<NodePtr, platform::Point, platform::Size, std::string, platform::OtherValue>;

struct FakeAttribute {
    AxStatus status = AxStatus::Success;
    std::optional<FakeValue> value;
};

struct FakeNode {
    std::optional<std::int32_t> pid;
    std::map<std::string, FakeAttribute> attributes; // missing: NoValue and no value
    std::map<std::string, AxStatus> actions;         // supported actions and their status
    std::map<std::string, AxStatus> writeStatus;     // a failure refuses the write
    std::vector<std::string> performed;              // actions performed, in order
    std::optional<float> messagingTimeout;

    static NodePtr make(std::optional<std::int32_t> pid = std::nullopt) {
        auto node = std::make_shared<FakeNode>();
        node->pid = pid;
        return node;
    }
    void set(const std::string& name, FakeValue value, AxStatus status = AxStatus::Success) {
        attributes[name] = FakeAttribute{status, std::move(value)};
    }
    std::optional<std::string> string(const std::string& name) const;
};

struct HitArea {
    platform::Rect area;
    NodePtr node;
};

class FakeAccessibility : public platform::AccessibilityPort {
public:
    std::map<std::int32_t, NodePtr> applications; // a pid not here gets an empty node
    NodePtr systemWide = FakeNode::make();
    std::vector<HitArea> hitAreas;          // front to back
    AxStatus hitStatus = AxStatus::Success; // a failure: the hit test fails with it
    std::vector<std::pair<float, float>> hitPoints;
    std::string throwOnAttribute; // reading this attribute throws (a broken service)

    platform::ElementRef createApplication(std::int32_t pid) override;
    platform::ElementRef createSystemWide() override;
    void setMessagingTimeout(platform::Element& element, float seconds) override;
    platform::AttributeResult copyAttribute(platform::Element& element,
                                            const std::string& attribute) override;
    platform::ElementAtResult elementAtPosition(platform::Element& systemWide, float x,
                                                float y) override;
    std::optional<std::int32_t> pid(platform::Element& element) override;
    AxStatus performAction(platform::Element& element, const std::string& action) override;
    AxStatus setStringAttribute(platform::Element& element, const std::string& attribute,
                                const std::string& value) override;
    bool equal(const platform::Element& a, const platform::Element& b) override;

    // Elements handed out and not yet released.
    long liveElements() const { return *live_; }
    platform::ElementRef elementFor(NodePtr node);

private:
    std::shared_ptr<long> live_ = std::make_shared<long>(0);
};

} // namespace host::platform::fake
