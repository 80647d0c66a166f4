"""What the sessions and the cases of both targets share: the program's window as the cases know it, the small
helpers every check uses, the base Session and the checks both targets' cases make.

Both programs are tested on an Xvfb of the session's own, so starting and stopping processes, starting the program,
input through xdotool and screenshots are the same for both. What differs (how the display is set up, how a window,
a frame or a box is read) is an adapter's: x11_target.py for the Linux program, windows_target.py for the Windows
one under Wine.
"""

import ctypes
import os
import shutil
import signal
import subprocess
import tempfile
import time

# The program's windows, texts and controls, the same on both targets.
TITLE = "2018年翠县一中西校区公开招聘教师笔试成绩查询软件"
PANEL_TITLE = "软件使用说明"
BOX_TITLE = "工程1"
WRONG_PAIR_TEXT = "身份证号或准考证号错误，请重新输入！"
CLIENT_W, CLIENT_H = 606, 335

# Control centres in client pixels (layout twips / 15).
TEXT_ID = (232 + 120, 88 + 16)        # Text1(0)
TEXT_TICKET = (232 + 120, 128 + 16)   # Text1(1)
TEXT_NAME = (232 + 120, 168 + 16)     # Text1(2)
TEXT_SCORE = (232 + 120, 208 + 16)    # Text1(3)
BTN_CONFIRM = (184 + 108, 192 + 20)   # Command3 "确    定"
BTN_AGAIN = (112 + 76, 264 + 20)      # Command1 "继续查询"
BTN_EXIT = (336 + 76, 264 + 20)       # Command2 "退    出"
BTN_PANEL = (584 + 11, 104 + 52)      # Command4, its right strip is cut off by the frame


class Failure(Exception):
    pass


def log(msg):
    print(msg, flush=True)


def check(cond, msg):
    if not cond:
        raise Failure(msg)
    log("  ok: " + msg)


def poll(fn, timeout, interval=0.01, what="condition"):
    """Calls fn until it returns a truthy value; our own loop, since xdotool's --sync waits in 0.5 s steps."""
    deadline = time.monotonic() + timeout
    while True:
        value = fn()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def die_with_parent():
    # A harness killed outright (a test timeout, kill -9) must not leave X servers behind.
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


class Geometry:
    def __init__(self, x, y, w, h, mapped):
        self.x, self.y, self.w, self.h, self.mapped = x, y, w, h, mapped

    def __repr__(self):
        return f"{self.w}x{self.h}+{self.x}+{self.y}{'' if self.mapped else ' (unmapped)'}"


