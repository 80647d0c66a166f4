#!/usr/bin/python3
"""The Windows program under Wine, for the end-to-end harness.

Two parts:

* The prefix fixture (`wine.py setup|cleanup --prefix DIR`): ctest boots one fresh WINEPREFIX per run, seeded before
  its first start with the virtual desktop, the Chinese face substitutes and no crash dialog, and keeps its
  wineserver alive for the cases; cleanup ends the wineserver and whatever Wine left running. `wine.py run --prefix
  DIR PROGRAM.exe ARGS` runs a console program of the tests in it.
* `WineSession` (windows_target.py), the adapter e2e.py uses with --target windows: the same steps as X11Session
  (start the program, click, type, read a box, find a window's outer frame and a message box), carried out on Wine's
  windows. Input still goes through xdotool onto the real windows; what the program shows is read by
  tests/windows/wintool.exe, run in the same prefix and desktop (FindWindow, EnumChildWindows, WM_GETTEXT,
  GetWindowRect).

Wine's virtual desktop draws Windows' own frames and runs Windows' move loop, so no X window manager runs in a
Windows session, and a desktop coordinate is a root-window coordinate (the desktop window sits at 0,0 of its Xvfb).
Only one Wine session may use the prefix at a time: its virtual desktop lives on the display of the session that
first opened it. ctest serialises the cases with a resource lock.
"""

import argparse
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import xvfb

# The prefix is a 64-bit Windows, booted by the 64-bit loader, with its 32-bit half beside it. A 32-bit program runs
# with the 32-bit loader, as a 32-bit program runs on a 64-bit Windows (loader_for).
WINE64 = "/usr/lib/wine/wine64"
WINE = "/usr/lib/wine/wine"
PACKAGES = {WINE64: "wine64", WINE: "wine32:i386"}
WINESERVER = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
SCREEN = (1280, 1024)
LOCALE = "zh_CN.UTF-8"

# winebus/wineusb poll for devices (3 % of a core), mscoree and mshtml would offer to download Mono and Gecko, and
# winemenubuilder would write menu entries and file associations into the home folder.
DLL_OVERRIDES = "winebus.sys,wineusb.sys,mscoree,mshtml,winemenubuilder.exe="

# The faces a Chinese Windows has, under the names the program asks for, and the Debian fonts standing in for them.
FACE_SUBSTITUTES = {"宋体": ("AR PL UMing CN", "fonts-arphic-uming"),
                    "黑体": ("Noto Sans Mono CJK SC", "fonts-noto-cjk")}
GB2312_CHARSET = 134

# Written by regedit before the program's first start: Wine's virtual desktop, the face substitutes and no crash
# dialog (it would block a test until its timeout).
SEED_REG = r"""Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="{width}x{height}"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
{substitutes}

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000
"""

# Each session's own virtual desktop, and the screen resolution as Windows' display settings keep it (96 = 100 %).
# A desktop lives on the display of the session that opened it, and the server keeps it a moment after its last
# window goes: a session reusing the name of the one before could meet the old desktop on a display now gone.
SESSION_REG = r"""Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="{desktop}"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"{desktop}"="{width}x{height}"

[HKEY_CURRENT_USER\Control Panel\Desktop]
"LogPixels"=dword:{dpi:08x}
"""

# What an older Windows lacks, for one program (the prefix's AppDefaults): the version Windows reports to it, and the
# system DLLs that came later, which the program only looks up at run time. Windows 7 has no shcore.dll (8.1);
# Windows XP has neither it nor dwmapi.dll (Vista).
OLD_WINDOWS = {"win7": ("win7", ("shcore",)), "winxp": ("winxp", ("shcore", "dwmapi"))}


def app_defaults(program, windows_version):
    """The .reg lines that make the prefix an older Windows for `program`, or none; the previous setting is cleared."""
    key = rf"HKEY_CURRENT_USER\Software\Wine\AppDefaults\{program}"
    text = f"\n[-{key}]\n"
    if windows_version:
        version, missing = OLD_WINDOWS[windows_version]
        text += f'\n[{key}]\n"Version"="{version}"\n'
        text += f"\n[{key}\\DllOverrides]\n" + "".join(f'"{dll}"=""\n' for dll in missing)
    return text


# Window styles (winuser.h).
WS_MAXIMIZEBOX, WS_MINIMIZEBOX, WS_THICKFRAME = 0x00010000, 0x00020000, 0x00040000
WS_SYSMENU, WS_CAPTION, WS_POPUP, WS_CLIPSIBLINGS = 0x00080000, 0x00C00000, 0x80000000, 0x04000000
WS_EX_TOOLWINDOW, WS_EX_APPWINDOW = 0x00000080, 0x00040000
BOX_CLASS = "#32770"


def log(msg):
    print(msg, flush=True)


