#include "frontends/qt/WindowSystem.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <vector>
#include <xcb/xcb.h>

namespace shell::windowsystem {

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

std::vector<std::uint32_t> cardinals(xcb_get_property_reply_t* reply, xcb_atom_t type)
{
    if (!reply || reply->format != 32 || reply->type != type)
        return {};
    const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
    return {data, data + xcb_get_property_value_length(reply) / 4};
}

std::vector<std::uint32_t> cardinals(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
{
    Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, 1024), nullptr), &std::free);
    return cardinals(reply.get(), type);
}

xcb_window_t rootOf(xcb_connection_t* c, xcb_window_t window)
{
    Reply<xcb_query_tree_reply_t> reply(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr), &std::free);
    return reply ? reply->root : xcb_window_t{XCB_WINDOW_NONE};
}

// libdbus looks for the session bus in DBUS_SESSION_BUS_ADDRESS, then at $XDG_RUNTIME_DIR/bus, and failing both
// runs dbus-launch, which leaves a daemon and a file in the home folder behind.
bool sessionBusAnnounced()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    struct stat bus {};
    return !runtime.isEmpty() && ::stat((runtime + "/bus").constData(), &bus) == 0 && S_ISSOCK(bus.st_mode);
}

// The window that holds `window` directly below the root: the window manager's frame, or the window itself.
xcb_window_t topLevelOf(xcb_connection_t* c, xcb_window_t window, xcb_window_t root)
{
    for (int depth = 0; depth < 16; ++depth) {
        Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr), &std::free);
        if (!tree || tree->parent == root || tree->parent == XCB_WINDOW_NONE)
            return window;
        window = tree->parent;
    }
    return window;
}

// Where a shown window stands is read from the server only after the server has told of a change: a move of the
// window or of its frame, a new frame, or a property such as the frame extents. Standing still costs nothing.
class MoveWatcher final : public QAbstractNativeEventFilter {
public:
    struct Watched {
        xcb_window_t top = XCB_WINDOW_NONE;
        bool stale = true;
        QRect outer;
    };
    std::map<xcb_window_t, Watched> windows; // by our own window

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        switch (event->response_type & 0x7f) {
        case XCB_CONFIGURE_NOTIFY:
            touch(reinterpret_cast<const xcb_configure_notify_event_t*>(event)->window, false);
            break;
        case XCB_REPARENT_NOTIFY:
            touch(reinterpret_cast<const xcb_reparent_notify_event_t*>(event)->window, true);
            break;
        case XCB_MAP_NOTIFY:
            touch(reinterpret_cast<const xcb_map_notify_event_t*>(event)->window, false);
            break;
        case XCB_PROPERTY_NOTIFY:
            touch(reinterpret_cast<const xcb_property_notify_event_t*>(event)->window, false);
            break;
        default:
            break;
        }
        return false; // Qt handles every event as before
    }

private:
    void touch(xcb_window_t window, bool newFrame)
    {
        for (auto& [own, watched] : windows) {
            if (window != own && window != watched.top)
                continue;
            watched.stale = true;
            if (newFrame)
                watched.top = XCB_WINDOW_NONE;
        }
    }
};

} // namespace

bool prepareToolkit()
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    // An address of no known transport: Qt's accessibility and theme code find no bus and go on without one.
    if (!sessionBusAnnounced())
        qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");

    // Without a display Qt would abort with a core dump and advise reinstalling.
    xcb_connection_t* probe = xcb_connect(nullptr, nullptr);
    const bool reachable = xcb_connection_has_error(probe) == 0;
    xcb_disconnect(probe);
    if (!reachable)
        std::fputs("cuixian-score-query: 本程序需要图形桌面会话，但连接不到显示服务器。"
                   "This program needs a graphical desktop session, but no display can be reached.\n",
                   stderr);
    return reachable;
}