class Session:
    """One case's processes, stopped by PID in reverse order, and the program under test on the session's display.

    An adapter sets the display up (start_x) and answers what the steps and the cases ask about windows: geometry,
    outer, frame_extents, find_visible, windows_of_pid, pid_of, active_window, client_list, read_box, read_focused,
    find_message_box, check_message_box and prop."""

    def __init__(self, app, artifacts):
        self.app = app
        self.artifacts = artifacts
        self.procs = []          # every process started, stopped by PID in reverse order
        self.pipes = []
        self.tmp = tempfile.mkdtemp(prefix="e2e-")
        self.display = None
        self.env = None
        self.app_proc = None
        self.app_pid = None
        self.scale = 1.0         # device pixels per layout pixel, as QT_SCALE_FACTOR gives the program
        self.first_motion_moves = False   # a title-bar drag moves the window from its first motion on

    # --- processes -------------------------------------------------------------------------------------------------

    def spawn(self, argv, **kw):
        kw.setdefault("stdin", subprocess.DEVNULL)
        kw.setdefault("env", self.env)
        p = subprocess.Popen(argv, preexec_fn=die_with_parent, **kw)
        self.procs.append(p)
        return p

    def run(self, *argv, timeout=5, check_rc=True):
        r = subprocess.run(argv, env=self.env, capture_output=True, timeout=timeout)
        if check_rc and r.returncode != 0:
            raise Failure(f"{' '.join(argv)} failed ({r.returncode}): {r.stderr.decode(errors='replace').strip()}")
        return r.stdout.decode("utf-8", errors="replace")

    def cleanup(self):
        for p in reversed(self.procs):
            if p.poll() is None:
                try:
                    p.terminate()
                    p.wait(timeout=3)
                except subprocess.TimeoutExpired:
                    p.kill()
                    p.wait(timeout=3)
                except ProcessLookupError:
                    pass
        for fd in self.pipes:
            os.close(fd)
        shutil.rmtree(self.tmp, ignore_errors=True)

    # --- the program ---------------------------------------------------------------------------------------------

    # How the program is started: directly here; the Wine session puts Wine's loader in front and runs it from its
    # own folder, and gives Wine longer to show the first window.
    loader = ()
    show_timeout = 20

    def app_folder(self):
        return None

    def start_app(self, prefix=(), args=(), env=None, active=True):
        self.app_log = open(os.path.join(self.tmp, "app.log"), "w")
        self.app_proc = self.spawn(list(prefix) + list(self.loader) + [self.app] + list(args), stdout=self.app_log,
                                   stderr=subprocess.STDOUT, env=dict(self.env, **(env or {})), cwd=self.app_folder())
        # Under a wrapper (strace) or a loader the program's PID is learnt from its window; the display is ours alone.
        wrapped = bool(prefix) or bool(self.loader)
        self.app_pid = None if wrapped else self.app_proc.pid
        t0 = time.monotonic()
        def shown():
            if self.app_proc.poll() is not None:
                raise Failure(f"the program ended with status {self.app_proc.returncode} before showing its window")
            return self.find_visible(TITLE)
        self.query = poll(shown, self.show_timeout, 0.02, "the query window")
        if wrapped:
            self.app_pid = self.pid_of(self.query)
        log(f"query window 0x{self.query:x} visible after {time.monotonic() - t0:.2f} s")
        if active:
            poll(lambda: self.active_window() == self.query, 5, 0.01, "the query window to become active")
        return self.query

    def app_log_text(self):
        try:
            with open(os.path.join(self.tmp, "app.log"), encoding="utf-8", errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def wait_exit(self, timeout):
        try:
            return self.app_proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"the program did not end within {timeout} s")

    def panel_place(self, x, y, w, h):
        """Where a w x h panel stands that the program puts at x, y: there, unless a window manager keeps it on the
        screen."""
        return x, y

    # --- input and screenshots, on the session's X display ------------------------------------------------------

    def wm_sync(self):
        """Returns once the window manager has handled the events before (see X11Session); Wine runs none."""

    def drag_ended(self):
        """Returns once whatever moved a window dragged by its title bar is done with the drag (see X11Session)."""

    def click(self, wid, pos):
        g = self.geometry(wid)
        self.run("xdotool", "mousemove", str(g.x + round(pos[0] * self.scale)), str(g.y + round(pos[1] * self.scale)),
                 "click", "1")

    def key(self, *keys):
        self.run("xdotool", "key", "--clearmodifiers", *keys)

    def type(self, text):
        self.run("xdotool", "type", "--delay", "4", "--", text, timeout=20)

    def screenshot(self, name):
        if not self.artifacts:
            return
        os.makedirs(self.artifacts, exist_ok=True)
        path = os.path.join(self.artifacts, name + ".png")
        # Take shots until two in a row agree, so a repaint in flight is not caught half done.
        previous = None
        for _ in range(20):
            self.run("/usr/bin/import", "-display", self.display, "-window", "root", path, timeout=20)
            with open(path, "rb") as f:
                data = f.read()
            if data == previous:
                break
            previous = data
            time.sleep(0.05)
        log(f"  screenshot {path}")

    # --- steps shared by the cases ----------------------------------------------------------------------------

    def enter_pair(self, id_number, ticket, use_tab=False):
        self.click(self.query, TEXT_ID)
        self.key("ctrl+a", "BackSpace")
        self.type(id_number)
        if use_tab:
            self.key("Tab")
        else:
            self.click(self.query, TEXT_TICKET)
        self.key("ctrl+a", "BackSpace")
        self.type(ticket)
        self.click(self.query, BTN_CONFIRM)

    def expect_result(self, row):
        # A sealed program takes a moment for the lookup, and under Wine a box may be read before the click arrives.
        poll(lambda: self.read_box(TEXT_NAME) == row["CandidateName"], 15, 0.05, "the name to show")
        name = self.read_box(TEXT_NAME)
        score = self.read_box(TEXT_SCORE)
        check(name == row["CandidateName"], f"name box shows {name!r}, expected {row['CandidateName']!r}")
        check(score == row["Score"], f"score box shows {score!r}, expected {row['Score']!r}")

    def query_row(self, row, use_tab=False):
        log(f"query ticket {row['TicketNumber']} id {row['IdNumber']}")
        self.enter_pair(row["IdNumber"], row["TicketNumber"], use_tab)
        self.expect_result(row)

    def show_panel(self):
        self.click(self.query, BTN_PANEL)
        return poll(lambda: self.find_visible(PANEL_TITLE), 5, 0.01, "the instructions panel to show")


# --- checks the cases of both targets make ---------------------------------------------------------------------------