def write_reg(path, text):
    """A .reg file as regedit reads it everywhere: UTF-16LE with a byte-order mark and CRLF lines."""
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + text.replace("\n", "\r\n").encode("utf-16-le"))


def loader_for(program):
    """Wine's loader for a Windows program: the 32-bit one for a 32-bit program (PE32, i386), else the 64-bit one."""
    with open(program, "rb") as f:
        head = f.read(1024)
    pe = int.from_bytes(head[0x3C:0x40], "little")
    if head[:2] != b"MZ" or head[pe:pe + 4] != b"PE\0\0":
        raise ValueError(f"{program} is not a Windows program")
    return WINE if int.from_bytes(head[pe + 4:pe + 6], "little") == 0x14C else WINE64


def locale_available(name=LOCALE):
    out = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.split()
    return name.lower().replace("-", "") in {n.lower().replace("-", "") for n in out}


def wine_env(prefix_dir, display=None):
    """The environment of every Wine process of the suite: the prefix, a home folder of its own, no session bus."""
    env = {k: v for k, v in os.environ.items()
           if k not in ("WAYLAND_DISPLAY", "XAUTHORITY", "SESSION_MANAGER", "DBUS_SESSION_BUS_ADDRESS", "LC_ALL",
                        "WINEARCH", "WINESERVER", "WINELOADER")}
    home = os.path.join(prefix_dir, "home")
    env.update(WINEPREFIX=os.path.join(prefix_dir, "prefix"), WINEDEBUG="-all", WINEDLLOVERRIDES=DLL_OVERRIDES,
               LANG=LOCALE, LC_ALL=LOCALE, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_CACHE_HOME=os.path.join(home, ".cache"), XDG_DATA_HOME=os.path.join(home, ".local", "share"),
               XDG_RUNTIME_DIR=os.path.join(prefix_dir, "runtime"),
               # Nothing to autolaunch a bus daemon for: a client that asks for the session bus gets an error.
               DBUS_SESSION_BUS_ADDRESS="disabled:")
    if display:
        env["DISPLAY"] = display
    else:
        env.pop("DISPLAY", None)
    return env


def start_xvfb(tmp, size=SCREEN, procs=None, pipes=None, preexec_fn=None):
    """Xvfb on a free display number, without a window manager. Returns (display, process)."""
    return xvfb.start_xvfb(tmp, size, procs, pipes, preexec_fn, numbers=range(400, 700))


def processes_of_prefix(wineprefix):
    """PIDs of the processes whose environment names this prefix (Wine's own, and what they started)."""
    found = []
    needle = b"WINEPREFIX=" + os.fsencode(wineprefix) + b"\0"
    for entry in os.listdir("/proc"):
        if not entry.isdigit() or int(entry) == os.getpid():
            continue
        try:
            with open(f"/proc/{entry}/environ", "rb") as f:
                if needle in f.read() + b"\0":
                    found.append(int(entry))
        except OSError:
            pass
    return found


# --- the fixture -----------------------------------------------------------------------------------------------------


