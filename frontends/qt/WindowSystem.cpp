#include "frontends/qt/WindowSystem.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>
#include <xcb/xcb_icccm.h>

namespace frontend::windowsystem {

namespace {

using namespace std::chrono_literals;

template <class T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

// A manager that is still starting up on a busy machine may take a second or more to answer a request. One that
// runs frames a newly shown window within milliseconds, or seconds on a busy machine; the patience is for a manager
// that says it sets the frame property and never does.
constexpr auto RequestPatience = 3s;
constexpr auto FramingPatience = 10s;

void (*g_frameChanged)(QWidget&) = nullptr;

xcb_connection_t* connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
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

// While the toolkit starts, its platform theme looks for a sandbox marker in the runtime folder, and where the
// session announces none, QStandardPaths creates one under the temporary folder and says so. The temporary folder
// is pointed, for that moment only, where nothing can be created, and what QStandardPaths says of it is dropped.
std::optional<QByteArray> g_temporaryFolder;
QtMessageHandler g_messageHandler = nullptr;
bool g_runtimeFolderGuarded = false;

void quietAboutRuntimeFolder(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("QStandardPaths:")))
        return;
    if (g_messageHandler)
        g_messageHandler(type, context, message);
}

void keepRuntimeFolderUncreated()
{
    if (qEnvironmentVariableIsSet("TMPDIR"))
        g_temporaryFolder = qgetenv("TMPDIR");
    qputenv("TMPDIR", "/proc"); // a folder in which nobody, not even root, can make one
    g_messageHandler = qInstallMessageHandler(quietAboutRuntimeFolder);
    g_runtimeFolderGuarded = true;
}

void session();

// Runs inside the application's constructor, once the platform and its theme are loaded.
void toolkitStarted()
{
    if (g_runtimeFolderGuarded) {
        if (g_temporaryFolder)
            qputenv("TMPDIR", *g_temporaryFolder);
        else
            qunsetenv("TMPDIR");
        qInstallMessageHandler(g_messageHandler);
    }
    session(); // from the first event on, so that no reparenting of our windows goes unseen
}

// Ignores an error about a window of the manager's that may vanish at any moment, rather than let Qt report it.
void discardErrors(xcb_connection_t* c, xcb_void_cookie_t cookie)
{
    xcb_discard_reply(c, cookie.sequence);
}

// What the display server has said about one display connection's windows, and about its window manager.
class X11Session final : public QObject, public QAbstractNativeEventFilter {
public:
    struct Watched {
        xcb_window_t frame = XCB_WINDOW_NONE; // the window the manager put ours in; none while ours is a top level
        bool geometryStale = true;
        QRect outer;
        bool extentsStale = true;
        std::optional<QMargins> extents;  // as the window carries them now
        bool asked = false;               // about the frame, before the window was first shown
        std::optional<QMargins> foretold; // the answer, or none for a window that asks for no decorations
        bool framingAwaited = false;
        std::optional<QRect> requested; // where we last asked the manager to put the window, until it has answered
        bool asPager = false;           // whether to ask as a pager does
    };

