#!/usr/bin/env bash
# Player cost while playing video (not a test): ffmpeg makes a 640x480,
# 24 fps movie of its test pattern in Sorenson H.263 with an MP3 sound
# track, and the real player plays it maximised under a private Xvfb
# (bench/playercpu.sh), printing its CPU use (% of one core), the frames it
# shows per second and its memory.
#   bench/videocpu.sh [SECONDS]      seconds measured (default 10)
#   VANTREL_BIN=path                 the player (default build/vantrel)
set -euo pipefail
cd "$(dirname "$0")/.."
command -v ffmpeg >/dev/null || { echo "ffmpeg is not installed: no movie to play"; exit 0; }
seconds=${1:-10}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# Long enough to play through the settling time and the measured seconds.
length=$((seconds + 15))
# playercpu names each movie by its folder.
for size in 320x240 640x480; do
    mkdir -p "$dir/video-$size"
    ffmpeg -v error -f lavfi -i "testsrc=size=$size:rate=24" -f lavfi -i "sine=frequency=440:sample_rate=44100" \
        -t "$length" -c:v flv1 -q:v 4 -c:a libmp3lame -ar 44100 -b:a 96k -f swf "$dir/video-$size/movie.swf"
done
echo "video movies: H.263 24 fps with MP3 sound, $(stat -c %s "$dir/video-640x480/movie.swf") bytes at 640x480"
bench/playercpu.sh "$seconds" "$dir/video-320x240/movie.swf" "$dir/video-640x480/movie.swf"
