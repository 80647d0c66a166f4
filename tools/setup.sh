#!/usr/bin/env bash
# Installs what is missing of the Debian package lists named on the command line (tools/packages/NAME.txt):
#   run      building and running the Linux program (tools/run.sh)
#   windows  cross-building the Windows program (tools/build-windows.sh)
#   publish  importing, sealing and packaging the roster (tools/build.sh --sealed, tools/build-windows.sh --sealed)
#   web      building the web page (tools/build-web.sh)
#   windows-x86-64  a 64-bit Windows build for the tests, where this machine runs no 32-bit code
#   test     the test suite (tools/test.sh, with all the others)
# As root it runs apt-get; otherwise it prints the exact commands to run as root and fails.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
(($# > 0)) || { echo "usage: $0 LIST... (lists: run windows publish web test windows-x86-64)" >&2; exit 2; }

wanted=()
for list in "$@"; do
    file="$here/packages/$list.txt"
    [[ -f $file ]] || { echo "$0: no package list $file" >&2; exit 2; }
    mapfile -t -O "${#wanted[@]}" wanted < <(grep -vE '^\s*(#|$)' "$file")
done

missing=()
for pkg in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ $status == "install ok installed" ]] || missing+=("$pkg")
done
mapfile -t missing < <(printf '%s\n' "${missing[@]}" | awk 'NF && !seen[$0]++')

# Packages of another architecture (wine32:i386) need that architecture enabled first.
add_arch=()
for pkg in "${missing[@]}"; do
    [[ $pkg == *:* ]] || continue
    arch=${pkg##*:}
    [[ $arch == "$(dpkg --print-architecture)" ]] && continue
    dpkg --print-foreign-architectures | grep -qx "$arch" && continue
    [[ " ${add_arch[*]} " == *" $arch "* ]] || add_arch+=("$arch")
done

# The Windows cases run the Windows program in Chinese (LANG=zh_CN.UTF-8), so the system's own texts are Chinese.
need_locale=false
if [[ " $* " == *" test "* ]] && ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
    need_locale=true
fi

((${#missing[@]} == 0)) && ! $need_locale && exit 0

install_line="apt-get install -y --no-install-recommends ${missing[*]}"
if [[ $(id -u) -ne 0 ]]; then
    echo "Missing packages or settings. Run as root:" >&2
    for arch in "${add_arch[@]}"; do
        echo "  dpkg --add-architecture $arch" >&2
    done
    ((${#missing[@]} == 0)) || echo "  apt-get update && $install_line" >&2
    $need_locale && echo "  localedef -i zh_CN -f UTF-8 zh_CN.UTF-8" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
for arch in "${add_arch[@]}"; do
    echo "setup: enabling the $arch architecture for $(printf '%s\n' "${missing[@]}" | grep ":$arch\$" | xargs)" >&2
    echo "setup: apt may also bring some $(dpkg --print-architecture) packages up to the archive's point release," \
        "so that both architectures have the same versions of the libraries they share" >&2
    dpkg --add-architecture "$arch"
done
if ((${#missing[@]} > 0)); then
    apt-get update
    $install_line
fi
if $need_locale; then
    localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi
