#!/usr/bin/env bash
# Installs the Debian packages listed in tools/debian-packages.txt that are missing.
# As root it runs apt-get; otherwise it prints the exact command and fails.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mapfile -t wanted < <(grep -vE '^\s*(#|$)' "$here/debian-packages.txt")
missing=()
# The Wine tests run the Windows program in Chinese (LANG=zh_CN.UTF-8), so the system's own texts are Chinese.
ensure_locale() {
    locale -a 2>/dev/null | grep -qix 'zh_CN.utf8' && return 0
    if [[ $(id -u) -ne 0 ]]; then
        echo "The zh_CN.UTF-8 locale is missing. Run as root: localedef -i zh_CN -f UTF-8 zh_CN.UTF-8" >&2
        return 1
    fi
    localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
}
for pkg in "${wanted[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ $status == "install ok installed" ]] || missing+=("$pkg")
done
if ((${#missing[@]} == 0)); then
    ensure_locale
    exit 0
fi
install_line="apt-get install -y --no-install-recommends ${missing[*]}"
if [[ $(id -u) -ne 0 ]]; then
    echo "Missing packages. Run as root:" >&2
    echo "  apt-get update && $install_line" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
$install_line
ensure_locale
