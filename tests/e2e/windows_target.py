"""The Windows program as e2e.py's cases see it: WineSession answers the harness's questions about windows through
the test tool run under Wine, and a few cases check what only a Windows window has (styles, owner, icon, Alt+F4 on
the panel). e2e.py runs with it for --target windows; see wine.py for the prefix the session runs in."""

import collections
import json
import math
import os
import re
import subprocess
import tempfile
import time

import wine
from session import (BOX_TITLE, BTN_PANEL, PANEL_TITLE, TEXT_ID, TEXT_TICKET, TITLE, Failure, Geometry, Session,
                     check, check_docked, die_with_parent, drag_title_bar, expect_clean_end, log, poll)

# A message box's text and its one button (user32's dialog template); a popup menu's window class.
BOX_TEXT_ID, IDOK = 0xFFFF, 1
MENU_CLASS = "#32768"

# How tall a caption's ink stands in its em, and where an 18-character identity number's ink lies in its box, in ems
# of points x dpi / 72 device pixels: the figures tests/qt/tst_query_window.cpp holds the Linux program's ink to.
CAPTION_INK_PER_EM = (0.85, 1.05)
NUMBER_INK_PER_EM = (8.75, 9.0)   # 18 half-width characters advance 9 em
NUMBER_MARGIN_PER_EM = 0.25       # from the box's inner left edge to the first character's ink
# Label1 in 宋体 and the title Label5 in 黑体, at their points. The title matters most: the stand-in for 宋体 has a cell
# hardly taller than its em (1.04), so a font height taken as the cell's shrinks it by a pixel; the one for 黑体 has a
# cell of 1.44 em.
CAPTIONS = (("身份证号：", 18.0), ("2018年翠县一中西校区公开招聘教师笔试成绩", 18.75))


def twips_to_pixels(twips, dpi):
    # Halves away from zero, as the program's own conversion rounds (Python's round() would go to even).
    return math.floor(twips * dpi / 1440 + 0.5)


