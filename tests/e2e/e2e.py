#!/usr/bin/python3
"""Real-window end-to-end cases of the score-query program, and the command line that runs one.

Each case drives the built program as a person would (typing, clicks, the window manager's close) and reads what
the screen shows, through a session that starts its own X server on a free display and stops every process it
started by its PID, also on failure: X11Session (x11_target.py) for the Linux program, WineSession
(windows_target.py) for the Windows one under Wine. session.py holds what both share. The page runs its own cases
(web_cases.py) in a browser under WebDriver (WebSession, web_target.py).

Usage: e2e.py CASE --app BINARY --roster TABLE [--artifacts DIR] [--wm WM] [--target windows ...]
Cases: see CASES at the bottom. Only the Python standard library and Debian's X tools are used.
"""

import argparse
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import threading
import time

import web_target
import windows_target
from memory_image import memory_image
from session import (BTN_AGAIN, BTN_EXIT, BTN_PANEL, CLIENT_H, CLIENT_W, PANEL_TITLE, TEXT_ID, TEXT_TICKET, TITLE,
                     WRONG_PAIR_TEXT, Failure, check, check_docked, drag_title_bar, expect_clean_end, log, poll)
from x11_target import SCREEN_H, SCREEN_W, WINDOW_MANAGERS, X11Session

# Motif hint bits (MwmUtil.h).
MWM_HINTS_FUNCTIONS, MWM_HINTS_DECORATIONS = 1, 2
MWM_FUNC_ALL, MWM_FUNC_MINIMIZE, MWM_FUNC_MAXIMIZE = 1, 8, 16
MWM_DECOR_ALL, MWM_DECOR_MINIMIZE, MWM_DECOR_MAXIMIZE = 1, 32, 64


def read_roster(path):
    with open(path, encoding="utf-8") as f:
        lines = f.read().split("\n")
    header = lines[0].split("\t")
    if header != ["TicketNumber", "CandidateName", "IdNumber", "Score"]:
        raise Failure(f"unexpected roster header {header}")
    rows = [dict(zip(header, line.split("\t"))) for line in lines[1:] if line]
    if len(rows) != 344:
        raise Failure(f"roster has {len(rows)} rows, expected 344")
    return rows


# --- cases -----------------------------------------------------------------------------------------------------------


def case_startup(s, rows):
    s.start_x()
    q = s.start_app()
    time.sleep(0.2)   # a few timer ticks, so a panel shown by mistake would be seen
    ours = [w for w in s.windows_of_pid(s.app_pid) if (g := s.geometry(w)) and g.mapped]
    check(ours == [q], f"exactly one visible window of the program (found {len(ours)})")
    managed = [w for w in s.client_list() if s.pid_of(w) == s.app_pid and s.geometry(w).mapped]
    check(managed == [q], "the window manager lists exactly that one visible window")
    check(s.prop(q, "_NET_WM_NAME").endswith(f'"{TITLE}"'), f"title is {TITLE!r}")
    check("_NET_WM_STATE_SKIP_TASKBAR" not in s.atoms(q, "_NET_WM_STATE"), "query window keeps its taskbar entry")

    g = s.geometry(q)
    check((g.w, g.h) == (CLIENT_W, CLIENT_H), f"client area {g.w}x{g.h} is {CLIENT_W}x{CLIENT_H}")
    ext = s.frame_extents(q)
    check(ext is not None and any(ext), f"the window manager framed the window (extents {ext})")
    # A manager that frames the window only after mapping it (KWin) has the program put it back at the centre
    # then: wait for the window to stand still where the program puts it.
    def centred():
        o = s.outer(q)
        return abs(o.x - (SCREEN_W - o.w) / 2) <= 1 and abs(o.y - (SCREEN_H - o.h) / 2) <= 1
    try:
        poll(centred, 3, 0.01, "the window to be centred")
    except Failure:
        pass   # the check below says where it stands
    o = s.outer(q)
    cx, cy = (SCREEN_W - o.w) / 2, (SCREEN_H - o.h) / 2
    check(abs(o.x - cx) <= 1 and abs(o.y - cy) <= 1,
          f"outer frame {o} centred on {SCREEN_W}x{SCREEN_H} (expected left {cx}, top {cy})")

    hints = s.prop(q, "WM_NORMAL_HINTS")
    mn = re.search(r"minimum size: (\d+) by (\d+)", hints)
    mx = re.search(r"maximum size: (\d+) by (\d+)", hints)
    check(mn and mx and mn.groups() == mx.groups() == (str(CLIENT_W), str(CLIENT_H)),
          f"size hints fix the size: min {mn and mn.groups()} max {mx and mx.groups()}")
    allowed = s.atoms(q, "_NET_WM_ALLOWED_ACTIONS")
    for action in ("_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT", "_NET_WM_ACTION_RESIZE"):
        check(action not in allowed, f"window manager does not offer {action}")
    # openbox keeps _NET_WM_ACTION_MINIMIZE and draws the buttons whatever a window asks for, so minimise is judged
    # by the window's own Motif hints only. KWin ignores the Motif minimise bits too; it drops minimise only for a
    # window it also leaves out of Alt+Tab and its focus chain (a utility, menu or toolbar type, or no input).
    mwm = s.motif_hints(q)
    check(mwm is not None, f"window carries _MOTIF_WM_HINTS {mwm}")
    flags, functions, decorations = mwm
    if flags & MWM_HINTS_FUNCTIONS:
        granted = ~functions if functions & MWM_FUNC_ALL else functions
        check(not granted & (MWM_FUNC_MINIMIZE | MWM_FUNC_MAXIMIZE),
              f"Motif functions 0x{functions:x} grant neither minimise nor maximise")
    if flags & MWM_HINTS_DECORATIONS:
        granted = ~decorations if decorations & MWM_DECOR_ALL else decorations
        check(not granted & (MWM_DECOR_MINIMIZE | MWM_DECOR_MAXIMIZE),
              f"Motif decorations 0x{decorations:x} ask for neither minimise nor maximise button")
    check(flags & (MWM_HINTS_FUNCTIONS | MWM_HINTS_DECORATIONS), "Motif hints restrict functions or decorations")

    # Typing without a click lands in the identity-card box.
    s.type("34012219920505X0ab")
    check(s.read_focused() == "34012219920505X0ab", "typed text reads back from the focused box")
    check(s.read_box(TEXT_TICKET) == "", "ticket box is still empty")
    check(s.read_box(TEXT_ID) == "34012219920505X0ab", "the typed text is in the identity-card box")
    check(s.app_proc.poll() is None, "program still running")

    # A window manager that crashed leaves its root-window properties behind; nobody answers a request now.
    s.app_proc.terminate()
    s.app_proc.wait(timeout=5)
    s.wm_proc.kill()
    s.wm_proc.wait(timeout=5)
    check("window id # 0x" in s.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK", check_rc=False),
          f"{s.wm}, killed, left _NET_SUPPORTING_WM_CHECK on the root window")
    t0 = time.monotonic()
    q = s.start_app(active=False)
    mapped = time.monotonic() - t0
    check(mapped <= 1, f"without a window manager the window maps within 1 s ({mapped:.2f} s)")
    t0 = time.monotonic()
    s.show_panel()
    shown = time.monotonic() - t0
    check(shown <= 1, f"the panel shows within 1 s of the click ({shown:.2f} s)")
    check(s.app_proc.poll() is None, "program still running")


