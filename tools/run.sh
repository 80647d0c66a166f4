#!/usr/bin/env bash
# One command on a fresh Debian 12 machine: install what building and running need, build the program, start it.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/tools/setup.sh" run
"$root/tools/build.sh" --program
exec "$root/build/cuixian-score-query"
