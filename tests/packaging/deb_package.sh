#!/usr/bin/env bash
# Builds the Debian package from the build tree, unpacks it into a scratch root and checks that what it installs
# fits together: the dependencies the program needs at run time, and the binary, icon and metainfo that the desktop
# entry and the metainfo point at, each where the desktop looks for it.
# Usage: deb_package.sh <build dir>
set -euo pipefail
build=${1:?usage: deb_package.sh <build dir>}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    fail "cpack -G DEB"
fi
shopt -s nullglob
debs=("$scratch"/out/*.deb)
((${#debs[@]} == 1)) || fail "expected one .deb, got: ${debs[*]-none}"
deb=${debs[0]}
arch=$(dpkg --print-architecture)
[[ $(basename "$deb") == "cuixian-score-query_1.00_${arch}.deb" ]] || fail "package file name $(basename "$deb")"

[[ $(dpkg-deb -f "$deb" Package) == cuixian-score-query ]] || fail "Package: $(dpkg-deb -f "$deb" Package)"
[[ $(dpkg-deb -f "$deb" Version) == 1.00 ]] || fail "Version: $(dpkg-deb -f "$deb" Version)"

# Package names only, without version constraints or alternatives.
depends=$(dpkg-deb -f "$deb" Depends)
mapfile -t names < <(tr ',|' '\n\n' <<<"$depends" | sed -E 's/\(.*\)//; s/^ +//; s/ +$//' | grep -v '^$')
for needed in libqt6widgets6 libqt6gui6 libqt6core6 qt6-qpa-plugins qt6-translations-l10n libxcb1 fonts-noto-cjk; do
    printf '%s\n' "${names[@]}" | grep -qxF "$needed" || fail "Depends lacks $needed: $depends"
done

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

metainfos=("$root"/usr/share/metainfo/*.metainfo.xml)
((${#metainfos[@]} == 1)) || fail "expected one metainfo in usr/share/metainfo, got: ${metainfos[*]-none}"
grep -qF '<launchable type="desktop-id">cuixian-score-query.desktop</launchable>' "${metainfos[0]}" ||
    fail "metainfo does not launch cuixian-score-query.desktop"
# The installed tree as a software centre reads it: file name against id, launchable against the desktop entry.
if command -v appstreamcli >/dev/null; then
    appstreamcli validate-tree --no-net "$root" || fail "appstreamcli validate-tree"
fi
echo "deb_package: $(basename "$deb") OK"