class WineSession(Session):
    """One Xvfb with Wine's virtual desktop on it, the program started by wine, the test tool to read windows.
    Window ids here are the program's HWNDs; coordinates are desktop coordinates, which are root coordinates."""

    target = "windows"

    def __init__(self, app, artifacts, prefix_dir, tool, windows_version=None):
        super().__init__(app, artifacts)
        self.prefix_dir = prefix_dir
        self.tool_exe = tool
        self.windows_version = windows_version
        self.dpi = 96
        self.first_motion_moves = True

    # --- session -------------------------------------------------------------------------------------------------

    def start_x(self, size=wine.SCREEN):
        for path in (self.tool_exe, self.app):
            if not os.path.isfile(path):
                raise Failure(f"{path} is missing: build it first (tools/build-windows.sh builds the program)")
        if not os.path.isdir(os.path.join(self.prefix_dir, "prefix", "drive_c")):
            raise Failure(f"no booted prefix in {self.prefix_dir}: run the wine_prefix fixture (wine.py setup)")
        self.display, _ = wine.start_xvfb(self.tmp, size, self.procs, self.pipes, die_with_parent)
        self.env = wine.wine_env(self.prefix_dir, self.display)
        self.desktop = f"e2e-{self.display[1:]}-{os.getpid()}"
        self.set_dpi(96)
        log(f"display {self.display}, Wine's virtual desktop {self.desktop}, no window manager")
        bits = "32-bit" if wine.loader_for(self.app) == wine.WINE else "64-bit"
        log(f"program {self.app} ({bits}), as Windows {self.windows_version or 'of the prefix'} runs it")
        if bits == "64-bit":
            log("  (this machine runs no 32-bit code, so the cases run the 64-bit build of the same sources)")

    def set_dpi(self, dpi):
        """This session's desktop and Windows' display resolution, for the programs started from now on."""
        reg = os.path.join(self.tmp, "session.reg")
        text = wine.SESSION_REG.format(desktop=self.desktop, width=wine.SCREEN[0], height=wine.SCREEN[1], dpi=dpi)
        wine.write_reg(reg, text + wine.app_defaults(os.path.basename(self.app), self.windows_version))
        rc, _, said = self.wine_run("regedit", "/S", reg)
        if rc:
            raise Failure(f"regedit could not load the session's settings (status {rc}); Wine said {said[-600:]!r}")
        self.dpi = dpi
        self.scale = dpi / 96   # layout pixels to device pixels, for clicks

    @property
    def loader(self):
        return (wine.loader_for(self.app),)

    show_timeout = 30

    def app_folder(self):
        return os.path.dirname(self.app)

    def cleanup(self):
        display = self.display
        super().cleanup()
        # The virtual desktop's explorer ends with its display; wait for it, so that the next session opens the
        # desktop on its own display instead of meeting this one's.
        if display:
            prefix = self.env["WINEPREFIX"]
            deadline = time.monotonic() + 5
            while (left := self.wine_processes_on(prefix, display)) and time.monotonic() < deadline:
                time.sleep(0.05)
            for pid in left:
                try:
                    os.kill(pid, 9)
                except ProcessLookupError:
                    pass

    @staticmethod
    def wine_processes_on(prefix, display):
        needle = b"DISPLAY=" + display.encode() + b"\0"
        left = []
        for pid in wine.processes_of_prefix(prefix):
            try:
                # Never the wineserver, whoever started it: it holds the prefix's registry, and a killed one saves
                # none of it, so that the next start boots the prefix afresh, without the seeded faces.
                if os.path.basename(os.readlink(f"/proc/{pid}/exe")).startswith("wineserver"):
                    continue
                with open(f"/proc/{pid}/environ", "rb") as f:
                    if needle in f.read():
                        with open(f"/proc/{pid}/stat") as s:
                            if s.read().rsplit(")", 1)[1].split()[0] != "Z":
                                left.append(pid)
            except OSError:
                pass
        return left

    # --- the test tool -------------------------------------------------------------------------------------------

    def wine_run(self, *argv, debug=None):
        """Runs a Windows command to its end; returns its status, its output and what Wine wrote to stderr (its
        channels `debug`, in WINEDEBUG's terms, besides what it always says)."""
        # Output through a file, not a pipe: a Wine process the command's start brings up (the desktop's explorer)
        # inherits the command's output, and reading a pipe to its end would wait for that process.
        with tempfile.TemporaryFile(dir=self.tmp) as out, tempfile.TemporaryFile(dir=self.tmp) as err:
            loader = wine.loader_for(argv[0]) if os.path.isfile(argv[0]) else wine.WINE64
            env = dict(self.env, WINEDEBUG=debug) if debug else self.env
            r = subprocess.run([loader, *argv], env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                               timeout=30)
            out.seek(0)
            err.seek(0)
            return r.returncode, *(f.read().decode("utf-8", errors="replace") for f in (out, err))

    def tool(self, *args):
        # Not run again when it fails: a tool that does not start is a fault of the set-up to be seen. Wine's errors
        # are kept (on stderr, apart from the tool's output) so that such a start says why.
        rc, text, said = self.wine_run(self.tool_exe, *args, debug="err+all")
        try:
            data = json.loads(text)
        except json.JSONDecodeError:
            raise Failure(f"wintool {' '.join(args)} (status {rc}) printed {text[:300]!r}; Wine said {said[-600:]!r}")
        if "error" in data:
            return None
        return data

    def windows(self):
        return self.tool("windows")["windows"]

    def info(self, hwnd):
        return next((w for w in self.windows() if w["hwnd"] == hwnd), None)

    def controls(self, hwnd):
        return self.tool("controls", str(hwnd))

    # --- what e2e.py asks about windows --------------------------------------------------------------------------

    @staticmethod
    def _geometry(rect, visible):
        return Geometry(rect[0], rect[1], rect[2] - rect[0], rect[3] - rect[1], visible)

    def geometry(self, wid):
        w = self.info(wid)
        return w and self._geometry(w["client"], w["visible"])

    def outer(self, wid):
        w = self.info(wid)
        return w and self._geometry(w["rect"], w["visible"])

    def frame_extents(self, wid):
        w = self.info(wid)
        if not w:
            return None
        r, c = w["rect"], w["client"]
        return (c[0] - r[0], r[2] - c[2], c[1] - r[1], r[3] - c[3])

    def windows_by_name(self, title):
        return [w["hwnd"] for w in self.windows() if w["text"] == title]

    def windows_of_pid(self, pid):
        # The per-thread IME windows that user32 makes are no windows of the program's own.
        return [w["hwnd"] for w in self.windows() if w["pid"] == pid and w["class"] != "IME"]

    def pid_of(self, wid):
        w = self.info(wid)
        return w and w["pid"]

    def find_visible(self, title):
        for w in self.windows():
            if w["text"] == title and w["visible"] and w["class"] != wine.BOX_CLASS and \
                    (self.app_pid is None or w["pid"] == self.app_pid):
                return w["hwnd"]
        return None

    def active_window(self):
        return next((w["hwnd"] for w in self.windows() if w["foreground"]), None)

    def client_list(self):
        """The windows the taskbar lists, by Windows' rule: visible, and an unowned non-tool window or an app
        window."""
        return [w["hwnd"] for w in self.windows() if w["visible"] and in_taskbar(w)]

    def prop(self, wid, name):
        raise Failure(f"X property {name} asked of a Wine window: this check is for the Linux program only")

    # --- reading what the screen shows --------------------------------------------------------------------------

    def control_at(self, pos):
        """The control of the query window under a point given in layout pixels of its client area."""
        data = self.controls(self.query)
        if not data:
            raise Failure("the query window is gone")
        scale = self.dpi / 96
        x, y = data["client"][0] + round(pos[0] * scale), data["client"][1] + round(pos[1] * scale)
        hits = [c for c in data["controls"] if c["visible"] and c["rect"][0] <= x < c["rect"][2] and
                c["rect"][1] <= y < c["rect"][3]]
        if not hits:
            raise Failure(f"no control at {pos} of the query window")
        return min(hits, key=lambda c: (c["rect"][2] - c["rect"][0]) * (c["rect"][3] - c["rect"][1]))

    def read_box(self, pos):
        return self.control_at(pos)["text"]

    def read_focused(self):
        data = self.controls(self.query)
        focused = next((c for c in data["controls"] if c["hwnd"] == data["focus"]), None)
        if focused is None:
            raise Failure("no control of the query window has the focus")
        return focused["text"]

    def find_message_box(self, timeout=5):
        # Reading the window's boxes asks the program's thread, which answers once it is back at its messages: the
        # click has been handled, a sealed lookup (seconds on a busy machine) included, and the box is up.
        self.controls(self.query)

        def visible_box():
            return next((w["hwnd"] for w in self.windows() if w["class"] == wine.BOX_CLASS and w["visible"] and
                         w["text"] == BOX_TITLE and w["pid"] == self.app_pid), None)
        return poll(visible_box, timeout, 0.05, f"a message box titled {BOX_TITLE!r}")

    def message_box(self, box):
        """The box's text and the caption of its OK button."""
        data = self.controls(box)
        if not data:
            raise Failure("the message box is gone")
        texts = [c["text"] for c in data["controls"] if c["id"] == BOX_TEXT_ID]
        buttons = [c for c in data["controls"] if c["class"].lower() == "button"]
        ok = [c["text"] for c in buttons if c["id"] == IDOK]
        return data, (texts[0] if texts else None), (ok[0] if ok else None), buttons

    def check_message_box(self, box, text):
        data, shown, ok, buttons = self.message_box(box)
        check(data["text"] == BOX_TITLE, f"message box titled {BOX_TITLE!r}")
        check(shown == text, f"message box says {shown!r}")
        check(ok == "确定" and len(buttons) == 1, f"one button, {ok!r} ({len(buttons)} buttons)")
        icons = [c for c in data["controls"] if c["image"] and c["visible"]]
        check(not icons, f"no icon in the message box ({len(icons)} pictures shown)")
        check(data["owner"] == self.query, "message box owned by the query window")

    def icon_colours(self, hwnd):
        """Yellow and red pixels in the title bar's icon spot: the program's icon is red strokes on yellow, and
        neither Wine's stand-in icon nor the caption has either. (Wine cannot tell another process a window's class
        icon, so the title bar is read as a person sees it.)"""
        w = self.info(hwnd)
        left, top = w["rect"][0], w["rect"][1]
        width, height = 4 + round(20 * self.dpi / 96), w["client"][1] - top
        shot = os.path.join(self.tmp, "icon.png")
        self.run("/usr/bin/import", "-display", self.display, "-window", "root", "-crop",
                 f"{width}x{height}+{left}+{top}", shot, timeout=20)
        histogram = self.run("/usr/bin/convert", shot, "-format", "%c", "histogram:info:-")
        yellow = red = 0
        for count, r, g, b in re.findall(r"(\d+): \(\s*(\d+),\s*(\d+),\s*(\d+)", histogram):
            r, g, b = int(r), int(g), int(b)
            yellow += int(count) if r > 200 and g > 200 and b < 90 else 0
            red += int(count) if r > 200 and g < 90 and b < 90 else 0
        return yellow, red

    def ink(self, rects):
        """The bounds of the ink in each rectangle of the screen, (left, top, right, bottom) from its top-left corner:
        the pixels whose grey clearly differs from the rectangle's commonest grey, its background (the threshold of the
        Linux program's in-process test). Shots are taken until two in a row agree, so a repaint in flight is not
        measured half done."""
        shot = os.path.join(self.tmp, "ink.png")
        previous = None
        for _ in range(10):
            self.run("/usr/bin/import", "-display", self.display, "-window", "root", shot, timeout=20)
            found = [ink_bounds(shot, rect) for rect in rects]
            if found == previous:
                break
            previous = found
        return found


