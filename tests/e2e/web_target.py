"""The page as e2e.py's cases see it: WebSession drives the one-file web build in headless Chromium (chromedriver) or
in WebKit (WebKitWebDriver with MiniBrowser, on an Xvfb of the session's own) through WebDriver, with the pointer or
a finger and key events as a person gives them, and reads back what the page shows: its windows are elements
(.window[data-form]), their controls carry data-control, the message box is a .dialog (see frontends/web/). The
cases are web_cases.py's.

The page is opened from a static server of the session's own on 127.0.0.1 or from file://, and at the end of every
document the browser's own record of requests (performance.getEntries(), and Chromium's network log) must show
nothing but the page itself.

Sizes: desktop is a 1280 x 800 viewport with a mouse. The phones are 360 x 640 and 390 x 844 CSS pixels at a device
pixel ratio of 3 with touch: Chromium emulates them (mobileEmulation deviceMetrics); WebKitGTK has no such emulation,
so MiniBrowser runs full-screen (no toolbar) on an Xvfb three times the size with GDK_SCALE=3, which gives the same
viewport and ratio. WebKitGTK offers touch events only with a touchscreen, which Xvfb lacks: it delivers WebDriver's
touch pointer as a mouse, so WebKit's phone cases tap with a mouse pointer.
"""

import http.server
import json
import os
import shutil
import socket
import subprocess
import threading
import time
import urllib.parse
import urllib.request

import xvfb
from session import BOX_TITLE, PANEL_TITLE, TITLE, Failure, Geometry, Session, check, die_with_parent, log, poll

MINIBROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync"]
# name: (width, height, device pixel ratio, touch)
SIZES = {"desktop": (1280, 800, 1, False), "phone360": (360, 640, 3, True), "phone390": (390, 844, 3, True)}
ENGINES = ("chromium", "webkit")

# Everything a check reads, in one call: windows, controls, dialog, focus, busy state, the end notice.
READ_PAGE = """
const visible = e => !!e && e.getClientRects().length > 0 && getComputedStyle(e).visibility !== 'hidden';
const rect = e => { const r = e.getBoundingClientRect(); return [r.left, r.top, r.width, r.height]; };
const out = {windows: {}, controls: {}, dialog: null, ended: null,
             focus: document.activeElement && (document.activeElement.dataset.control ||
                    document.activeElement.className || document.activeElement.tagName),
             busy: document.documentElement.getAttribute('aria-busy'),
             tpp: Number(document.documentElement.dataset.twipsPerPixel),
             viewport: [innerWidth, innerHeight], scroll: [document.documentElement.scrollWidth,
                                                           document.documentElement.scrollHeight],
             title: document.title};
for (const w of document.querySelectorAll('.window[data-form]')) {
    const client = w.querySelector('.client');
    const bar = w.querySelector('.titlebar'), close = w.querySelector('button.close');
    out.windows[w.dataset.form] = {shown: visible(w), outer: rect(w), client: client && rect(client),
                                   titlebar: bar && rect(bar), close: close && rect(close)};
}
for (const c of document.querySelectorAll('[data-control]')) {
    const form = c.closest('.window[data-form]');
    out.controls[(form ? form.dataset.form : '?') + '.' + c.dataset.control] = {
        shown: visible(c), rect: rect(c), text: 'value' in c && c.tagName === 'INPUT' ? c.value : c.textContent};
}
const d = document.querySelector('.dialog[role="alertdialog"]');
if (visible(d)) {
    const part = s => d.querySelector(s);
    out.dialog = {modal: d.getAttribute('aria-modal'), caption: part('.dialog-caption')?.textContent,
                  prompt: part('.dialog-prompt')?.textContent, rect: rect(d),
                  buttons: [...d.querySelectorAll('button')].map(b => b.textContent),
                  ok: part('button.dialog-ok') && rect(part('button.dialog-ok'))};
}
const ended = document.getElementById('ended');
if (visible(ended)) out.ended = ended.textContent;
return out;
"""


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class StaticServer:
    """A static server on 127.0.0.1 for one folder, in a thread, that remembers every path asked of it."""

    def __init__(self, folder):
        self.requests = []
        requests = self.requests

        class Handler(http.server.SimpleHTTPRequestHandler):
            def __init__(self, *args, **kw):
                super().__init__(*args, directory=folder, **kw)

            def log_message(self, fmt, *args):
                requests.append(self.path)

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()
        self.origin = f"http://127.0.0.1:{self.httpd.server_address[1]}"

    def stop(self):
        self.httpd.shutdown()
        self.httpd.server_close()
        self.thread.join(timeout=5)


