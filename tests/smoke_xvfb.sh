#!/usr/bin/env bash
# Starts the real executable on the simulated controller under Xvfb, waits
# for its main window, takes a screenshot of the screen and checks that the
# window was mapped and that the screenshot is not blank.
# Usage: smoke_xvfb.sh <morvax-tool> <demo-dir> <screenshot.png>
set -euo pipefail
tool="$1"; demo="$2"; shot="$3"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp -r "$demo"/. "$work"/
# Only the demo settings: none from the user running the tests.
mkdir -p "$work/xdg-config"
export XDG_CONFIG_HOME="$work/xdg-config"

run() {
  cd "$work"
  export QT_QPA_PLATFORM=xcb  # a real window on the X server, whatever the caller set
  "$tool" --simulate >"$work/tool.log" 2>&1 &
  pid=$!
  found=no
  for _ in $(seq 1 100); do
    if xwininfo -root -tree 2>/dev/null | grep -q '"MORVAX Control Tesselon "'; then
      found=yes
      break
    fi
    sleep 0.1
  done
  sleep 1
  import -window root "$shot"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  if [ "$found" != yes ]; then
    echo "the main window did not appear"; cat "$work/tool.log"; exit 1
  fi
  # A screen with the window on it has more than a few colours.
  colours=$(convert "$shot" -format '%k' info:)
  echo "main window shown; screenshot $shot has $colours colours"
  [ "$colours" -gt 16 ]
}
if [ "${SMOKE_INSIDE_XVFB:-}" = 1 ]; then
  run
else
  SMOKE_INSIDE_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
