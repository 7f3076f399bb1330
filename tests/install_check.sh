#!/usr/bin/env bash
# `cmake --install` into a temporary DESTDIR: the file list, the desktop
# entry, the metainfo, the icon sizes, the installed udev rule script finding
# the installed binary; then `cpack -G DEB`: the package's dependencies from
# the linked libraries.
# Usage: install_check.sh <build-dir>
set -euo pipefail
build="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

root="$work/root"
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null

expected="usr/bin/morvax-tool
usr/share/applications/io.morvax.Tool.desktop
usr/share/doc/morvax-tool/LICENSE
usr/share/icons/hicolor/128x128/apps/io.morvax.Tool.png
usr/share/icons/hicolor/16x16/apps/io.morvax.Tool.png
usr/share/icons/hicolor/24x24/apps/io.morvax.Tool.png
usr/share/icons/hicolor/256x256/apps/io.morvax.Tool.png
usr/share/icons/hicolor/32x32/apps/io.morvax.Tool.png
usr/share/icons/hicolor/48x48/apps/io.morvax.Tool.png
usr/share/icons/hicolor/64x64/apps/io.morvax.Tool.png
usr/share/metainfo/io.morvax.Tool.metainfo.xml
usr/share/morvax-tool/Config.ini
usr/share/morvax-tool/fx.jpg
usr/share/morvax-tool/install-udev-rule.sh"
installed="$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)"
[ "$installed" = "$expected" ] || fail "installed files differ:
$(diff <(echo "$expected") <(echo "$installed") || true)"
[ -x "$root/usr/bin/morvax-tool" ] && [ -x "$root/usr/share/morvax-tool/install-udev-rule.sh" ] \
  || fail "the binary or the script is not executable"

desktop-file-validate "$root/usr/share/applications/io.morvax.Tool.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/io.morvax.Tool.metainfo.xml" >"$work/as.log" 2>&1 \
  || { cat "$work/as.log"; fail "metainfo"; }
grep -qxF 'Icon=io.morvax.Tool' "$root/usr/share/applications/io.morvax.Tool.desktop" || fail "desktop entry names another icon"

for size in 16 24 32 48 64 128 256; do
  got="$(identify -format '%m %wx%h' "$root/usr/share/icons/hicolor/${size}x${size}/apps/io.morvax.Tool.png")"
  [ "$got" = "PNG ${size}x${size}" ] || fail "icon ${size}x${size} is $got"
done

# The installed script finds the installed binary (no MORVAX_TOOL, none on PATH).
out="$(cd "$work" && env -u MORVAX_TOOL PATH=/usr/bin:/bin DESTDIR="$work/rules" \
  "$root/usr/share/morvax-tool/install-udev-rule.sh" --dry-run "$root/usr/share/morvax-tool/Config.ini")"
grep -qF 'ATTRS{idVendor}=="2f5a", ATTRS{idProduct}=="0107"' <<<"$out" || fail "installed script: $out"

# The Debian package.
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1) \
  || { cat "$work/cpack.log"; fail "cpack"; }
deb="$(ls "$work"/pkg/morvax-tool_*.deb)"
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libqt6widgets6 libhidapi-hidraw0 libudev1 qt6-qpa-plugins libqt6sql6-sqlite; do
  grep -qF "$lib" <<<"$depends" || fail "package does not depend on $lib: $depends"
done
grep -qF libqt6sql6-psql <<<"$(dpkg-deb -f "$deb" Recommends)" || fail "package does not recommend libqt6sql6-psql"
[ "$(dpkg-deb -f "$deb" Maintainer)" = "The morvax-tool developers" ] || fail "maintainer"
packaged="$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '/$' | sed 's|^\./||' | LC_ALL=C sort)"
[ "$packaged" = "$expected" ] || fail "packaged files differ from the installed ones"
echo "installed $(wc -l <<<"$installed") files; desktop entry, metainfo and icons valid; package depends on: $depends"
