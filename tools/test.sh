#!/usr/bin/env bash
# One command on a fresh Debian 12 machine: install what is missing, build both programs (Linux and, cross-built,
# Windows), plain and sealed, and the web page, and run the whole test suite, the Windows program's cases under Wine
# and the page's in the browsers included.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/tools/setup.sh" run windows publish test web
# Wine runs the shipped 32-bit program with its 32-bit loader, which a kernel without 32-bit support refuses to start;
# there the Wine cases run a 64-bit build of the same sources instead (tests/windows/CMakeLists.txt).
runs_32bit=true
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    runs_32bit=false
    echo "test: this machine runs no 32-bit code; the Wine cases run an x86-64 build of the Windows program" >&2
    "$root/tools/setup.sh" windows-x86-64
fi
"$root/tools/build.sh"
"$root/tools/build.sh" --sealed
"$root/tools/build-windows.sh"
"$root/tools/build-windows.sh" --sealed
"$root/tools/build-web.sh"
if ! $runs_32bit; then
    "$root/tools/build-windows.sh" --arch x86-64
    "$root/tools/build-windows.sh" --arch x86-64 --sealed
fi
cd "$root/build"
ctest --output-on-failure --timeout 600 -j "$(nproc 2>/dev/null || echo 2)"