std::optional<QMargins> requestFrameExtents(QWidget& window)
{
    xcb_connection_t* c = connection();
    if (!c)
        return std::nullopt;
    const auto id = static_cast<xcb_window_t>(window.winId());
    const xcb_window_t root = rootOf(c, id);
    // Without an EWMH window manager nobody would answer, and there is no frame either; a manager that does not
    // list the request would not answer it.
    if (root == XCB_WINDOW_NONE || cardinals(c, root, atom(c, "_NET_SUPPORTING_WM_CHECK"), XCB_ATOM_WINDOW).empty())
        return std::nullopt;
    const xcb_atom_t requestAtom = atom(c, "_NET_REQUEST_FRAME_EXTENTS");
    const std::vector<std::uint32_t> supported = cardinals(c, root, atom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM);
    if (std::find(supported.begin(), supported.end(), requestAtom) == supported.end())
        return std::nullopt;

    const xcb_atom_t extentsAtom = atom(c, "_NET_FRAME_EXTENTS");
    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = id;
    request.type = requestAtom;
    xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&request));
    xcb_flush(c);

    // The answer is a property on our window; poll it rather than wait for events Qt's own reader takes. A running
    // window manager answers within a fraction of a millisecond, so the first polls come quickly; one still
    // starting up on a busy machine may take a second or more.
    using namespace std::chrono_literals;
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    std::chrono::microseconds pause = 100us;
    do {
        const std::vector<std::uint32_t> e = cardinals(c, id, extentsAtom, XCB_ATOM_CARDINAL);
        if (e.size() == 4)
            return QMargins(int(e[0]), int(e[2]), int(e[1]), int(e[3]));
        std::this_thread::sleep_for(pause);
        pause = std::min<std::chrono::microseconds>(pause * 3 / 2, 5ms);
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

std::optional<QRect> liveOuterGeometry(const QWidget& window)
{
    xcb_connection_t* c = connection();
    // A request about a minimised window has been seen to bring it back on some window managers.
    if (!c || !window.isVisible() || window.isMinimized() || !window.internalWinId())
        return std::nullopt;
    const auto id = static_cast<xcb_window_t>(window.internalWinId());
    static const xcb_window_t root = rootOf(c, id);
    static const xcb_atom_t extentsAtom = atom(c, "_NET_FRAME_EXTENTS");
    static auto* watcher = [] {
        auto* w = new MoveWatcher;
        QCoreApplication::instance()->installNativeEventFilter(w);
        return w;
    }();

    MoveWatcher::Watched& watched = watcher->windows[id];
    if (!watched.stale)
        return watched.outer;
    if (watched.top == XCB_WINDOW_NONE) {
        watched.top = topLevelOf(c, id, root);
        // The window manager moves its frame, not our window: ask to hear of the frame's moves too.
        if (watched.top != id) {
            const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
            xcb_change_window_attributes(c, watched.top, XCB_CW_EVENT_MASK, &mask);
        }
    }
    watched.stale = false; // cleared before the read: a move reported while it runs makes the next read again

    // Three requests, one round trip.
    const auto whereCookie = xcb_translate_coordinates(c, id, root, 0, 0);
    const auto sizeCookie = xcb_get_geometry(c, id);
    const auto extentsCookie = xcb_get_property(c, 0, id, extentsAtom, XCB_ATOM_CARDINAL, 0, 4);
    Reply<xcb_translate_coordinates_reply_t> where(xcb_translate_coordinates_reply(c, whereCookie, nullptr),
                                                   &std::free);
    Reply<xcb_get_geometry_reply_t> size(xcb_get_geometry_reply(c, sizeCookie, nullptr), &std::free);
    Reply<xcb_get_property_reply_t> extentsReply(xcb_get_property_reply(c, extentsCookie, nullptr), &std::free);
    if (!where || !size) {
        watched.stale = true;
        return std::nullopt;
    }
    std::vector<std::uint32_t> e = cardinals(extentsReply.get(), XCB_ATOM_CARDINAL);
    if (e.size() != 4)
        e.assign(4, 0); // no window manager, or not framed yet: the window is its own outer frame
    watched.outer = QRect(where->dst_x - int(e[0]), where->dst_y - int(e[2]), size->width + int(e[0] + e[1]),
                          size->height + int(e[2] + e[3]));
    return watched.outer;
}

bool placeExactly(QWidget& window, const QRect& device)
{
    xcb_connection_t* c = connection();
    if (!c || device.width() <= 0 || device.height() <= 0)
        return false;
    const auto id = static_cast<xcb_window_t>(window.winId());

    // On a scaled screen Qt asks the window manager to size the window in steps of whole device-independent
    // pixels, and a manager that honours the steps would round the exact size off again.
    constexpr std::uint32_t ResizeIncrement = 1u << 6, BaseSize = 1u << 8;
    std::vector<std::uint32_t> hints = cardinals(c, id, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS);
    if (hints.size() >= 18 && (hints[0] & ResizeIncrement) && (hints[9] > 1 || hints[10] > 1)) {
        hints[0] &= ~(ResizeIncrement | BaseSize);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NORMAL_HINTS, XCB_ATOM_WM_SIZE_HINTS, 32,
                            std::uint32_t(hints.size()), hints.data());
    }
    const std::uint32_t values[] = {std::uint32_t(device.x()), std::uint32_t(device.y()), std::uint32_t(device.width()),
                                    std::uint32_t(device.height())};
    xcb_configure_window(
        c, id, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
    xcb_flush(c);
    return true;
}

} // namespace shell::windowsystem
