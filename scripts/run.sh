#!/usr/bin/env bash
# The first command: all set-up (packages, configure, build), then opens the
# player on the bundled demo movie, or on the movie given as the argument.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
movie=${1:-examples/demo.swf}
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "run: built ${BUILD_DIR:-build}/vantrel, but there is no display to open it on" \
       "(neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
  echo "run: on a machine without a screen, try: xvfb-run -s '-screen 0 1024x768x24' ${BUILD_DIR:-build}/vantrel $movie" >&2
  exit 1
fi
exec "${BUILD_DIR:-build}/vantrel" "$movie"
