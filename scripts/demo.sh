#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine (packages, build) and runs
# the updater on its built-in demo: with a display the window opens; without
# one it runs under Xvfb, presses "Обновить", saves screenshots and prints
# their paths and what was extracted.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
BUILD_DIR=$PWD/build app/demo/run-demo.sh
