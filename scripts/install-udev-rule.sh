#!/usr/bin/env bash
# Installs the udev rule that lets users without root reach the MORVAX
# controller named by a Config.ini (default: the one morvax-tool reads, from
# the working directory, else from ~/.config/morvax-tool/), then reloads udev
# and re-triggers the devices so that an attached controller gets it at once.
#
# Usage: install-udev-rule.sh [--dry-run] [Config.ini]
#   --dry-run  print the rule and what would be done; change nothing
#   DESTDIR    write under this root instead of / (packaging, tests); udev is
#              then not reloaded
#   MORVAX_TOOL  the morvax-tool binary to ask for the rule
# Exit status: 0 done, 1 failed, 2 usage error or a refused VID/PID.
set -euo pipefail

RULES_NAME=70-morvax-tool.rules
here="$(cd "$(dirname "$0")" && pwd)"

usage() { sed -n '2,13s/^# \{0,1\}//p' "$0"; }

dry_run=no
config=""
for arg in "$@"; do
  case "$arg" in
    --dry-run) dry_run=yes ;;
    -h|--help) usage; exit 0 ;;
    -*) echo "install-udev-rule.sh: unknown option $arg" >&2; usage >&2; exit 2 ;;
    *)
      if [ -n "$config" ]; then
        echo "install-udev-rule.sh: one Config.ini only" >&2; exit 2
      fi
      config="$arg" ;;
  esac
done

# The binary: as told, else the checkout's build, else the installed one
# beside this script (share/morvax-tool -> bin), else the one on PATH.
tool="${MORVAX_TOOL:-}"
if [ -z "$tool" ]; then
  for candidate in "$here/../build/app/morvax-tool" "$here/../../bin/morvax-tool"; do
    if [ -x "$candidate" ]; then
      tool="$candidate"
      break
    fi
  done
fi
if [ -z "$tool" ]; then
  tool="$(command -v morvax-tool || true)"
fi
if [ -z "$tool" ] || [ ! -x "$tool" ]; then
  echo "install-udev-rule.sh: morvax-tool not found: build it (cmake --build build --target morvax-tool), install it, or set MORVAX_TOOL" >&2
  exit 1
fi

# Under sudo the settings folder is the invoking user's, not root's.
if [ -z "$config" ] && [ -n "${SUDO_USER:-}" ] && [ -z "${XDG_CONFIG_HOME:-}" ]; then
  user_home="$(getent passwd "$SUDO_USER" | cut -d: -f6 || true)"
  if [ -n "$user_home" ]; then
    export HOME="$user_home"
  fi
fi

# The tool checks the IDs and says why when it refuses them (status 2).
status=0
if [ -n "$config" ]; then
  rules="$("$tool" udev-rule --config "$config")" || status=$?
else
  rules="$("$tool" udev-rule)" || status=$?
fi
if [ "$status" -ne 0 ]; then
  echo "install-udev-rule.sh: no rule written" >&2
  exit "$status"
fi

dest_dir="${DESTDIR:-}/etc/udev/rules.d"
dest="$dest_dir/$RULES_NAME"

# udev is reloaded only on the live system with its daemon running.
reload=yes
why_not=""
if [ -n "${DESTDIR:-}" ]; then
  reload=no; why_not="DESTDIR is set"
elif ! command -v udevadm >/dev/null 2>&1; then
  reload=no; why_not="udevadm is not installed"
elif ! udevadm control --ping >/dev/null 2>&1; then
  reload=no; why_not="no udev daemon is running"
fi

if [ "$dry_run" = yes ]; then
  echo "would write $dest:"
  printf '%s\n' "$rules"
  if [ "$reload" = yes ]; then
    echo "would run: udevadm control --reload-rules"
    echo "would run: udevadm trigger --action=add --subsystem-match=usb --subsystem-match=hidraw --subsystem-match=tty"
  else
    echo "would not reload udev: $why_not"
  fi
  exit 0
fi

if ! mkdir -p "$dest_dir" 2>/dev/null || [ ! -w "$dest_dir" ]; then
  echo "install-udev-rule.sh: cannot write $dest_dir: run it with sudo" >&2
  exit 1
fi
# Written beside the target and moved into place, so udev never reads half a file.
tmp="$(mktemp "$dest_dir/.$RULES_NAME.XXXXXX")"
trap 'rm -f "$tmp"' EXIT
printf '%s\n' "$rules" >"$tmp"
chmod 0644 "$tmp"
mv -f "$tmp" "$dest"
trap - EXIT
echo "wrote $dest"

if [ "$reload" = yes ]; then
  udevadm control --reload-rules
  udevadm trigger --action=add --subsystem-match=usb --subsystem-match=hidraw --subsystem-match=tty
  echo "reloaded the udev rules and re-triggered usb, hidraw and tty devices"
  echo "an attached controller has the new access now; a technician not at the desktop must be in the plugdev group (log in again after joining it)"
else
  echo "udev not reloaded: $why_not; the rule applies when udev next starts or the controller is plugged in again"
fi