class PageState:
    """Stands in for the program's process: running until the page shows that the program has ended."""

    def __init__(self, session):
        self.session = session
        self.returncode = None

    def poll(self):
        page = self.session.read()
        if page["ended"] is not None and not any(w["shown"] for w in page["windows"].values()):
            self.returncode = 0
        return self.returncode


class WebSession(Session):
    """One browser under WebDriver with the page open; window ids are form names ("Form1", "Form2") and coordinates
    are the viewport's CSS pixels."""

    target = "web"

    def __init__(self, page, artifacts, engine, size, serve):
        super().__init__(page, artifacts)
        self.engine, self.size_name, self.serve = engine, size, serve
        self.width, self.height, self.dpr, self.touch = SIZES[size]
        self.driver = None
        self.server = None
        self.network_log = []      # Chromium's record of the page's requests, as read so far
        self.urls = []             # every address the session opened
        self.query = "Form1"

    # --- session -------------------------------------------------------------------------------------------------

    def start_x(self):
        """The browser and its driver; WebKit's MiniBrowser on an Xvfb of our own."""
        from selenium import webdriver
        if not os.path.isfile(self.app):
            raise Failure(f"{self.app} is missing: build the page first (tools/build-web.sh)")
        home = os.path.join(self.tmp, "home")
        os.makedirs(home)
        # A fresh profile: nothing of an earlier run, and nothing written outside our folder.
        self.env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                        XDG_CACHE_HOME=os.path.join(home, ".cache"), XDG_DATA_HOME=os.path.join(home, ".local"),
                        LANG="C.UTF-8")
        port = free_port()
        self.driver_log = os.path.join(self.tmp, "driver.log")
        log_file = open(self.driver_log, "w")
        if self.engine == "chromium":
            self.display = "headless"   # screenshots come from the driver
            options = webdriver.ChromeOptions()
            options.binary_location = "/usr/bin/chromium"
            for flag in CHROMIUM_FLAGS + [f"--user-data-dir={os.path.join(self.tmp, 'profile')}"]:
                options.add_argument(flag)
            if self.dpr == 1:
                options.add_argument(f"--window-size={self.width},{self.height}")
            else:
                options.add_experimental_option("mobileEmulation", {"deviceMetrics": {
                    "width": self.width, "height": self.height, "pixelRatio": float(self.dpr), "touch": self.touch}})
            options.set_capability("goog:loggingPrefs", {"performance": "ALL", "browser": "ALL"})
            argv = ["/usr/bin/chromedriver", f"--port={port}"]
        else:
            self.display, _ = xvfb.start_xvfb(self.tmp, (self.width * self.dpr, self.height * self.dpr), self.procs,
                                              self.pipes, die_with_parent)
            self.env.update(DISPLAY=self.display, GDK_SCALE=str(self.dpr), GDK_BACKEND="x11")
            self.env.pop("WAYLAND_DISPLAY", None)
            options = webdriver.WebKitGTKOptions()
            options.binary_location = MINIBROWSER
            # Full-screen: no toolbar, so the viewport is the whole window.
            for arg in ("--automation", "--full-screen", "--enable-write-console-messages-to-stdout=true"):
                options.add_argument(arg)
            argv = ["/usr/bin/WebKitWebDriver", f"--port={port}", "--host=127.0.0.1"]
        self.spawn(argv, stdout=log_file, stderr=subprocess.STDOUT)
        url = f"http://127.0.0.1:{port}"

        def ready():
            try:
                with urllib.request.urlopen(url + "/status", timeout=1) as r:
                    return json.load(r)["value"]["ready"]
            except OSError:
                return False
        poll(ready, 15, 0.05, f"{os.path.basename(argv[0])} to accept sessions")
        self.driver = webdriver.Remote(url, options=options)
        self.driver.set_page_load_timeout(30)
        self.driver.set_script_timeout(10)
        if self.engine == "webkit" or self.dpr == 1:
            # The window's size is asked for so that its viewport comes out at the size wanted.
            rect = self.driver.get_window_rect()
            inner = self.driver.execute_script("return [innerWidth, innerHeight]")
            self.driver.set_window_rect(0, 0, self.width + rect["width"] - inner[0],
                                        self.height + rect["height"] - inner[1])
        if self.serve == "http":
            folder = os.path.join(self.tmp, "site")
            os.makedirs(folder)
            shutil.copy(self.app, os.path.join(folder, os.path.basename(self.app)))
            self.server = StaticServer(folder)
        log(f"{self.engine} at {self.size_name} ({self.width}x{self.height}, ratio {self.dpr}, "
            f"{'touch' if self.touch else 'mouse'}), the page from {self.serve}")

    def page_url(self, page=None):
        page = page or self.app
        if self.serve == "http":
            folder = os.path.join(self.tmp, "site")
            if os.path.dirname(os.path.abspath(page)) != folder:
                shutil.copy(page, folder)
            return f"{self.server.origin}/{urllib.parse.quote(os.path.basename(page))}"
        return "file://" + urllib.parse.quote(os.path.abspath(page))

    def start_app(self, page=None, active=True):
        """Opens the page (afresh: each start is a new document) and waits for the query window with the focus in
        the identity-card box."""
        if self.urls:
            self.check_requests()
        url = self.page_url(page)
        t0 = time.monotonic()
        self.driver.get(url)
        self.urls.append(url)
        self.app_proc = PageState(self)

        def shown():
            page = self.read()
            return page["windows"].get("Form1", {}).get("shown") and page["focus"] == "Text1_0" and page
        poll(shown, 20, 0.02, "the query window with the focus in Text1(0)")
        log(f"query window shown {time.monotonic() - t0:.2f} s after the navigation to {url}")
        # On a phone the layout viewport is the device's width only where the page asks for it (its viewport tag).
        inner = self.driver.execute_script("return [innerWidth, innerHeight, devicePixelRatio]")
        check(inner == [self.width, self.height, self.dpr], f"{self.engine} shows the page in a {inner[0]}x{inner[1]} "
              f"viewport at device pixel ratio {inner[2]}")
        return self.query

    def cleanup(self):
        try:
            if self.driver is not None:
                self.driver.quit()
        except Exception as e:   # the driver may be gone already; its process is stopped below anyway
            log(f"(driver quit: {e})")
        if self.server:
            self.server.stop()
        super().cleanup()

    def app_log_text(self):
        text = ""
        if self.driver is not None and self.engine == "chromium":
            try:
                text = "\n".join(e["message"] for e in self.driver.get_log("browser"))
            except Exception:   # the report matters more than the console
                pass
        try:
            with open(self.driver_log, encoding="utf-8", errors="replace") as f:
                if self.engine == "webkit":
                    text += f.read()
        except (OSError, AttributeError):
            pass
        return text

    def screenshot(self, name):
        if not self.artifacts or self.driver is None:
            return
        os.makedirs(self.artifacts, exist_ok=True)
        path = os.path.join(self.artifacts, name + ".png")
        # The shot is of the last frame drawn, which on a loaded machine may trail the page: two frames more first,
        # for at most 2 s (WebKit at a ratio of 3 on a loaded machine draws a frame now and then only). A picture
        # is for people to look at; the checks read the page.
        drawn = self.driver.execute_async_script("""
            const done = arguments[0]; setTimeout(() => done(false), 2000);
            requestAnimationFrame(() => requestAnimationFrame(() => done(true)));""")
        self.driver.save_screenshot(path)
        if not drawn:
            log(f"  (no new frame within 2 s before {name}.png; it may show an earlier frame)")
        log(f"  screenshot {path}")

    # --- reading the page ----------------------------------------------------------------------------------------

    def read(self):
        return self.driver.execute_script(READ_PAGE)

    def scale(self):
        """CSS pixels per layout pixel (15 twips)."""
        return 15 / self.read()["tpp"]

    def _geometry(self, wid, which):
        w = self.read()["windows"].get(wid)
        if not w or not w[which]:
            return None
        return Geometry(*w[which], w["shown"])

    def geometry(self, wid):
        return self._geometry(wid, "client")

    def outer(self, wid):
        return self._geometry(wid, "outer")

    def frame_extents(self, wid):
        o, g = self.outer(wid), self.geometry(wid)
        return o and (g.x - o.x, o.x + o.w - g.x - g.w, g.y - o.y, o.y + o.h - g.y - g.h)

    def find_visible(self, title):
        form = {TITLE: "Form1", PANEL_TITLE: "Form2"}[title]
        w = self.read()["windows"].get(form)
        return form if w and w["shown"] else None

    def control(self, name, form="Form1"):
        c = self.read()["controls"].get(f"{form}.{name}")
        if c is None:
            raise Failure(f"no control {name} in {form}")
        return c

    def read_box(self, pos):
        return self.control(self.control_at(pos))["text"]

    def control_at(self, pos):
        """The name of Form1's control under a point given in layout pixels of its client area."""
        page = self.read()
        k = 15 / page["tpp"]
        cx, cy, _, _ = page["windows"]["Form1"]["client"]
        x, y = cx + pos[0] * k, cy + pos[1] * k
        hits = [(r[2] * r[3], key.split(".")[1]) for key, c in page["controls"].items() if key.startswith("Form1.")
                and c["shown"] and (r := c["rect"])[0] <= x < r[0] + r[2] and r[1] <= y < r[1] + r[3]]
        if not hits:
            raise Failure(f"no control at {pos} of the query window")
        return min(hits)[1]

    def read_focused(self):
        page = self.read()
        return page["controls"][f"Form1.{page['focus']}"]["text"]

    def active_window(self):
        page = self.read()
        return "dialog" if page["dialog"] else "Form1" if page["focus"] in (None, "") or \
            f"Form1.{page['focus']}" in page["controls"] else None

    def find_message_box(self, timeout=5):
        return poll(lambda: self.read()["dialog"] and "dialog", timeout, 0.02, f"a message box titled {BOX_TITLE!r}")

    def check_message_box(self, box, text):
        d = self.read()["dialog"]
        check(d is not None, "the message box is shown")
        check(d["caption"] == BOX_TITLE, f"message box captioned {d['caption']!r}")
        check(d["prompt"] == text, f"message box says {d['prompt']!r}")
        check(d["buttons"] == ["确定"], f"one button, 确定 ({d['buttons']})")
        check(d["modal"] == "true", "the message box is modal (aria-modal)")

    # --- input as a person gives it --------------------------------------------------------------------------------

    def _pointer_actions(self, duration=0):
        from selenium.webdriver.common.actions import interaction
        from selenium.webdriver.common.actions.action_builder import ActionBuilder
        from selenium.webdriver.common.actions.pointer_input import PointerInput
        # The same source id in every action sequence, so that a button or finger held down stays down between them.
        source = PointerInput(interaction.POINTER_TOUCH, "finger") if self.touch else \
            PointerInput(interaction.POINTER_MOUSE, "mouse")
        return ActionBuilder(self.driver, mouse=source, duration=duration)

    def tap_at(self, x, y):
        actions = self._pointer_actions()
        actions.pointer_action.move_to_location(round(x), round(y)).pointer_down().pointer_up()
        actions.perform()

    def tap(self, name, form="Form1"):
        """A click or a tap on the middle of the part of a control that shows in its window's client area."""
        page = self.read()
        c = page["controls"].get(f"{form}.{name}")
        check(c is not None and c["shown"], f"{name} is shown to be tapped")
        x, y, w, h = c["rect"]
        cx, cy, cw, ch = page["windows"][form]["client"]
        left, right = max(x, cx), min(x + w, cx + cw)
        top, bottom = max(y, cy), min(y + h, cy + ch)
        self.tap_at((left + right) / 2, (top + bottom) / 2)

    def click(self, wid, pos):
        page = self.read()
        k = 15 / page["tpp"]
        x, y, _, _ = page["windows"][wid]["client"]
        self.tap_at(x + pos[0] * k, y + pos[1] * k)

    def press_at(self, x, y):
        actions = self._pointer_actions()
        actions.pointer_action.move_to_location(round(x), round(y)).pointer_down()
        actions.perform()

    def move_to(self, x, y):
        actions = self._pointer_actions(duration=30)
        actions.pointer_action.move_to_location(round(x), round(y))
        actions.perform()

    def release(self):
        actions = self._pointer_actions()
        actions.pointer_action.pointer_up()
        actions.perform()

    def key(self, *keys):
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.keys import Keys
        names = {"Return": Keys.RETURN, "Tab": Keys.TAB, "Escape": Keys.ESCAPE, "BackSpace": Keys.BACKSPACE,
                 "End": Keys.END, "Home": Keys.HOME}
        modifiers = {"ctrl": Keys.CONTROL, "shift": Keys.SHIFT, "alt": Keys.ALT}
        chain = ActionChains(self.driver, duration=0)
        for combo in keys:
            *mods, last = combo.split("+")
            for m in mods:
                chain.key_down(modifiers[m])
            chain.send_keys(names.get(last, last))
            for m in reversed(mods):
                chain.key_up(modifiers[m])
        chain.perform()

    def type(self, text):
        from selenium.webdriver.common.action_chains import ActionChains
        ActionChains(self.driver, duration=0).send_keys(text).perform()

    # --- the page's requests ---------------------------------------------------------------------------------------

    def read_network_log(self):
        for entry in self.driver.get_log("performance"):
            message = json.loads(entry["message"])["message"]
            params = message["params"]
            if message["method"] == "Network.requestWillBeSent":
                self.network_log.append((params["request"]["url"], params.get("documentURL")))
            elif message["method"] in ("Network.webSocketCreated", "Network.webTransportCreated"):
                self.network_log.append((params["url"], None))

    def check_requests(self):
        """Nothing but the page itself was asked for, by the browser's own record, and the page stored nothing."""
        url = self.urls[-1]
        entries = self.driver.execute_script(
            "return performance.getEntries().map(e => [e.entryType, e.name, e.initiatorType || ''])")
        fetched = [e for e in entries if e[0] in ("navigation", "resource")]
        check(fetched and all(e[1] == url and e[0] == "navigation" for e in fetched),
              f"performance.getEntries() records the page's own navigation and no other request ({fetched})")
        if self.engine == "chromium":
            self.read_network_log()
            local = ("data:", "blob:")
            # The browser's own pages (the first tab's chrome://) load from inside the browser; anything that
            # goes out, or that the page's document asks for, must be the page itself.
            sent = [(u, doc) for u, doc in self.network_log if not u.startswith(local) and
                    (doc in self.urls or u.startswith(("http:", "https:", "ws:", "wss:", "ftp:", "file:")))]
            check(sent and {u for u, _ in sent} <= set(self.urls),
                  f"Chromium's network log holds no request but the page's own ({sorted({u for u, _ in sent})})")
        if self.server:
            page_paths = {urllib.parse.urlparse(u).path for u in self.urls}
            check(self.server.requests and set(self.server.requests) <= page_paths,
                  f"the server was asked for the page alone ({sorted(set(self.server.requests))})")
        stored = self.driver.execute_script(
            "let ls = -1; try { ls = localStorage.length + sessionStorage.length; } catch (e) { ls = 0; }"
            "return [document.cookie, ls, !!(navigator.serviceWorker && navigator.serviceWorker.controller)]")
        check(stored == ["", 0, False], f"no cookie, no stored item, no service worker ({stored})")


# The cases use the session above through its methods only.
import web_cases  # noqa: E402

CASES = web_cases.CASES