def ink_bounds(shot, rect):
    left, top, right, bottom = rect
    width, height = right - left, bottom - top
    grey = subprocess.run(["/usr/bin/convert", shot, "-crop", f"{width}x{height}+{left}+{top}", "+repage",
                           "-colorspace", "Gray", "-depth", "8", "gray:-"], capture_output=True, check=True,
                          timeout=20).stdout
    background = collections.Counter(grey).most_common(1)[0][0]
    inked = [i for i, value in enumerate(grey) if abs(value - background) > 80]
    if not inked:
        return None
    xs = [i % width for i in inked]
    return min(xs), inked[0] // width, max(xs) + 1, inked[-1] // width + 1


def check_text_sizes(s, q, dpi, rows):
    """The captions' ink as tall in the em as a Ming or a Hei face draws its ideographs, and an 18-character identity
    number typed into its box drawn whole, from close to the inner left edge to short of the inner right one: what
    the Linux program's in-process test measures from its ink (colonsAlignAndANumberFitsItsBox)."""
    number = next(r["IdNumber"] for r in rows if r["IdNumber"].endswith("X"))
    s.click(q, TEXT_ID)
    s.key("ctrl+a", "BackSpace")
    s.type(number)
    s.key("Tab")   # the caret goes to the other box
    poll(lambda: s.read_focused() == "", 5, 0.05, "the focus to reach the empty ticket box")
    check(s.read_box(TEXT_ID) == number, f"{number} typed into the identity-card box")
    controls = s.controls(q)["controls"]
    labels = [next(c for c in controls if c["text"] == text) for text, _ in CAPTIONS]
    box = s.control_at(TEXT_ID)
    *captions, number_ink = s.ink([c["client"] for c in labels] + [box["client"]])
    low, high = CAPTION_INK_PER_EM
    for (text, points), ink in zip(CAPTIONS, captions):
        check(ink is not None, f"{text} shows ink")
        em, tall = points * dpi / 72, ink[3] - ink[1]
        check(low <= tall / em <= high, f"{text}'s ink is {tall} px tall, {tall / em:.3f} of its {em:g} px em "
              f"({low} to {high})")
    check(number_ink is not None, "the number shows ink")
    em, inner = 18 * dpi / 72, box["client"][2] - box["client"][0]
    left, _, right, _ = number_ink
    low, high = NUMBER_INK_PER_EM
    check(0 < left <= NUMBER_MARGIN_PER_EM * em, f"the first character's ink {left} px from the box's inner left "
          f"edge (at most {NUMBER_MARGIN_PER_EM} of the {em:g} px em)")
    check(right < inner, f"the last character's ink ends {inner - right} px short of the inner right edge")
    check(low <= (right - left) / em <= high, f"the number's ink is {right - left} px, {(right - left) / em:.3f} em "
          f"wide ({low} to {high})")


