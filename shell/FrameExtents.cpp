#include "shell/FrameExtents.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>
#include <xcb/xcb.h>

namespace shell::x11 {

namespace {

template <class T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_connection_t* connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name)
{
    Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(std::strlen(name)), name), nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::vector<std::uint32_t> cardinals(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
{
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 64), nullptr), &std::free);
    if (!reply || reply->format != 32 || reply->type != type)
        return {};
    const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return {data, data + xcb_get_property_value_length(reply.get()) / 4};
}

xcb_window_t rootOf(xcb_connection_t* c, xcb_window_t window)
{
    Reply<xcb_query_tree_reply_t> reply(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr), &std::free);
    return reply ? reply->root : xcb_window_t{XCB_WINDOW_NONE};
}

} // namespace

std::optional<QMargins> requestFrameExtents(QWidget& window)
{
    xcb_connection_t* c = connection();
    if (!c)
        return std::nullopt;
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_window_t root = rootOf(c, id);
    // Without an EWMH window manager nobody would answer, and there is no frame either.
    if (root == XCB_WINDOW_NONE || cardinals(c, root, atom(c, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW).empty())
        return std::nullopt;

    const xcb_atom_t extentsAtom = atom(c, "_NET_FRAME_EXTENTS");
    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = id;
    request.type = atom(c, "_NET_REQUEST_FRAME_EXTENTS");
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&request));
    xcb_flush(c);

    // The answer is a property on our window; poll it briefly rather than wait for events Qt's own reader takes.
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 500ms;
    do {
        const std::vector<std::uint32_t> e = cardinals(c, id, extentsAtom, XCB_ATOM_CARDINAL);
        if (e.size() == 4) {
            const qreal ratio = window.devicePixelRatioF();
            return QMargins(qRound(e[0] / ratio), qRound(e[2] / ratio), qRound(e[1] / ratio), qRound(e[3] / ratio));
        }
        // The window manager answers within a fraction of a millisecond once it runs; a long sleep would only
        // add to the start-up.
        std::this_thread::sleep_for(100us);
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

void setSkipTaskbar(QWidget& window)
{
    xcb_connection_t* c = connection();
    if (!c)
        return;
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_atom_t stateAtom = atom(c, "_NET_WM_STATE");
    std::vector<std::uint32_t> states = cardinals(c, id, stateAtom, XCB_ATOM_ATOM);
    for (const char* name : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
        const xcb_atom_t a = atom(c, name);
        if (std::find(states.begin(), states.end(), a) == states.end())
            states.push_back(a);
    }
    // Qt merges what is already there into the state it writes when it maps the window.
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, stateAtom, XCB_ATOM_ATOM, 32, std::uint32_t(states.size()),
                        states.data());
    xcb_flush(c);
}

} // namespace shell::x11