def case_query(s, rows):
    s.start_x()
    s.start_app()
    absent = next(r for r in rows if r["Score"] == "缺考")
    with_x = next(r for r in rows if r["IdNumber"].endswith("X"))
    picks = [rows[0], with_x, absent, rows[-1]]
    for i, row in enumerate(picks):
        s.query_row(row, use_tab=bool(i % 2))
        check(s.read_box(TEXT_ID) == row["IdNumber"], "identity-card number stays in its box")
        check(s.read_box(TEXT_TICKET) == row["TicketNumber"], "ticket number stays in its box")
        s.click(s.query, BTN_AGAIN)
        # Back in entry: all inputs were emptied by the button.
        check(s.read_box(TEXT_ID) == "" and s.read_box(TEXT_TICKET) == "", "继续查询 empties both inputs")
    check(s.app_proc.poll() is None, "program still running")


def case_wrong_pair(s, rows):
    s.start_x()
    q = s.start_app()
    a, b = rows[10], rows[20]
    with_x = next(r for r in rows if r["IdNumber"].endswith("X"))
    wrong = [
        ("identity of one row, ticket of another", a["IdNumber"], b["TicketNumber"]),
        ("lower-case check character", with_x["IdNumber"].lower(), with_x["TicketNumber"]),
        ("numbers in swapped boxes", a["TicketNumber"], a["IdNumber"]),
    ]
    for what, id_number, ticket in wrong:
        log(f"wrong pair: {what}")
        s.enter_pair(id_number, ticket)
        box = s.find_message_box()
        s.check_message_box(box, WRONG_PAIR_TEXT)
        poll(lambda: s.active_window() == box, 5, 0.01, "the message box to take the focus")
        s.key("Return")
        poll(lambda: not ((g := s.geometry(box)) and g.mapped), 5, 0.01, "the message box to close")
        check(s.read_box(TEXT_ID) == "", "identity-card box emptied")
        check(s.read_box(TEXT_TICKET) == "", "ticket box emptied")
    log("a correct pair after wrong ones")
    s.query_row(a)
    s.click(q, BTN_AGAIN)
    s.query_row(b)
    check(s.app_proc.poll() is None, "program still running")