def in_taskbar(w):
    return bool(w["exstyle"] & wine.WS_EX_APPWINDOW) or (not w["owner"] and not w["exstyle"] & wine.WS_EX_TOOLWINDOW)


def check_fixed_frame(s, q, dpi):
    w = s.info(q)
    check(w["text"] == TITLE, f"title is {TITLE!r}")
    yellow, red = s.icon_colours(q)
    check(yellow >= 20 and red >= 10, f"the program's icon in the title bar ({yellow} yellow, {red} red pixels)")
    check(in_taskbar(w) and q in s.client_list(), "query window has its taskbar entry")
    style = w["style"]
    check(style & wine.WS_CAPTION == wine.WS_CAPTION and style & wine.WS_SYSMENU, f"title bar and close box "
          f"(style 0x{style:08x})")
    check(not style & (wine.WS_MINIMIZEBOX | wine.WS_MAXIMIZEBOX), "no minimise or maximise box")
    check(not style & wine.WS_THICKFRAME, "thin frame: no sizing border")
    # Screen readers name a box after the nearest label above it in the stacking order, which the tool lists from
    # the top down.
    controls = s.controls(q)["controls"]
    named = []
    for i, c in enumerate(controls):
        if c["class"].upper() == "EDIT":
            above = [d["text"] for d in controls[:i] if d["class"].upper() == "STATIC"]
            named.append((c["rect"][1], above[-1] if above else None))
    names = [name for _, name in sorted(named)]
    check(names == ["身份证号：", "准考证号：", "姓    名：", "成    绩："], f"each box under its caption label {names}")
    g = s.geometry(q)
    want = (twips_to_pixels(9090, dpi), twips_to_pixels(5025, dpi))
    check((g.w, g.h) == want, f"client area {g.w}x{g.h} is 9090 x 5025 twips at {dpi} dpi {want}")
    return w


