#!/usr/bin/env bash
# Runs desktop-file-validate and appstreamcli over the menu entry and the metainfo as they are
# installed. Exits 77 (skipped) when a validator is missing on this machine.
# Usage: validate_desktop_files.sh BUILD_DIR APP_ID
set -euo pipefail
build=$1 app_id=$2
for tool in desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed"; exit 77; }
done
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null
desktop-file-validate "$stage/usr/share/applications/$app_id.desktop"
appstreamcli validate --no-net --pedantic "$stage/usr/share/metainfo/$app_id.metainfo.xml"
echo "desktop files OK"
