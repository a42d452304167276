#!/usr/bin/env bash
# Player cost benchmark (not a test): plays each movie of the corpus's anim set
# in the real player under a private Xvfb (1024x768) with openbox, maximised,
# and prints the CPU it takes (% of one core), its resident memory while
# playing and after Stop, and the frames it shows per second.
#   bench/playercpu.sh [SECONDS]     seconds measured per movie (default 10)
#   VANTREL_BIN=path                 the player (default build/vantrel)
#   VANTREL_CORPUS=dir               the corpus (default ../shared/corpus)
set -euo pipefail
cd "$(dirname "$0")/.."
py=/usr/bin/python3
[[ -x $py ]] || py=python3
exec "$py" -B bench/playercpu.py "$@"
