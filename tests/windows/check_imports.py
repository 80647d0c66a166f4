#!/usr/bin/python3
"""Whether a Windows program starts on the oldest Windows it promises, judged from its import table.

Usage: check_imports.py PROGRAM.exe --oldest 5.01 [--objdump OBJDUMP] [--cc CC]

Windows' loader refuses a program that imports a DLL or a function the system lacks ("无法定位程序输入点 …"), so the
import table is the promise. Each imported DLL must be one that every Windows since --oldest has, and each imported
function must be declared by the SDK's own headers when they are told that --oldest is the target
(_WIN32_WINNT and WINVER): the MinGW-w64 headers hide what came later, so one compile says mechanically what the
old system lacks. The C runtime's functions are not gated by Windows version in those headers; msvcrt.dll imports
are held to the entries that the msvcrt.dll of Windows XP exports, listed below. A failure names the DLL and the
function.
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile

# The system DLLs a program may import, with the first Windows version that has each (major, minor).
SYSTEM_DLLS = {
    "kernel32.dll": (5, 0), "user32.dll": (5, 0), "gdi32.dll": (5, 0), "advapi32.dll": (5, 0),
    "shell32.dll": (5, 0), "comctl32.dll": (5, 0), "comdlg32.dll": (5, 0), "ole32.dll": (5, 0),
    "oleaut32.dll": (5, 0), "version.dll": (5, 0), "imm32.dll": (5, 0), "winmm.dll": (5, 0), "ws2_32.dll": (5, 0),
    "shlwapi.dll": (5, 0), "msvcrt.dll": (5, 0), "uxtheme.dll": (5, 1),
    "bcrypt.dll": (6, 0), "dwmapi.dll": (6, 0), "shcore.dll": (6, 3),
}

# What MinGW-w64's start-up code and the parts of its C and C++ runtime that the program links take from msvcrt.dll.
# Every one of them is in the msvcrt.dll of Windows 2000 and XP (the C library of C89 and the runtime's own start-up
# entries); a new one fails the check until someone has made sure of it and added it here.
MSVCRT_XP = set("""
    __mb_cur_max __p__commode __p__fmode __p__wcmdln __set_app_type __setusermatherr __wgetmainargs __winitenv
    _amsg_exit _cexit _close _errno _initterm _iob _onexit _read abort atoi calloc exit fprintf fputc fputs free
    fwrite localeconv malloc memchr memcmp memcpy memmove memset realloc setlocale signal strchr strcmp strerror
    strlen strncmp vfprintf wcslen
""".split())

# The headers that declare what the system DLLs above export.
HEADERS = ["windows.h", "commctrl.h", "shellapi.h", "shlwapi.h", "uxtheme.h", "dwmapi.h", "shellscalingapi.h",
           "bcrypt.h", "winver.h", "mmsystem.h", "winsock2.h"]


def parse_version(text):
    match = re.fullmatch(r"(\d+)\.(\d+)", text)
    if not match:
        raise argparse.ArgumentTypeError(f"{text!r} is not a Windows version such as 5.01")
    return int(match.group(1)), int(match.group(2))


def imports(objdump, program):
    """{dll name (lower case): [function names]} from the program's import table."""
    out = subprocess.run([objdump, "-p", program], capture_output=True, text=True, check=True).stdout
    table, dll, in_functions = {}, None, False
    for line in out.splitlines():
        if m := re.match(r"\s*DLL Name: (\S+)", line):
            dll, in_functions = m.group(1).lower(), False
            table[dll] = []
        elif dll and re.match(r"\s*vma:\s+Hint/Ord\s+Member-Name", line):
            in_functions = True
        elif dll and in_functions:
            if m := re.match(r"\s*[0-9a-f]+\s+(\d+)\s+(\S+)\s*$", line):
                table[dll].append(m.group(2))
            elif m := re.match(r"\s*[0-9a-f]+\s+<none>\s+([0-9a-f]+)\s*$", line):
                table[dll].append(f"#ordinal {int(m.group(1), 16)}")
            elif not line.strip():
                dll, in_functions = None, False
    return table


def undeclared(cc, oldest, names):
    """The names the headers do not declare for a program whose oldest Windows is `oldest`."""
    winnt = f"0x{oldest[0]:02x}{oldest[1]:02x}"
    lines = ["#define WIN32_LEAN_AND_MEAN"] + [f"#include <{h}>" for h in HEADERS]
    first = len(lines) + 1
    lines += [f"void *check_{i} = (void *)&{name};" for i, name in enumerate(names)]
    with tempfile.TemporaryDirectory() as tmp:
        source = os.path.join(tmp, "imports.c")
        with open(source, "w") as f:
            f.write("\n".join(lines) + "\n")
        r = subprocess.run([cc, "-fsyntax-only", "-fmax-errors=0", f"-D_WIN32_WINNT={winnt}", f"-DWINVER={winnt}",
                            "-DUNICODE", "-D_UNICODE", source], capture_output=True, text=True)
    missing = set()
    for m in re.finditer(r"imports\.c:(\d+):\d+: error: (.*)", r.stderr):
        index = int(m.group(1)) - first
        if 0 <= index < len(names):
            missing.add(names[index])
        else:
            raise SystemExit(f"FAIL: the headers themselves do not compile: {m.group(2)}")
    if r.returncode != 0 and not missing:
        raise SystemExit(f"FAIL: {cc} failed:\n{r.stderr}")
    return missing


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("program")
    ap.add_argument("--oldest", type=parse_version, required=True, help="the oldest Windows, such as 5.01 (XP)")
    ap.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    ap.add_argument("--cc", default="i686-w64-mingw32-gcc-win32")
    args = ap.parse_args()
    version = f"{args.oldest[0]}.{args.oldest[1]:02d}"
    table = imports(args.objdump, args.program)
    if not table:
        print(f"FAIL: no import table read from {args.program}")
        return 1
    failures = []
    gated = []
    for dll, functions in sorted(table.items()):
        since = SYSTEM_DLLS.get(dll)
        if since is None:
            failures.append(f"{dll}: not a DLL of Windows itself; the program must bring nothing beside it")
        elif since > args.oldest:
            failures.append(f"{dll}: Windows {version} has no such DLL (it came with {since[0]}.{since[1]:02d})")
        for name in functions:
            if name.startswith("#"):
                failures.append(f"{dll}!{name}: imported by number, which no header can vouch for")
            elif dll == "msvcrt.dll":
                if name not in MSVCRT_XP:
                    failures.append(f"{dll}!{name}: not among the C runtime entries known in Windows XP's msvcrt.dll")
            else:
                gated.append((dll, name))
    missing = undeclared(args.cc, args.oldest, [name for _, name in gated])
    failures += [f"{dll}!{name}: the headers for Windows {version} do not declare it: that Windows lacks it"
                 for dll, name in gated if name in missing]
    count = sum(len(f) for f in table.values())
    for failure in failures:
        print(f"FAIL: {failure}")
    if failures:
        return 1
    print(f"ok: {count} functions from {len(table)} DLLs ({', '.join(sorted(table))}), all in Windows {version}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
