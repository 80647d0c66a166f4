"""The cases of the page (see web_target.py for the session that drives it): start-up, a right pair, wrong pairs,
the panel and a title-bar drag, the close box and 退    出, tab order, and a page whose sealed record was changed.
They read what the page shows through the session and act through its pointer, finger and keys."""

import base64
import hashlib
import os
import re
import sys
import time

from session import BOX_TITLE, CLIENT_H, CLIENT_W, PANEL_TITLE, TITLE, WRONG_PAIR_TEXT, Failure, check, log, poll

# Which controls each state shows (the name and score boxes, their captions and the two result buttons swap with
# the confirm button); the others are always shown.
RESULT_ONLY = ("Text1_2", "Text1_3", "Label3", "Label4", "Command1", "Command2")
ENTRY_ONLY = ("Command3",)
ALWAYS = ("Text1_0", "Text1_1", "Label1", "Label2", "Label5", "Label6", "Label7", "Label8", "Command4")


# --- checks --------------------------------------------------------------------------------------------------------

# Flush means flush: the panel's edge and the window's meet to within rounding of the page's own arithmetic.
EXACT = 0.02


def near(a, b, tolerance=EXACT):
    return abs(a - b) <= tolerance


def check_state(s, state, page=None):
    page = page or s.read()
    shown = {key.split(".")[1]: c["shown"] for key, c in page["controls"].items() if key.startswith("Form1.")}
    want = {name: True for name in ALWAYS}
    want.update({name: state == "ResultState" for name in RESULT_ONLY})
    want.update({name: state == "EntryState" for name in ENTRY_ONLY})
    wrong = {name: shown.get(name) for name, on in want.items() if shown.get(name) != on}
    check(not wrong, f"{state}: the controls shown and hidden as the state has them (wrong: {wrong})")


def check_window(s, page):
    """The query window at its layout's size through the page's scale, centred on the viewport, in sight."""
    tpp = page["tpp"]
    check(tpp >= 15, f"{tpp} twips per CSS pixel (15 at scale 1)")
    w = page["windows"]["Form1"]
    _, _, cw, ch = w["client"]
    check(near(cw, 9090 / tpp, 0.5) and near(ch, 5025 / tpp, 0.5),
          f"client area {cw:.2f}x{ch:.2f} is 9090 x 5025 twips at {tpp:g} twips a pixel")
    if s.size_name == "desktop":
        check(tpp == 15 and (cw, ch) == (CLIENT_W, CLIENT_H), f"at desktop size the page is not scaled ({cw}x{ch})")
    ox, oy, ow, oh = w["outer"]
    vw, vh = page["viewport"]
    check(near(ox, (vw - ow) / 2, 1) and near(oy, (vh - oh) / 2, 1),
          f"outer frame {ow:.1f}x{oh:.1f}+{ox:.1f}+{oy:.1f} centred on {vw}x{vh}")
    check(ox >= -EXACT and ox + ow <= vw + EXACT, "the query window is wholly in sight across")
    check(page["scroll"][0] <= vw, f"no horizontal scrolling (content {page['scroll'][0]} wide)")


def panel_place(s, page):
    """Where the panel must stand: flush against the query window's outer right edge, level with its top, unless
    that place is not wholly in sight; then anywhere wholly in sight that leaves Command4 uncovered."""
    ox, oy, ow, oh = page["windows"]["Form1"]["outer"]
    vw, vh = page["viewport"]
    docked = (ox + ow, oy)
    fits = docked[0] >= 0 and docked[0] + ow / 2 <= vw + EXACT and docked[1] >= 0 and docked[1] + oh <= vh + EXACT
    return docked if fits else None


def panel_ok(s, page):
    """None if the panel stands where panel_place says, else what is wrong."""
    p = page["windows"].get("Form2")
    if not p or not p["shown"]:
        return "the panel is not shown"
    px, py, pw, ph = p["outer"]
    ox, oy, ow, oh = page["windows"]["Form1"]["outer"]
    if not (near(ph, oh) and near(pw, ow / 2)):
        return f"panel {pw:.2f}x{ph:.2f} is not half as wide ({ow / 2:.2f}) and as high ({oh:.2f}) as the window"
    place = panel_place(s, page)
    if place is not None:
        if not (near(px, place[0]) and near(py, place[1])):
            return f"panel at {px:.2f},{py:.2f}, not flush at {place[0]:.2f},{place[1]:.2f}"
        return None
    vw, vh = page["viewport"]
    if px < -EXACT or py < -EXACT or px + pw > vw + EXACT or py + ph > vh + EXACT:
        return f"panel at {px:.2f},{py:.2f} not wholly in sight, where its docked place is not either"
    bx, by, bw, bh = page["controls"]["Form1.Command4"]["rect"]
    if px < bx + bw and bx < px + pw and py < by + bh and by < py + ph:
        return f"panel at {px:.2f},{py:.2f} covers Command4"
    return None