def setup(prefix_dir, tool):
    loaders = {WINE64} | ({loader_for(tool)} if os.path.isfile(tool) else set())
    for what, ok in (*((f"{path} (package {PACKAGES[path]})", os.path.exists(path)) for path in sorted(loaders)),
                     ("Xvfb (package xvfb)", shutil.which("Xvfb")),
                     (f"the {LOCALE} locale (tools/setup.sh generates it)", locale_available()),
                     (f"the test tool {tool}", os.path.isfile(tool))):
        if not ok:
            log(f"FAIL: {what} is missing")
            return 1
    cleanup(prefix_dir, quiet=True)
    shutil.rmtree(prefix_dir, ignore_errors=True)
    for sub in ("prefix", "home", "runtime"):
        os.makedirs(os.path.join(prefix_dir, sub), mode=0o700)
    tmp = tempfile.mkdtemp(prefix="wine-boot-")
    # On a display number no session takes: what the boot leaves running (the wineserver, services.exe) keeps it in
    # its environment, and a session ending on that number would take those processes for its own.
    display, server = xvfb.start_xvfb(tmp, SCREEN, numbers=range(700, 800))
    env = wine_env(prefix_dir, display)
    try:
        # The wineserver is started first, on its own, with its output in a file: a server started by a wine
        # command inherits that command's output, and a caller reading the output to its end would wait for it.
        with open(os.path.join(prefix_dir, "wineserver.log"), "w") as out:
            subprocess.run([WINESERVER, "-p"], env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=out,
                           start_new_session=True, check=True, timeout=30)
        reg = os.path.join(prefix_dir, "seed.reg")
        substitutes = "\n".join(f'"{face}"="{family}"' for face, (family, _) in FACE_SUBSTITUTES.items())
        write_reg(reg, SEED_REG.format(width=SCREEN[0], height=SCREEN[1], substitutes=substitutes))
        t0 = time.monotonic()
        # The first command in a fresh prefix boots it; regedit then imports the seed before any program runs.
        with open(os.path.join(prefix_dir, "boot.log"), "w") as out:
            r = subprocess.run([WINE64, "regedit", "/S", reg], env=env, stdin=subprocess.DEVNULL, stdout=out,
                               stderr=subprocess.STDOUT, timeout=180)
        boot = time.monotonic() - t0
        if r.returncode != 0:
            log(f"FAIL: booting the prefix and importing the seed failed with status {r.returncode}")
            return 1
        r = subprocess.run([WINE64, "reg", "query", r"HKCU\Software\Wine\Explorer\Desktops", "/v", "Default"],
                           env=env, stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        seen = r.stdout.decode("utf-8", errors="replace")
        if f"{SCREEN[0]}x{SCREEN[1]}" not in seen:
            log(f"FAIL: the seeded virtual desktop is not in the registry: {seen.strip()!r}")
            return 1
        # A substitute naming a font Wine cannot see falls back without a word to the locale's sans face, and every
        # screenshot and measure of text would then be of the wrong face.
        for face, (family, package) in FACE_SUBSTITUTES.items():
            # Output through a file: a Wine process the command brings up would hold a pipe open after it ends.
            with tempfile.TemporaryFile(dir=tmp) as out:
                subprocess.run([loader_for(tool), tool, "font", face, str(GB2312_CHARSET), "-24"], env=env,
                               stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.DEVNULL, timeout=60)
                out.seek(0)
                got = json.loads(out.read().decode("utf-8", errors="replace") or "{}").get("family")
            if got != family:
                log(f"FAIL: {face} comes out as {got!r} in the prefix, not {family!r} (package {package})")
                return 1
            log(f"{face} is drawn in {family}")
        log(f"prefix {env['WINEPREFIX']} booted and seeded in {boot:.1f} s")
        with open(os.path.join(prefix_dir, "boot-seconds"), "w") as f:
            f.write(f"{boot:.2f}\n")
        return 0
    finally:
        # The boot's desktop window goes with its display; the next session opens the desktop on its own.
        server.terminate()
        server.wait(timeout=10)
        shutil.rmtree(tmp, ignore_errors=True)


def cleanup(prefix_dir, quiet=False):
    env = wine_env(prefix_dir)
    wineprefix = env["WINEPREFIX"]
    if os.path.isdir(wineprefix):
        subprocess.run([WINESERVER, "-k"], env=env, stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
    # Whatever is still alive with this prefix in its environment, a session bus daemon included.
    deadline = time.monotonic() + 5
    while (left := processes_of_prefix(wineprefix)) and time.monotonic() < deadline:
        for pid in left:
            try:
                os.kill(pid, signal.SIGTERM if time.monotonic() < deadline - 3 else signal.SIGKILL)
            except ProcessLookupError:
                pass
        time.sleep(0.1)
    left = processes_of_prefix(wineprefix)
    if left:
        log(f"FAIL: processes of the prefix still running: {left}")
        return 1
    if not quiet:
        log(f"nothing of {wineprefix} left running")
    return 0


def run(prefix_dir, program, arguments):
    """A console program run to its end in the booted prefix, without a display; its output and its status."""
    with tempfile.TemporaryFile() as out:
        # Output through a file: a Wine process the command brings up would hold a pipe open after it ends.
        r = subprocess.run([loader_for(program), program, *arguments], env=wine_env(prefix_dir),
                           stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT, timeout=120)
        out.seek(0)
        sys.stdout.write(out.read().decode("utf-8", errors="replace"))
    return r.returncode


def windows_path(path):
    """A Linux path as the prefix's Z: drive shows it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("action", choices=("setup", "cleanup", "run"))
    ap.add_argument("--prefix", required=True, help="folder for the prefix, its home folder and logs")
    ap.add_argument("--tool", help="setup: wintool.exe, checked to be there before booting")
    # run: PROGRAM.exe and its arguments follow; a Linux path to a file is handed on as its Z: path.
    args, command = ap.parse_known_args()
    prefix_dir = os.path.abspath(args.prefix)
    if command and args.action != "run":
        ap.error(f"unrecognized arguments: {' '.join(command)}")
    if args.action == "setup":
        return setup(prefix_dir, os.path.abspath(args.tool or ""))
    if args.action == "run":
        if not command:
            ap.error("run needs a program")
        program, *arguments = command
        return run(prefix_dir, program, [windows_path(a) if os.path.isfile(a) else a for a in arguments])
    return cleanup(prefix_dir)


if __name__ == "__main__":
    sys.exit(main())
