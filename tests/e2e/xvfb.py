"""An X server of the tests' own: Xvfb on a free display number, shared by the Linux and the Wine cases."""

import os
import select
import subprocess
import time


def start_xvfb(tmp, size, procs=None, pipes=None, preexec_fn=None, numbers=range(100, 700)):
    """Starts Xvfb on the first free display number of `numbers`. Returns (display, process).

    The process goes into `procs` and the read end of its display pipe into `pipes` (the pipe must stay open while
    Xvfb runs: it dies if the newline after its number meets a closed pipe)."""
    for n in numbers:
        if os.path.exists(f"/tmp/.X{n}-lock") or os.path.exists(f"/tmp/.X11-unix/X{n}"):
            continue
        rfd, wfd = os.pipe()
        p = subprocess.Popen(
            # -noreset: by default the server resets whenever its last client leaves, e.g. each readiness probe
            # before a window manager is connected, and a client that connects during a reset is cut off.
            ["Xvfb", f":{n}", "-screen", "0", f"{size[0]}x{size[1]}x24", "-nolisten", "tcp", "-noreset",
             "-displayfd", str(wfd)],
            pass_fds=(wfd,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=open(os.path.join(tmp, f"xvfb-{n}.log"), "w"), preexec_fn=preexec_fn)
        os.close(wfd)
        # Xvfb writes the display number once it accepts clients; it exits if another server won the race.
        data = b""
        deadline = time.monotonic() + 10
        while not data.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([rfd], [], [], 0.1)
            chunk = os.read(rfd, 64) if ready else b""
            if ready and not chunk:
                break
            data += chunk
        if pipes is not None:
            pipes.append(rfd)
        if data.strip() == str(n).encode():
            if procs is not None:
                procs.append(p)
            return f":{n}", p
        if p.poll() is None:
            p.kill()
        p.wait(timeout=3)
        if pipes is None:
            os.close(rfd)
    raise RuntimeError(f"no free X display number between :{numbers[0]} and :{numbers[-1]}")