def case_undo(s, rows):
    """Undo (Ctrl+Z) in either input box gives back no earlier text: after 继续查询 has emptied the boxes of a found
    pair, and after the wrong pair's message has emptied them."""
    s.start_x()
    q = s.start_app()
    a, b, c = rows[30], rows[40], rows[50]

    def undo_gives_nothing(when):
        for box, what in ((TEXT_ID, "identity-card"), (TEXT_TICKET, "ticket")):
            s.click(q, box)
            s.key("ctrl+z")
            s.key("ctrl+z")
            text = s.read_box(box)
            check(text == "", f"Ctrl+Z in the {what} box {when} gives back nothing (it gave {text!r})")

    s.query_row(a)
    s.click(q, BTN_AGAIN)
    undo_gives_nothing("after 继续查询")
    s.enter_pair(b["IdNumber"], c["TicketNumber"])
    box = s.find_message_box(timeout=15)
    poll(lambda: s.active_window() == box, 5, 0.01, "the message box to take the focus")
    s.key("Return")
    poll(lambda: not ((g := s.geometry(box)) and g.mapped), 5, 0.01, "the message box to close")
    undo_gives_nothing("after the wrong pair's message")
    check(s.app_proc.poll() is None, "program still running")


def case_panel(s, rows):
    s.start_x()
    q = s.start_app()
    # The panel exists hidden from the first timer tick on; nothing of it may be visible before the click.
    time.sleep(0.15)
    check(s.find_visible(PANEL_TITLE) is None, "no panel visible before the first click")
    p = s.show_panel()
    o, pg = s.outer(q), s.geometry(p)
    ext = s.frame_extents(p)
    check(ext is None or not any(ext), f"panel has no frame (extents {ext})")
    mwm = s.motif_hints(p)
    check(mwm is not None and mwm[0] & MWM_HINTS_DECORATIONS and mwm[2] == 0,
          f"panel's Motif hints ask for no decorations {mwm}")
    check("_NET_WM_STATE_SKIP_TASKBAR" in s.atoms(p, "_NET_WM_STATE"), "panel skips the taskbar")
    check(s.prop(p, "_NET_WM_NAME").endswith(f'"{PANEL_TITLE}"'), f"panel titled {PANEL_TITLE!r}")
    check_docked(s, q, p)

    ext = s.frame_extents(q)
    size = (pg.w, pg.h)
    delays = []
    # The last place leaves room for the panel beside the window: where a manager keeps the panel on the screen, it
    # would stand over the button that the next click aims at.
    for x, y in [(100, 120), (520, 380), (40, 640), (600, 500), (300, 60)]:
        target = s.panel_place(x - ext[0] + o.w, y - ext[2], *size)   # windowmove places the client area

        def docked():
            g = s.geometry(p)
            return (g.x, g.y) == target
        time.sleep(random.uniform(0, 0.05))   # otherwise every move lands at the same phase of the 50 ms timer
        t0 = time.monotonic()
        s.run("xdotool", "windowmove", str(q), str(x), str(y))
        poll(docked, 2, 0.002, f"the panel to follow to {target}")
        delays.append((time.monotonic() - t0) * 1000)
        check((s.geometry(q).x, s.geometry(q).y) == (x, y), f"query window moved to {x},{y}")
    # How quickly it follows is a figure for the benchmarks (bench/compare.py), not a verdict here: on a loaded
    # machine the window manager and the X server add their own delays to the program's tick.
    log(f"panel follow delays (ms): {', '.join(f'{d:.0f}' for d in delays)}")
    pg = s.geometry(p)
    check((pg.w, pg.h) == size, f"panel keeps its size {size[0]}x{size[1]} while following")

    s.click(q, BTN_PANEL)
    poll(lambda: not s.geometry(p).mapped, 5, 0.01, "the panel to hide")
    check("IsUnMapped" in s.run("xwininfo", "-id", str(p)), "second click hides the panel (IsUnMapped)")

    # Hidden, it still follows, so the third click shows it at the new place.
    # Qt keeps a hidden window's new place to itself until it is shown, so there is nothing to poll: give the timer
    # a few ticks.
    s.run("xdotool", "windowmove", str(q), "200", "200")
    time.sleep(0.2)
    p2 = s.show_panel()
    o = s.outer(q)
    pg = s.geometry(p2)
    check((pg.x, pg.y) == (o.x + o.w, o.y), f"third click shows the panel against the moved window ({pg})")
    check(s.app_proc.poll() is None, "program still running")


