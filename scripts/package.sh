#!/usr/bin/env bash
# Builds the Debian packages "corvanel" (the program) and "qmtool" (the command-line reader,
# no Qt) into build/ and checks them with lintian. Installs what it needs first.
# Then: apt-get install ./build/corvanel_*.deb ./build/qmtool_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
command -v lintian >/dev/null ||
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends lintian
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target corvanel qmtool qm_docs qm_icons
(cd build && cpack -G DEB)
lintian --fail-on error build/*.deb
ls -l build/*.deb