    explicit X11Session(xcb_connection_t* connection)
        : m_c(connection)
    {
        setObjectName(QString::fromLatin1(Name));
        int screen = 0;
        char* host = nullptr;
        int display = 0;
        if (xcb_parse_display(nullptr, &host, &display, &screen))
            std::free(host);
        // Every atom the room uses, in one round trip.
        xcb_intern_atom_cookie_t* cookies = xcb_ewmh_init_atoms(m_c, &m_ewmh);
        m_ready = xcb_ewmh_init_atoms_replies(&m_ewmh, cookies, nullptr) != 0;
        if (m_ready) {
            m_screen = screen < m_ewmh.nb_screens ? screen : 0;
            m_root = m_ewmh.screens[m_screen]->root;
        }
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    ~X11Session() override
    {
        if (m_ready)
            xcb_ewmh_connection_wipe(&m_ewmh);
    }

    static constexpr char Name[] = "shell-x11-session";

    xcb_connection_t* connection() const { return m_c; }
    bool ready() const { return m_ready; }

    Watched& watched(xcb_window_t window) { return m_windows[window]; }

    // A manager that has died leaves its check window's id on the root behind; the window itself, which must name
    // itself in the same property, went with it.
    bool managerRunning()
    {
        xcb_window_t check = XCB_WINDOW_NONE;
        xcb_generic_error_t* error = nullptr;
        if (!xcb_ewmh_get_supporting_wm_check_reply(&m_ewmh, xcb_ewmh_get_supporting_wm_check(&m_ewmh, m_root), &check,
                                                    &error)) {
            std::free(error);
            return false;
        }
        xcb_window_t itself = XCB_WINDOW_NONE;
        error = nullptr;
        const bool named = xcb_ewmh_get_supporting_wm_check_reply(
                               &m_ewmh, xcb_ewmh_get_supporting_wm_check(&m_ewmh, check), &itself, &error) != 0;
        std::free(error);
        if (!named || itself != check)
            return false;
        if (check != m_checkWindow) {
            // To hear of the manager's end: its check window goes with it.
            m_checkWindow = check;
            const std::uint32_t structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
            discardErrors(m_c, xcb_change_window_attributes_checked(m_c, check, XCB_CW_EVENT_MASK, &structure));
        }
        return true;
    }

    bool managerSupports(xcb_atom_t atom)
    {
        xcb_ewmh_get_atoms_reply_t supported{};
        if (!xcb_ewmh_get_supported_reply(&m_ewmh, xcb_ewmh_get_supported(&m_ewmh, m_screen), &supported, nullptr))
            return false;
        const bool listed = std::find(supported.atoms, supported.atoms + supported.atoms_len, atom) !=
                            supported.atoms + supported.atoms_len;
        xcb_ewmh_get_atoms_reply_wipe(&supported);
        return listed;
    }

    std::optional<QMargins> readExtents(xcb_window_t window)
    {
        return extentsFrom(xcb_ewmh_get_frame_extents(&m_ewmh, window));
    }

    std::optional<QMargins> extentsFrom(xcb_get_property_cookie_t cookie)
    {
        xcb_ewmh_get_extents_reply_t e{};
        if (!xcb_ewmh_get_frame_extents_reply(&m_ewmh, cookie, &e, nullptr))
            return std::nullopt;
        return QMargins(int(e.left), int(e.top), int(e.right), int(e.bottom));
    }

    // Polls the frame property rather than wait for events that Qt's own reader takes. A manager that lets the
    // wait run out is not waited for again on this connection: the user-interface thread stands still meanwhile.
    std::optional<QMargins> awaitExtents(xcb_window_t window, std::chrono::steady_clock::duration patience)
    {
        return await(window, patience, m_waitedInVain);
    }

    // The frame of a window shown and not framed yet, once the manager has framed it: as long as the manager runs,
    // however busy it is, unless it lets the generous patience run out.
    std::optional<QMargins> awaitFraming(xcb_window_t window)
    {
        return await(window, FramingPatience, m_framedInVain);
    }

    // Whether a running manager takes _NET_MOVERESIZE_WINDOW; asked again only after the manager has changed.
    bool managerMoves()
    {
        if (!m_movesKnown) {
            m_moves = managerRunning() && managerSupports(m_ewmh._NET_MOVERESIZE_WINDOW);
            m_movesKnown = true;
        }
        return m_moves;
    }

    xcb_ewmh_connection_t* ewmh() { return &m_ewmh; }
    int screen() const { return m_screen; }
    xcb_window_t root() const { return m_root; }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        switch (event->response_type & 0x7f) {
        case XCB_CONFIGURE_NOTIFY:
            moved(reinterpret_cast<const xcb_configure_notify_event_t*>(event)->window);
            break;
        case XCB_MAP_NOTIFY:
            moved(reinterpret_cast<const xcb_map_notify_event_t*>(event)->window);
            break;
        case XCB_REPARENT_NOTIFY: {
            const auto* reparent = reinterpret_cast<const xcb_reparent_notify_event_t*>(event);
            if (reparent->event == reparent->window) // ours, not a child of a frame we watch
                reparented(reparent->window, reparent->parent);
            break;
        }
        case XCB_DESTROY_NOTIFY:
            destroyed(reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window);
            break;
        case XCB_PROPERTY_NOTIFY: {
            const auto* property = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (property->atom == m_ewmh._NET_FRAME_EXTENTS)
                frameChanged(property->window);
            else if (property->window == m_root && property->atom == m_ewmh._NET_SUPPORTING_WM_CHECK)
                m_movesKnown = false; // another manager
            break;
        }
        default:
            break;
        }
        return false; // Qt handles every event as before
    }

private:
    void moved(xcb_window_t window)
    {
        for (auto& [own, w] : m_windows) {
            if (window == own || window == w.frame)
                w.geometryStale = true;
        }
    }