def case_drag(s, rows):
    s.start_x()
    q = s.start_app()
    p = s.show_panel()
    check_docked(s, q, p)
    drag_title_bar(s, q, p, [(40, 25), (60, 40), (-70, 90), (120, -30), (-50, -60)])
    check_docked(s, q, p, " after the drag")
    # To the screen's right edge and past it: a manager keeps a window that moves itself on the screen, and the
    # program must neither let it nor believe the panel stands where it asked (the server has it elsewhere).
    drag_title_bar(s, q, p, [(SCREEN_W - s.outer(q).x - s.outer(q).w + 80, 0)], off_screen=True)
    time.sleep(0.15)   # a few ticks with the window standing still
    o, pg = s.outer(q), s.geometry(p)
    if (pg.x, pg.y) == (o.x + o.w, o.y):
        check_docked(s, q, p, " dragged past the screen's right edge")
    else:
        # openbox and xfwm4 keep a tenth of a window that a client moves off the screen in sight, whichever way it
        # asks. The program must see the panel where the server has it, not where it asked: it then asks again at
        # every tick. Both ways of asking can be seen from outside: xfwm4 answers each refused ConfigureRequest with
        # a synthetic ConfigureNotify, and a _NET_MOVERESIZE_WINDOW goes to the root window, where any client may
        # listen (openbox answers that one with nothing).
        log(f"the window manager keeps the panel on the screen at {pg}, query outer {o}")
        events = os.path.join(s.tmp, "panel-events.txt")
        root_events = os.path.join(s.tmp, "root-events.txt")
        watchers = [s.spawn(["xev", "-id", str(p), "-event", "structure"], stdout=open(events, "w")),
                    s.spawn(["xev", "-root", "-event", "substructure"], stdout=open(root_events, "w"))]
        time.sleep(0.5)
        for watcher in watchers:
            watcher.terminate()
            watcher.wait(timeout=3)
        with open(events, errors="replace") as f:
            answered = f.read().count("synthetic YES")
        with open(root_events, errors="replace") as f:
            moves = len(re.findall(rf"ClientMessage event, serial \d+, synthetic YES, window 0x{p:x},\s+"
                                   r"message_type 0x[0-9a-f]+ \(_NET_MOVERESIZE_WINDOW\)", f.read()))
        check(answered + moves >= 3, f"the program keeps asking for the panel's place at each tick ({answered} "
              f"answered ConfigureRequests and {moves} _NET_MOVERESIZE_WINDOW in 0.5 s), as it sees the panel where "
              "the server has it")
    # Back to where the panel fits beside the window on every manager, clear of the button clicked next.
    drag_title_bar(s, q, p, [(-480, 0)])
    # Hidden, the panel is still kept in place, so it shows at the right place when next shown.
    s.click(q, BTN_PANEL)
    poll(lambda: not s.geometry(p).mapped, 5, 0.01, "the panel to hide")
    drag_title_bar(s, q, p, [(-60, 30), (90, 70)])
    p = s.show_panel()
    check_docked(s, q, p, " shown again after a drag while hidden")
    check(s.app_proc.poll() is None, "program still running")


def case_late_frame(s, rows):
    """A window manager that has fallen behind (a busy machine, a desktop still starting) frames the window seconds
    after the program showed it, and answers no request for the frame meanwhile: the panel, loaded at the first
    tick, is still as high as the framed window."""
    s.start_x()
    wm = s.wm_proc.pid
    os.kill(wm, signal.SIGSTOP)

    def stand_still():
        try:
            poll(lambda: s.windows_by_name(TITLE), 20, 0.02, "the program to make its window")
            time.sleep(4)   # the manager stands still this long after the window was shown
        finally:
            os.kill(wm, signal.SIGCONT)
    stall = threading.Thread(target=stand_still)
    stall.start()
    try:
        q = s.start_app()
    finally:
        stall.join()
    check_docked(s, q, s.show_panel())
    check(s.app_proc.poll() is None, "program still running")


def case_close_entry(s, rows):
    s.start_x()
    q = s.start_app()
    check(s.active_window() == q, "query window active")
    t0 = time.monotonic()
    s.key("alt+F4")   # openbox's own close key
    expect_clean_end(s, t0, "alt+F4 in entry state")


def case_close_result_panel(s, rows):
    s.start_x()
    q = s.start_app()
    s.query_row(rows[5])
    p = s.show_panel()
    check(s.geometry(p).mapped, "panel shown")
    t0 = time.monotonic()
    s.run("wmctrl", "-i", "-c", f"0x{q:x}")   # _NET_CLOSE_WINDOW, as the close box does
    expect_clean_end(s, t0, "the window manager's close with result and panel shown")


def case_exit_button(s, rows):
    s.start_x()
    s.start_app()
    s.query_row(rows[7])
    t0 = time.monotonic()
    s.click(s.query, BTN_EXIT)
    expect_clean_end(s, t0, "a click on 退    出")


# Opens for writing that are allowed, and why: fontconfig refreshes a stale font cache by itself when the toolkit
# loads fonts; the program cannot stop it.
ALLOWED_WRITE = [
    re.compile(r"^/var/cache/fontconfig/"),
    re.compile(r"/\.cache/fontconfig/"),
    re.compile(r"/fontconfig/[^/]*cache[^/]*$"),
]
WRITE_FLAGS = re.compile(r"\bO_(WRONLY|RDWR|CREAT|TRUNC)\b")