def check_centred(s, q):
    o = s.outer(q)
    cx, cy = (wine.SCREEN[0] - o.w) / 2, (wine.SCREEN[1] - o.h) / 2
    check(abs(o.x - cx) <= 1 and abs(o.y - cy) <= 1,
          f"outer frame {o} centred on {wine.SCREEN[0]}x{wine.SCREEN[1]} (expected left {cx}, top {cy})")


def check_panel_window(s, q, p):
    w = s.info(p)
    check(w["text"] == PANEL_TITLE, f"panel titled {PANEL_TITLE!r}")
    check(w["owner"] == q, "panel owned by the query window")
    check(w["exstyle"] & wine.WS_EX_TOOLWINDOW and not in_taskbar(w) and p not in s.client_list(),
          "panel is a tool window, not on the taskbar")
    check(not w["style"] & wine.WS_CAPTION and not w["style"] & wine.WS_THICKFRAME and
          w["rect"] == w["client"], "panel has no frame and no title bar")


def case_startup(s, rows):
    s.start_x()
    q = s.start_app()
    time.sleep(0.2)   # a few timer ticks, so a panel shown by mistake would be seen
    ours = [h for h in s.windows_of_pid(s.app_pid) if (w := s.info(h)) and w["visible"]]
    check(ours == [q], f"exactly one visible window of the program (found {len(ours)})")
    check_fixed_frame(s, q, 96)
    check_centred(s, q)
    # Typing without a click lands in the identity-card box.
    s.type("34012219920505X0ab")
    check(s.read_focused() == "34012219920505X0ab", "typed text reads back from the focused box")
    check(s.read_box(TEXT_TICKET) == "", "ticket box is still empty")
    check(s.read_box(TEXT_ID) == "34012219920505X0ab", "the typed text is in the identity-card box")
    # Enter and Escape do nothing: no button is a default or cancel button. Keys reach the program in order, so
    # once a character typed after them is in the box, they have been handled.
    s.key("Return")
    s.key("Escape")
    s.type("Q")
    poll(lambda: s.read_focused() == "34012219920505X0abQ", 5, 0.05,
         "the character typed after Enter and Escape to reach the box")
    s.key("BackSpace")
    poll(lambda: s.read_box(TEXT_ID) == "34012219920505X0ab", 5, 0.05, "the character to be taken back")
    check(s.find_visible(TITLE) == q, "Enter and Escape change nothing")
    check_text_sizes(s, q, 96, rows)
    check(s.app_proc.poll() is None, "program still running")