    // The manager's new frame is the parent the server names, whatever window it puts the frame in: a manager that
    // nests its frames tells of moves of the outer one with notifications to our window itself.
    void reparented(xcb_window_t window, xcb_window_t parent)
    {
        Watched& w = m_windows[window];
        if (w.frame != XCB_WINDOW_NONE) {
            const std::uint32_t none = XCB_EVENT_MASK_NO_EVENT;
            discardErrors(m_c, xcb_change_window_attributes_checked(m_c, w.frame, XCB_CW_EVENT_MASK, &none));
        }
        w.frame = parent == m_root ? xcb_window_t{XCB_WINDOW_NONE} : parent;
        w.geometryStale = true;
        // The window manager moves its frame, not our window: ask to hear of the frame's moves too.
        if (w.frame != XCB_WINDOW_NONE) {
            const std::uint32_t structure = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
            discardErrors(m_c, xcb_change_window_attributes_checked(m_c, w.frame, XCB_CW_EVENT_MASK, &structure));
        }
    }

    void destroyed(xcb_window_t window)
    {
        if (window == m_checkWindow) {
            m_checkWindow = XCB_WINDOW_NONE;
            m_movesKnown = false; // the manager has ended
        }
        if (m_windows.erase(window))
            return;
        for (auto& [own, w] : m_windows) {
            if (window == w.frame) {
                w.frame = XCB_WINDOW_NONE;
                w.geometryStale = true;
            }
        }
    }

    void frameChanged(xcb_window_t window)
    {
        const auto found = m_windows.find(window);
        if (found == m_windows.end())
            return;
        found->second.extentsStale = true;
        found->second.geometryStale = true;
        if (!g_frameChanged)
            return;
        // After Qt has handled the event as well.
        QPointer<QWidget> widget = QWidget::find(WId(window));
        if (widget)
            QMetaObject::invokeMethod(
                widget,
                [widget] {
                    if (widget && g_frameChanged)
                        g_frameChanged(*widget);
                },
                Qt::QueuedConnection);
    }

    std::optional<QMargins> await(xcb_window_t window, std::chrono::steady_clock::duration patience, bool& inVain)
    {
        if (inVain)
            return std::nullopt;
        const auto deadline = std::chrono::steady_clock::now() + patience;
        auto nextCheck = std::chrono::steady_clock::now() + 100ms;
        std::chrono::microseconds pause = 100us;
        do {
            if (const std::optional<QMargins> extents = readExtents(window))
                return extents;
            if (std::chrono::steady_clock::now() > nextCheck) {
                if (!managerRunning())
                    return std::nullopt; // it ended: nobody will frame the window
                nextCheck = std::chrono::steady_clock::now() + 100ms;
            }
            std::this_thread::sleep_for(pause);
            pause = std::min<std::chrono::microseconds>(pause * 3 / 2, 5ms);
        } while (std::chrono::steady_clock::now() < deadline);
        inVain = true;
        return std::nullopt;
    }

    xcb_connection_t* const m_c;
    xcb_ewmh_connection_t m_ewmh{};
    bool m_ready = false;
    int m_screen = 0;
    xcb_window_t m_root = XCB_WINDOW_NONE;
    bool m_waitedInVain = false;
    bool m_framedInVain = false;
    xcb_window_t m_checkWindow = XCB_WINDOW_NONE;
    bool m_movesKnown = false;
    bool m_moves = false;
    std::map<xcb_window_t, Watched> m_windows; // by our own window
};

// The application's session for its display connection, made on first use. The application owns it, so it goes
// with the application; the pointer spares looking it up (and the connection) on every tick.
QPointer<X11Session> g_session;

X11Session* sessionOf(xcb_connection_t* c)
{
    if (!c)
        return nullptr;
    if (!g_session || g_session->connection() != c) {
        g_session = new X11Session(c);
        g_session->setParent(qGuiApp);
    }
    return g_session->ready() ? g_session.data() : nullptr;
}

