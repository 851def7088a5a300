#!/usr/bin/env bash
# Installs what is missing, builds everything (warnings are errors) and runs every test
# headless; then builds the Qt-free core again under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs its tests there.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_WERROR=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DQM_SANITIZE=ON -DQM_BUILD_GUI=OFF \
    -DQM_BUILD_BENCH=OFF -DQM_WERROR=ON
cmake --build build-sanitize -j"$jobs"
ctest --test-dir build-sanitize --output-on-failure -j"$jobs"
