#!/usr/bin/python3
"""The Windows program's version record and file icon, read back from the built .exe through Windows' own
GetFileVersionInfoW and VerQueryValueW: tests/windows/wintool.exe runs under Wine in the suite's prefix.

Usage: version_record.py --exe PROGRAM.exe --tool wintool.exe --wine-prefix DIR --name N --version V
       --organization O --title T --executable E      (the application metadata of the top-level CMakeLists.txt)
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
import wine  # noqa: E402

failures = []


def expect(what, got, want):
    if got == want:
        print(f"  ok: {what} = {got!r}")
    else:
        failures.append(what)
        print(f"FAIL: {what} = {got!r}, expected {want!r}")


def main():
    ap = argparse.ArgumentParser()
    for option in ("--exe", "--tool", "--wine-prefix", "--name", "--version", "--organization", "--title",
                   "--executable"):
        ap.add_argument(option, required=True)
    a = ap.parse_args()
    exe = os.path.abspath(a.exe)
    if not os.path.isfile(exe):
        print(f"FAIL: {exe} is missing (tools/build-windows.sh builds it)")
        return 1
    env = wine.wine_env(os.path.abspath(a.wine_prefix))
    with tempfile.TemporaryFile() as out:
        # Output through a file: see WineSession.wine_run.
        r = subprocess.run([wine.loader_for(a.tool), a.tool, "version", "Z:" + exe.replace("/", "\\")], env=env,
                           stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.DEVNULL, timeout=60)
        out.seek(0)
        text = out.read().decode("utf-8", errors="replace")
    record = json.loads(text) if text.startswith("{") else {"error": text}
    if r.returncode != 0 or "error" in record:
        print(f"FAIL: no version record read back (status {r.returncode}): {record.get('error')}")
        return 1

    major, minor = (int(part) for part in a.version.split("."))   # "1.00" is 1,0,0,0
    expect("signature", record["signature"], 0xFEEF04BD)
    expect("file version", record["file_version"], [major << 16 | minor, 0])
    expect("product version", record["product_version"], [major << 16 | minor, 0])
    expect("file type (VFT_APP)", record["file_type"], 1)
    # Chinese (PRC) in UTF-16; the string table must be named after the same pair or Windows does not show it.
    expect("translations", record["translations"], [[0x0804, 1200]])
    table = "080404B0/"
    strings = {
        "CompanyName": a.organization,
        "ProductName": a.name,
        "FileVersion": a.version,
        "ProductVersion": a.version,
        "InternalName": a.title + "3",
        "FileDescription": a.title,
        "OriginalFilename": a.executable + ".exe",
    }
    for key, want in strings.items():
        expect(key, record["strings"].get(table + key), want)
    # And the values the project states, so that a change of the metadata itself is seen too.
    expect("ProductName as shipped", record["strings"].get(table + "ProductName"), "工程1")
    expect("CompanyName as shipped", record["strings"].get(table + "CompanyName"), "China")
    expect("FileVersion as shipped", record["strings"].get(table + "FileVersion"), "1.00")
    expect("icons in the program file", record["icons"], 1)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
