// Starts a program and reports how long it took until one of its top-level windows was mapped and viewable
// on the X server, then stays the program's parent until it ends.
//
//   launch_until_mapped [--timeout SECONDS] [--parent WINDOW] -- PROGRAM [ARGS...]
//
// --parent watches the children of WINDOW (an X window id, decimal or 0x hex) instead of the root's: Wine's virtual
// desktop is one X window, and the top-level windows of Windows programs are its children, all override-redirect.
//
// Prints one line as soon as the window is viewable and flushes it:
//   pid=<pid> window=<client window id, decimal> ms=<milliseconds from spawn to viewable> cpu_ms=<CPU time>
// where cpu_ms is the time the program's live threads had spent on a CPU by then (scheduler statistics), a
// figure that other load on the machine disturbs far less than the elapsed time.
// then waits for the program to end and exits 0. Exits 2 (after killing the program) when no window shows in
// time, 3 when the program ends first.
//
// It listens to the server's own map events instead of polling, so the figure is exact to the event delivery;
// `xdotool search --sync` polls only every half second.

#include <xcb/xcb.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <set>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

double nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

xcb_atom_t internAtom(xcb_connection_t* c, const char* name)
{
    auto* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// The window's _NET_WM_PID, or -1 when it has none (yet).
long windowPid(xcb_connection_t* c, xcb_window_t w, xcb_atom_t netWmPid)
{
    auto* reply = xcb_get_property_reply(c, xcb_get_property(c, 0, w, netWmPid, XCB_ATOM_CARDINAL, 0, 1), nullptr);
    long pid = -1;
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply) >= 4)
        pid = long(*static_cast<uint32_t*>(xcb_get_property_value(reply)));
    std::free(reply);
    return pid;
}

bool isViewable(xcb_connection_t* c, xcb_window_t w)
{
    auto* reply = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr);
    const bool viewable = reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(reply);
    return viewable;
}

// Sum of the first field of /proc/PID/task/*/schedstat: nanoseconds on a CPU.
double cpuMs(pid_t pid)
{
    double ns = 0;
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream stat(task.path() / "schedstat");
        double onCpu = 0;
        if (stat >> onCpu)
            ns += onCpu;
    }
    return ns / 1e6;
}

int usage()
{
    std::fprintf(stderr, "usage: launch_until_mapped [--timeout SECONDS] -- PROGRAM [ARGS...]\n");
    return 64;
}

} // namespace

int main(int argc, char* argv[])
{
    double timeoutS = 20.0;
    xcb_window_t parent = XCB_WINDOW_NONE;
    int first = 1;
    for (; first < argc; ++first) {
        if (std::strcmp(argv[first], "--timeout") == 0 && first + 1 < argc)
            timeoutS = std::atof(argv[++first]);
        else if (std::strcmp(argv[first], "--parent") == 0 && first + 1 < argc)
            parent = xcb_window_t(std::strtoul(argv[++first], nullptr, 0));
        else if (std::strcmp(argv[first], "--") == 0) {
            ++first;
            break;
        } else
            return usage();
    }
    if (first >= argc)
        return usage();

    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "launch_until_mapped: cannot connect to the X server\n");
        return 1;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const xcb_window_t watched = parent != XCB_WINDOW_NONE ? parent : root;
    const xcb_atom_t netWmPid = internAtom(c, "_NET_WM_PID");

    // New top-levels are created as children of the root; the window manager's frames are mapped there too.
    const uint32_t rootMask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    if (xcb_generic_error_t* error =
            xcb_request_check(c, xcb_change_window_attributes_checked(c, watched, XCB_CW_EVENT_MASK, &rootMask))) {
        std::free(error);
        std::fprintf(stderr, "launch_until_mapped: no window 0x%x to watch\n", unsigned(watched));
        return 1;
    }
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // selection is active from here

    pid_t child = 0;
    const double start = nowMs();
    if (const int err = posix_spawn(&child, argv[first], nullptr, nullptr, argv + first, environ); err != 0) {
        std::fprintf(stderr, "launch_until_mapped: cannot start %s: %s\n", argv[first], std::strerror(err));
        return 1;
    }

    // Client windows are watched from their creation, since once reparented their own mapping is no longer
    // reported on the root.
    std::set<xcb_window_t> clients;
    const uint32_t clientMask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    auto shownClient = [&]() -> xcb_window_t {
        for (xcb_window_t w : clients)
            if (windowPid(c, w, netWmPid) == long(child) && isViewable(c, w))
                return w;
        return XCB_WINDOW_NONE;
    };

    xcb_window_t shown = XCB_WINDOW_NONE;
    const int fd = xcb_get_file_descriptor(c);
    while (shown == XCB_WINDOW_NONE) {
        const double left = start + timeoutS * 1e3 - nowMs();
        int status = 0;
        if (left <= 0 || waitpid(child, &status, WNOHANG) == child) {
            const bool ended = left > 0;
            std::fprintf(stderr, "launch_until_mapped: %s\n",
                         ended ? "the program ended before showing a window" : "no window showed in time");
            if (!ended) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
            }
            return ended ? 3 : 2;
        }
        xcb_generic_event_t* event = xcb_poll_for_event(c);
        if (!event) {
            if (xcb_connection_has_error(c))
                return 1;
            // Wake at least every 50 ms to notice a program that ended without mapping anything.
            pollfd pfd{fd, POLLIN, 0};
            poll(&pfd, 1, left < 50 ? int(left) + 1 : 50);
            continue;
        }
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_CREATE_NOTIFY) {
            const auto* created = reinterpret_cast<xcb_create_notify_event_t*>(event);
            // Under the root, override-redirect windows are menus and tooltips; under a virtual desktop all are so.
            if (created->parent == watched && (watched != root || !created->override_redirect)) {
                clients.insert(created->window);
                xcb_change_window_attributes(c, created->window, XCB_CW_EVENT_MASK, &clientMask);
                // It may have been mapped before the selection took effect.
                shown = shownClient();
            }
        } else if (type == XCB_MAP_NOTIFY) {
            shown = shownClient();
        } else if (type == XCB_DESTROY_NOTIFY) {
            clients.erase(reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window);
        }
        std::free(event);
    }
    const double elapsed = nowMs() - start;
    const double cpu = cpuMs(child);
    xcb_disconnect(c);

    std::printf("pid=%d window=%u ms=%.3f cpu_ms=%.3f\n", int(child), unsigned(shown), elapsed, cpu);
    std::fflush(stdout);

    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return 0;
}