def case_panel(s, rows):
    s.start_x()
    q = s.start_app()
    time.sleep(0.15)
    check(s.find_visible(PANEL_TITLE) is None, "no panel visible before the first click")
    p = s.show_panel()
    check_panel_window(s, q, p)
    check_docked(s, q, p)
    drag_title_bar(s, q, p, [(40, 25), (60, 40), (-70, 90), (120, -30), (-50, -60)])
    check_docked(s, q, p, " after the drag")

    s.click(q, BTN_PANEL)
    poll(lambda: not s.info(p)["visible"], 5, 0.05, "the panel to hide")
    log("  ok: second click hides the panel")
    # Hidden, the panel is still kept in place, so it shows at the right place when next shown.
    drag_title_bar(s, q, p, [(-60, 30), (90, 70)])
    p = s.show_panel()
    check_docked(s, q, p, " shown again after a drag while hidden")

    # Alt+F4 on the panel closes it; the timer loads it again, hidden, and the button shows it in place.
    g = s.geometry(p)
    s.run("xdotool", "mousemove", str(g.x + g.w // 2), str(g.y + g.h - 10), "click", "1")
    poll(lambda: s.active_window() == p, 5, 0.05, "the panel to take the focus after a click on it")
    s.key("alt+F4")
    poll(lambda: s.info(p) is None, 5, 0.05, "Alt+F4 to close the panel")
    log("  ok: Alt+F4 closed the panel")
    again = poll(lambda: next((w["hwnd"] for w in s.windows() if w["text"] == PANEL_TITLE and
                               w["pid"] == s.app_pid), None), 2, 0.05, "the panel to be loaded again")
    check(not s.info(again)["visible"], "the panel is loaded again, hidden")
    check(s.find_visible(TITLE) == q and s.app_proc.poll() is None, "the query window stays")
    p = s.show_panel()
    check_panel_window(s, q, p)
    check_docked(s, q, p, " after Alt+F4 on the panel and a click on the button")


def case_scaled(s, rows):
    """At 144 dpi (150 %), as Windows' display settings set it: the layout scales through the window's own
    resolution and the panel stays flush."""
    s.start_x()
    s.set_dpi(144)
    q = s.start_app()
    check(s.info(q)["dpi"] == 144, f"the window runs at 144 dpi ({s.info(q)['dpi']})")
    check_fixed_frame(s, q, 144)
    check_centred(s, q)
    # The controls scale too: the identity-card box is 3615 x 495 twips.
    box = s.control_at(TEXT_ID)
    w, h = box["rect"][2] - box["rect"][0], box["rect"][3] - box["rect"][1]
    check((w, h) == (twips_to_pixels(3615, 144), twips_to_pixels(495, 144)),
          f"identity-card box {w}x{h} is 3615 x 495 twips at 144 dpi")
    check_text_sizes(s, q, 144, rows)
    p = s.show_panel()
    check_docked(s, q, p)
    drag_title_bar(s, q, p, [(40, 25), (60, 40), (-70, 90)])
    check_docked(s, q, p, " after a title-bar drag")


def case_command_line(s, rows):
    """Arguments as a user or a shortcut might add them change nothing."""
    s.start_x()
    q = s.start_app(args=["/S", "-geometry", "100x100+0+0", "--roster", "C:\\x.tsv", "34012219920505X0ab"])
    ours = [h for h in s.windows_of_pid(s.app_pid) if (w := s.info(h)) and w["visible"]]
    check(ours == [q], f"exactly one visible window of the program (found {len(ours)})")
    check_fixed_frame(s, q, 96)
    check_centred(s, q)
    check(s.read_box(TEXT_ID) == "" and s.read_box(TEXT_TICKET) == "", "both inputs empty")
    check(s.app_proc.poll() is None, "program still running")


def click_close_box(s, q):
    """A click on the close box at the right end of the title bar that Wine draws."""
    w = s.info(q)
    rect, client = w["rect"], w["client"]
    border = client[0] - rect[0]
    caption = client[1] - rect[1] - border
    s.run("xdotool", "mousemove", str(rect[2] - border - caption // 2), str(rect[1] + border + caption // 2),
          "click", "1")


def close_from_system_menu(s):
    s.key("alt+space")
    poll(lambda: any(w["class"] == MENU_CLASS and w["visible"] and w["pid"] == s.app_pid for w in s.windows()), 5,
         0.05, "the system menu to open")
    s.key("c")


def case_close_entry(s, rows):
    """Each way of closing the query window that can be driven under Wine ends the program at once with status 0:
    the close box, the system menu's close item and Alt+F4. Not the end of the session: `wineboot --end-session`
    ends every process of the session after its messages, with status 0, so a program that ignored them would
    pass as well."""
    s.start_x()
    ways = [
        ("a click on the close box", lambda q: click_close_box(s, q)),
        # By the item's access key, 关闭(C): Wine's system menu has an item of its own (关于 Wine) below it.
        ("the system menu's close item", lambda q: close_from_system_menu(s)),
        ("Alt+F4", lambda q: s.key("alt+F4")),
    ]
    for what, close in ways:
        q = s.start_app()
        check(s.active_window() == q, "query window active")
        t0 = time.monotonic()
        close(q)
        expect_clean_end(s, t0, what)


# Cases whose Windows form differs from the Linux one; the others run as they are.
CASES = {
    "startup": case_startup,
    "panel": case_panel,
    "scaled": case_scaled,
    "command_line": case_command_line,
    "close_entry": case_close_entry,
}
