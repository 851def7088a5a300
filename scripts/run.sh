#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it (arguments are passed on).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target corvanel
exec ./build/src/app/corvanel "$@"
