#!/usr/bin/env bash
# Cross-builds the Windows program with MinGW-w64 into ./build-windows: cuixian-score-query.exe (one static file)
# and cuixian-score-query-1.00-win64.zip (the .exe, LICENSE and 使用说明.txt) for the user.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/tools/setup.sh"
jobs=$(nproc 2>/dev/null || echo 2)
build="$root/build-windows"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake"
cmake --build "$build" --parallel "$jobs"
(cd "$build" && cpack -G ZIP --config CPackConfig.cmake)
rm -rf "$build/_CPack_Packages"
echo "$build/cuixian-score-query.exe"
echo "$build/cuixian-score-query-1.00-win64.zip"