def trace_program(s, row, name, env):
    """Runs the program under strace in `env`, queries `row` and closes it; returns the trace's lines."""
    trace = os.path.join(s.tmp, f"trace-{name}.txt")
    saved, s.env = s.env, env
    try:
        s.start_app(prefix=[shutil.which("strace"), "-f", "-e",
                            "trace=execve,socket,connect,open,openat,creat,mkdir,mkdirat", "-o", trace])
        s.query_row(row)
        t0 = time.monotonic()
        s.run("wmctrl", "-i", "-c", f"0x{s.query:x}")
        rc = s.wait_exit(10)
    finally:
        s.env = saved
    log(f"traced program ({name}) ended after {time.monotonic() - t0:.2f} s with status {rc}")
    with open(trace, encoding="utf-8", errors="replace") as f:
        lines = f.read().splitlines()
    if s.artifacts:
        os.makedirs(s.artifacts, exist_ok=True)
        shutil.copy(trace, os.path.join(s.artifacts, f"strace-{name}.txt"))
    check(any(" execve(" in l and os.path.basename(s.app) in l and "= 0" in l for l in lines),
          f"trace records the program's execve ({len(lines)} lines)")
    check(sum(" openat(" in l for l in lines) > 10, "trace records the program's file opens")
    check(rc == 0, f"exit status 0 under strace (got {rc})")

    net, writes, allowed, unix, folders = [], [], {}, 0, []
    for l in lines:
        if re.search(r"\bsocket\((AF_INET|AF_INET6|PF_INET|PF_INET6)\b", l) or \
                re.search(r"\bconnect\(.*sa_family=AF_INET6?\b", l):
            net.append(l)
        elif re.search(r"\bsocket\(AF_UNIX\b", l):
            unix += 1
        m = re.search(r"\b(open|openat|creat)\((?:AT_FDCWD, |\d+, )?\"([^\"]*)\"(.*)", l)
        if m and (m.group(1) == "creat" or WRITE_FLAGS.search(m.group(3).split(")")[0])):
            path = m.group(2)
            if any(a.search(path) for a in ALLOWED_WRITE):
                allowed[path] = l
            else:
                writes.append(l)
        m = re.search(r"\bmkdir(?:at)?\((?:AT_FDCWD, |\d+, )?\"([^\"]*)\".*\)\s+=\s+(-?\d+)", l)
        if m:
            if any(a.search(m.group(1)) for a in ALLOWED_WRITE):
                allowed[m.group(1)] = l
            elif m.group(2) == "0":
                folders.append(l)
            else:
                log(f"  refused mkdir: {l}")
    log(f"{unix} local AF_UNIX socket(s) (display, session bus) allowed")
    main_pid = lines[0].split()[0] if lines else ""
    child_execs = [l for l in lines if " execve(" in l and not l.startswith(main_pid + " ")]
    for l in child_execs:
        log(f"  CHILD: {l}")
    for path in sorted(allowed):
        log(f"  allowed write: {allowed[path]}")
    for l in net:
        log(f"  NETWORK: {l}")
    for l in writes + folders:
        log(f"  WRITE: {l}")
    check(not net, "no AF_INET/AF_INET6 socket or connection")
    check(not writes, "no file opened for writing or creation")
    check(not folders, "no folder created")
    check(not child_execs, "no other program started")
    return lines


def case_strace(s, rows):
    s.start_x()
    check(shutil.which("strace") is not None, "strace is installed")
    # With dbus-x11 and no session bus, a client that asks for the bus starts dbus-launch and leaves a daemon and a
    # file in the home folder behind; the session here has no bus, so this case sees whether the program does.
    check(shutil.which("dbus-launch") is not None, "dbus-x11 is installed")
    check("DBUS_SESSION_BUS_ADDRESS" not in s.env, "no session bus announced")
    trace_program(s, rows[100], "session", s.env)

    # Root on a console, su, some remote sessions: no runtime folder is announced, and Qt, asked for one, would
    # make it under the temporary folder and say so.
    temporary = os.path.join(s.tmp, "temporary")
    os.makedirs(temporary)
    env = {k: v for k, v in s.env.items() if k != "XDG_RUNTIME_DIR"}
    env["TMPDIR"] = temporary
    trace_program(s, rows[101], "no-runtime-folder", env)
    check(not os.listdir(temporary), f"the temporary folder stays empty ({os.listdir(temporary)})")
    output = s.app_log_text()
    check("QStandardPaths" not in output, f"nothing said about the runtime folder ({output.strip()!r})")


def case_screenshots(s, rows):
    s.start_x()
    q = s.start_app()
    s.screenshot("1-entry")
    a = rows[0]
    s.enter_pair(a["IdNumber"], rows[1]["TicketNumber"])
    box = s.find_message_box()
    poll(lambda: s.active_window() == box, 5, 0.01, "the message box to take the focus")
    s.screenshot("2-message-box")
    s.key("Return")
    poll(lambda: not ((g := s.geometry(box)) and g.mapped), 5, 0.01, "the message box to close")
    s.query_row(a)
    s.click(q, TEXT_ID)   # takes the focus and its select-all highlight off the score box just read
    s.key("End")
    s.screenshot("3-result")
    s.show_panel()
    s.screenshot("4-panel")
    for name in ("1-entry", "2-message-box", "3-result", "4-panel"):
        path = os.path.join(s.artifacts, name + ".png")
        size = s.run("/usr/bin/identify", "-format", "%m %wx%h", path).strip()
        check(size == f"PNG {SCREEN_W}x{SCREEN_H}", f"{name}.png is {size}")


