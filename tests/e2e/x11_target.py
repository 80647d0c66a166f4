"""The Linux program as the cases see it: X11Session starts Xvfb and a window manager, reads windows, frames and
their properties with the X tools (xprop, xwininfo, xdotool search) and a box's text through the clipboard."""

import contextlib
import ctypes
import os
import re
import select
import subprocess
import time

import xvfb
from session import BOX_TITLE, Failure, Geometry, Session, check, die_with_parent, log, poll

# The Xvfb screen of the Linux cases.
SCREEN_W, SCREEN_H = 1280, 1024

# Window managers the cases run under: command line and environment. KWin draws no frames without a decoration
# theme (kwin-style-breeze) and runs without compositing here, as many remote sessions do; xfwm4 likewise.
WINDOW_MANAGERS = {
    "openbox": (["openbox", "--sm-disable", "--config-file", "/etc/xdg/openbox/rc.xml"], {}),
    "kwin": (["kwin_x11", "--replace"], {"KWIN_COMPOSE": "N", "QT_QPA_PLATFORM": "xcb"}),
    "xfwm4": (["xfwm4", "--compositor=off", "--sm-client-disable"], {}),
    # GNOME's manager as an X11 one. It wants a session bus, and finding none announced it would start a bus daemon
    # through dbus-launch that outlives the case; told of an address it cannot use, it runs without one.
    "mutter": (["mutter", "--x11", "--replace", "--sm-disable"], {"DBUS_SESSION_BUS_ADDRESS": "disabled:"}),
}
# mutter keeps a window that its client moves wholly on the screen, if it was so before (only docks and desktops are
# exempt, and the source a _NET_MOVERESIZE_WINDOW names is ignored): where the panel's place crosses the screen's
# edge, it stands at the edge. The others let a client move its window partly off the screen.
KEEP_CLIENT_MOVES_ON_SCREEN = {"mutter"}
# KWin moves a window dragged by its title bar from the motion that starts the drag on, as Windows does; the others
# start the move at that motion and move the window from the next one. KWin takes no _NET_REQUEST_FRAME_EXTENTS.
FIRST_MOTION_MOVES = {"kwin"}
NO_FRAME_REQUESTS = {"kwin"}


def xlib():
    """libX11 for the two questions no X tool asks: whether the window manager has handled its events, and whether
    anybody holds the pointer."""
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XCreateSimpleWindow.restype = ctypes.c_ulong
    x11.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + \
        [ctypes.c_uint] * 3 + [ctypes.c_ulong] * 2
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x11.XPending.argtypes = x11.XConnectionNumber.argtypes = x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x11.XGrabPointer.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_uint, ctypes.c_int,
                                 ctypes.c_int, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong]
    x11.XUngrabPointer.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    return x11


