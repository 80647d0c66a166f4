# Sourced by the package tests: packs the installed tree of a build with cpack into a scratch folder of the caller's,
# so that several of them can run side by side, and sets $deb to the one package it made.
# Usage: build_deb <build dir> <scratch dir>
build_deb() {
    local build=$1 scratch=$2
    if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
        cat "$scratch/cpack.log" >&2
        echo "FAIL: cpack -G DEB" >&2
        exit 1
    fi
    local debs
    debs=("$scratch"/out/*.deb)
    if ((${#debs[@]} != 1)) || [[ ! -f ${debs[0]} ]]; then
        echo "FAIL: expected one .deb, got: ${debs[*]}" >&2
        exit 1
    fi
    deb=${debs[0]}
}
