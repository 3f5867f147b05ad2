#!/usr/bin/env bash
# Builds the project and runs the main job on the built-in demo recording.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target xyrecorder
build/xyrecorder demo --out xy.png "$@"
