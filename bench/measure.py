"""What the benchmarks of every target share: the processes' CPU time and memory from /proc, a program timed from
spawn to its first window by launch_until_mapped, and the report's common lines (bench/compare.py runs the targets:
x11_target.py for the Linux program, windows_target.py for the Windows one under Wine, web_target.py for the page).
Only the Python standard library is used."""

import datetime
import os
import platform
import signal
import statistics
import subprocess
import sys
import time
from pathlib import Path

REPO = Path(__file__).resolve().parent.parent
REPORT = REPO / "docs" / "PERFORMANCE.md"

WINDOW_TITLE = "2018年翠县一中西校区公开招聘教师笔试成绩查询软件"
PANEL_TITLE = "软件使用说明"
# Middle of the tall button that shows and hides the panel, in the query window's client coordinates.
PANEL_BUTTON = (596, 156)

TIMER_FLOOR = "floor with a 50 ms timer"
# Hidden again after the panel was shown: the click left the focus on the button, so no caret blinks in a text box,
# which tells the caret's share of the first state from the tick's.
HIDDEN_AGAIN = "program, panel hidden again, no caret"
IDLE_STATES = ("floor", TIMER_FLOOR, "program, panel hidden", "program, panel shown", HIDDEN_AGAIN)
# What the reports call each program they start; the keys of the programs dicts.
LABELS = {"program": "program", "sealed": "sealed program", "floor": "floor", "fair floor": "fair floor"}

CLK_TCK = os.sysconf("SC_CLK_TCK")


# ----------------------------------------------------------------------------------------------- processes


def find_binary(build_dir, name):
    for candidate in (build_dir / name, build_dir / "bench" / name):
        if candidate.is_file() and os.access(candidate, os.X_OK):
            return candidate
    for path in build_dir.rglob(name):
        if path.is_file() and os.access(path, os.X_OK):
            return path
    sys.exit(f"compare.py: {name} not found under {build_dir}; build it first")


def cpu_seconds(pid):
    """utime+stime of the whole process (all threads, ended ones included), in seconds."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLK_TCK


def run_seconds(pid):
    """Time on CPU of the live threads from the scheduler's own accounting (nanosecond resolution)."""
    total = 0
    for task in Path(f"/proc/{pid}/task").iterdir():
        try:
            total += int((task / "schedstat").read_text().split()[0])
        except (OSError, IndexError, ValueError):
            pass
    return total / 1e9


def memory_kb(pid):
    values = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, rest = line.partition(":")
            if key in ("VmHWM", "VmRSS"):
                values[key] = int(rest.split()[0])
    return values



class Launched:
    """One run of a program under launch_until_mapped, which stays its parent."""

    def __init__(self, launcher, program, env, args=(), options=()):
        self.launcher = subprocess.Popen([str(launcher), "--timeout", "20", *options, "--", str(program), *args],
                                         env=env, stdout=subprocess.PIPE, text=True)
        line = self.launcher.stdout.readline()
        fields = dict(item.split("=", 1) for item in line.split())
        if "pid" not in fields:
            self.launcher.wait()
            sys.exit(f"compare.py: {program} showed no window")
        self.pid = int(fields["pid"])
        self.window = int(fields["window"])
        self.startup_ms = float(fields["ms"])
        self.startup_cpu_ms = float(fields["cpu_ms"])

    def stop(self):
        try:
            os.kill(self.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        try:
            self.launcher.wait(timeout=5)
        except subprocess.TimeoutExpired:
            os.kill(self.pid, signal.SIGKILL)
            self.launcher.wait()


def visible_windows(pid, env):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)], env=env,
                           capture_output=True, text=True)
    return [int(w) for w in found.stdout.split()]


def window_name(window, env):
    return subprocess.run(["xdotool", "getwindowname", str(window)], env=env,
                          capture_output=True, text=True).stdout.strip()


def idle_cost(pids, seconds):
    """CPU share of one core per process over a quiet interval, from utime+stime and from schedstat."""
    before = {name: (cpu_seconds(pid), run_seconds(pid)) for name, pid in pids.items()}
    start = time.monotonic()
    time.sleep(seconds)
    wall = time.monotonic() - start
    result = {}
    for name, pid in pids.items():
        ticks = cpu_seconds(pid) - before[name][0]
        sched = run_seconds(pid) - before[name][1]
        result[name] = {"percent": 100.0 * ticks / wall, "sched_percent": 100.0 * sched / wall,
                        "cpu_ms": ticks * 1e3}
    result["wall_s"] = wall
    return result


# ----------------------------------------------------------------------------------------------- reporting


def spread(values):
    return statistics.median(values), min(values), max(values)


def machine():
    lscpu = subprocess.run(["lscpu"], capture_output=True, text=True, env=dict(os.environ, LC_ALL="C")).stdout
    info = dict(line.split(":", 1) for line in lscpu.splitlines() if ":" in line)
    with open("/proc/meminfo") as f:
        mem_kb = int(next(line for line in f if line.startswith("MemTotal")).split()[1])

    def package_version(name):
        return subprocess.run(["dpkg-query", "-W", "-f", "${Version}", name],
                              capture_output=True, text=True).stdout or "?"

    def git(*arguments):
        try:
            return subprocess.run(["git", "-C", str(REPO), *arguments], capture_output=True, text=True).stdout
        except FileNotFoundError:  # a source tree without git still gets its report
            return ""

    commit = git("rev-parse", "--short", "HEAD").strip() or "?"
    dirty = git("status", "--porcelain")
    return {
        "cpu": info.get("Model name", "?").strip(),
        "cpus": info.get("CPU(s)", "?").strip(),
        "hypervisor": info.get("Hypervisor vendor", "").strip(),
        "memory": f"{mem_kb / 1024 / 1024:.1f} GiB",
        "kernel": platform.release(),
        "qt": package_version("libqt6core6"),
        "xvfb": package_version("xvfb"),
        "openbox": package_version("openbox"),
        "commit": commit + (" with uncommitted changes" if dirty.strip() else ""),
    }


def verdict(ok):
    return "met" if ok else "MISSED"


def single_runs(startup):
    return "Single start-up runs, ms: " + "; ".join(
        f"{LABELS[name]} " + ", ".join(f"{v:.1f}" for v in samples["startup_ms"])
        for name, samples in startup.items()) + "."


def shown_path(path):
    """A path as the report shows it: from the root of the clone when it is inside it."""
    try:
        return str(path.relative_to(REPO))
    except ValueError:
        return str(path)


def measured_on(info, software):
    """The report's first line: when, on what machine, with which software, from which tree."""
    now = datetime.datetime.now().astimezone().strftime("%Y-%m-%d %H:%M %Z")
    return (f"Measured {now} on {info['cpu']} ({info['cpus']} CPUs"
            + (f", {info['hypervisor']} guest" if info["hypervisor"] else "") + f"), {info['memory']} RAM, "
            f"Linux {info['kernel']}, {software}; tree {info['commit']}.")


def fmt_ns(ns):
    if ns >= 1e6:
        return f"{ns / 1e6:.1f} ms"
    return f"{ns / 1e3:.2f} µs" if ns >= 1000 else f"{ns:.1f} ns"



def write_report(block, begin, end):
    REPORT.parent.mkdir(parents=True, exist_ok=True)
    text = REPORT.read_text() if REPORT.exists() else ""
    generated = f"{begin}\n{block}\n{end}"
    if begin in text and end in text:
        head, rest = text.split(begin, 1)
        text = head + generated + rest.split(end, 1)[1]
    else:
        text = (text or "# Performance\n\n") + "\n" + generated + "\n"
    REPORT.write_text(text)