def check_panel(s, what=""):
    page = s.read()
    why = panel_ok(s, page)
    o, p = page["windows"]["Form1"]["outer"], page["windows"]["Form2"]["outer"]
    where = "flush against the window's outer right edge" if panel_place(s, page) else \
        "kept in sight, clear of Command4"
    check(why is None, f"panel {p} {where}, half as wide and as high as the window {o}{what}" + (f": {why}" if why
                                                                                                     else ""))


def watch(s, seconds, fn, what):
    """Reads the page for a while and fails as soon as fn(page) says something changed that must not."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        why = fn(s.read())
        if why:
            raise Failure(f"{what}: {why}")
        time.sleep(0.02)
    log(f"  ok: {what}")


def enter(s, id_number, ticket, use_tab=False):
    s.tap("Text1_0")
    s.key("ctrl+a", "BackSpace")
    s.type(id_number)
    if use_tab:
        s.key("Tab")
    else:
        s.tap("Text1_1")
    s.key("ctrl+a", "BackSpace")
    s.type(ticket)
    page = s.read()
    check((page["controls"]["Form1.Text1_0"]["text"], page["controls"]["Form1.Text1_1"]["text"]) ==
          (id_number, ticket), "both numbers typed into their boxes")


def lookup(s, row, use_tab=False):
    """A right pair: the busy indicator while the key is derived, then ResultState with the row as stored."""
    log(f"query ticket {row['TicketNumber']} id {row['IdNumber']}")
    enter(s, row["IdNumber"], row["TicketNumber"], use_tab)
    # The page itself notes whether it ever showed itself busy: a loaded machine may take longer to ask than the
    # lookup takes.
    s.driver.execute_script("""
        window.e2eBusy = false;
        new MutationObserver(() => { e2eBusy ||= document.documentElement.getAttribute('aria-busy') === 'true'; })
            .observe(document.documentElement, {attributes: true, attributeFilter: ['aria-busy']});""")
    s.tap("Command3")
    t0 = time.monotonic()
    page = poll(lambda: (p := s.read())["controls"]["Form1.Text1_2"]["shown"] and p["busy"] != "true" and p, 15,
                0.01, "the result")
    log(f"  result after {time.monotonic() - t0:.2f} s")
    check(s.driver.execute_script("return e2eBusy"), "aria-busy showed while the key was derived, and is gone now")
    c = page["controls"]
    check_state(s, "ResultState", page)
    check(c["Form1.Text1_2"]["text"] == row["CandidateName"], f"name box shows {c['Form1.Text1_2']['text']!r}")
    check(c["Form1.Text1_3"]["text"] == row["Score"], f"score box shows {c['Form1.Text1_3']['text']!r}")
    check(c["Form1.Text1_0"]["text"] == row["IdNumber"] and c["Form1.Text1_1"]["text"] == row["TicketNumber"],
          "the numbers stay in their boxes")
    return page


def ends(s, what, act):
    """Does act() and checks that both windows vanish in the same frame and the end notice shows."""
    s.driver.execute_script("""
        window.e2eFrames = [];
        const shown = n => { const w = document.querySelector(`.window[data-form="${n}"]`);
                             return !!w && w.getClientRects().length > 0; };
        const sample = () => { if (e2eFrames.length < 4000) e2eFrames.push([shown('Form1'), shown('Form2')]); };
        (function frame() { sample(); if (e2eFrames.length < 4000) requestAnimationFrame(frame); })();
        setInterval(sample, 5);   // between frames too, where a browser draws few""")
    t0 = time.monotonic()
    act()
    page = poll(lambda: (p := s.read())["ended"] is not None and p, 5, 0.01, f"the program to end after {what}")
    log(f"program ended {(time.monotonic() - t0) * 1000:.0f} ms after {what}; the page says {page['ended']!r}")
    check(not any(w["shown"] for w in page["windows"].values()) and page["dialog"] is None,
          "no window and no dialog displayed")
    check(re.search("[\u4e00-\u9fff]", page["ended"] or "") and re.search("重新|刷新|再次", page["ended"]),
          "the end notice says in Chinese how to start again")
    frames = s.driver.execute_script("return e2eFrames")
    half = [f for f in frames if f[0] != f[1] and not f[0]]
    check(not half, f"both windows vanished together ({len(frames)} frames and samples seen, {len(half)} with the "
          "panel alone)")
    watch(s, 0.3, lambda p: p["ended"] is None or any(w["shown"] for w in p["windows"].values()) or p["dialog"],
          "the page stays ended (no procedure ran after)")