def case_command_line(s, rows):
    s.start_x()
    port = 5900 + random.randrange(100, 999)
    sheet = os.path.join(s.tmp, "red.qss")
    with open(sheet, "w") as f:
        f.write("* { background: red; }")
    # Qt's own options, each of which would change the program if it reached the toolkit.
    q = s.start_app(args=["-qwindowtitle", "X", "-geometry", "100x100+0+0", "-style", "windows", "-stylesheet", sheet,
                          "-reverse", "-platform", f"vnc:port={port}"])
    check(s.prop(q, "_NET_WM_NAME").endswith(f'"{TITLE}"'), f"title is still {TITLE!r}")
    o = s.outer(q)
    check((o.w, o.h) != (100, 100) and abs(o.x - (SCREEN_W - o.w) / 2) <= 1 and abs(o.y - (SCREEN_H - o.h) / 2) <= 1,
          f"window centred at its own size, not placed by -geometry ({o})")
    listening = set()
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        with open(table) as f:
            for line in f.readlines()[1:]:
                local, state = line.split()[1], line.split()[3]
                if state == "0A":
                    listening.add(int(local.rsplit(":", 1)[1], 16))
    check(port not in listening, f"nothing listens on TCP port {port} (-platform vnc ignored)")
    # The stylesheet would paint every control red; the pixel in the middle of the identity-card box keeps its colour.
    g = s.geometry(q)
    shot = os.path.join(s.tmp, "shot.png")
    s.run("/usr/bin/import", "-display", s.display, "-window", "root", "-crop",
          f"1x1+{g.x + TEXT_ID[0]}+{g.y + TEXT_ID[1]}", shot, timeout=20)
    pixel = s.run("/usr/bin/convert", shot, "-format", "%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]", "info:")
    check(pixel.strip() != "255,0,0", f"text box not recoloured by -stylesheet (pixel {pixel.strip()})")
    check(s.app_proc.poll() is None, "program still running")


def case_no_display(s, rows):
    taken = set(os.listdir("/tmp/.X11-unix")) if os.path.isdir("/tmp/.X11-unix") else set()
    unused = next(f":{n}" for n in range(400, 999) if f"X{n}" not in taken)
    base = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    for what, env in (("no DISPLAY", base), (f"DISPLAY={unused}, where no server runs", dict(base, DISPLAY=unused))):
        r = subprocess.run([s.app], env=dict(env, LANG="C.UTF-8"), capture_output=True, timeout=10)
        err = r.stderr.decode("utf-8", errors="replace")
        log(f"{what}: status {r.returncode}, said {err.strip()!r}")
        check(r.returncode == 1, f"{what}: exit status 1, no abort (got {r.returncode})")
        lines = err.strip().splitlines()
        check(len(lines) == 1, f"{what}: one line on standard error ({len(lines)})")
        check("图形桌面" in err and "graphical desktop session" in err, f"{what}: the line says, in Chinese and English, "
              "that a graphical desktop session is needed")
        check("einstall" not in err, f"{what}: no advice to reinstall")


def case_scaled(s, rows):
    s.start_x((3840, 2160) if max(s.scales) > 2 else (2560, 1600))   # room for the window and its panel
    for scale in s.scales:
        s.scale = scale
        q = s.start_app(env={"QT_SCALE_FACTOR": str(scale)})
        p = s.show_panel()
        o = s.outer(q)
        check(o.w >= CLIENT_W * scale, f"the query window is drawn at scale {scale} ({o})")
        check_docked(s, q, p)
        # Places whose device pixels are odd, where a position in Qt's own units would be a pixel off. The panel
        # stays mostly on the screen: openbox pulls a window that a client moves far past the edge back into sight.
        for x, y in [(101, 77), (12, 213)]:
            s.run("xdotool", "windowmove", str(q), str(x), str(y))
            poll(lambda: (s.outer(q).x + s.outer(q).w, s.outer(q).y) == (s.geometry(p).x, s.geometry(p).y), 2,
                 0.005, "the panel to follow")
            check_docked(s, q, p, f" after a move to {x},{y}")
        s.app_proc.terminate()
        s.app_proc.wait(timeout=5)


def case_wayland(s, rows):
    """A Wayland session with XWayland: the program still runs through X11, where it can place its windows."""
    for tool in ("weston", "Xwayland"):
        check(shutil.which(tool) is not None, f"{tool} is installed")
    runtime = os.path.join(s.tmp, "runtime")
    os.makedirs(runtime, mode=0o700)
    log_path = os.path.join(s.tmp, "weston.log")
    s.spawn(["weston", "--backend=headless-backend.so", "--xwayland", "--socket=wayland-e2e", "--idle-time=0",
             f"--log={log_path}"], env=dict(os.environ, XDG_RUNTIME_DIR=runtime), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)

    def xwayland_display():
        try:
            with open(log_path, errors="replace") as f:
                m = re.search(r"xserver listening on display (:\d+)", f.read())
        except OSError:
            return None
        return m and m.group(1)
    display = poll(xwayland_display, 10, 0.05, "weston to offer XWayland")
    env = {k: v for k, v in os.environ.items() if k not in ("DBUS_SESSION_BUS_ADDRESS",)}
    # The session announces Wayland every way Qt listens for, the user's QT_QPA_PLATFORM included.
    env.update(XDG_RUNTIME_DIR=runtime, WAYLAND_DISPLAY="wayland-e2e", DISPLAY=display, XDG_SESSION_TYPE="wayland",
               XDG_CURRENT_DESKTOP="GNOME", QT_QPA_PLATFORM="wayland", LANG="C.UTF-8")
    s.env = env
    app = s.spawn([s.app], stdout=open(os.path.join(s.tmp, "app.log"), "w"), stderr=subprocess.STDOUT)
    s.app_proc = app

    def window():
        if app.poll() is not None:
            raise Failure(f"the program ended with status {app.returncode}")
        return s.run("xdotool", "search", "--onlyvisible", "--pid", str(app.pid), check_rc=False).split()
    poll(window, 20, 0.05, "the query window on XWayland")
    with open(f"/proc/{app.pid}/maps") as f:
        maps = f.read()
    check("libqxcb.so" in maps, "Qt's X11 platform plugin is loaded")
    check("libqwayland" not in maps, "no Wayland platform plugin is loaded")
    check(app.poll() is None, "program still running")


