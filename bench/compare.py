#!/usr/bin/python3
"""Measures the program against the floor window, side by side, and writes docs/PERFORMANCE.md.

    /usr/bin/python3 bench/compare.py --build-dir BUILD_DIR [--runs 7] [--idle-seconds 30] [--no-report]
                                      [--sealed-program build-sealed/cuixian-score-query]

BUILD_DIR must already hold cuixian-score-query and the bench targets (bench_roster, floor_window,
launch_until_mapped); nothing is built here. The script starts its own Xvfb (on a free display) and openbox, and
measures, for the program and for bench/floor_window:

  start-up   spawn until the first top-level window is mapped and viewable (X server MapNotify events),
  memory     VmHWM of the process once its window is mapped and it has settled,
  idle cost  CPU time (utime+stime) of the process, of Xvfb and of openbox over a quiet interval; for the
             program with the instructions panel hidden and then shown (clicked open with xdotool).

The start-up runs also start the sealed program (tools/build.sh --sealed), interleaved with the other two, when
build-sealed/cuixian-score-query or --sealed-program exists: it must start as the plain program does, since its key
derivation waits for a click. It also runs bench_roster. Results go to stdout as a table and into the generated
block of docs/PERFORMANCE.md (text outside that block is kept), or with --no-report to stdout only. Only the Python
standard library is used.

    /usr/bin/python3 bench/compare.py --build-dir BUILD_DIR --windows-only [--windows-runs 11]
                                      [--windows-idle-seconds 20]

--windows (after the measurements above) or --windows-only measures the Windows program, build-windows/
cuixian-score-query.exe (tools/build-windows.sh), against bench/floor_window_win.exe under Wine: one fresh prefix
booted and seeded by tests/e2e/wine.py, an Xvfb with Wine's virtual desktop, the same start-up, memory and idle
figures plus wineserver's share and the .exe's size, and one more idle state: the panel hidden again, the focus on
its button, so no caret blinks. The start-up runs also start the fair floor, floor_window_win_manifest.exe: the same
floor with the program's manifest (version 6 common controls, DPI awareness) and one control, which loads them.
BUILD_DIR must hold floor_window_win.exe, floor_window_win_manifest.exe, wintool.exe and launch_until_mapped. Its
figures go into a block of their own in docs/PERFORMANCE.md. About three minutes.

    /usr/bin/python3 bench/compare.py --web-only [--page build-web/PAGE.html] [--web-runs 7]
                                      [--web-idle-seconds 20] [--wrk-seconds 10]

--web (after the measurements above) or --web-only measures the page (tools/build-web.sh) against a floor page that
bench/floor_page.py makes from the same sealed table and a hand-written HTML form of the same controls with one
50 ms timer: sizes raw, gzip -9 and brotli; start-up in headless Chromium, plain and with the CPU throttled four
times; one sealed lookup in Chromium and in WebKit; the renderer's CPU over an idle interval; and nginx serving it
on loopback under wrk. Needs no build tree. See web_target.py; its figures go into a block of their own.

The targets live beside this file: x11_target.py, windows_target.py, web_target.py, and what they share in
measure.py.
"""

import argparse
from pathlib import Path

from measure import REPO
from web_target import add_web_arguments, run_web
from windows_target import run_windows
from x11_target import run_linux


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build-dir", type=Path, help="an existing build tree (all but --web-only)")
    parser.add_argument("--runs", type=int, default=7, help="start-up and memory runs per program (default 7)")
    parser.add_argument("--idle-seconds", type=float, default=30.0, help="length of each idle interval (default 30)")
    parser.add_argument("--settle", type=float, default=1.0, help="seconds after mapping before reading (default 1)")
    parser.add_argument("--bench-repetitions", type=int, default=7, help="bench_roster repetitions (default 7)")
    parser.add_argument("--no-report", action="store_true",
                        help="print the report's blocks; leave docs/PERFORMANCE.md alone")
    parser.add_argument("--sealed-program", type=Path,
                        help="the sealed program, started beside the plain one (default: "
                             "build-sealed/cuixian-score-query if it exists, else none)")
    parser.add_argument("--windows", action="store_true",
                        help="then measure the Windows program under Wine against the two Windows floors")
    parser.add_argument("--windows-only", action="store_true", help="only the Windows measurements under Wine")
    parser.add_argument("--windows-exe", type=Path, default=REPO / "build-windows" / "cuixian-score-query.exe",
                        help="the Windows program (default: build-windows/cuixian-score-query.exe)")
    parser.add_argument("--windows-runs", type=int, default=11,
                        help="start-up runs per program under Wine (default 11)")
    parser.add_argument("--windows-idle-seconds", type=float, default=20.0,
                        help="length of each idle interval under Wine (default 20)")
    add_web_arguments(parser)
    args = parser.parse_args()

    if args.web_only:
        run_web(args)
        return
    if args.build_dir is None:
        parser.error("--build-dir is needed for all but --web-only")
    build_dir = args.build_dir.resolve()
    if args.windows_only:
        run_windows(args, build_dir)
    else:
        run_linux(args, build_dir)
        if args.windows:
            run_windows(args, build_dir)
    if args.web:
        run_web(args)


if __name__ == "__main__":
    main()
