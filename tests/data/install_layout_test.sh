#!/usr/bin/env bash
# Installs the build into a staging folder (DESTDIR) under a prefix outside PATH and checks
# that every file is where the desktop and Debian rules expect it, that the menu entry starts
# the installed program by its full path, and that the qmtool component alone needs no Qt.
# Usage: install_layout_test.sh BUILD_DIR APP_ID WINDOW_CLASS "ICON SIZES"
set -euo pipefail
build=$1 app_id=$2 window_class=$3 sizes=$4
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
prefix=/opt/qm-install-test
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
expect_file() { [ -s "$stage$prefix/$1" ] || fail "missing or empty: $prefix/$1"; }

DESTDIR="$stage/all" cmake --install "$build" --prefix "$prefix" >/dev/null
stage_all=$stage/all
stage=$stage_all
expect_file bin/corvanel
expect_file bin/qmtool
[ -x "$stage$prefix/bin/corvanel" ] || fail "corvanel is not executable"
# The preview beside the program, which opens it on the first preview and never links it.
expect_file bin/libcorvanel_preview.so
if readelf -d "$stage$prefix/bin/corvanel" | grep -i 'NEEDED.*WebEngine'; then
    fail "corvanel links the web engine"
fi
expect_file "share/applications/$app_id.desktop"
expect_file "share/metainfo/$app_id.metainfo.xml"
expect_file "share/icons/hicolor/scalable/apps/$app_id.svg"
for size in $sizes; do
    png=share/icons/hicolor/${size}x${size}/apps/$app_id.png
    expect_file "$png"
    # A PNG's width and height are the big-endian words at bytes 16 and 20.
    read -r w h < <(od -An -tu1 -j16 -N8 "$stage$prefix/$png" |
        awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
    [ "$w" = "$size" ] && [ "$h" = "$size" ] || fail "$png is ${w}x${h}"
done
for page in corvanel qmtool; do
    expect_file "share/man/man1/$page.1.gz"
    gzip -t "$stage$prefix/share/man/man1/$page.1.gz" || fail "$page.1.gz is not gzip"
done
for package in corvanel qmtool; do
    expect_file "share/doc/$package/copyright"
    expect_file "share/doc/$package/changelog.gz"
done

entry=$stage$prefix/share/applications/$app_id.desktop
key() { grep -m1 "^$1=" "$entry" | cut -d= -f2-; }
[ "$(key Exec)" = "$prefix/bin/corvanel" ] || fail "Exec is '$(key Exec)'"
[ "$(key Icon)" = "$app_id" ] || fail "Icon is '$(key Icon)'"
[ "$(key StartupWMClass)" = "$window_class" ] || fail "StartupWMClass is '$(key StartupWMClass)'"
[ "$(key Categories)" = "Office;" ] || fail "Categories is '$(key Categories)'"
for k in Name 'Name\[zh_CN\]' GenericName Comment Keywords; do
    [ -n "$(key "$k")" ] || fail "no $k"
done
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" \
    "$stage$prefix/share/metainfo/$app_id.metainfo.xml" || fail "metainfo names another entry"

# qmtool on its own: only its own files, and no Qt library among its needs.
DESTDIR="$stage_all/../tool" cmake --install "$build" --prefix "$prefix" --component qmtool >/dev/null
tool=$stage_all/../tool$prefix
[ -x "$tool/bin/qmtool" ] || fail "qmtool component lacks bin/qmtool"
[ ! -e "$tool/bin/corvanel" ] || fail "qmtool component carries the program"
[ ! -e "$tool/bin/libcorvanel_preview.so" ] || fail "qmtool component carries the preview"
if readelf -d "$tool/bin/qmtool" | grep -i 'NEEDED.*Qt'; then fail "qmtool links Qt"; fi

[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "install layout OK"