def case_sealed_memory(s, rows):
    """The program built for publishing holds none of the roster's texts in its memory while it waits for a query; after
    a lookup, that one row's texts and no other's; after 继续查询, and after another lookup, nothing of the earlier row;
    after a wrong pair, nothing of the numbers typed nor of the row shown before. On Linux it runs as another user than
    the test, who cannot read its memory: it has made itself non-dumpable (the dump is taken as root, which may). Under
    Wine the dump is of the Linux process in which Wine runs the program: its heap, the edit controls' buffers included."""
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "sealing"))
    import roster_texts
    from memory_image import live_memory_image, mappings
    check(shutil.which("gcore") is not None, "gcore is installed (package gdb)")
    table = [{"TicketNumber": r["TicketNumber"], "CandidateName": r["CandidateName"], "IdNumber": r["IdNumber"]}
             for r in rows]
    s.start_x()
    windows = isinstance(s, windows_target.WineSession)
    if windows:
        s.start_app()
        # Wine runs the program in the process it was started as.
        pid = s.app_proc.pid
        own = os.path.realpath(s.app)
        check(any(path and os.path.realpath(path) == own for _, _, path in mappings(pid)),
              f"the Wine process {pid} maps the program")
    else:
        if os.geteuid() != 0:
            print("skipped: only root may dump a program that made itself non-dumpable; run this case as root")
            sys.exit(77)
        # As an ordinary user: its own user's processes may not read a non-dumpable program's memory either.
        user = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"]
        home = os.path.join(s.tmp, "user")
        os.mkdir(home, 0o700)
        os.chown(home, 65534, 65534)
        os.chmod(s.tmp, 0o755)
        s.start_app(prefix=user, env={"HOME": home, "XDG_RUNTIME_DIR": home})
        pid = s.app_pid
        probe = subprocess.run(user + ["/usr/bin/python3", "-c", f"open('/proc/{pid}/mem', 'rb').read(1)"],
                               capture_output=True, text=True)
        check(probe.returncode != 0 and "Permission denied" in probe.stderr,
              f"a process of the program's own user cannot open its memory ({probe.stderr.strip()[-80:]!r})")

    def give_back_clipboard():
        # The Linux harness reads a box through the clipboard; a sentinel takes the clipboard back, as another copy
        # would. The Windows one reads it with WM_GETTEXT.
        if not windows:
            s.put_sentinel()

    def texts_in_memory():
        image = live_memory_image(pid, s.app) if windows else memory_image(pid, s.app, s.tmp)
        return roster_texts.find(image, table, remnants=True)

    def rows_found(found):
        return {r for _, r, _, _ in found}

    time.sleep(0.3)   # a few ticks: the panel exists too
    found = texts_in_memory()
    check(not found, f"no roster text in the memory of the waiting program ({found[:3]})")
    a, b, c = 58, 203, 121
    s.query_row(rows[a - 1])
    give_back_clipboard()
    found = texts_in_memory()
    others = [f for f in found if f[1] != a]
    check(not others, f"after the lookup no other row's text is in memory ({others[:3]})")
    # The search sees what is there: the numbers typed and the name shown.
    check({column for column, r, _, _ in found if r == a} == {"TicketNumber", "CandidateName", "IdNumber"},
          f"the looked-up row's texts are found in memory ({found})")

    log("继续查询, then another row")
    s.click(s.query, BTN_AGAIN)
    poll(lambda: s.read_box(TEXT_ID) == "", 5, 0.05, "继续查询 to empty the boxes")
    found = texts_in_memory()
    check(not found, f"after 继续查询 nothing of the earlier row is in memory ({found})")
    s.query_row(rows[b - 1])
    give_back_clipboard()
    found = texts_in_memory()
    check(a not in rows_found(found), f"after 继续查询 and another lookup nothing of the earlier row is in memory "
                                      f"({[f for f in found if f[1] == a]})")
    check(rows_found(found) <= {b}, f"nothing of any other row either ({[f for f in found if f[1] != b][:3]})")
    check({column for column, r, _, _ in found if r == b} >= {"CandidateName"},
          f"the row shown now is found in memory ({found})")

    log("继续查询, then a wrong pair: the shown row's identity number with another row's ticket")
    s.click(s.query, BTN_AGAIN)
    s.enter_pair(rows[b - 1]["IdNumber"], rows[c - 1]["TicketNumber"])
    box = s.find_message_box(timeout=15)
    poll(lambda: s.active_window() == box, 5, 0.01, "the message box to take the focus")
    s.key("Return")
    poll(lambda: not ((g := s.geometry(box)) and g.mapped), 5, 0.01, "the message box to close")
    found = texts_in_memory()
    check(not found, f"after the wrong pair's message nothing of the typed numbers nor of the earlier row is in "
                     f"memory ({found})")