# --- cases ---------------------------------------------------------------------------------------------------------


def case_startup(s, rows):
    s.start_x()
    s.start_app()
    page = s.read()
    check(page["title"] == TITLE, f"document title {page['title']!r}")
    title = s.driver.execute_script("""const w = document.querySelector('.window[data-form="Form1"]');
        return [w.querySelector('.titlebar .title')?.textContent, w.querySelector('.titlebar img.icon')?.naturalWidth,
                w.querySelector('button.close')?.getAttribute('aria-label'),
                w.querySelectorAll('.titlebar button').length]""")
    check(title[0] == TITLE and title[1] and title[2] == "关闭" and title[3] == 1,
          f"title bar: its icon, the title, one close box and no other button ({title})")
    check_window(s, page)
    check_state(s, "EntryState", page)
    check(all(page["controls"][f"Form1.Text1_{i}"]["text"] == "" for i in range(4)), "the four boxes are empty")
    check(page["focus"] == "Text1_0", "the focus is in Text1(0)")
    s.screenshot(f"web-{s.engine}-{s.size_name}-1-start")
    if s.touch:
        # iOS Safari zooms into a box whose text is under 16 CSS pixels when it takes the focus.
        sizes = s.driver.execute_script(
            "return [...document.querySelectorAll('input')].map(e => parseFloat(getComputedStyle(e).fontSize))")
        check(sizes and min(sizes) >= 16, f"every box's text is at least 16 CSS pixels as the browser computes it "
              f"({sizes})")
    # A panel shown by mistake at one of the first ticks would be seen here.
    watch(s, 0.3, lambda p: "the panel shows" if p["windows"].get("Form2", {}).get("shown") else None,
          "no panel during the first ticks")

    # Typing without a tap lands in the identity-card box; Tab takes it to the ticket box.
    row = next(r for r in rows if r["IdNumber"].endswith("X"))
    s.type(row["IdNumber"])
    s.key("Tab")
    s.type(row["TicketNumber"])
    c = s.read()["controls"]
    check((c["Form1.Text1_0"]["text"], c["Form1.Text1_1"]["text"]) == (row["IdNumber"], row["TicketNumber"]),
          "a right pair typed, with its X, without a tap")
    # Enter and Escape confirm and cancel nothing, in either box. Had Enter confirmed this right pair, the busy
    # indicator would show at once and the result within a lookup's time.
    s.key("Return", "Escape")
    s.tap("Text1_0")
    s.key("Return", "Escape")
    watch(s, 1.0, lambda p: "busy" if p["busy"] == "true" else "a dialog" if p["dialog"] else
          "the result" if p["controls"]["Form1.Text1_2"]["shown"] else
          "a box changed" if (p["controls"]["Form1.Text1_0"]["text"], p["controls"]["Form1.Text1_1"]["text"]) !=
          (row["IdNumber"], row["TicketNumber"]) else None, "Enter and Escape change nothing")
    s.tap("Command3")
    poll(lambda: s.read()["controls"]["Form1.Text1_2"]["shown"], 15, 0.02, "the button to confirm the same pair")
    log("  ok: the button confirms the pair that Enter did not")


def case_query(s, rows):
    s.start_x()
    s.start_app()
    absent = next(r for r in rows if r["Score"] == "缺考")
    with_x = next(r for r in rows if r["IdNumber"].endswith("X"))
    for i, row in enumerate([rows[0], with_x, absent, rows[-1]]):
        lookup(s, row, use_tab=bool(i % 2))
        if s.touch:
            zoom = s.driver.execute_script("return visualViewport.scale")
            check(zoom == 1, f"the page did not zoom into a box that took the focus (scale {zoom})")
        if i == 0:
            s.screenshot(f"web-{s.engine}-{s.size_name}-3-result")
        s.tap("Command1")
        page = poll(lambda: (p := s.read())["controls"]["Form1.Command3"]["shown"] and p, 5, 0.02, "EntryState")
        check_state(s, "EntryState", page)
        check(all(page["controls"][f"Form1.Text1_{n}"]["text"] == "" for n in range(4)), "继续查询 empties all four boxes")
    check(s.app_proc.poll() is None, "the program still runs")


