#!/usr/bin/env bash
# Start-up benchmark: cold start to the first shown window (median of 5 runs),
# resident memory of an idle window, and the binary's size, measured under a
# private Xvfb with openbox. Run by hand after a build; prints figures.
#   bench/startup.sh            uses build/vantrel
#   VANTREL_BIN=path bench/startup.sh
set -euo pipefail
cd "$(dirname "$0")/.."
py=/usr/bin/python3
[[ -x $py ]] || py=python3
exec "$py" -B bench/startup.py
