#!/usr/bin/env bash
# Builds the web page: the program compiled to WebAssembly by Debian's Emscripten, with the roster sealed, as one
# self-contained file, build-web/cuixian-score-query.html, to publish on any static host or send as a file.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/tools/setup.sh" web
# emcc runs Debian's node (/usr/share/emscripten/.emscripten); should another node run it, it finds Debian's
# JavaScript modules only through NODE_PATH.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S "$root" -B "$root/build-web" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE=/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DSEAL_ROSTER=ON
cmake --build "$root/build-web" --parallel "$jobs"
# The page differs with each build (a fresh salt seals the roster): its SHA-256 is published with it.
page="$root/build-web/cuixian-score-query.html"
(cd "$root/build-web" && sha256sum cuixian-score-query.html >cuixian-score-query.html.sha256)
echo "build-web: $page"
echo "build-web: SHA-256 $(cut -d' ' -f1 "$page.sha256")"