def case_wrong_pair(s, rows):
    s.start_x()
    s.start_app()
    a, b = rows[10], rows[20]
    with_x = next(r for r in rows if r["IdNumber"].endswith("X"))
    wrong = [
        ("identity of one row, ticket of another", a["IdNumber"], b["TicketNumber"], "tap"),
        ("lower-case check character", with_x["IdNumber"].lower(), with_x["TicketNumber"], "Return"),
        ("numbers in swapped boxes", a["TicketNumber"], a["IdNumber"], "tap"),
    ]
    for n, (what, id_number, ticket, close) in enumerate(wrong):
        log(f"wrong pair: {what}")
        enter(s, id_number, ticket)
        s.tap("Command3")
        s.find_message_box(15)
        s.check_message_box("dialog", WRONG_PAIR_TEXT)
        page = s.read()
        c = page["controls"]
        check((c["Form1.Text1_0"]["text"], c["Form1.Text1_1"]["text"]) == (id_number, ticket),
              "while the message box is open, both inputs still hold the numbers")
        check("dialog-ok" in (page["focus"] or ""), f"the focus is on its OK button ({page['focus']})")
        if n == 0:
            s.screenshot(f"web-{s.engine}-{s.size_name}-2-message-box")
        # The box is modal: a tap on a box of the window and typing reach nothing under it.
        s.tap_at(*(lambda r: (r[0] + r[2] / 2, r[1] + r[3] / 2))(c["Form1.Text1_1"]["rect"]))
        s.type("9")
        page = s.read()
        check(page["dialog"] is not None and page["controls"]["Form1.Text1_1"]["text"] == ticket,
              "a tap on the window under the message box and typing reach nothing")
        check("dialog-ok" in (page["focus"] or ""), f"the focus stays on OK after that tap ({page['focus']})")
        if close == "tap":
            x, y, w, h = page["dialog"]["ok"]
            s.tap_at(x + w / 2, y + h / 2)
        else:
            s.key("Return")   # after the stray tap too: the keyboard reaches the box alone
        page = poll(lambda: (p := s.read())["dialog"] is None and p, 5, 0.02, "the message box to close")
        c = page["controls"]
        check(c["Form1.Text1_0"]["text"] == "" and c["Form1.Text1_1"]["text"] == "",
              f"both inputs emptied after {'a tap on' if close == 'tap' else 'Enter on'} OK")
        check_state(s, "EntryState", page)
    log("a right pair after wrong ones")
    lookup(s, a)
    check(s.app_proc.poll() is None, "the program still runs")


# Records, in the page, every pointer or touch move and, at each frame and every few milliseconds, where both windows
# stand.
DRAG_RECORDER = """
window.e2eDrag = {frames: [], moves: []};
const at = (x, y) => e2eDrag.moves.push([performance.now(), x, y]);
document.addEventListener('pointermove', e => at(e.clientX, e.clientY), true);
document.addEventListener('touchmove', e => at(e.touches[0].clientX, e.touches[0].clientY), true);
const place = n => { const w = document.querySelector(`.window[data-form="${n}"]`);
                     if (!w || !w.getClientRects().length) return null;
                     const r = w.getBoundingClientRect(); return [r.left, r.top, r.width, r.height]; };
const sample = () => e2eDrag.frames.push([performance.now(), place('Form1'), place('Form2')]);
(function frame() { sample(); if (!e2eDrag.stop) requestAnimationFrame(frame); })();
// WebKit draws a few frames a second on a loaded machine at a device pixel ratio of 3: the timer samples the page
// between them.
e2eDrag.timer = setInterval(sample, 5);
"""
# How long the finger rests after each step of a drag: several of the program's 50 ms ticks.
REST = 0.4