class X11Session(Session):
    """One X display with a window manager, the program under test and the helper processes around it."""

    def __init__(self, app, artifacts, wm="openbox"):
        super().__init__(app, artifacts)
        self.wm = wm
        self.wm_proc = None
        self.first_motion_moves = wm in FIRST_MOTION_MOVES
        self.sentinel_no = 0

    # --- X server and window manager -----------------------------------------------------------------------------

    def start_x(self, size=(SCREEN_W, SCREEN_H)):
        try:
            self.display, _ = xvfb.start_xvfb(self.tmp, size, self.procs, self.pipes, die_with_parent,
                                              numbers=range(100, 400))
        except RuntimeError as e:
            raise Failure(str(e))

        home = os.path.join(self.tmp, "home")
        os.makedirs(home)
        runtime = os.path.join(self.tmp, "runtime")
        os.makedirs(runtime, mode=0o700)
        env = dict(os.environ)
        # No session bus: where dbus-x11 is installed, a careless client would start a bus daemon of its own.
        for var in ("QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "XAUTHORITY", "SESSION_MANAGER", "DBUS_SESSION_BUS_ADDRESS",
                    "QT_SCALE_FACTOR", "XDG_SESSION_TYPE"):
            env.pop(var, None)
        env.update(DISPLAY=self.display, LANG="C.UTF-8", LC_ALL="C.UTF-8", XDG_RUNTIME_DIR=runtime)
        self.env = env
        # The window manager gets a private HOME so parallel runs do not share its cache and session files.
        wm_env = dict(env, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                      XDG_CACHE_HOME=os.path.join(home, ".cache"))
        argv, extra_env = WINDOW_MANAGERS[self.wm]
        wm_env.update(extra_env)
        # One retry: a window manager that has not taken the screen within seconds is stuck, not slow.
        for attempt in (1, 2):
            wm_log = os.path.join(self.tmp, f"{self.wm}-{attempt}.log")
            wm = self.spawn(argv, env=wm_env, stdout=subprocess.DEVNULL, stderr=open(wm_log, "w"))

            def managing():
                if wm.poll() is not None:
                    return "ended"
                return self.wm_ready() and "ready"
            try:
                state = poll(managing, 15, 0.02, f"{self.wm} to manage the screen")
            except Failure:
                state = "stuck"
            if state == "ready":
                break
            with open(wm_log, errors="replace") as f:
                why = f.read().strip()
            try:
                with open(f"/proc/{wm.pid}/wchan") as f:
                    why += f" (waiting in {f.read().strip() or '?'})"
            except OSError:
                pass
            log(f"{self.wm} attempt {attempt} {state} (status {wm.poll()}): {why}")
            if wm.poll() is None:
                wm.kill()
                wm.wait(timeout=3)
        else:
            raise Failure(f"{self.wm} did not take the screen")
        self.wm_proc = wm
        log(f"display {self.display} with {self.wm} ready")

    def wm_ready(self):
        """True once the window manager runs (its check window names itself) and has read its theme."""
        out = self.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK", "_OB_THEME", check_rc=False)
        m = re.search(r"_NET_SUPPORTING_WM_CHECK\(WINDOW\): window id # (0x[0-9a-f]+)", out)
        if not m or m.group(1) not in self.prop(int(m.group(1), 16), "_NET_SUPPORTING_WM_CHECK"):
            return False
        if self.wm == "openbox":
            # _OB_THEME is set once openbox has read its configuration and theme, the slow part of its start: a
            # window mapped before that waits for its frame.
            return "_OB_THEME(UTF8_STRING)" in out
        return True

    def wm_sync(self, timeout=10):
        """Returns once the window manager has handled every event the server gave it before this call: a
        _NET_REQUEST_FRAME_EXTENTS for a window of our own is answered in turn, after the input before it (every
        manager here but KWin takes the request; under KWin this returns at once).

        A manager that has fallen behind takes the events waiting for it together: openbox, handling the motion
        that starts a title-bar drag, takes the next motion queued behind it into the same one, so the move starts
        at that next motion and the window follows only a motion that comes after it. A person's hand keeps moving;
        a test's single motion must wait for the manager to have taken the drag."""
        if self.wm in NO_FRAME_REQUESTS or self.wm_proc is None or self.wm_proc.poll() is not None:
            return   # no manager to wait for
        with self.xlib_display() as (x11, dpy):
            root = x11.XDefaultRootWindow(dpy)
            window = x11.XCreateSimpleWindow(dpy, root, 0, 0, 1, 1, 0, 0, 0)
            extents = x11.XInternAtom(dpy, b"_NET_FRAME_EXTENTS", 0)
            x11.XSelectInput(dpy, window, 1 << 22)   # PropertyChangeMask
            # XClientMessageEvent: type, serial, send_event, display, window, message_type, format, data.l[5]
            event = (ctypes.c_long * 24)()
            ctypes.memmove(event, ctypes.byref(ctypes.c_int(33)), 4)   # ClientMessage
            event[4] = window
            event[5] = x11.XInternAtom(dpy, b"_NET_REQUEST_FRAME_EXTENTS", 0)
            ctypes.memmove(ctypes.addressof(event) + 48, ctypes.byref(ctypes.c_int(32)), 4)
            x11.XSendEvent(dpy, root, 0, (1 << 19) | (1 << 20), event)   # SubstructureNotify|RedirectMask
            x11.XFlush(dpy)
            deadline = time.monotonic() + timeout
            while True:
                while x11.XPending(dpy):
                    got = (ctypes.c_long * 24)()
                    x11.XNextEvent(dpy, got)
                    # XPropertyEvent: type, serial, send_event, display, window, atom, ...
                    if ctypes.c_int.from_buffer(got).value == 28 and got[4] == window and got[5] == extents:
                        return
                left = deadline - time.monotonic()
                if left <= 0:
                    raise Failure(f"timed out after {timeout} s waiting for {self.wm} to handle its events")
                select.select([x11.XConnectionNumber(dpy)], [], [], left)

    def pointer_free(self, timeout=10):
        """Returns once no client holds the pointer: a window manager ends a drag it has been handling, and gives
        the pointer back, only once it has handled the release. A click that comes before goes to the manager
        (KWin takes it into the ended move), not to the window under the pointer; a person sees the drag end first."""
        with self.xlib_display() as (x11, dpy):
            root = x11.XDefaultRootWindow(dpy)
            deadline = time.monotonic() + timeout
            while True:
                # GrabSuccess, else AlreadyGrabbed or GrabFrozen: held by another client. Given back at once.
                if x11.XGrabPointer(dpy, root, 0, 0, 1, 1, 0, 0, 0) == 0:
                    x11.XUngrabPointer(dpy, 0)
                    x11.XSync(dpy, 0)
                    return
                if time.monotonic() > deadline:
                    raise Failure(f"timed out after {timeout} s waiting for {self.wm} to give the pointer back")
                time.sleep(0.005)

    drag_ended = pointer_free

    @contextlib.contextmanager
    def xlib_display(self):
        """A connection of the harness's own to the case's X server, for what no X tool does."""
        x11 = xlib()
        dpy = x11.XOpenDisplay(self.display.encode())
        if not dpy:
            raise Failure(f"cannot open display {self.display}")
        try:
            yield x11, dpy
        finally:
            x11.XCloseDisplay(dpy)

    def click(self, wid, pos):
        # A manager that takes a click on a window for itself first (to focus or raise it) holds the press until it
        # lets it through, and keys typed meanwhile reach the box that had the focus before: a person types once the
        # click has put the caret where it was aimed.
        super().click(wid, pos)
        self.wm_sync()

    # --- X queries -----------------------------------------------------------------------------------------------

    def prop(self, wid, name):
        return self.run("xprop", "-id", str(wid), name, check_rc=False).strip()

    def windows_by_name(self, title):
        out = self.run("xdotool", "search", "--name", "^" + re.escape(title) + "$", check_rc=False)
        return [int(w) for w in out.split()]

    def windows_of_pid(self, pid):
        out = self.run("xdotool", "search", "--pid", str(pid), check_rc=False)
        return [int(w) for w in out.split()]

    def pid_of(self, wid):
        m = re.search(r"= (\d+)", self.prop(wid, "_NET_WM_PID"))
        return int(m.group(1)) if m else None

    def find_visible(self, title):
        for w in self.windows_by_name(title):
            g = self.geometry(w)
            if g and g.mapped and (self.app_pid is None or self.pid_of(w) == self.app_pid):
                return w
        return None

    def geometry(self, wid):
        """Client-area geometry in root coordinates, or None once the window is gone."""
        r = subprocess.run(["xwininfo", "-id", str(wid)], env=self.env, capture_output=True, timeout=5)
        if r.returncode != 0:
            return None
        out = r.stdout.decode(errors="replace")

        def num(label):
            return int(re.search(label + r":\s+(-?\d+)", out).group(1))
        mapped = "IsViewable" in out
        return Geometry(num("Absolute upper-left X"), num("Absolute upper-left Y"), num("Width"), num("Height"),
                        mapped)

    def frame_extents(self, wid):
        """(left, right, top, bottom) of the window manager's frame, or None when the window has none."""
        m = re.search(r"= (\d+), (\d+), (\d+), (\d+)", self.prop(wid, "_NET_FRAME_EXTENTS"))
        return tuple(int(v) for v in m.groups()) if m else None

    def outer(self, wid):
        g = self.geometry(wid)
        l, r, t, b = self.frame_extents(wid) or (0, 0, 0, 0)
        return Geometry(g.x - l, g.y - t, g.w + l + r, g.h + t + b, g.mapped)

    def panel_place(self, x, y, w, h):
        """Where the window manager lets a w x h panel stand that the program puts at x, y."""
        if self.wm not in KEEP_CLIENT_MOVES_ON_SCREEN:
            return x, y
        root = re.search(r"-geometry (\d+)x(\d+)", self.run("xwininfo", "-root"))
        sw, sh = int(root.group(1)), int(root.group(2))
        return min(max(x, 0), sw - w), min(max(y, 0), sh - h)

    def active_window(self):
        m = re.search(r"window id # (0x[0-9a-f]+)", self.run("xprop", "-root", "_NET_ACTIVE_WINDOW", check_rc=False))
        return int(m.group(1), 16) if m else None

    def client_list(self):
        out = self.run("xprop", "-root", "_NET_CLIENT_LIST", check_rc=False)
        return [int(w, 16) for w in re.findall(r"0x[0-9a-f]+", out)]

    def atoms(self, wid, name):
        return set(re.findall(r"[A-Z_][A-Z0-9_]+", self.prop(wid, name).partition("=")[2]))

    def motif_hints(self, wid):
        m = re.search(r"= (0x[0-9a-f]+), (0x[0-9a-f]+), (0x[0-9a-f]+)", self.prop(wid, "_MOTIF_WM_HINTS"))
        return tuple(int(v, 16) for v in m.groups()) if m else None

    # --- reading what the screen shows --------------------------------------------------------------------------

    def clipboard(self):
        try:
            r = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=self.env, capture_output=True,
                               timeout=3)
        except subprocess.TimeoutExpired:
            return None
        return r.stdout.decode("utf-8", errors="replace") if r.returncode == 0 else None

    def put_sentinel(self):
        deadline = time.monotonic() + 5
        while True:
            self.sentinel_no += 1
            sentinel = f"@@e2e-sentinel-{self.sentinel_no}@@"
            # -quiet keeps xclip in the foreground so its PID is ours to stop; it exits when another client takes over.
            p = self.spawn(["xclip", "-quiet", "-selection", "clipboard", "-i"], stdin=subprocess.PIPE,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            p.stdin.write(sentinel.encode())
            p.stdin.close()
            # A program that was busy (a sealed lookup) makes an earlier copy late and may take the clipboard before
            # the sentinel was seen there; xclip then ends, and another sentinel goes up.
            state = poll(lambda: "up" if self.clipboard() == sentinel else "lost" if p.poll() is not None else None,
                         max(deadline - time.monotonic(), 0), 0.01, "the clipboard sentinel")
            if state == "up":
                return sentinel

    def copy_focused(self, timeout=1.0):
        """Text of the focused box via select-all + copy, or None if nothing was copied in time."""
        sentinel = self.put_sentinel()
        self.key("ctrl+a", "ctrl+c")
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            text = self.clipboard()
            if text is not None and text != sentinel:
                return text
            time.sleep(0.01)
        return None

    def read_focused(self):
        text = self.copy_focused(timeout=0.3)
        if text is not None:
            return text
        # Nothing came: rather than trust a timeout, append a marker, copy again and take the marker off. Key events
        # reach the program in order, so a late first copy shows up before the marked one and is skipped.
        self.key("End")
        self.type("Q")
        sentinel = self.put_sentinel()
        self.key("ctrl+a", "ctrl+c")
        marked = poll(lambda: (t := self.clipboard()) is not None and t != sentinel and t.endswith("Q") and t, 3,
                      0.01, "the marked box text on the clipboard")
        self.key("End", "BackSpace")
        return marked[:-1]

    def read_box(self, pos):
        self.click(self.query, pos)
        return self.read_focused()

    def find_message_box(self, timeout=5):
        def visible_box():
            for w in self.windows_by_name(BOX_TITLE):
                g = self.geometry(w)
                if g and g.mapped and self.pid_of(w) == self.app_pid:
                    return w
            return None
        return poll(visible_box, timeout, 0.02, f"a window titled {BOX_TITLE!r}")

    def check_message_box(self, box, text):
        # A QMessageBox's text cannot be read from outside on Linux; its kind and title can.
        types = self.atoms(box, "_NET_WM_WINDOW_TYPE")
        check("_NET_WM_WINDOW_TYPE_DIALOG" in types, f"message box is a dialog ({', '.join(sorted(types))})")
        check(self.prop(box, "_NET_WM_NAME").endswith(f'"{BOX_TITLE}"'), f"message box titled {BOX_TITLE!r}")
        log(f"  message box state {sorted(self.atoms(box, '_NET_WM_STATE'))}, {self.prop(box, 'WM_TRANSIENT_FOR')}")
