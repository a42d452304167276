#!/usr/bin/env bash
# The second command: all set-up (packages, configure, build), then every test
# through ctest. Extra arguments go to ctest, e.g. `scripts/test.sh -R e2e`.
# No display is needed: widget tests use Qt's offscreen platform, and the
# end-to-end tests start and stop their own X server and window manager.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j2 "$@"