def drag(s, steps, shown=True):
    """Drags the query window by its title bar with the button or finger held through every step, resting after
    each, as one gesture (Chromium lets a finger go between gestures). What the page showed at each frame is
    recorded in the page: after each step, before the next, the window stands where the drag took it and, when
    shown, the panel where it belongs."""
    page = s.read()
    ox, oy, _, _ = page["windows"]["Form1"]["outer"]
    bx, by, bw, bh = page["windows"]["Form1"]["titlebar"]
    button = page["controls"]["Form1.Command4"]["rect"]
    # Where a person takes the title bar: a part of it in sight (a panel kept in sight may cover some), clear of
    # the close box.
    on_bar = [(round(bx + bw * f), round(by + bh / 2)) for f in (1 / 3, 1 / 6, 1 / 2, 2 / 3)]
    free = s.driver.execute_script("""
        return arguments[0].filter(([x, y]) => { const e = document.elementFromPoint(x, y);
            return e && e.closest('.titlebar') && !e.closest('button'); })""", on_bar)
    check(free, f"a part of the title bar is in sight to take hold of ({on_bar})")
    x, y = press = tuple(free[0])
    s.driver.execute_script(DRAG_RECORDER)
    actions = s._pointer_actions()
    actions.pointer_action.move_to_location(x, y)
    if s.touch:
        # A finger that lands within a double tap's time of the last tap starts Chromium's double-tap gesture,
        # which takes the touch from the page; a person's next gesture comes later.
        actions.pointer_action.pause(0.4)
    actions.pointer_action.pointer_down()
    points = []
    for dx, dy in steps:
        x, y = x + dx, y + dy
        points.append((x, y))
        actions.pointer_action.move_to_location(x, y).pause(REST)
    actions.pointer_action.pointer_up()
    actions.perform()
    record = s.driver.execute_script("e2eDrag.stop = true; clearInterval(e2eDrag.timer); return e2eDrag")
    frames, moves = record["frames"], record["moves"]
    delays = []
    for n, ((x, y), (dx, dy)) in enumerate(zip(points, steps)):
        t0 = next((t for t, mx, my in moves if near(mx, x, 0.51) and near(my, y, 0.51)), None)
        check(t0 is not None, f"the page saw the pointer reach {x},{y}")
        t1 = next((t for t, mx, my in moves if t > t0 and not (near(mx, x, 0.51) and near(my, y, 0.51))), 1e12)
        during = [f for f in frames if t0 <= f[0] < t1]
        check(during, f"frames drawn while the pointer rested at {x},{y}")
        want = (ox + x - press[0], oy + y - press[1])
        last = during[-1]
        check(last[1] and near(last[1][0], want[0], 0.51) and near(last[1][1], want[1], 0.51),
              f"step {n + 1} ({dx},{dy}): the window stands at {want} ({last[1]})")
        if not shown:
            check(last[2] is None, "the panel stays hidden")
            continue

        def as_page(f):
            shift = (f[1][0] - ox, f[1][1] - oy)
            return {"windows": {"Form1": {"outer": f[1], "shown": True}, "Form2": {"outer": f[2], "shown": True}},
                    "viewport": page["viewport"],
                    "controls": {"Form1.Command4": {"rect": [button[0] + shift[0], button[1] + shift[1],
                                                             button[2], button[3]]}}}
        why = last[2] and panel_ok(s, as_page(last))
        check(last[2] and why is None, f"step {n + 1}: the panel follows, at {last[2]}" +
              (f": {why}" if why else ""))
        first = next(f for f in during if f[1] and f[2] and near(f[1][0], want[0], 0.51) and
                     near(f[1][1], want[1], 0.51) and panel_ok(s, as_page(f)) is None)
        delays.append(first[0] - t0)
    log(f"  ok: the window followed each of {len(steps)} steps" +
        (f"; the panel followed after (ms) {', '.join(f'{d:.0f}' for d in delays)}" if delays else
         ", the panel hidden throughout"))