def check_docked(s, q, p, what=""):
    """The panel flush against the query window's outer right edge, as high as it and half as wide (device pixels)."""
    def placed():
        o, pg = s.outer(q), s.geometry(p)
        return (pg.x, pg.y) == s.panel_place(o.x + o.w, o.y, pg.w, pg.h)
    # A window that has just moved (put back at the centre once a manager framed it after mapping it, as KWin does)
    # has the panel follow at the program's next tick: wait for that, then judge.
    try:
        poll(placed, 2, 0.01, "the panel to follow the window")
    except Failure:
        pass   # the checks below say where it stands
    o, pg = s.outer(q), s.geometry(p)
    log(f"query outer {o}, panel {pg}{what}")
    right, top = s.panel_place(o.x + o.w, o.y, pg.w, pg.h)
    kept = "" if (right, top) == (o.x + o.w, o.y) else f", where {s.wm} keeps it on the screen"
    check(pg.x == right, f"panel left {pg.x} == query outer right {right}{kept}")
    check(pg.y == top, f"panel top {pg.y} == query outer top {top}{kept}")
    check(pg.h == o.h, f"panel height {pg.h} == query outer height {o.h}")
    check(abs(pg.w - o.w / 2) <= 1, f"panel width {pg.w} == half the query outer width {o.w / 2} (±1)")


def drag_title_bar(s, q, p, steps, off_screen=False):
    """Drags the query window by its title bar with the button held through every step, as a person does, and
    checks after each step that the window manager moved the window and that the panel followed it."""
    o, panel = s.outer(q), s.geometry(p)
    ext = s.frame_extents(q)
    press = (o.x + o.w // 3, o.y + ext[2] // 2)   # on the title bar, clear of its buttons
    s.run("xdotool", "mousemove", str(press[0]), str(press[1]))
    # A person presses once the screen has settled: the manager done with the window shown or the click before.
    s.wm_sync()
    s.run("xdotool", "mousedown", "1")
    delays = []
    try:
        # openbox starts a move on the first motion past its drag threshold and moves the window from the next.
        x, y = press[0] + 12, press[1]
        s.run("xdotool", "mousemove", str(x), str(y))
        if s.first_motion_moves:
            # Windows' move loop and KWin follow from the first motion on. Under Wine a motion that comes before the
            # loop has taken its starting point is applied twice (seen at 144 dpi, where the press repaints more):
            # wait for the window to have moved by the first motion before the next.
            poll(lambda: ((g := s.outer(q)).x, g.y) == (o.x + 12, o.y), 3, 0.002,
                 "the move loop to follow the first motion")
        else:
            # A person sees the window follow the hand; a test sends one motion per step, which moves the window
            # only if the manager has taken the drag before it arrives (see X11Session.wm_sync).
            s.wm_sync()
        for dx, dy in steps:
            x, y = x + dx, y + dy
            want_window = (o.x + x - press[0], o.y + y - press[1])
            t0 = time.monotonic()
            s.run("xdotool", "mousemove", str(x), str(y))
            poll(lambda: ((g := s.outer(q)).x, g.y) == want_window, 3, 0.002,
                 f"the window manager to drag the window to {want_window}")
            want_panel = s.panel_place(want_window[0] + o.w, want_window[1], panel.w, panel.h)
            if off_screen:
                continue   # see case_drag in e2e.py
            poll(lambda: ((g := s.geometry(p)).x, g.y) == want_panel, 2, 0.002,
                 f"the panel to follow the drag to {want_panel}")
            delays.append((time.monotonic() - t0) * 1000)
            log(f"  ok: button held, window dragged to {want_window}, panel at {want_panel}")
    finally:
        s.run("xdotool", "mouseup", "1")
    s.drag_ended()
    log(f"panel follow delays during the drag (ms): {', '.join(f'{d:.0f}' for d in delays)}")


def expect_clean_end(s, t0, what):
    rc = s.wait_exit(5)
    elapsed = time.monotonic() - t0
    log(f"program ended {elapsed * 1000:.0f} ms after {what}, status {rc}")
    check(rc == 0, f"exit status 0 after {what} (got {rc})")
    check(elapsed < 2, f"ended at once ({elapsed:.2f} s)")
    # The X server drops a client's windows once it notices the closed connection, which may trail the exit a bit.
    poll(lambda: not s.windows_of_pid(s.app_pid), 2, 0.01, "the program's windows to go")
    log("  ok: no window of the program left on the display")
    check(not [w for w in s.client_list() if s.pid_of(w) == s.app_pid], "window manager lists none of its windows")
