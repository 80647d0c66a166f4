#!/usr/bin/env bash
# Configures and builds the Linux program (Release with debug info).
#   tools/build.sh            build/: the program, its tests and benchmarks (what tools/test.sh runs)
#   tools/build.sh --program  build/: the program alone (what tools/run.sh starts)
#   tools/build.sh --sealed   build-sealed/: the program with the roster sealed, for publishing; no tests, and the
#                             plain table never enters the tree
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
options=(-DBUILD_TESTING=ON -DSEAL_ROSTER=OFF)
target=()
for arg in "$@"; do
    case $arg in
    --program) options=(-DBUILD_TESTING=OFF -DSEAL_ROSTER=OFF) target=(--target cuixian-score-query) ;;
    --sealed)
        "$root/tools/setup.sh" publish
        build="$root/build-sealed" options=(-DBUILD_TESTING=OFF -DSEAL_ROSTER=ON)
        ;;
    *) echo "usage: $0 [--program | --sealed]" >&2; exit 2 ;;
    esac
done
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}"
cmake --build "$build" --parallel "$jobs" "${target[@]}"