def case_panel(s, rows):
    s.start_x()
    s.start_app()
    watch(s, 0.2, lambda p: "the panel shows" if p["windows"].get("Form2", {}).get("shown") else None,
          "no panel before the first tap on Command4")
    s.tap("Command4")
    poll(lambda: s.find_visible(PANEL_TITLE), 5, 0.01, "the panel to show")
    check_panel(s)
    page = s.read()
    label = page["controls"].get("Form2.Label1", {}).get("text", "")
    check(label.startswith("软件使用说明：") and "3、身份证号如有字母，请输入大写字母。" in label,
          f"the panel shows the instructions ({label[:20]!r}...)")
    check(not page["windows"]["Form2"]["titlebar"], "the panel has no title bar")
    s.screenshot(f"web-{s.engine}-{s.size_name}-4-panel")
    # Steps that keep the panel's docked place in sight: at 1280 x 800 the window and the panel leave 362 pixels
    # across and 436 down; a phone's screen is as wide as the window, so a finger drags it up and down.
    steps = [(-40, 25), (-60, 40), (70, -90), (-120, 30), (50, 60)] if not s.touch else \
        [(0, 40), (0, 60), (0, -130), (0, -40), (0, 50)]
    drag(s, steps)
    check_panel(s, " after the drag")
    s.tap("Command4")
    poll(lambda: not s.find_visible(PANEL_TITLE), 5, 0.01, "the panel to hide")
    log("  ok: a second tap hides the panel")
    drag(s, [(-60, 30), (90, 70)] if not s.touch else [(0, 60), (0, -20)], shown=False)
    s.tap("Command4")
    # The first sight of the panel must be where it belongs, not a place it then leaves.
    poll(lambda: s.find_visible(PANEL_TITLE), 5, 0.005, "the panel to show again")
    check_panel(s, " shown again after a drag while hidden")
    check(s.app_proc.poll() is None, "the program still runs")


def tap_close_box(s):
    x, y, w, h = s.read()["windows"]["Form1"]["close"]
    s.tap_at(x + w / 2, y + h / 2)


def case_close_box(s, rows):
    s.start_x()
    s.start_app()
    ends(s, "a tap on the close box in EntryState", lambda: tap_close_box(s))
    s.start_app()   # starting again: the page afresh
    lookup(s, rows[5])
    s.tap("Command4")
    poll(lambda: s.find_visible(PANEL_TITLE), 5, 0.01, "the panel to show")
    ends(s, "a tap on the close box with the result and the panel shown", lambda: tap_close_box(s))
    s.screenshot(f"web-{s.engine}-{s.size_name}-5-ended")


def case_exit_button(s, rows):
    s.start_x()
    s.start_app()
    lookup(s, rows[7])
    s.tap("Command4")
    poll(lambda: s.find_visible(PANEL_TITLE), 5, 0.01, "the panel to show")
    ends(s, "a tap on 退    出 with the panel shown", lambda: s.tap("Command2"))


def case_tab_order(s, rows):
    s.start_x()
    s.start_app()

    def walk(keys, order, what):
        for want in order:
            s.key(keys)
            got = s.read()["focus"]
            check(got == want, f"{what}: {keys} moves the focus to {want} ({got})")
    walk("Tab", ["Text1_1", "Command3", "Command4", "Text1_0"], "EntryState")
    walk("shift+Tab", ["Command4", "Command3", "Text1_1", "Text1_0"], "EntryState")
    lookup(s, rows[3])
    s.tap("Text1_0")
    walk("Tab", ["Text1_1", "Text1_2", "Text1_3", "Command1", "Command2", "Command4", "Text1_0"], "ResultState")
    walk("shift+Tab", ["Command4", "Command2", "Command1", "Text1_3", "Text1_2", "Text1_1", "Text1_0"], "ResultState")


def case_fatal_321(s, rows):
    """A page whose sealed table has one byte of one record changed: the lookup of that row gives the fatal-error
    report 321, and closing it ends the program; another row still opens."""
    changed, other = rows[57], rows[58]
    page = flipped_page(s.app, changed, s.tmp)
    s.start_x()
    s.start_app(page)
    lookup(s, other)
    s.tap("Command1")
    poll(lambda: s.read()["controls"]["Form1.Command3"]["shown"], 5, 0.02, "EntryState")
    enter(s, changed["IdNumber"], changed["TicketNumber"])
    s.tap("Command3")
    s.find_message_box(15)
    d = s.read()["dialog"]
    check(d["caption"] == BOX_TITLE and "321" in (d["prompt"] or "") and d["buttons"] == ["确定"],
          f"the fatal-error report, captioned {d['caption']!r}, says {d['prompt']!r}")
    s.screenshot(f"web-{s.engine}-{s.size_name}-6-fatal-321")
    ends(s, "OK on the fatal-error report", lambda: s.tap_at(d["ok"][0] + d["ok"][2] / 2, d["ok"][1] + d["ok"][3] / 2))


