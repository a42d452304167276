#!/usr/bin/env bash
# Does all set-up (packages, configure, build), then runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
export QT_QPA_FONTDIR=${QT_QPA_FONTDIR:-}
ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j2
