#!/usr/bin/env bash
# Rewrites the pictures in docs/images: the tool is driven offscreen against
# the simulated sensor and each window is grabbed.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${SENSORTOOL_BUILD_DIR:-$here/build}"
cmake -S "$here" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" --target screenshots sensor-sim
QT_QPA_PLATFORM=offscreen "$build_dir/tools/screenshots/screenshots" "$build_dir/tools/sensor-sim" "$here/docs/images"