// The session of the application's connection, without asking Qt for the connection once a session exists.
X11Session* currentSession()
{
    if (g_session)
        return g_session->ready() ? g_session.data() : nullptr;
    return sessionOf(connection());
}

void session()
{
    currentSession();
}

X11Session::Watched* watchedOf(X11Session* s, const QWidget& window)
{
    return s && window.internalWinId() ? &s->watched(xcb_window_t(window.internalWinId())) : nullptr;
}

bool shownAndWhole(const QWidget& window)
{
    // A request about a minimised window has been seen to bring it back on some window managers.
    return window.isVisible() && !window.isMinimized() && window.internalWinId();
}

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
    if (!reachable) {
        std::fputs("cuixian-score-query: 本程序需要图形桌面会话，但连接不到显示服务器。"
                   "This program needs a graphical desktop session, but no display can be reached.\n",
                   stderr);
        return false;
    }
    // A session that announces its runtime folder has one already: nothing would be created.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        keepRuntimeFolderUncreated();
    qAddPreRoutine(toolkitStarted);
    return true;
}

std::optional<QMargins> requestFrameExtents(QWidget& window)
{
    X11Session* s = currentSession();
    if (!s)
        return std::nullopt;
    // xfwm4 answers for a window that asks for no decorations with the frame of a decorated one, then draws none.
    if (window.windowFlags() & Qt::FramelessWindowHint)
        return QMargins();
    const auto id = static_cast<xcb_window_t>(window.winId());
    // Without a running EWMH window manager nobody would answer, and there is no frame either; a manager that does
    // not list the request would not answer it.
    if (!s->managerRunning() || !s->managerSupports(s->ewmh()->_NET_REQUEST_FRAME_EXTENTS))
        return std::nullopt;
    xcb_ewmh_request_frame_extents(s->ewmh(), s->screen(), id);
    xcb_flush(s->connection());
    return s->awaitExtents(id, RequestPatience);
}

std::optional<QMargins> frameExtents(QWidget& window)
{
    X11Session* s = currentSession();
    if (!s)
        return std::nullopt;
    const auto id = static_cast<xcb_window_t>(window.winId());
    X11Session::Watched& w = s->watched(id);
    if (w.extentsStale) {
        w.extents = s->readExtents(id);
        w.extentsStale = false;
    }
    if (w.extents)
        return w.extents;
    if (!window.isVisible() && !w.asked) {
        // Not framed yet: ask once what the frame will be, so the window can be placed by its outer size.
        w.asked = true;
        w.foretold = requestFrameExtents(window);
    } else if (w.asked && !w.foretold && !w.framingAwaited && shownAndWhole(window)) {
        // Shown, but the manager neither told the frame before (KWin takes no request, a busy manager may not answer
        // in time) nor has framed the window yet. Until it does, the outer size read would be the client area's,
        // and a window sized from it, the panel at its load, would keep that size: wait for the frame.
        w.framingAwaited = true;
        if (s->managerRunning() && s->managerSupports(s->ewmh()->_NET_FRAME_EXTENTS))
            w.extents = s->awaitFraming(id);
    }
    return w.extents ? w.extents : w.foretold.value_or(QMargins());
}

void setFrameChangeHandler(void (*handler)(QWidget& window))
{
    g_frameChanged = handler;
}

void setSkipTaskbar(QWidget& window)
{
    X11Session* s = currentSession();
    if (!s)
        return;
    const auto id = static_cast<xcb_window_t>(window.winId());
    xcb_ewmh_connection_t* ewmh = s->ewmh();
    std::vector<xcb_atom_t> states;
    xcb_ewmh_get_atoms_reply_t current{};
    if (xcb_ewmh_get_wm_state_reply(ewmh, xcb_ewmh_get_wm_state(ewmh, id), &current, nullptr)) {
        states.assign(current.atoms, current.atoms + current.atoms_len);
        xcb_ewmh_get_atoms_reply_wipe(&current);
    }
    for (const xcb_atom_t a : {ewmh->_NET_WM_STATE_SKIP_TASKBAR, ewmh->_NET_WM_STATE_SKIP_PAGER}) {
        if (std::find(states.begin(), states.end(), a) == states.end())
            states.push_back(a);
    }
    // Qt merges what is already there into the state it writes when it maps the window.
    xcb_ewmh_set_wm_state(ewmh, id, std::uint32_t(states.size()), states.data());
    xcb_flush(s->connection());
}

