#!/usr/bin/env bash
# Builds the Debian package from the build tree, unpacks it into a scratch root and checks that what it installs
# fits together: the dependencies the program needs at run time, the binary, icon and metainfo that the desktop
# entry and the metainfo point at, each where the desktop looks for it, and both manual pages.
# Usage: deb_package.sh <build dir>
set -euo pipefail
build=${1:?usage: deb_package.sh <build dir>}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/build_deb.sh"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

build_deb "$build" "$scratch"
shopt -s nullglob
arch=$(dpkg --print-architecture)
[[ $(basename "$deb") == "cuixian-score-query_1.00_${arch}.deb" ]] || fail "package file name $(basename "$deb")"

[[ $(dpkg-deb -f "$deb" Package) == cuixian-score-query ]] || fail "Package: $(dpkg-deb -f "$deb" Package)"
[[ $(dpkg-deb -f "$deb" Version) == 1.00 ]] || fail "Version: $(dpkg-deb -f "$deb" Version)"

# Package names only, without version constraints or alternatives.
depends=$(dpkg-deb -f "$deb" Depends)
mapfile -t names < <(tr ',|' '\n\n' <<<"$depends" | sed -E 's/\(.*\)//; s/^ +//; s/ +$//' | grep -v '^$')
# The libraries dpkg-shlibdeps found, and what the program loads at run time: Qt's Chinese texts and the faces.
for needed in libqt6widgets6 libqt6gui6 libqt6core6 libxcb1 qt6-translations-l10n fonts-arphic-uming fonts-noto-cjk; do
    printf '%s\n' "${names[@]}" | grep -qxF "$needed" || fail "Depends lacks $needed: $depends"
done
# The X11 platform plugin is in libqt6gui6; qt6-qpa-plugins holds only the VNC and TUIO plugins, which open
# network listeners the program has no use for.
if printf '%s\n' "${names[@]}" | grep -qxF qt6-qpa-plugins; then
    fail "Depends names qt6-qpa-plugins: $depends"
fi

root=$scratch/root
dpkg -x "$deb" "$root"
desktop=$root/usr/share/applications/cuixian-score-query.desktop
[[ -f $desktop ]] || fail "no desktop entry at usr/share/applications"
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon_name=$(sed -n 's/^Icon=//p' "$desktop")
[[ -n $exec_name && -n $icon_name ]] || fail "desktop entry lacks Exec or Icon"
[[ -x $root/usr/bin/$exec_name ]] || fail "Exec=$exec_name is not an executable in usr/bin"
icon=$root/usr/share/icons/hicolor/48x48/apps/$icon_name.png
[[ -f $icon ]] || fail "Icon=$icon_name is not in usr/share/icons/hicolor/48x48/apps"
file -b "$icon" | grep -q '^PNG image data, 48 x 48' || fail "icon is not a 48 x 48 PNG: $(file -b "$icon")"

# lintian asks for a manual page; the Chinese one, for the program's own users, nothing else would miss.
for page in man/man1 man/zh_CN/man1; do
    [[ -f $root/usr/share/$page/cuixian-score-query.1.gz ]] || fail "no manual page in usr/share/$page"
done

metainfos=("$root"/usr/share/metainfo/*.metainfo.xml)
((${#metainfos[@]} == 1)) || fail "expected one metainfo in usr/share/metainfo, got: ${metainfos[*]-none}"
grep -qF '<launchable type="desktop-id">cuixian-score-query.desktop</launchable>' "${metainfos[0]}" ||
    fail "metainfo does not launch cuixian-score-query.desktop"
# The installed tree as a software centre reads it: file name against id, launchable against the desktop entry.
if command -v appstreamcli >/dev/null; then
    appstreamcli validate-tree --no-net "$root" || fail "appstreamcli validate-tree"
fi
echo "deb_package: $(basename "$deb") OK"
