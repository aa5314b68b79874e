#include "host/platform/linux/x11/window_tree.h"

#include "host/platform/linux/x11/client_pid.h"
#include "host/platform/linux/x11/properties.h"
#include "host/platform/linux/x11/window_facts.h"

#include <span>

namespace host::platform::x11 {
namespace {

// How far below a frame the window manager may have put the client.
constexpr int kSearchDepth = 3;

struct Candidate {
    xcb_window_t frame = XCB_NONE;
    bool overrideRedirect = false;
    Rect bounds;
    std::optional<xcb_window_t> client;
    std::uint32_t clientState = 0;
};

// Finds, level by level and for all frames at once, the descendant that carries WM_STATE.
void findClients(const XConnection& x, std::vector<Candidate>& candidates) {
    xcb_connection_t* c = x.get();
    struct Search {
        std::size_t index;
        std::vector<xcb_window_t> level;
    };
    std::vector<Search> searches;
    for (std::size_t i = 0; i < candidates.size(); ++i)
        if (!candidates[i].client && !candidates[i].overrideRedirect)
            searches.push_back({i, {candidates[i].frame}});

    for (int depth = 0; depth < kSearchDepth && !searches.empty(); ++depth) {
        std::vector<std::vector<xcb_query_tree_cookie_t>> trees(searches.size());
        for (std::size_t s = 0; s < searches.size(); ++s)
            for (xcb_window_t w : searches[s].level)
                trees[s].push_back(xcb_query_tree(c, w));
        for (std::size_t s = 0; s < searches.size(); ++s) {
            std::vector<xcb_window_t> next;
            for (auto cookie : trees[s]) {
                Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, cookie, nullptr));
                if (!tree) continue;
                const xcb_window_t* kids = xcb_query_tree_children(tree.get());
                next.insert(next.end(), kids, kids + xcb_query_tree_children_length(tree.get()));
            }
            searches[s].level = std::move(next);
        }
        std::vector<std::vector<PropertyCookie>> states(searches.size());
        for (std::size_t s = 0; s < searches.size(); ++s)
            for (xcb_window_t w : searches[s].level)
                states[s].push_back(askProperty(c, w, x.atoms().wmState, 2));
        for (std::size_t s = 0; s < searches.size(); ++s) {
            Candidate& candidate = candidates[searches[s].index];
            for (std::size_t k = 0; k < states[s].size(); ++k) {
                Property state = take(c, states[s][k]);
                if (state && !candidate.client) {
                    candidate.client = searches[s].level[k];
                    candidate.clientState = firstCardinal(valueOf(state)).value_or(0);
                }
            }
        }
        std::erase_if(searches,
                      [&](const Search& s) { return candidates[s.index].client.has_value(); });
    }
}

} // namespace

