#!/usr/bin/env bash
# Builds the Debian package from the build tree and runs lintian on it: any error or warning fails.
# Usage: deb_lintian.sh <build dir>
set -euo pipefail
build=${1:?usage: deb_lintian.sh <build dir>}
command -v lintian >/dev/null || exit 77
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/build_deb.sh"
build_deb "$build" "$scratch"

# CI runs the suite as root; --allow-root keeps lintian's warning about that out of the report.
status=0
report=$(lintian --allow-root --fail-on error,warning "$deb" 2>&1) || status=$?
[[ -z $report ]] || printf '%s\n' "$report"
if ((status != 0)) || grep -qE '^[EW]: ' <<<"$report"; then
    echo "FAIL: lintian found errors or warnings (exit status $status)" >&2
    exit 1
fi
echo "deb_lintian: $(basename "$deb") clean"
