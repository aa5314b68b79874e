#pragma once
// The accessibility interface, in the host's own vocabulary ("AXFocusedWindow",
// "AXTextField", "AXPress"...): adapters translate their platform into it.
// Status 0 means success; every call is a synchronous request to another process.

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

struct OtherValue {}; // a value of a kind the host does not use

using AttributeValue = std::variant<ElementRef, Point, Size, std::string, OtherValue>;

struct AttributeResult {
    int status = 0;
    std::optional<AttributeValue> value;
};

struct ElementAtResult {
    int status = 0;
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
    virtual int performAction(Element& element, const std::string& action) = 0;
    virtual int setStringAttribute(Element& element, const std::string& attribute,
                                   const std::string& value) = 0;
    // Both denote the same user-interface object.
    virtual bool equal(const Element& a, const Element& b) = 0;
};

} // namespace host::platform
