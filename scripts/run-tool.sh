#!/usr/bin/env bash
# Starts morvax-tool from the demo folder. When the controller named by the
# folder's Config.ini is attached (as a USB CDC-ACM serial port, or as a HID
# device with its VID and PID) the tool runs on the hardware; otherwise on the
# simulated controller. Extra arguments go to the tool.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
tool="$here/build/app/morvax-tool"
cd "$here/demo"

value() { sed -n "s/^[[:space:]]*$1[[:space:]]*=[[:space:]]*\([0-9A-Fa-f]*\).*/\1/p" Config.ini | head -n1; }
vid=$(value VID | tr 'a-f' 'A-F')
pid=$(value PID | tr 'a-f' 'A-F')

attached=no
if ls /dev/ttyACM* >/dev/null 2>&1; then
  attached=yes
fi
for ev in /sys/class/hidraw/*/device/uevent; do
  [ -r "$ev" ] || continue
  if grep -qi "^HID_ID=.*:0000${vid}:0000${pid}\$" "$ev"; then
    attached=yes
  fi
done

if [ "$attached" = yes ]; then
  exec "$tool" "$@"
fi
exec "$tool" --simulate "$@"
