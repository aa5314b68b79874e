#pragma once
// The accessibility interface, in the host's own vocabulary ("AXFocusedWindow",
// "AXTextField", "AXPress"...): adapters translate their platform into it.
// Every call is a synchronous request to another process.

#include "host/platform/geometry.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace host::platform {

// One user-interface object of some process, owned by whoever holds the pointer.
class Element {
public:
    virtual ~Element() = default;
};
using ElementRef = std::unique_ptr<Element>;

// How a request ended. The host only tells success from failure; the kinds of failure say
// why, for whoever reads a trace or a test.
enum class AxStatus {
    Success,
    Failure,        // the request failed or timed out (a hung application)
    NoValue,        // the attribute exists but has no value here
    Unsupported,    // attribute, action or interface not offered
    InvalidElement, // the element is gone, or is not one this call takes
    NoService,      // no accessibility service in this session
};

struct OtherValue {}; // a value of a kind the host does not use

using AttributeValue = std::variant<ElementRef, Point, Size, std::string, OtherValue>;

struct AttributeResult {
    AxStatus status = AxStatus::Success;
    std::optional<AttributeValue> value;
};

struct ElementAtResult {
    AxStatus status = AxStatus::Success;
    ElementRef element;
};

class AccessibilityPort {
public:
    virtual ~AccessibilityPort() = default;
    virtual ElementRef createApplication(std::int32_t pid) = 0;
    virtual ElementRef createSystemWide() = 0;
    // Later requests to `element` give up after `seconds`.
    virtual void setMessagingTimeout(Element& element, float seconds) = 0;
    virtual AttributeResult copyAttribute(Element& element, const std::string& attribute) = 0;
    virtual ElementAtResult elementAtPosition(Element& systemWide, float x, float y) = 0;
    // The process of the element's application; nothing when it cannot be told.
    virtual std::optional<std::int32_t> pid(Element& element) = 0;
    virtual AxStatus performAction(Element& element, const std::string& action) = 0;
    virtual AxStatus setStringAttribute(Element& element, const std::string& attribute,
                                        const std::string& value) = 0;
    // Both denote the same user-interface object.
    virtual bool equal(const Element& a, const Element& b) = 0;
};

} // namespace host::platform
