#!/usr/bin/env bash
# The self-test against a real controller, run only when MORVAX_HW names one:
# its serial port (ttyACM0, /dev/ttyACM0, /dev/serial/by-id/...) or its USB
# path (1-1.2). MORVAX_HW_IMAGE and MORVAX_HW_EEPROM add the flash and the
# EEPROM download. Without MORVAX_HW it exits 77, which CTest reports as a
# skipped test: the self-test calibrates the panel and may flash the
# controller, so a controller that merely happens to be attached never
# starts it. The IDs come from the Config.ini the tool finds (the settings
# folder's, ~/.config/morvax-tool/).
# Usage: selftest_hardware.sh <morvax-tool> <junit-file>
set -uo pipefail
tool="$1"
junit="$2"
if [ -z "${MORVAX_HW:-}" ]; then
  echo "MORVAX_HW names no controller: the self-test on hardware is skipped"
  exit 77
fi
args=(selftest --junit "$junit")
case "$MORVAX_HW" in
  tty* | /*) args+=(--port "$MORVAX_HW") ;;
  *) args+=(--usb-path "$MORVAX_HW") ;;
esac
if [ -n "${MORVAX_HW_IMAGE:-}" ]; then args+=(--image "$MORVAX_HW_IMAGE"); fi
if [ -n "${MORVAX_HW_EEPROM:-}" ]; then args+=(--eeprom "$MORVAX_HW_EEPROM"); fi
echo "$tool ${args[*]}"
exec "$tool" "${args[@]}"
