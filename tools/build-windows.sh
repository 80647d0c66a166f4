#!/usr/bin/env bash
# Cross-builds the Windows program with MinGW-w64.
#   tools/build-windows.sh           build-windows/: cuixian-score-query.exe, one static 32-bit file that Windows XP SP3
#                                    to 11 run, 32-bit and 64-bit alike, and cuixian-score-query-1.00-win32.zip (the
#                                    .exe, LICENSE and 使用说明.txt), the file to hand out
#   tools/build-windows.sh --sealed  build-windows-sealed/: the same with the roster sealed, for publishing (Windows 7
#                                    to 11): cuixian-score-query-1.00-win32-sealed.zip, its folder named alike
#   Each zip gets a SHA-256 file beside it (.zip.sha256), to publish with it.
#   --arch x86-64                    a 64-bit build of the same sources for the tests, on a machine that runs no
#                                    32-bit code (build-windows-x86-64/, build-windows-sealed-x86-64/; no zip)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
sealed=OFF
arch=i686
while (($# > 0)); do
    case $1 in
    --sealed) sealed=ON ;;
    --arch) arch=${2:-}; shift ;;
    *) echo "usage: $0 [--sealed] [--arch i686|x86-64]" >&2; exit 2 ;;
    esac
    shift
done
lists=(windows)
[[ $sealed == ON ]] && lists+=(publish)
case $arch in
i686) triplet=i686-w64-mingw32 suffix="" ;;
x86-64) triplet=x86_64-w64-mingw32 suffix="-x86-64" lists+=(windows-x86-64) ;;
*) echo "$0: no such architecture: $arch" >&2; exit 2 ;;
esac
toolchain="$root/cmake/toolchain-mingw.cmake"
"$root/tools/setup.sh" "${lists[@]}"
jobs=$(nproc 2>/dev/null || echo 2)
build="$root/build-windows"
[[ $sealed == ON ]] && build+="-sealed"
build+="$suffix"
# A tree configured with another toolchain (an earlier one, for another processor) is configured afresh: CMake
# reads the toolchain only when a tree is first configured.
fresh=()
if [[ -f $build/CMakeCache.txt ]] && ! grep -qxF "CMAKE_TOOLCHAIN_FILE:FILEPATH=$toolchain" "$build/CMakeCache.txt"; then
    fresh=(--fresh)
fi
cmake "${fresh[@]}" -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DMINGW_TRIPLET=$triplet -DSEAL_ROSTER=$sealed
cmake --build "$build" --parallel "$jobs"
echo "$build/cuixian-score-query.exe"
[[ $arch == i686 ]] || exit 0
# Only the zip of this build is left beside the program.
rm -f "$build"/cuixian-score-query-*.zip "$build"/cuixian-score-query-*.zip.sha256
(cd "$build" && cpack -G ZIP --config CPackConfig.cmake)
rm -rf "$build/_CPack_Packages"
zip=("$build"/cuixian-score-query-*.zip)
echo "${zip[0]}"
echo "${zip[0]}.sha256"
