#!/usr/bin/env bash
# One command on a fresh Debian 12 machine: install what is missing, build, start the program.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/tools/setup.sh"
"$root/tools/build.sh"
exec "$root/build/cuixian-score-query"