std::optional<std::vector<TopLevel>> topLevels(const XConnection& x) {
    if (!x.usable()) return std::nullopt;
    xcb_connection_t* c = x.get();
    const Atoms& a = x.atoms();
    Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, x.root()), nullptr));
    if (!tree) return std::nullopt;
    std::span<const xcb_window_t> children(
        xcb_query_tree_children(tree.get()),
        static_cast<std::size_t>(xcb_query_tree_children_length(tree.get())));

    // The tree lists bottom to top: walk it backwards for front to back.
    std::vector<xcb_get_window_attributes_cookie_t> attributeCookies;
    std::vector<xcb_get_geometry_cookie_t> geometryCookies;
    std::vector<PropertyCookie> stateCookies;
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        attributeCookies.push_back(xcb_get_window_attributes(c, *it));
        geometryCookies.push_back(xcb_get_geometry(c, *it));
        stateCookies.push_back(askProperty(c, *it, a.wmState, 2));
    }
    std::vector<Candidate> candidates;
    for (std::size_t i = 0; i < attributeCookies.size(); ++i) {
        Reply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, attributeCookies[i], nullptr));
        Reply<xcb_get_geometry_reply_t> geometry(
            xcb_get_geometry_reply(c, geometryCookies[i], nullptr));
        Property state = take(c, stateCookies[i]);
        if (!attributes || !geometry || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
            attributes->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT)
            continue;
        Candidate candidate;
        candidate.frame = children[children.size() - 1 - i];
        candidate.overrideRedirect = attributes->override_redirect != 0;
        const double border = 2.0 * geometry->border_width;
        candidate.bounds = Rect{static_cast<double>(geometry->x), static_cast<double>(geometry->y),
                                geometry->width + border, geometry->height + border};
        if (state) {
            candidate.client = candidate.frame;
            candidate.clientState = firstCardinal(valueOf(state)).value_or(0);
        }
        candidates.push_back(candidate);
    }
    findClients(x, candidates);

    const auto compositorCookie = xcb_get_selection_owner(c, a.compositingManager);
    struct Cookies {
        std::optional<xcb_res_query_client_ids_cookie_t> owner;
        PropertyCookie netName, name, type, opacity, frameOpacity, netState;
    };
    std::vector<Cookies> cookies;
    for (const Candidate& candidate : candidates) {
        const xcb_window_t w = candidate.client.value_or(candidate.frame);
        cookies.push_back({askClientPid(x, w), askProperty(c, w, a.netWmName, 1024),
                           askProperty(c, w, a.wmName, 1024),
                           askProperty(c, w, a.netWmWindowType, 16),
                           askProperty(c, w, a.netWmWindowOpacity),
                           askProperty(c, candidate.frame, a.netWmWindowOpacity),
                           askProperty(c, w, a.netWmState, 32)});
    }

    Reply<xcb_get_selection_owner_reply_t> compositor(
        xcb_get_selection_owner_reply(c, compositorCookie, nullptr));
    const bool composited = compositor && compositor->owner != XCB_NONE;

    std::vector<TopLevel> result;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        const Candidate& candidate = candidates[i];
        const xcb_window_t w = candidate.client.value_or(candidate.frame);
        const auto owner = takeClientPid(x, cookies[i].owner);
        Property netName = takeWhole(c, w, a.netWmName, cookies[i].netName);
        Property name = takeWhole(c, w, a.wmName, cookies[i].name);
        Property type = take(c, cookies[i].type);
        Property opacity = take(c, cookies[i].opacity);
        Property frameOpacity = take(c, cookies[i].frameOpacity);
        Property netState = take(c, cookies[i].netState);

        auto traits = traitsOf(
            {.netWmName = valueOf(netName),
             .wmName = valueOf(name),
             .windowType = valueOf(type),
             .opacity = valueOf(opacity),
             .frameOpacity = valueOf(frameOpacity),
             .netWmState = valueOf(netState),
             .overrideRedirect = candidate.overrideRedirect,
             .clientState = candidate.client ? std::optional(candidate.clientState) : std::nullopt,
             .composited = composited},
            a);
        if (!traits) continue; // minimised: not on screen

        TopLevel top;
        top.frame = candidate.frame;
        top.client = candidate.client.value_or(candidate.frame);
        top.overrideRedirect = candidate.overrideRedirect;
        top.desktop = traits->desktop;
        top.info.number = top.client;
        if (owner) top.info.ownerPid = *owner;
        top.info.layer = traits->layer;
        top.info.bounds = candidate.bounds;
        top.info.name = std::move(traits->name);
        top.info.alpha = traits->alpha;
        result.push_back(std::move(top));
    }
    return result;
}

std::optional<xcb_window_t> frameOf(const XConnection& x, xcb_window_t window) {
    xcb_connection_t* c = x.get();
    for (int depth = 0; depth < 16; ++depth) {
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
        if (!tree) return std::nullopt;
        if (tree->parent == x.root() || tree->parent == XCB_NONE) return window;
        window = tree->parent;
    }
    return std::nullopt;
}

std::optional<xcb_window_t> clientWithin(const XConnection& x, xcb_window_t window) {
    std::vector<Candidate> one{Candidate{}};
    one[0].frame = window;
    xcb_connection_t* c = x.get();
    if (take(c, askProperty(c, window, x.atoms().wmState, 2))) return window;
    findClients(x, one);
    return one[0].client;
}

} // namespace host::platform::x11
