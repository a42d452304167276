#!/bin/sh
# bench/hostile.sh [RENDER] [FRAMES]: writes the hostile movies with
# build/vantrel-genhostile and prints, for each, the wall time, the CPU time
# (user and system: steadier than the wall time on a busy machine), the peak
# resident memory and the exit status of RENDER (default build/vantrel-render)
# running FRAMES frames (default 90) with --trace and a picture, and what it
# printed on stderr (first line). Each run is cut off after 120 s.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
render=${1:-$here/build/vantrel-render}
frames=${2:-90}
dir=$(mktemp -d /tmp/vantrel-hostile.XXXXXX)
"$here/build/vantrel-genhostile" "$dir" || exit 1
printf '%-28s %8s %8s %9s %6s  %s\n' movie seconds cpu-s peak-MB status stderr
for movie in "$dir"/*.swf; do
    name=$(basename "$movie" .swf)
    /usr/bin/time -f '%e %M %U %S' -o "$dir/time" timeout 120 "$render" "$movie" --frame "$frames" --trace \
        --out "$dir/$name.png" >"$dir/$name.out" 2>"$dir/$name.err"
    status=$?
    # A run cut off or failing puts a "Command ..." line before the figures.
    set -- $(grep -v '^Command' "$dir/time" | head -1) ? 0 0 0
    cpu=$(echo "$3 $4" | awk '{ printf "%.2f", $1 + $2 }')
    printf '%-28s %8s %8s %9s %6s  %s\n' "$name" "$1" "$cpu" "$(($2 / 1024))" "$status" "$(head -c 100 "$dir/$name.err" | head -1)"
done
rm -rf "$dir"
