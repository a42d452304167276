#!/usr/bin/env bash
# Soak benchmark (not a test): plays every movie of the corpus's anim set at
# once, each in the real player under its own Xvfb, for MINUTES minutes
# (default 10) and prints
# its resident memory after one minute and at the end, so a leak shows as
# growth. Fractions work: `bench/soak.sh 0.5` plays each for 30 s and samples
# at a tenth of the run instead of the first minute.
#   VANTREL_BIN=path  the player (default build/vantrel)
#   VANTREL_CORPUS=dir  the corpus (default ../shared/corpus)
set -uo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-10}
bin=${VANTREL_BIN:-build/vantrel}
corpus=${VANTREL_CORPUS:-../shared/corpus}
[[ -x $bin ]] || { echo "soak: no player at $bin" >&2; exit 1; }
total=$(awk -v m="$minutes" 'BEGIN { printf "%d", m * 60 }')
first=$(( total < 600 ? total / 10 : 60 ))
(( first < 1 )) && first=1
rss() { awk '/^VmRSS/ { print int($2 / 1024) }' "/proc/$1/status" 2>/dev/null || echo -; }
soak_one() {
    local movie=$1 name log rundir runner pid early late status
    name=$(basename "$(dirname "$movie")")
    log=$(mktemp /tmp/vantrel-soak.XXXXXX)
    # A runtime dir of its own, so the single-instance lock never meets another copy.
    rundir=$(mktemp -d /tmp/vantrel-soak-run.XXXXXX)
    XDG_RUNTIME_DIR=$rundir xvfb-run -a -s '-screen 0 1024x768x24' \
        "$bin" "$movie" >"$log" 2>&1 &
    runner=$!
    pid=
    for _ in $(seq 100); do
        pid=$(pgrep -n -f -- "^$bin $movie" 2>/dev/null)
        [[ -n $pid ]] && break
        sleep 0.2
    done
    sleep "$first"
    early=$( [[ -n $pid ]] && rss "$pid" || echo - )
    sleep $(( total - first ))
    late=$( [[ -n $pid ]] && rss "$pid" || echo - )
    status=running
    [[ -n $pid && -d /proc/$pid ]] || status=died
    [[ -n $pid ]] && kill "$pid" 2>/dev/null
    wait "$runner" 2>/dev/null
    printf '%-44s %8s MB %8s MB %8s\n' "$name" "$early" "$late" "$status"
    rm -rf "$log" "$rundir"
}
printf '%-44s %10s %10s %8s\n' movie "rss@${first}s" "rss@${total}s" status
shopt -s nullglob
# All movies at once, each in its own Xvfb, so the run takes MINUTES and not
# MINUTES per movie; starts are spaced so that xvfb-run's choice of a free
# display number never races another's.
out=$(mktemp -d /tmp/vantrel-soak-out.XXXXXX)
i=0
for movie in "$corpus"/anim/*/*.swf; do
    soak_one "$movie" >"$out/$(printf %03d $i)" &
    i=$((i + 1))
    sleep 3
done
wait
cat "$out"/*
rm -rf "$out"