std::optional<QRect> liveOuterGeometry(const QWidget& window)
{
    X11Session* s = currentSession();
    if (!s || !shownAndWhole(window))
        return std::nullopt;
    const auto id = static_cast<xcb_window_t>(window.internalWinId());
    const std::optional<QMargins> frame = frameExtents(const_cast<QWidget&>(window));
    X11Session::Watched& w = *watchedOf(s, window);
    if (!w.geometryStale)
        return w.outer;
    w.geometryStale = false; // cleared before the read: a move reported while it runs makes the next read again

    xcb_connection_t* c = s->connection();
    // Two requests, one round trip.
    const auto whereCookie = xcb_translate_coordinates(c, id, s->root(), 0, 0);
    const auto sizeCookie = xcb_get_geometry(c, id);
    Reply<xcb_translate_coordinates_reply_t> where(xcb_translate_coordinates_reply(c, whereCookie, nullptr),
                                                   &std::free);
    Reply<xcb_get_geometry_reply_t> size(xcb_get_geometry_reply(c, sizeCookie, nullptr), &std::free);
    if (!where || !size) {
        w.geometryStale = true;
        return std::nullopt;
    }
    const QMargins e = frame.value_or(QMargins());
    const QRect client(where->dst_x, where->dst_y, size->width, size->height);
    if (w.requested) {
        // A manager keeps a window that asks to move itself on the screen, some whichever way it asks; where one
        // way was refused, the other is tried, as a pager moves a window for the user.
        if (client != *w.requested)
            w.asPager = !w.asPager;
        w.requested.reset();
    }
    w.outer = QRect(where->dst_x - e.left(), where->dst_y - e.top(), size->width + e.left() + e.right(),
                    size->height + e.top() + e.bottom());
    return w.outer;
}

bool placeExactly(QWidget& window, const QRect& device)
{
    xcb_connection_t* c = connection();
    if (!c || device.width() <= 0 || device.height() <= 0)
        return false;
    const auto id = static_cast<xcb_window_t>(window.winId());

    // On a scaled screen Qt asks the window manager to size the window in steps of whole device-independent
    // pixels, and a manager that honours the steps would round the exact size off again.
    xcb_size_hints_t hints{};
    if (xcb_icccm_get_wm_normal_hints_reply(c, xcb_icccm_get_wm_normal_hints(c, id), &hints, nullptr) &&
        (hints.flags & XCB_ICCCM_SIZE_HINT_P_RESIZE_INC) && (hints.width_inc > 1 || hints.height_inc > 1)) {
        hints.flags &= ~std::uint32_t(XCB_ICCCM_SIZE_HINT_P_RESIZE_INC | XCB_ICCCM_SIZE_HINT_BASE_SIZE);
        xcb_icccm_set_wm_normal_hints(c, id, &hints);
    }
    X11Session* s = sessionOf(c);
    X11Session::Watched* w = s && window.isVisible() ? &s->watched(id) : nullptr;
    if (w)
        w->requested = device;
    if (w && w->asPager && s->managerMoves()) {
        xcb_ewmh_request_moveresize_window(s->ewmh(), s->screen(), id, XCB_GRAVITY_STATIC,
                                           XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
                                           xcb_ewmh_moveresize_window_opt_flags_t(
                                               XCB_EWMH_MOVERESIZE_WINDOW_X | XCB_EWMH_MOVERESIZE_WINDOW_Y |
                                               XCB_EWMH_MOVERESIZE_WINDOW_WIDTH | XCB_EWMH_MOVERESIZE_WINDOW_HEIGHT),
                                           std::uint32_t(device.x()), std::uint32_t(device.y()),
                                           std::uint32_t(device.width()), std::uint32_t(device.height()));
        xcb_flush(c);
        return true;
    }
    const std::uint32_t values[] = {std::uint32_t(device.x()), std::uint32_t(device.y()), std::uint32_t(device.width()),
                                    std::uint32_t(device.height())};
    xcb_configure_window(
        c, id, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, values);
    xcb_flush(c);
    return true;
}

void flush()
{
    if (xcb_connection_t* c = connection())
        xcb_flush(c);
}

} // namespace frontend::windowsystem
