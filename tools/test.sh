#!/usr/bin/env bash
# One command on a fresh Debian 12 machine: install what is missing, build both programs (Linux and, cross-built,
# Windows), and run the whole test suite, the Windows program's cases under Wine included.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/tools/setup.sh"
"$root/tools/build.sh"
"$root/tools/build-windows.sh"
cd "$root/build"
ctest --output-on-failure --timeout 600 -j "$(nproc 2>/dev/null || echo 2)"
