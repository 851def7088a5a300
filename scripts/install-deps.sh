#!/usr/bin/env bash
# Installs every Debian package the program, its tests and its benchmarks need.
# Idempotent: when everything is present it returns without touching apt.
set -euo pipefail

packages=(
    build-essential cmake pkg-config ccache
    qt6-base-dev qt6-base-private-dev qt6-qpa-plugins libqscintilla2-qt6-dev libgl-dev
    libpcre2-dev zlib1g-dev libsqlite3-dev
    libespeak-ng-dev espeak-ng-data qt6-multimedia-dev libsoxr-dev libsndfile1-dev sox
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth x11-apps imagemagick fonts-noto-cjk
    librsvg2-bin desktop-file-utils appstream
    locales
    qt6-webengine-dev dbus-daemon
    clang-14 libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