CASES = {
    "startup": case_startup,
    "query": case_query,
    "wrong_pair": case_wrong_pair,
    "undo": case_undo,
    "panel": case_panel,
    "drag": case_drag,
    "late_frame": case_late_frame,
    "close_entry": case_close_entry,
    "close_result_panel": case_close_result_panel,
    "exit_button": case_exit_button,
    "strace": case_strace,
    "sealed_memory": case_sealed_memory,
    "screenshots": case_screenshots,
    "command_line": case_command_line,
    "no_display": case_no_display,
    "scaled": case_scaled,
    "wayland": case_wayland,
}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("case", choices=sorted(set(CASES) | set(web_target.CASES)))
    ap.add_argument("--app", required=True)
    ap.add_argument("--roster", required=True)
    ap.add_argument("--artifacts", default=None)
    ap.add_argument("--wm", default="openbox", choices=sorted(WINDOW_MANAGERS),
                    help="window manager to run the case under (startup, panel and drag)")
    # 1.5 as the program is most often scaled; at 2 Qt asks the window manager for even sizes only.
    ap.add_argument("--scales", default="1.5,2", help="scale factors for the scaled case, comma-separated")
    # The same cases against the Windows program under Wine: see windows_target.py for what differs.
    ap.add_argument("--target", choices=("linux", "windows", "web"), default="linux")
    ap.add_argument("--wine-prefix", help="windows: the folder the wine_prefix fixture booted (wine.py setup)")
    ap.add_argument("--wintool", help="windows: the test tool wintool.exe")
    ap.add_argument("--windows-version", choices=sorted(windows_target.wine.OLD_WINDOWS),
                    help="windows: the older Windows the prefix stands in for, for the program alone")
    # The page in a browser: see web_target.py. --app is the page.
    ap.add_argument("--engine", choices=web_target.ENGINES, default="chromium", help="web: the browser engine")
    ap.add_argument("--size", choices=sorted(web_target.SIZES), default="desktop", help="web: the viewport")
    ap.add_argument("--serve", choices=("http", "file"), default="http",
                    help="web: the page from a static server on 127.0.0.1 or from file://")
    args = ap.parse_args()
    tools = ("Xvfb", WINDOW_MANAGERS[args.wm][0][0], "xdotool", "xclip", "xprop", "xwininfo", "wmctrl")
    if args.target == "web":
        tools = ("Xvfb", "chromium", "chromedriver", "WebKitWebDriver", web_target.MINIBROWSER)
    for tool in tools:
        if shutil.which(tool) is None:
            log(f"FAIL: {tool} is not installed (see tools/packages/test.txt)")
            return 1

    cases = CASES
    if args.target == "windows":
        s = windows_target.WineSession(os.path.abspath(args.app), args.artifacts, os.path.abspath(args.wine_prefix),
                                       os.path.abspath(args.wintool), args.windows_version)
        cases = dict(CASES, **windows_target.CASES)
    elif args.target == "web":
        s = web_target.WebSession(os.path.abspath(args.app), args.artifacts, args.engine, args.size, args.serve)
        cases = web_target.CASES
        if args.case not in cases:
            ap.error(f"case {args.case} does not apply to the page (web cases: {', '.join(sorted(cases))})")
    else:
        s = X11Session(os.path.abspath(args.app), args.artifacts, args.wm)
    s.scales = [float(f) for f in args.scales.split(",")]
    # SIGTERM from ctest or a user becomes an exception, so the finally below still stops our processes.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    where = f"Wine{', ' + args.windows_version if args.windows_version else ''}" if args.target == "windows" \
        else f"{args.engine}, {args.size}, {args.serve}" if args.target == "web" else args.wm
    t0 = time.monotonic()
    try:
        cases[args.case](s, read_roster(args.roster))
    except (Failure, subprocess.TimeoutExpired) as e:
        log(f"FAIL [{args.case}, {where}]: {e}")
        text = s.app_log_text().strip()
        if text:
            log("program output:\n" + text)
        if s.display:
            try:
                s.screenshot(f"failure-{args.case}")
            except Exception as shot_error:  # the failure report matters more than the picture
                log(f"(no failure screenshot: {shot_error})")
        return 1
    finally:
        s.cleanup()
    log(f"PASS [{args.case}, {where}] in {time.monotonic() - t0:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
