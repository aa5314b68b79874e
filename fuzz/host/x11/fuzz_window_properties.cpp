// One top-level window's properties, any type, format and bytes, through the decoding the
// window list does: a title, when there is one, is valid UTF-8; alpha is in [0, 1] and 1
// without a compositor; an override-redirect window is never on layer 0; a layer is given
// exactly to windows with a client or override-redirect, and the desktop flag is that of the
// desktop layer; an iconic client is left out.
//
// The input: a flags byte (1 override-redirect, 2 composited, 4 a client with WM_STATE was
// found), the client's WM_STATE, then per property (_NET_WM_NAME, WM_NAME,
// _NET_WM_WINDOW_TYPE, _NET_WM_WINDOW_OPACITY, the frame's _NET_WM_WINDOW_OPACITY,
// _NET_WM_STATE) a type selector (kTypes), a format selector (kFormats), a big-endian
// 16-bit length and that many bytes (fewer when the input ends). Properties the input does
// not reach are absent. Each value is copied to the end of a buffer of its own at an odd
// address, so that reading past it or reading it as aligned words is caught.

#include "fuzz/max_len.h"
#include "host/platform/linux/x11/window_facts.h"
#include "tests/support/x11_atoms.h"

#include <glib.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

using namespace host::platform::x11;
namespace layer = host::platform::linux_desktop::layer;

namespace {

// The predefined atoms keep their numbers, the rest are numbered from 400: the seeds hold
// those numbers.
const Atoms atoms = test_support::numberedAtoms(400);

// None (an absent property), STRING, UTF8_STRING, COMPOUND_TEXT, ATOM, CARDINAL and one
// type the host does not know.
const std::array<xcb_atom_t, 7> kTypes{XCB_NONE,
                                       XCB_ATOM_STRING,
                                       atoms.utf8String,
                                       atoms.compoundText,
                                       XCB_ATOM_ATOM,
                                       XCB_ATOM_CARDINAL,
                                       999};
// The formats a server replies with.
constexpr std::array<std::uint8_t, 4> kFormats{0, 8, 16, 32};

constexpr std::size_t kHeader = 2;
constexpr std::size_t kPropertyHeader = 4;
constexpr std::size_t kProperties = 6;
// Titles are read whole, however long; two of a few kilobytes (past the 4096 bytes the
// window list asks for first) and the short properties fit.
constexpr std::size_t kMaxLen = kHeader + kProperties * kPropertyHeader + 2 * 5000 + 512;

// The value bytes, each in a buffer that ends where the value does, at an odd address.
struct Stored {
    std::vector<std::vector<std::byte>> buffers;

    PropertyValue take(const std::uint8_t*& data, std::size_t& size) {
        if (size < kPropertyHeader) {
            size = 0;
            return {};
        }
        PropertyValue value{
            kTypes[data[0] % kTypes.size()], kFormats[data[1] % kFormats.size()], {}};
        const std::size_t length = std::min<std::size_t>(
            (static_cast<std::size_t>(data[2]) << 8 | data[3]), size - kPropertyHeader);
        data += kPropertyHeader;
        size -= kPropertyHeader;
        auto& buffer = buffers.emplace_back(length + 1);
        if (length) std::memcpy(buffer.data() + 1, data, length);
        value.bytes = std::span<const std::byte>(buffer.data() + 1, length);
        data += length;
        size -= length;
        return value;
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzzing::defaultMaxLen(argc, argv, kMaxLen);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeader) return 0;
    WindowFacts facts;
    facts.overrideRedirect = (data[0] & 1) != 0;
    facts.composited = (data[0] & 2) != 0;
    if (data[0] & 4) facts.clientState = data[1];
    data += kHeader;
    size -= kHeader;

    Stored stored;
    for (PropertyValue* property : {&facts.netWmName, &facts.wmName, &facts.windowType,
                                    &facts.opacity, &facts.frameOpacity, &facts.netWmState})
        *property = stored.take(data, size);

    const auto traits = traitsOf(facts, atoms);
    if (!traits) {
        if (facts.clientState == 3) return 0;
        // Otherwise only _NET_WM_STATE_HIDDEN leaves a window out, and only in a
        // format-32 value.
        if (facts.netWmState.format != 32 || facts.netWmState.bytes.size() < 4) std::abort();
        return 0;
    }
    if (facts.clientState == 3) std::abort();

    if (traits->name &&
        !g_utf8_validate(traits->name->data(), static_cast<gssize>(traits->name->size()), nullptr))
        std::abort();
    if (!(traits->alpha >= 0.0 && traits->alpha <= 1.0)) std::abort();
    if (!facts.composited && traits->alpha != 1.0) std::abort();
    if (traits->layer.has_value() != (facts.clientState.has_value() || facts.overrideRedirect))
        std::abort();
    if (facts.overrideRedirect && traits->layer == layer::kNormal) std::abort();
    if (traits->desktop != (traits->layer == layer::kDesktop)) std::abort();
    return 0;
}