def sealed_record(build_dir, candidate):
    """The sealed record (nonce-less box: ciphertext and tag) of one candidate's row as the build sealed it. The rows
    lie in a random order: the row is the one whose lookup tag is that of the candidate's pair, derived as the
    sealing tool derives it."""
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
    from seal_roster import derive_pair_keys

    def numbers(text):
        return bytes(int(b, 16) for b in text.split(","))

    for folder, _, files in os.walk(build_dir):
        for name in files:
            if not name.endswith(".cpp"):
                continue
            with open(os.path.join(folder, name), encoding="utf-8", errors="replace") as f:
                text = f.read()
            if "const SealedTable table{" not in text:
                continue
            salt, iterations = re.search(r"const SealedTable table\{\{([^}]*)\}, (\d+),", text).groups()
            tag, _ = derive_pair_keys(candidate["IdNumber"], candidate["TicketNumber"], numbers(salt), int(iterations))
            positions = [int(m.group(2)) for m in re.finditer(r"\{\{([^}]*)\},\s*\{[^}]*\},\s*Sealed(\d+)\}", text)
                         if numbers(m.group(1)) == tag]
            check(len(positions) == 1, f"one sealed row has the lookup tag of ticket {candidate['TicketNumber']} "
                  f"(positions {positions})")
            m = re.search(rf"const std::uint8_t Sealed{positions[0]}\[\] = \{{([^}}]*)\}}", text)
            return numbers(m.group(1))
    raise Failure(f"no sealed table source in {build_dir} (tools/seal_roster.py's output)")


def flipped_page(page, candidate, tmp):
    """A copy of the built page with one byte of one candidate's sealed record changed, wherever the page holds its
    base64-encoded data."""
    box = sealed_record(os.path.dirname(os.path.abspath(page)), candidate)
    row = f"ticket {candidate['TicketNumber']}"
    with open(page, encoding="utf-8") as f:
        text = f.read()
    found = []
    for m in re.finditer(r"[A-Za-z0-9+/]{200,}={0,2}", text):
        data = base64.b64decode(m.group() + "=" * (-len(m.group()) % 4))
        at = data.find(box)
        if at >= 0:
            found.append((m, data, at))
    check(len(found) == 1 and found[0][1].count(box) == 1, f"the page holds {row}'s sealed record once "
          f"({len(found)} base64 runs hold it)")
    m, data, at = found[0]
    data = bytearray(data)
    data[at + 5] ^= 0x01   # inside the record's ciphertext, not its tag
    encoded = base64.b64encode(bytes(data)).decode()
    if not m.group().endswith("="):
        encoded = encoded.rstrip("=")
    changed = text[:m.start()] + encoded + text[m.end():]
    # The page's content-security policy names its script by its SHA-256: the changed script gets its own, as one
    # who changed the page would give it, so that what the program makes of the record is what is seen.
    scripts = [(sm.start(1), sm.end(1)) for sm in re.finditer(r"<script[^>]*>(.*?)</script>", text, re.S)]
    inside = [(a, b) for a, b in scripts if a <= m.start() and m.end() <= b]
    if inside:
        a, b = inside[0]
        old, new = (base64.b64encode(hashlib.sha256(t.encode("utf-8")).digest()).decode()
                    for t in (text[a:b], changed[a:a + (b - a)]))
        if old in changed:
            changed = changed.replace(old, new)
            log(f"  the policy's hash of the script changed from {old} to {new}")
    out = os.path.join(tmp, "flipped", os.path.basename(page))
    os.makedirs(os.path.dirname(out))
    with open(out, "w", encoding="utf-8") as f:
        f.write(changed)
    log(f"  ok: {out}: byte {at + 5} of the {len(data):,}-byte run at {m.start()} changed ({row}'s record)")
    return out


def web_case(fn):
    """A case, then the check that no request left the page; WebDriver's errors are failures of the case."""
    def run(s, rows):
        from selenium.common.exceptions import WebDriverException
        try:
            fn(s, rows)
            if s.urls:
                s.check_requests()
        except WebDriverException as e:
            raise Failure(f"WebDriver: {e.msg or e}")
    return run


CASES = {name: web_case(fn) for name, fn in {
    "startup": case_startup,
    "query": case_query,
    "wrong_pair": case_wrong_pair,
    "panel": case_panel,
    "close_box": case_close_box,
    "exit_button": case_exit_button,
    "tab_order": case_tab_order,
    "fatal_321": case_fatal_321,
}.items()}
