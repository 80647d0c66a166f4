"""A running program's memory as a core dump shows it (gdb's gcore), less the files it maps but its own executable:
the heap, the stacks, anonymous memory and the program's own sections. The fonts and libraries it maps are left out,
since they are not the program's data and their bytes could match a short text by chance."""

import os
import struct
import subprocess

PT_LOAD = 1
PAGE = 4096
# Between pieces that did not lie side by side, so that no text is made up across the seam.
GAP = b"\0" * 8


def mappings(pid):
    """[(start, end, path or None)] from /proc/PID/maps."""
    out = []
    with open(f"/proc/{pid}/maps") as f:
        for line in f:
            parts = line.split(maxsplit=5)
            start, end = (int(x, 16) for x in parts[0].split("-"))
            path = parts[5].strip() if len(parts) > 5 else None
            out.append((start, end, path if path and path.startswith("/") else None))
    return out


def memory_image(pid, program, tmp):
    """The bytes of the dump's segments that are anonymous memory or the program's own mappings."""
    # Private file mappings too, so that the program's own written sections are in the dump.
    with open(f"/proc/{pid}/coredump_filter", "w") as f:
        f.write("0x37")
    maps = mappings(pid)
    base = os.path.join(tmp, "core")
    subprocess.run(["gcore", "-o", base, str(pid)], capture_output=True, check=True, timeout=120)
    path = f"{base}.{pid}"
    own = os.path.realpath(program)
    with open(path, "rb") as f:
        core = f.read()
    os.unlink(path)
    phoff, = struct.unpack_from("<Q", core, 0x20)
    phentsize, phnum = struct.unpack_from("<HH", core, 0x36)
    kept = []
    for i in range(phnum):
        kind, _, offset, vaddr, _, filesz = struct.unpack_from("<IIQQQQ", core, phoff + i * phentsize)
        if kind != PT_LOAD or not filesz:
            continue
        backing = next((p for start, end, p in maps if start <= vaddr < end), None)
        if backing is not None and os.path.realpath(backing) != own:
            continue
        # Most of what is reserved was never written: pages of zeros, which hold no text, are left out.
        for page in range(offset, offset + filesz, PAGE):
            chunk = core[page:min(page + PAGE, offset + filesz)]
            if chunk.count(0) != len(chunk):
                kept.append(chunk)
            elif kept and kept[-1] != GAP:
                kept.append(GAP)
        kept.append(GAP)
    return b"".join(kept)


def live_memory_image(pid, program):
    """The same pieces read from /proc/PID/mem while the process runs, without stopping it: for a Wine process, which
    a debugger's attach can leave hanging among its many threads. Readable anonymous memory and the program's own
    mappings."""
    own = os.path.realpath(program)
    kept = []
    with open(f"/proc/{pid}/maps") as f:
        regions = [line.split(maxsplit=5) for line in f]
    fd = os.open(f"/proc/{pid}/mem", os.O_RDONLY)
    try:
        for parts in regions:
            if not parts[1].startswith("r"):
                continue
            path = parts[5].strip() if len(parts) > 5 else ""
            if path.startswith("/") and os.path.realpath(path) != own:
                continue
            if path.startswith("[") and path not in ("[heap]", "[stack]"):
                continue   # [vvar], [vdso], [vsyscall]: the kernel's
            start, end = (int(x, 16) for x in parts[0].split("-"))
            for page in range(start, end, PAGE):
                try:
                    chunk = os.pread(fd, PAGE, page)
                except OSError:
                    chunk = b""
                if chunk and chunk.count(0) != len(chunk):
                    kept.append(chunk)
                elif kept and kept[-1] != GAP:
                    kept.append(GAP)
            kept.append(GAP)
    finally:
        os.close(fd)
    return b"".join(kept)
